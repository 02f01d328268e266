#pragma once
// The user-interface thread's task queue: any thread can hand it a task and wait until the UI thread
// has run it (the synchronous window message), and the UI thread can wait for something while it keeps
// running the queued tasks and its timers, so a worker blocked in a send never blocks that wait.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace ui {

class CDispatcher {
public:
    using Task = std::function<void()>;
    using Clock = std::chrono::steady_clock;

    // The constructing thread is the UI thread.
    CDispatcher();
    CDispatcher(const CDispatcher&) = delete;
    CDispatcher& operator=(const CDispatcher&) = delete;

    bool isUiThread() const { return std::this_thread::get_id() == uiThread_; }

    // Runs the task on the UI thread and returns after it ran (at once when called there). An
    // exception thrown by the task is rethrown to the caller.
    void invoke(const Task& task);
    // Queues the task for the UI thread without waiting.
    void post(Task task);

    // UI thread: runs every queued task and every due timer; true when anything ran.
    bool processPending();
    // UI thread: like processPending, but returns once the budget is spent, so that a toolkit loop gets
    // back to its input between slices; the loop is woken again when tasks remain.
    bool processSlice(std::chrono::milliseconds budget);
    // A worker posting while this many tasks wait is held until the UI thread has caught up: a fast job
    // never buries the user's input under its log lines.
    static constexpr std::size_t kMaxQueued = 512;
    // UI thread: runs tasks and timers until done() holds (checked after each round).
    void runUntil(const std::function<bool()>& done);
    // UI thread: true while a task sent by that thread is running (possibly further up the stack), so
    // waiting for that thread now could never end.
    bool isServing(std::thread::id sender) const;
    // Wakes a runUntil so that it checks its condition again (for workers that end).
    void wake();

    // A toolkit loop that owns the UI thread gets this call whenever work is queued, and answers it by
    // calling processPending on its own thread.
    void setWakeHook(std::function<void()> hook);
    // Called on each round of runUntil (at least every 50 ms), so that a toolkit loop can repaint its
    // windows while the UI thread waits; it must not deliver user input from there.
    void setWaitHook(std::function<void()> hook);
    // The longest runUntil so far: the time the UI thread spent waiting with user input held back.
    Clock::duration longestWait() const { return longestWait_; }

    // Timers run on the UI thread from processPending; ids are the caller's.
    void startTimer(int id, std::chrono::milliseconds period, Task callback);
    void killTimer(int id);

private:
    struct Queued {
        Task task;
        std::thread::id sender;
    };
    struct Timer {
        std::chrono::milliseconds period;
        Clock::time_point due;
        Task callback;
    };
    bool runOneTask();
    void requestWake();  // calls the wake hook unless a wake is already on its way
    bool runDueTimers();
    Clock::time_point nextDue() const;  // caller holds mutex_

    std::thread::id uiThread_;
    mutable std::mutex mutex_;
    std::condition_variable wakeUp_;
    std::condition_variable roomFreed_;  // workers held by a full queue wait on it
    std::deque<Queued> queue_;
    std::vector<std::thread::id> serving_;  // senders of the tasks running now, outermost first
    std::map<int, Timer> timers_;
    std::function<void()> wakeHook_;
    std::function<void()> waitHook_;  // UI thread only
    unsigned wakeCount_ = 0;
    bool wakePending_ = false;       // a wake hook call not yet answered by processPending/processSlice
    Clock::duration longestWait_{};  // UI thread only
};

}  // namespace ui
