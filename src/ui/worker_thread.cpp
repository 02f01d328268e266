#include "ui/worker_thread.h"

#include <cstdlib>
#include <exception>
#include <iostream>

namespace ui {
namespace {

// Runs the body; an exception that escapes it is reported instead of ending the process.
void runGuarded(const std::function<void()>& body, const CWorkerThread::FailureHandler& onFailure) {
    std::string what;
    try {
        body();
        return;
    } catch (const std::exception& error) {
        what = error.what();
    } catch (...) {
        what = "unknown exception";
    }
    try {
        if (onFailure)
            onFailure(what);
        else
            std::cerr << "A worker ended by an exception: " << what << '\n';
    } catch (...) {
        std::cerr << "A worker ended by an exception: " << what << '\n';
    }
}

}  // namespace

CWorkerThread::CWorkerThread(CDispatcher& dispatcher, std::function<void(std::stop_token)> body,
                             FailureHandler onFailure)
    : dispatcher_(dispatcher), finished_(std::make_shared<std::atomic<bool>>(false)) {
    thread_ = std::jthread([&dispatcher, finished = finished_, body = std::move(body),
                            onFailure = std::move(onFailure)](std::stop_token stop) {
        runGuarded([&] { body(stop); }, onFailure);
        finished->store(true);
        dispatcher.wake();
    });
    id_ = thread_.get_id();
}

CWorkerThread::CWorkerThread(CDispatcher& dispatcher, std::function<void()> body, FailureHandler onFailure)
    : CWorkerThread(
          dispatcher, [body = std::move(body)](std::stop_token) { body(); }, std::move(onFailure)) {}

CWorkerThread::~CWorkerThread() {
    requestStop();
    if (wait()) return;
    std::cerr << "A worker thread was destroyed while its own message was being handled.\n";
    std::abort();
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
