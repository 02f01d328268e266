// The ordered pipeline on its own: the writer sees messages in order whatever the workers' timing, a
// stop ends the run after the message written, work stays bounded, and a worker's exception reaches
// the writer in its message's turn.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

#include "export/ordered_pipeline.h"

namespace {

struct Slot {
    std::uint64_t k = 0;
    std::uint64_t prepared = ~0ull;
    std::thread::id preparedOn;
    std::shared_ptr<int> alive;  // shared by the slots not yet destroyed
};

struct Recorder {
    std::vector<std::uint64_t> written;
    std::atomic<std::uint64_t> started{0};
    std::uint64_t mostAhead = 0;  // started but not yet written, at most
    std::shared_ptr<int> alive = std::make_shared<int>(0);
    long mostAlive = 0;           // slots not yet destroyed, at most
    std::uint64_t stopAfter = ~0ull;
    std::uint64_t throwAt = ~0ull;
    std::thread::id writer = std::this_thread::get_id();
    bool preparedOnWorkers = true;

    exporter::PipelineStages<Slot> stages() {
        exporter::PipelineStages<Slot> s;
        s.start = [this](std::uint64_t k) {
            EXPECT_EQ(std::this_thread::get_id(), writer);
            ++started;
            return Slot{k, ~0ull, {}, alive};
        };
        s.prepare = [this](Slot& slot) {
            // Later messages are often ready first.
            std::this_thread::sleep_for(std::chrono::microseconds((slot.k * 7919) % 5 * 200));
            if (slot.k == throwAt) throw std::runtime_error("broken message");
            slot.prepared = slot.k;
            slot.preparedOn = std::this_thread::get_id();
        };
        s.keepGoing = [this] { return written.size() < stopAfter; };
        s.write = [this](Slot& slot) {
            EXPECT_EQ(std::this_thread::get_id(), writer);
            EXPECT_EQ(slot.prepared, slot.k);
            preparedOnWorkers = preparedOnWorkers && slot.preparedOn != writer;
            mostAhead = std::max(mostAhead, started.load() - written.size());
            mostAlive = std::max(mostAlive, alive.use_count() - 1);
            written.push_back(slot.k);
        };
        return s;
    }
};

std::vector<std::uint64_t> upTo(std::uint64_t n) {
    std::vector<std::uint64_t> v;
    for (std::uint64_t k = 0; k < n; ++k) v.push_back(k);
    return v;
}

TEST(OrderedPipeline, WritesEveryMessageInOrderWithBoundedWorkAhead) {
    for (int threads : {1, 2, 4}) {
        Recorder r;
        exporter::runPipeline<Slot>(200, threads, r.stages());
        EXPECT_EQ(r.written, upTo(200)) << threads;
        const std::uint64_t window = exporter::kWindowPerWorker * static_cast<std::uint64_t>(threads);
        EXPECT_LE(r.mostAhead, window) << threads;
        // Written slots are destroyed as the run goes on, not all at its end.
        EXPECT_LE(r.mostAlive, static_cast<long>(2 * window)) << threads;
        EXPECT_EQ(r.preparedOnWorkers, threads > 1) << threads;
    }
}

TEST(OrderedPipeline, LargeMessagesAreStartedOneAtATime) {
    Recorder r;
    exporter::PipelineStages<Slot> stages = r.stages();
    stages.weight = [](std::uint64_t k) { return k == 3 ? 1u : exporter::kPipelineBytes / 2 + 1; };
    exporter::runPipeline<Slot>(12, 4, stages);
    EXPECT_EQ(r.written, upTo(12));
    EXPECT_LE(r.mostAhead, 2u);  // the message being written and at most one more
}

TEST(OrderedPipeline, AStopEndsTheRunAfterTheMessageWritten) {
    for (int threads : {1, 3}) {
        Recorder r;
        r.stopAfter = 17;
        exporter::runPipeline<Slot>(400, threads, r.stages());
        EXPECT_EQ(r.written, upTo(17)) << threads;
        EXPECT_LE(r.started.load(), 17u + exporter::kWindowPerWorker * static_cast<std::uint64_t>(threads)) << threads;
    }
}

TEST(OrderedPipeline, AWorkersExceptionReachesTheWriterInItsMessagesTurn) {
    for (int threads : {1, 4}) {
        Recorder r;
        r.throwAt = 9;
        EXPECT_THROW(exporter::runPipeline<Slot>(50, threads, r.stages()), std::runtime_error) << threads;
        EXPECT_EQ(r.written, upTo(9)) << threads;
    }
}

TEST(OrderedPipeline, NothingToDoIsDoneAtOnce) {
    Recorder r;
    exporter::runPipeline<Slot>(0, 4, r.stages());
    EXPECT_TRUE(r.written.empty());
    EXPECT_EQ(r.started.load(), 0u);
}

}  // namespace
