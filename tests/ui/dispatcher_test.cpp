#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <stdexcept>
#include <stop_token>
#include <string>

#include "ui/dispatcher.h"
#include "ui/worker_thread.h"

namespace {

TEST(Dispatcher, AWorkerSendingWhileTheUiThreadWaitsForItGetsItsAnswer) {
    ui::CDispatcher dispatcher;
    std::thread::id ranOn;
    int answer = 0;
    {
        ui::CWorkerThread worker(dispatcher, [&] {
            for (int i = 1; i <= 100; ++i)
                dispatcher.invoke([&, i] {
                    ranOn = std::this_thread::get_id();
                    answer += i;
                });
        });
        worker.wait();  // the UI thread waits; the worker's sends are still served
    }
    EXPECT_EQ(answer, 5050);
    EXPECT_EQ(ranOn, std::this_thread::get_id());
}

TEST(Dispatcher, InvokeOnTheUiThreadRunsAtOnceAndPassesExceptionsBack) {
    ui::CDispatcher dispatcher;
    int value = 0;
    dispatcher.invoke([&] { value = 7; });
    EXPECT_EQ(value, 7);

    bool caught = false;
    ui::CWorkerThread worker(dispatcher, [&] {
        try {
            dispatcher.invoke([] { throw std::runtime_error("no"); });
        } catch (const std::runtime_error&) {
            caught = true;
        }
    });
    worker.wait();
    EXPECT_TRUE(caught);
}

TEST(Dispatcher, AnExceptionEscapingAWorkerBodyIsHandedToItsHandler) {
    ui::CDispatcher dispatcher;
    std::string reported;
    ui::CWorkerThread worker(
        dispatcher, [] { throw std::runtime_error("escaped"); }, [&](const std::string& what) { reported = what; });
    worker.wait();
    EXPECT_EQ(reported, "escaped");
    ui::CWorkerThread withoutHandler(dispatcher, [] { throw 42; });  // reported on the standard error
    EXPECT_TRUE(withoutHandler.wait());
}

TEST(Dispatcher, ManySendsInARowEachReturnAfterTheirTask) {
    // The waiting worker may return the moment its task is done; the task's signal must not touch the
    // worker's stack afterwards (checked by the sanitizer builds).
    ui::CDispatcher dispatcher;
    int count = 0;
    ui::CWorkerThread worker(dispatcher, [&] {
        for (int i = 0; i < 20000; ++i) dispatcher.invoke([&] { ++count; });
    });
    worker.wait();
    EXPECT_EQ(count, 20000);
}

TEST(Dispatcher, AStopRequestReachesTheWorkerThroughItsTokenAndDestroyingItAsksAndWaits) {
    ui::CDispatcher dispatcher;
    std::atomic<int> rounds{0};
    auto pollUntilStopped = [&](std::stop_token stop) {
        while (!stop.stop_requested()) {
            dispatcher.post([] {});
            ++rounds;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    };
    ui::CWorkerThread asked(dispatcher, pollUntilStopped);
    EXPECT_FALSE(asked.stopRequested());
    dispatcher.runUntil([&] { return rounds > 3; });
    asked.requestStop();
    EXPECT_TRUE(asked.wait());
    EXPECT_FALSE(asked.running());

    std::atomic<bool> ended{false};
    {
        ui::CWorkerThread dropped(dispatcher, [&](std::stop_token stop) {
            pollUntilStopped(stop);
            ended = true;
        });
        dispatcher.runUntil([&] { return rounds > 10; });
    }  // the destructor asks it to stop and joins it, serving its posts meanwhile
    EXPECT_TRUE(ended);
}

TEST(DispatcherDeathTest, AWorkerDestroyedInTheMiddleOfItsOwnSendEndsTheProgramInsteadOfHanging) {
    // Its body would go on over the owner's freed state and no wait for it can end: never detached.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            ui::CDispatcher dispatcher;
            std::unique_ptr<ui::CWorkerThread> worker;
            worker = std::make_unique<ui::CWorkerThread>(dispatcher,
                                                         [&] { dispatcher.invoke([&] { worker.reset(); }); });
            dispatcher.runUntil([&] { return !worker; });
        },
        "destroyed while its own message was being handled");
}

TEST(Dispatcher, NestedWaitsKeepServingEveryWorker) {
    ui::CDispatcher dispatcher;
    std::atomic<int> served{0};
    ui::CWorkerThread outer(dispatcher, [&] {
        dispatcher.invoke([&] {
            // A handler on the UI thread that waits for a second worker, which also sends.
            ui::CWorkerThread inner(dispatcher, [&] { dispatcher.invoke([&] { ++served; }); });
            inner.wait();
            ++served;
        });
    });
    outer.wait();
    EXPECT_EQ(served, 2);
}

TEST(Dispatcher, TimersFireOnTheUiThreadWhileItWaitsAndStopWhenKilled) {
    ui::CDispatcher dispatcher;
    int ticks = 0;
    dispatcher.startTimer(1, std::chrono::milliseconds(5), [&] {
        if (++ticks == 3) dispatcher.killTimer(1);
    });
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
    dispatcher.runUntil([&] { return std::chrono::steady_clock::now() > until; });
    EXPECT_EQ(ticks, 3);
}

TEST(Dispatcher, TheWaitHookRunsOnTheUiThreadWhileAWorkerIsAwaited) {
    ui::CDispatcher dispatcher;
    std::atomic<bool> finished{false};
    int hookCalls = 0;
    bool hookOnUiThread = true;
    dispatcher.setWaitHook([&] {
        ++hookCalls;
        hookOnUiThread = hookOnUiThread && dispatcher.isUiThread();
    });
    std::thread worker([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        finished = true;
        dispatcher.wake();
    });
    dispatcher.runUntil([&] { return finished.load(); });
    worker.join();
    EXPECT_GE(hookCalls, 2);  // at least every 50 ms while the worker runs
    EXPECT_TRUE(hookOnUiThread);
}

}  // namespace
