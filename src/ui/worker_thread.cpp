#include "ui/worker_thread.h"

namespace ui {

CWorkerThread::CWorkerThread(CDispatcher& dispatcher, std::function<void()> body)
    : dispatcher_(dispatcher), finished_(std::make_shared<std::atomic<bool>>(false)) {
    thread_ = std::thread([&dispatcher, finished = finished_, body = std::move(body)] {
        body();
        finished->store(true);
        dispatcher.wake();
    });
    id_ = thread_.get_id();
}

CWorkerThread::~CWorkerThread() {
    if (!wait() && thread_.joinable()) thread_.detach();  // only reachable by destroying it mid-send
}

bool CWorkerThread::wait() {
    if (!thread_.joinable()) return true;
    if (dispatcher_.isUiThread()) {
        if (dispatcher_.isServing(id_)) return false;
        dispatcher_.runUntil([this] { return finished_->load(); });
    }
    if (thread_.joinable()) thread_.join();  // a nested wait may have joined it already
    // What the worker queued without waiting (log lines, progress) is shown before the wait ends.
    if (dispatcher_.isUiThread()) dispatcher_.processPending();
    return true;
}

}  // namespace ui
