// The two boundary scanners. Results are defined byte position by byte position; the windowed path
// finds the same positions with block searches, and the fallback tests every position through the
// file handle.
#include <algorithm>
#include <cstring>
#include <future>
#include <tuple>
#include <utility>
#include <memory>
#include <new>

#include "scan/boundary_patterns.h"
#include "frame/process_state.h"
#include "scan/imm_boundary.h"
#include "scan/mbox_file.h"
#include "scan/scan_progress.h"

namespace scan {
namespace {

constexpr std::size_t kWindow = 4 << 20;  // bytes per read; the next window is read while this one is searched
constexpr std::size_t kSlice = 1 << 20;   // keepRunning is polled before each slice of a window
constexpr std::uint64_t kFallbackPoll = 4096;

struct ScanOutcome {
    bool ran = true;        // false when the windows could not be allocated
    bool completed = true;  // false when Stop ended the scan
    std::uint64_t end = 0;  // bytes actually seen: the file size unless the file shrank meanwhile
};

// Stop of the running job, or of this mailbox alone through keepRunning (set true again once seen).
bool stopRequested(CMboxFile& mbox) {
    if (frame::g_stopRequested.load(std::memory_order_relaxed)) return true;
    if (mbox.keepRunning.load(std::memory_order_relaxed)) return false;
    mbox.keepRunning = true;
    return true;
}

// Reads the file in overlapping windows so that a pattern of overlap + 1 bytes is never split; the
// read of the next window runs on a helper thread while the current one is searched (copying from
// the page cache costs about as much as the search). visit(data, size, base) sees bytes
// [base, base + size) and tests positions i with i + overlap + 1 <= base + size.
template <typename Visit>
ScanOutcome forEachWindow(CMboxFile& mbox, std::uint64_t fileSize, std::size_t overlap, ScanProgress& progress,
                          Visit&& visit) {
    std::unique_ptr<char[]> current(new (std::nothrow) char[kWindow]);
    std::unique_ptr<char[]> ahead(new (std::nothrow) char[kWindow]);
    if (!current || !ahead) return {false, false, 0};
    auto readWindow = [&mbox, fileSize](std::uint64_t base, char* into) {
        std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(kWindow, fileSize - base));
        return std::pair<std::size_t, std::size_t>{want, mbox.file.readAt(base, into, want)};
    };
    if (fileSize == 0) return {true, true, 0};
    if (stopRequested(mbox)) return {true, false, 0};
    mbox.messageOffsets.push_back(0);

    std::uint64_t base = 0;
    auto [want, got] = readWindow(base, current.get());
    for (;;) {
        const bool shortRead = got < want;  // the file shrank under us: end with what was found
        const bool last = shortRead || base + got >= fileSize;
        const std::uint64_t next = last ? base + got : base + got - overlap;
        std::future<std::pair<std::size_t, std::size_t>> pending;
        if (!last) pending = std::async(std::launch::async, readWindow, next, ahead.get());
        // Search the window in slices so that Stop is seen at least once per slice.
        const std::size_t tested = static_cast<std::size_t>(next - base);
        for (std::size_t offset = 0; offset < tested; offset += kSlice) {
            if (offset > 0 && stopRequested(mbox)) return {true, false, base + offset};
            std::size_t sliceEnd = std::min(tested, offset + kSlice);
            visit(current.get() + offset, std::min<std::size_t>(got - offset, sliceEnd - offset + overlap),
                  base + offset);
            progress.advanceTo(base + sliceEnd);
        }
        if (last) return {true, true, base + got};
        std::tie(want, got) = pending.get();
        std::swap(current, ahead);
        base = next;
        if (stopRequested(mbox)) return {true, false, base};
    }
}

// The literal loop: one positioned read of the pattern window at every byte position.
template <typename Test>
ScanOutcome forEachPosition(CMboxFile& mbox, std::uint64_t fileSize, std::size_t patternSize,
                            ScanProgress& progress, Test&& test) {
    char window[32];
    for (std::uint64_t i = 0; i < fileSize; ++i) {
        if (i % kFallbackPoll == 0 && stopRequested(mbox)) return {true, false, i};
        if (i % 100 == 0) progress.advanceTo(i + 1);
        if (i == 0) mbox.messageOffsets.push_back(0);
        mbox.file.seek(i);
        std::size_t got = mbox.file.read(window, patternSize);
        if (got == patternSize) test(window, i);
        if (got == 0) return {true, true, i};  // the file shrank under us
    }
    return {true, true, fileSize};
}

void finishScan(CMboxFile& mbox, const ScanOutcome& outcome, ScanProgress& progress) {
    if (outcome.completed) mbox.messageOffsets.push_back(outcome.end);
    progress.finish();
}

}  // namespace

int CMboxFile::scanFromLines(ScanPath path) {
    messageOffsets.clear();
    const std::uint64_t size = file.size();
    ScanProgress progress(notifyWindow, size);
    progress.begin();
    ScanOutcome outcome{false, false, 0};
    if (path == ScanPath::Windowed) {
        outcome = forEachWindow(*this, size, kFromLineLength - 1, progress,
                                [this](const char* data, std::size_t n, std::uint64_t base) {
                                    findFromLines(data, n, [&](std::size_t at) { messageOffsets.push_back(base + at); });
                                });
    }
    if (!outcome.ran) {
        outcome = forEachPosition(*this, size, kFromLineLength, progress, [this](const char* w, std::uint64_t i) {
            if (isFromLineAt(w)) messageOffsets.push_back(i);
        });
    }
    finishScan(*this, outcome, progress);
    return 1;
}

int CMboxFile::scanMimeVersion(const std::u16string& path, ScanPath method) {
    messageOffsets.clear();
    const std::uint64_t size = file.size();
    ScanProgress progress(notifyWindow, size);
    progress.begin();
    platform::CFile second;
    second.open(path);
    const std::size_t patternSize = kMimeVersionLength;

    auto run = [&](ScanPath how) {
        ImmBoundaryLocator locator(second);
        std::uint64_t matches = 0;
        auto onMatch = [&](std::uint64_t i) {
            if (++matches == 1) return;  // the first MIME-Version line belongs to the message at offset 0
            if (std::optional<std::uint64_t> start = locator.headerRunStart(i))
                messageOffsets.push_back(*start);
            else
                messageOffsets.push_back(locator.headerBlockBegan(i) ? i : locator.headerStart(i));
        };
        if (how == ScanPath::Fallback) {
            return forEachPosition(*this, size, patternSize, progress, [&](const char* w, std::uint64_t i) {
                if (isMimeVersionLineAt(w)) onMatch(i);
            });
        }
        return forEachWindow(*this, size, patternSize - 1, progress,
                             [&](const char* data, std::size_t n, std::uint64_t base) {
                                 locator.setWindow(data, n, base);
                                 findMimeVersionLines(data, n, [&](std::size_t at) { onMatch(base + at); });
                             });
    };
    ScanOutcome outcome = run(method);
    if (!outcome.ran) outcome = run(ScanPath::Fallback);
    finishScan(*this, outcome, progress);
    return 1;
}

CMboxFile::Span CMboxFile::messageSpan(std::uint64_t k) const {
    if (k + 1 >= messageOffsets.size()) return {};
    std::uint64_t start = messageOffsets[k];
    std::uint64_t end = messageOffsets[k + 1];
    return {start, end > start ? end - start : 0};
}

bool isImmPath(const std::u16string& path) {
    return path.size() >= 4 && path.compare(path.size() - 4, 4, u".imm") == 0;
}

}  // namespace scan
