// Reading and summarising every message of a generated mailbox (KELVA_BENCH_MBOX), one at a time, as
// the folder listing does.
#include "bench_support.h"
#include "platform/paths.h"
#include "scan/message_reader.h"
#include "scan/message_summary.h"

namespace {

void BM_ReadAndSummarize(benchmark::State& state) {
    std::string path = bench::inputPath("KELVA_BENCH_MBOX");
    scan::CMboxFile mbox;
    if (path.empty() || !mbox.file.open(platform::fromNativePath(path))) {
        state.SkipWithError("set KELVA_BENCH_MBOX to a mailbox");
        return;
    }
    mbox.scanFromLines();
    std::uint64_t messages = 0, bytes = 0;
    for (auto _ : state) {
        for (std::uint64_t k = 0; k < mbox.messageCount(); ++k) {
            auto text = scan::readMessage(mbox, k, false);
            bytes += text->size();
            scan::MessageSummary summary = scan::summarizeMessage(*text, false, mbox);
            benchmark::DoNotOptimize(summary);
            ++messages;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
    state.SetItemsProcessed(static_cast<std::int64_t>(messages));
    state.counters["peak_rss_mib"] = bench::peakResidentMiB();
}

}  // namespace

BENCHMARK(BM_ReadAndSummarize)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK_MAIN();
