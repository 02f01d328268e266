#pragma once
// A worker thread started by a UI-thread object. Waiting for it from the UI thread keeps the
// dispatcher running, so a worker that sends a message while being waited for still gets its answer.
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "ui/dispatcher.h"

namespace ui {

class CWorkerThread {
public:
    // An exception escaping the body ends it; onFailure (on the worker thread) receives its text, or
    // without one it is written to the standard error.
    using FailureHandler = std::function<void(const std::string& what)>;
    CWorkerThread(CDispatcher& dispatcher, std::function<void()> body, FailureHandler onFailure = {});
    // Waits for the thread; when that cannot be done now, the dispatcher joins it later.
    ~CWorkerThread();
    CWorkerThread(const CWorkerThread&) = delete;
    CWorkerThread& operator=(const CWorkerThread&) = delete;

    bool running() const { return !finished_->load(); }
    // Waits until the body has returned and joins the thread; on the UI thread it keeps dispatching.
    // False, without waiting, when the UI thread is in the middle of handling a send of this worker:
    // that wait could never end.
    bool wait();

private:
    CDispatcher& dispatcher_;
    std::shared_ptr<std::atomic<bool>> finished_;
    std::thread thread_;
    std::thread::id id_;
};

}  // namespace ui
