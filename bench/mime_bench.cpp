// Parsing every message of a generated mailbox (KELVA_BENCH_MBOX) with the MIME library: the header
// only, as the folder listing does, and the whole body tree. The messages are cut at "From " lines,
// given CR LF line ends and held in memory before timing; KELVA_BENCH_MIME_LIMIT (bytes, default
// 64 MiB) caps how much of the mailbox is used. bench/run.py parses the same messages with Python's
// email package and prints the ratios.
#include <cstdlib>
#include <string>
#include <vector>

#include "bench_support.h"
#include "mime/mime_body.h"
#include "platform/mapped_file.h"
#include "platform/paths.h"

namespace {

// The messages as run.py cuts them: each starts at "From " at the start of the file or after an LF
// and runs to the next such start; messages are taken until their total reaches the limit.
std::vector<std::string> loadMessages(const std::string& path, std::size_t limit) {
    std::vector<std::string> messages;
    platform::CFile file;
    platform::MappedFile mapped;
    if (!file.openNative(path) || !mapped.map(file)) return messages;
    const std::string_view text = mapped.bytes();
    std::size_t total = 0;
    std::size_t start = 0;
    while (start < text.size() && total < limit) {
        std::size_t next = text.find("\nFrom ", start);
        next = next == std::string_view::npos ? text.size() : next + 1;
        const std::string_view message = text.substr(start, next - start);
        // A CR before every LF that does not follow one, as callers convert LF-only messages.
        std::string converted;
        converted.reserve(message.size() + message.size() / 32);
        for (std::size_t i = 0; i < message.size(); ++i) {
            if (message[i] == '\n' && (i == 0 || message[i - 1] != '\r')) converted += '\r';
            converted += message[i];
        }
        total += converted.size();
        messages.push_back(std::move(converted));
        start = next;
    }
    return messages;
}

const std::vector<std::string>& messages() {
    static const std::vector<std::string> loaded = [] {
        const char* limit = std::getenv("KELVA_BENCH_MIME_LIMIT");
        return loadMessages(bench::inputPath("KELVA_BENCH_MBOX"),
                            limit ? std::strtoull(limit, nullptr, 10) : 64u << 20);
    }();
    return loaded;
}

template <typename ParseOne>
void parseAll(benchmark::State& state, ParseOne parseOne) {
    const auto& all = messages();
    if (all.empty()) {
        state.SkipWithError("set KELVA_BENCH_MBOX to a mailbox");
        return;
    }
    std::int64_t count = 0, bytes = 0;
    for (auto _ : state) {
        for (const std::string& message : all) {
            parseOne(message);
            bytes += static_cast<std::int64_t>(message.size());
            ++count;
        }
    }
    state.SetItemsProcessed(count);
    state.SetBytesProcessed(bytes);
    state.counters["messages"] = static_cast<double>(all.size());
    state.counters["peak_rss_mib"] = bench::peakResidentMiB();
}

void BM_ParseHeaderOnly(benchmark::State& state) {
    parseAll(state, [](const std::string& message) {
        mime::CMimeHeader header;
        header.Parse(message.data(), static_cast<std::int64_t>(message.size()));
        benchmark::DoNotOptimize(header.ToText());
        benchmark::DoNotOptimize(header.FromText());
        benchmark::DoNotOptimize(header.SubjectText());
        benchmark::DoNotOptimize(header.DateText());
    });
}

void BM_ParseWholeTree(benchmark::State& state) {
    parseAll(state, [](const std::string& message) {
        mime::CMimeMessage tree;
        tree.Parse(message.data(), static_cast<std::int64_t>(message.size()));
        benchmark::DoNotOptimize(tree.Parts().size());
    });
}

}  // namespace

BENCHMARK(BM_ParseHeaderOnly)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_ParseWholeTree)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK_MAIN();
