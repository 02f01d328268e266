#include "corpus_messages.h"

#include "platform/paths.h"
#include "scan/message_reader.h"
#include "support/test_support.h"

namespace store_test {
namespace {

std::string stemOf(const std::filesystem::path& corpus, const std::filesystem::path& file, bool dropExtension) {
    std::filesystem::path relative = std::filesystem::relative(file, corpus);
    if (dropExtension) relative.replace_extension();
    std::string name;
    for (const auto& part : relative) {
        if (!name.empty()) name += "__";
        name += part.string();
    }
    return name;
}

}  // namespace

std::vector<CorpusMessage> corpusMessages(const std::filesystem::path& corpus) {
    std::vector<CorpusMessage> out;
    for (const auto& file : testing_support::filesUnder(corpus / "eml")) {
        if (file.extension() != ".eml") continue;
        out.push_back({stemOf(corpus, file, true), testing_support::readFile(file)});
    }
    for (const auto& file : testing_support::filesUnder(corpus / "mbox")) {
        scan::CMboxFile mbox;
        if (!mbox.file.open(platform::fromNativePath(file.string()))) continue;
        mbox.scanFromLines();
        for (std::uint64_t k = 0; k < mbox.messageCount(); ++k) {
            auto bytes = scan::readMessage(mbox, k, true);
            if (!bytes) continue;
            out.push_back({stemOf(corpus, file, false) + "__" + std::to_string(k + 1), std::move(*bytes)});
        }
    }
    return out;
}

}  // namespace store_test
