#pragma once
// The messages of one mailbox prepared on worker threads and written by one writer, the calling
// thread, in the mailbox's order, so that the output is the same with any number of workers. At most
// a few messages per worker, and about kPipelineBytes of their input, are between being started and
// being written: memory stays flat however long the mailbox is and however large its messages. With
// one thread everything runs on the calling thread, message by message.
#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace exporter {

// The input bytes (the weight) of the messages started ahead of the writer, at most; a message larger
// than that is started alone.
inline constexpr std::uint64_t kPipelineBytes = 64ull << 20;
// The messages started ahead of the writer per worker, at most: enough that the workers keep busy
// through the writer's slower moments (a commit, a large write).
inline constexpr std::uint64_t kWindowPerWorker = 32;

template <typename Slot>
struct PipelineStages {
    // On the writer's thread, in order: makes message k's slot (and what it needs of the library).
    std::function<Slot(std::uint64_t k)> start;
    // On a worker: reads and converts the message into its slot. An exception is rethrown on the
    // writer's thread when that message's turn comes.
    std::function<void(Slot&)> prepare;
    // On the writer's thread before each message is written; false ends the run, and the messages
    // prepared ahead are dropped unwritten.
    std::function<bool()> keepGoing;
    // On the writer's thread, in the mailbox's order.
    std::function<void(Slot&)> write;
    // Message k's input size, for the bound above; none: every message weighs nothing.
    std::function<std::uint64_t(std::uint64_t k)> weight;
};

namespace detail {

template <typename Slot>
class Pipeline {
public:
    Pipeline(const PipelineStages<Slot>& stages, int threads)
        : stages_(stages), window_(kWindowPerWorker * static_cast<std::uint64_t>(threads)), retired_(static_cast<std::size_t>(threads)) {
        for (int i = 0; i < threads; ++i) workers_.emplace_back([this, i] { work(static_cast<std::size_t>(i)); });
    }
    ~Pipeline() {
        {
            std::lock_guard lock(mutex_);
            closing_ = true;
            todo_.clear();
        }
        wake_.notify_all();
        workers_.clear();  // joins: a worker finishes the message it holds
    }
    Pipeline(const Pipeline&) = delete;
    Pipeline& operator=(const Pipeline&) = delete;

    void run(std::uint64_t count) {
        Window window;
        window.count = count;
        for (std::uint64_t k = 0; k < count && stages_.keepGoing(); ++k) {
            topUp(window, k);
            std::unique_ptr<Entry> entry = takeFront();
            window.written(k);
            if (!stages_.keepGoing()) return;
            if (entry->error) std::rethrow_exception(entry->error);
            stages_.write(entry->slot);
            retire(std::move(entry));
        }
    }

private:
    // The messages started ahead of the writer and their input bytes.
    struct Window {
        std::uint64_t count = 0;
        std::uint64_t started = 0;
        std::uint64_t weightAhead = 0;
        std::deque<std::uint64_t> weights;  // of the messages started and not yet written
        void written(std::uint64_t) {
            weightAhead -= weights.front();
            weights.pop_front();
        }
    };

    // Starts messages up to the window before the writer waits for message k, so that the workers
    // never run dry while the writer writes (its time per message varies: a commit, a large block).
    // The wake-up goes out once per batch of at least a few messages, or when the workers would
    // otherwise have nothing to do.
    void topUp(Window& window, std::uint64_t k) {
        const std::uint64_t ahead = window.started - k;
        if (window.started == window.count || (ahead > 0 && ahead + kTopUpBatch > window_)) return;
        for (; window.started < window.count && window.started < k + window_; ++window.started) {
            const std::uint64_t weight = stages_.weight ? stages_.weight(window.started) : 0;
            if (window.started > k && window.weightAhead + weight > kPipelineBytes) break;
            window.weightAhead += weight;
            window.weights.push_back(weight);
            startNext(window.started);
        }
        wakeIdleWorkers();
    }

    static constexpr std::uint64_t kTopUpBatch = 4;

