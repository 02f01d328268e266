#pragma once
// A worker thread owned by a UI-thread object. Waiting for it from the UI thread keeps the dispatcher
// running, so a worker that sends a message while being waited for still gets its answer. The owner
// asks the worker to stop through the thread's stop token; destroying the worker asks it to stop and
// waits for it, so no thread outlives its owner.
#include <atomic>
#include <functional>
#include <memory>
#include <stop_token>
#include <string>
#include <thread>

#include "ui/dispatcher.h"

namespace ui {

class CWorkerThread {
public:
    // An exception escaping the body ends it; onFailure (on the worker thread) receives its text, or
    // without one it is written to the standard error.
    using FailureHandler = std::function<void(const std::string& what)>;
    // The body receives the thread's stop token; a body that does not poll it may take none.
    CWorkerThread(CDispatcher& dispatcher, std::function<void(std::stop_token)> body,
                  FailureHandler onFailure = {});
    CWorkerThread(CDispatcher& dispatcher, std::function<void()> body, FailureHandler onFailure = {});
    // Requests a stop and waits for the thread. Destroying a worker while the UI thread serves one of
    // its sends cannot wait (the send never returns) and would leave the body running over its owner's
    // freed state: that fault of the owner ends the program with a message.
    ~CWorkerThread();
    CWorkerThread(const CWorkerThread&) = delete;
    CWorkerThread& operator=(const CWorkerThread&) = delete;

    bool running() const { return !finished_->load(); }
    // Asks the body to stop through its stop token; it ends when it next looks.
    void requestStop() { thread_.request_stop(); }
    bool stopRequested() const { return thread_.get_stop_token().stop_requested(); }
    // Waits until the body has returned and joins the thread; on the UI thread it keeps dispatching.
    // False, without waiting, when the UI thread is in the middle of handling a send of this worker:
    // that wait could never end.
    bool wait();

private:
    CDispatcher& dispatcher_;
    std::shared_ptr<std::atomic<bool>> finished_;
    std::jthread thread_;
    std::thread::id id_;
};

}  // namespace ui
