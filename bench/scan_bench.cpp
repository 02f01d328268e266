// Throughput of the two boundary scanners on a generated mailbox (KELVA_BENCH_MBOX, KELVA_BENCH_IMM).
#include "bench_support.h"
#include "platform/paths.h"
#include "scan/mbox_file.h"

namespace {

void scanFile(benchmark::State& state, const char* variable, bool imm) {
    std::string path = bench::inputPath(variable);
    if (path.empty()) {
        state.SkipWithError("set the input path in the environment");
        return;
    }
    std::u16string widePath = platform::fromNativePath(path);
    std::uint64_t bytes = 0, messages = 0;
    for (auto _ : state) {
        scan::CMboxFile mbox;
        if (!mbox.file.open(widePath)) {
            state.SkipWithError("cannot open the input");
            return;
        }
        if (imm)
            mbox.scanMimeVersion(widePath);
        else
            mbox.scanFromLines();
        bytes += mbox.file.size();
        messages = mbox.messageCount();
        benchmark::DoNotOptimize(mbox.messageOffsets.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
    state.counters["messages"] = static_cast<double>(messages);
    state.counters["peak_rss_mib"] = bench::peakResidentMiB();
}

void BM_ScanFromLines(benchmark::State& state) { scanFile(state, "KELVA_BENCH_MBOX", false); }
void BM_ScanMimeVersion(benchmark::State& state) { scanFile(state, "KELVA_BENCH_IMM", true); }

}  // namespace

BENCHMARK(BM_ScanFromLines)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ScanMimeVersion)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK_MAIN();
