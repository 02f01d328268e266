#include "ui/worker_thread.h"

namespace ui {

CWorkerThread::CWorkerThread(CDispatcher& dispatcher, std::function<void()> body)
    : dispatcher_(dispatcher), finished_(std::make_shared<std::atomic<bool>>(false)) {
    thread_ = std::thread([&dispatcher, finished = finished_, body = std::move(body)] {
        body();
        finished->store(true);
        dispatcher.wake();
    });
}

CWorkerThread::~CWorkerThread() { wait(); }

void CWorkerThread::wait() {
    if (!thread_.joinable()) return;
    if (dispatcher_.isUiThread()) dispatcher_.runUntil([this] { return finished_->load(); });
    thread_.join();
}

}  // namespace ui
