// Every message of the shared corpus (each .eml file and each message of each mbox file) parses and
// stores back without a fault; skipped when the corpus is absent.
#include <gtest/gtest.h>

#include "body_test_util.h"
#include "support/test_support.h"

using namespace mime;

namespace {

struct CorpusMessage {
    std::string label;
    std::string bytes;
};

// Messages of an mbox file: each starts at a line beginning with "From ".
std::vector<std::string> splitMbox(const std::string& text) {
    std::vector<std::size_t> starts;
    for (std::size_t at = 0; at < text.size();
         at = text.find('\n', at), at = at == std::string::npos ? text.size() : at + 1)
        if (text.compare(at, 5, "From ") == 0) starts.push_back(at);
    if (starts.empty() || starts.front() != 0) starts.insert(starts.begin(), 0);
    std::vector<std::string> messages;
    for (std::size_t i = 0; i < starts.size(); ++i) {
        const std::size_t end = i + 1 < starts.size() ? starts[i + 1] : text.size();
        if (end > starts[i]) messages.push_back(text.substr(starts[i], end - starts[i]));
    }
    return messages;
}

// Callers convert messages without any CR LF: a CR goes before every LF that does not follow one.
std::string withCrLf(const std::string& text) {
    if (text.find("\r\n") != std::string::npos) return text;
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
        out += text[i];
    }
    return out;
}

std::vector<CorpusMessage> corpusMessages(const std::filesystem::path& corpus) {
    std::vector<CorpusMessage> messages;
    for (const auto& file : testing_support::filesUnder(corpus / "eml"))
        messages.push_back({file.string(), testing_support::readFile(file)});
    for (const auto& file : testing_support::filesUnder(corpus / "mbox")) {
        const auto parts = splitMbox(testing_support::readFile(file));
        for (std::size_t i = 0; i < parts.size(); ++i)
            messages.push_back({file.string() + " #" + std::to_string(i), parts[i]});
    }
    return messages;
}

// Stores into exactly StoredSize bytes and into a roomier buffer; both must give the same bytes.
std::string storeChecked(const CMimeBody& body, const std::string& label) {
    const std::int64_t bound = body.StoredSize();
    std::string exact(static_cast<std::size_t>(bound), '\0');
    const std::int64_t written = body.WriteTo(exact.data(), bound);
    std::string roomy(static_cast<std::size_t>(bound) + 4096, '\0');
    const std::int64_t writtenRoomy = body.WriteTo(roomy.data(), static_cast<std::int64_t>(roomy.size()));
    EXPECT_LE(written, bound) << label;
    EXPECT_EQ(written, writtenRoomy) << label;
    if (written <= 0) return {};
    exact.resize(static_cast<std::size_t>(written));
    return exact;
}

}  // namespace

TEST(Corpus, EveryMessageParsesAndStoresBack) {
    const auto corpus = testing_support::sharedCorpus();
    if (!corpus) GTEST_SKIP() << "shared corpus not present";
    const auto messages = corpusMessages(*corpus);
    ASSERT_FALSE(messages.empty());
    std::size_t parsed = 0;
    for (const CorpusMessage& m : messages) {
        // As read (LF-only messages fail the header load and must do so cleanly) and converted.
        CMimeMessage raw;
        mime_test::parse(raw, m.bytes);
        storeChecked(raw, m.label);

        const std::string text = withCrLf(m.bytes);
        CMimeMessage message;
        const std::int64_t result = mime_test::parse(message, text);
        EXPECT_LE(result, static_cast<std::int64_t>(text.size())) << m.label;
        if (result > 0) ++parsed;
        std::vector<const CMimeBody*> leaves;
        message.CollectLeaves(leaves);
        for (const CMimeBody* leaf : leaves) (void)leaf->HasAttachmentName();
        CMimeMessage outline;
        EXPECT_EQ(mime_test::parseOutline(outline, text), result) << m.label;
        EXPECT_EQ(mime_test::outline(outline), mime_test::outlineWithoutContent(message)) << m.label;

        // Storing is stable: the stored bytes parse into a tree that stores to the same bytes.
        const std::string stored = storeChecked(message, m.label);
        if (stored.empty()) continue;
        CMimeMessage again;
        EXPECT_GT(mime_test::parse(again, stored), 0) << m.label;
        EXPECT_EQ(storeChecked(again, m.label), stored) << m.label;
    }
    // Only the deliberately broken messages may fail to load.
    EXPECT_GE(parsed * 100, messages.size() * 95) << parsed << " of " << messages.size();
}
