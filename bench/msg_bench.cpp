// Import and MSG writing of every message of a generated mailbox (KELVA_BENCH_MBOX), one at a time,
// as the MSG file export does: each message is cut from the mailbox, imported into the MAPI model
// and written as a .msg file numbered as the export numbers them, into a scratch folder under
// KELVA_BENCH_OUT (default the temporary folder) that is removed afterwards.
#include <cstdlib>
#include <filesystem>

#include "bench_support.h"
#include "platform/paths.h"
#include "scan/message_reader.h"
#include "store/import/message_import.h"
#include "store/msg/msg_writer.h"

namespace {

void BM_ImportAndWriteMsg(benchmark::State& state) {
    const std::string path = bench::inputPath("KELVA_BENCH_MBOX");
    scan::CMboxFile mbox;
    if (path.empty() || !mbox.file.open(platform::fromNativePath(path))) {
        state.SkipWithError("set KELVA_BENCH_MBOX to a mailbox");
        return;
    }
    mbox.scanFromLines();
    std::string out = bench::inputPath("KELVA_BENCH_OUT");
    if (out.empty()) out = std::filesystem::temp_directory_path().string();
    const std::filesystem::path folder = std::filesystem::path(out) / "kelva-msg-bench";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    std::uint64_t messages = 0, bytes = 0, written = 0;
    for (auto _ : state) {
        for (std::uint64_t k = 0; k < mbox.messageCount(); ++k) {
            auto text = scan::readMessage(mbox, k, true);
            if (!text) continue;
            bytes += text->size();
            const store::mapi::Message message = store::import::importMessage(*text);
            const std::u16string msgPath = platform::fromNativePath((folder / (std::to_string(k + 1) + ".msg")).string());
            if (!store::msg::writeMsgFile(message, msgPath)) {
                state.SkipWithError("cannot write the .msg file");
                return;
            }
            written += std::filesystem::file_size(platform::nativePath(msgPath));
            ++messages;
        }
    }
    std::filesystem::remove_all(folder);
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
    state.SetItemsProcessed(static_cast<std::int64_t>(messages));
    state.counters["messages"] = static_cast<double>(messages);
    state.counters["msg_bytes_per_message"] = messages ? static_cast<double>(written) / static_cast<double>(messages) : 0.0;
    state.counters["peak_rss_mib"] = bench::peakResidentMiB();
}

}  // namespace

BENCHMARK(BM_ImportAndWriteMsg)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_MAIN();
