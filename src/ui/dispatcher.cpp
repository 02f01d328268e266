#include "ui/dispatcher.h"

#include <algorithm>
#include <atomic>
#include <exception>

namespace ui {

CDispatcher::CDispatcher() : uiThread_(std::this_thread::get_id()) {}

void CDispatcher::invoke(const Task& task) {
    if (isUiThread()) {
        task();
        return;
    }
    // The task owns a share of the state it signals: the waiter may return (and its frame end) as soon
    // as done is stored, before notify_one has finished.
    struct State {
        std::atomic<bool> done{false};
        std::exception_ptr failure;
    };
    auto state = std::make_shared<State>();
    post([&task, state] {
        try {
            task();
        } catch (...) {
            state->failure = std::current_exception();
        }
        state->done.store(true, std::memory_order_release);
        state->done.notify_one();
    });
    state->done.wait(false, std::memory_order_acquire);
    if (state->failure) std::rethrow_exception(state->failure);
}

void CDispatcher::post(Task task) {
    {
        std::unique_lock lock(mutex_);
        if (!isUiThread()) roomFreed_.wait(lock, [this] { return queue_.size() < kMaxQueued; });
        queue_.push_back({std::move(task), std::this_thread::get_id()});
        ++wakeCount_;
    }
    wakeUp_.notify_one();  // only the UI thread waits on it
    requestWake();
}

void CDispatcher::requestWake() {
    std::function<void()> hook;
    {
        std::lock_guard lock(mutex_);
        if (wakePending_ || !wakeHook_) return;
        wakePending_ = true;
        hook = wakeHook_;
    }
    hook();
}

bool CDispatcher::isServing(std::thread::id sender) const {
    for (std::thread::id id : serving_)
        if (id == sender) return true;
    return false;
}

void CDispatcher::wake() {
    {
        std::lock_guard lock(mutex_);
        ++wakeCount_;
    }
    wakeUp_.notify_one();  // only the UI thread waits on it
    requestWake();
}

void CDispatcher::setWakeHook(std::function<void()> hook) {
    std::lock_guard lock(mutex_);
    wakeHook_ = std::move(hook);
}

void CDispatcher::setWaitHook(std::function<void()> hook) { waitHook_ = std::move(hook); }

bool CDispatcher::runOneTask() {
    Queued next;
    {
        std::lock_guard lock(mutex_);
        if (queue_.empty()) return false;
        next = std::move(queue_.front());
        queue_.pop_front();
    }
    roomFreed_.notify_all();
    serving_.push_back(next.sender);
    try {
        next.task();
    } catch (...) {
        serving_.pop_back();
        throw;
    }
    serving_.pop_back();
    return true;
}

bool CDispatcher::runDueTimers() {
    bool ran = false;
    const Clock::time_point now = Clock::now();
    std::vector<int> due;
    {
        std::lock_guard lock(mutex_);
        for (auto& [id, timer] : timers_)
            if (timer.due <= now) due.push_back(id);
    }
    for (int id : due) {
        Task callback;
        {
            std::lock_guard lock(mutex_);
            auto it = timers_.find(id);
            if (it == timers_.end()) continue;  // killed by an earlier callback
            it->second.due = now + it->second.period;
            callback = it->second.callback;
        }
        callback();
        ran = true;
    }
    return ran;
}

bool CDispatcher::processPending() {
    {
        std::lock_guard lock(mutex_);
        wakePending_ = false;
    }
    bool ran = false;
    while (runOneTask()) ran = true;
    if (runDueTimers()) ran = true;
    return ran;
}

bool CDispatcher::processSlice(std::chrono::milliseconds budget) {
    {
        std::lock_guard lock(mutex_);
        wakePending_ = false;
    }
    const Clock::time_point end = Clock::now() + budget;
    bool ran = false;
    while (Clock::now() < end && runOneTask()) ran = true;
    if (runDueTimers()) ran = true;
    bool more = false;
    {
        std::lock_guard lock(mutex_);
        more = !queue_.empty();
    }
    if (more) requestWake();
    return ran;
}

CDispatcher::Clock::time_point CDispatcher::nextDue() const {
    Clock::time_point due = Clock::now() + std::chrono::milliseconds(50);  // a periodic re-check
    for (const auto& [id, timer] : timers_)
        if (timer.due < due) due = timer.due;
    return due;
}

void CDispatcher::runUntil(const std::function<bool()>& done) {
    const Clock::time_point start = Clock::now();
    struct Measure {
        CDispatcher& self;
        Clock::time_point start;
        ~Measure() { self.longestWait_ = std::max(self.longestWait_, Clock::now() - start); }
    } measure{*this, start};
    for (;;) {
        unsigned seen;
        {
            std::lock_guard lock(mutex_);
            seen = wakeCount_;
        }
        processPending();
        if (done()) return;
        if (waitHook_) {
            std::function<void()> hook = waitHook_;  // the hook may replace itself
            hook();
            if (done()) return;
        }
        std::unique_lock lock(mutex_);
        wakeUp_.wait_until(lock, nextDue(), [&] { return wakeCount_ != seen || !queue_.empty(); });
    }
}

void CDispatcher::startTimer(int id, std::chrono::milliseconds period, Task callback) {
    {
        std::lock_guard lock(mutex_);
        timers_[id] = Timer{period, Clock::now() + period, std::move(callback)};
    }
    wake();
}

void CDispatcher::killTimer(int id) {
    std::lock_guard lock(mutex_);
    timers_.erase(id);
}

}  // namespace ui