    struct Entry {
        explicit Entry(Slot s) : slot(std::move(s)) {}
        Slot slot;
        bool ready = false;
        std::size_t worker = 0;  // the worker that prepared it
        std::exception_ptr error;
    };

    void startNext(std::uint64_t k) {
        auto entry = std::make_unique<Entry>(stages_.start(k));
        std::lock_guard lock(mutex_);
        todo_.push_back(entry.get());
        entries_.push_back(std::move(entry));
    }

    // A written message is destroyed by the worker that prepared it: the writer is spared giving the
    // memory back, and it goes back to the allocator arena it came from without contending for
    // another thread's.
    void retire(std::unique_ptr<Entry> entry) {
        std::lock_guard lock(mutex_);
        retired_[entry->worker].push_back(std::move(entry));
    }

    // Wake-ups cost a system call each: workers are woken only when one waits, the writer only when
    // the message it waits for is ready.
    void wakeIdleWorkers() {
        bool idle = false;
        {
            std::lock_guard lock(mutex_);
            idle = idleWorkers_ > 0;
        }
        if (idle) wake_.notify_all();
    }

    // The writer waits for a run of ready messages, not for each one: waking it costs a system call
    // and a switch of threads, and the writer is faster than the workers.
    std::unique_ptr<Entry> takeFront() {
        std::unique_lock lock(mutex_);
        if (!entries_.front()->ready) {
            writerWants_ = std::min<std::size_t>(entries_.size(), std::max<std::uint64_t>(1, window_ / 4));
            done_.wait(lock, [&] { return readyRun() >= writerWants_; });
            writerWants_ = 0;
        }
        std::unique_ptr<Entry> entry = std::move(entries_.front());
        entries_.pop_front();
        return entry;
    }

    // How many messages from the front are ready (counted up to what the writer waits for).
    std::size_t readyRun() const {
        std::size_t n = 0;
        while (n < entries_.size() && n < writerWants_ && entries_[n]->ready) ++n;
        return n;
    }

    void work(std::size_t self) {
        for (;;) {
            Entry* entry = nullptr;
            std::vector<std::unique_ptr<Entry>> retired;
            {
                std::unique_lock lock(mutex_);
                ++idleWorkers_;
                wake_.wait(lock, [&] { return closing_ || !todo_.empty(); });
                --idleWorkers_;
                if (closing_) return;
                entry = todo_.front();
                todo_.pop_front();
                retired.swap(retired_[self]);
            }
            retired.clear();
            try {
                stages_.prepare(entry->slot);
            } catch (...) {
                entry->error = std::current_exception();
            }
            bool wakeWriter = false;
            {
                std::lock_guard lock(mutex_);
                entry->ready = true;
                entry->worker = self;
                wakeWriter = writerWants_ > 0 && readyRun() >= writerWants_;
            }
            if (wakeWriter) done_.notify_one();
        }
    }

    const PipelineStages<Slot>& stages_;
    const std::uint64_t window_;
    std::mutex mutex_;
    std::condition_variable wake_;  // work to do, or closing
    std::condition_variable done_;  // an entry became ready
    bool closing_ = false;
    std::size_t writerWants_ = 0;  // ready messages at the front the writer waits for; 0: it does not wait
    int idleWorkers_ = 0;
    std::deque<std::unique_ptr<Entry>> entries_;  // started and not yet written, in order
    std::deque<Entry*> todo_;                     // started and not yet taken by a worker
    std::vector<std::vector<std::unique_ptr<Entry>>> retired_;  // written, by the worker to destroy them
    std::vector<std::jthread> workers_;           // last member: joined before the entries go
};

}  // namespace detail

// Runs the stages over messages 0 .. count-1 with `threads` workers.
template <typename Slot>
void runPipeline(std::uint64_t count, int threads, const PipelineStages<Slot>& stages) {
    if (threads <= 1) {
        for (std::uint64_t k = 0; k < count && stages.keepGoing(); ++k) {
            Slot slot = stages.start(k);
            stages.prepare(slot);
            stages.write(slot);
        }
        return;
    }
    detail::Pipeline<Slot>(stages, threads).run(count);
}

}  // namespace exporter
