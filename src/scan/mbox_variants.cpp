#include "scan/mbox_variants.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include "mime/text_util.h"

namespace scan {
namespace {

constexpr std::size_t kHeaderReadLimit = 256 * 1024;
constexpr std::uint64_t kMaxTrailingBreaks = 4;

struct HeaderFacts {
    std::uint64_t bodyStart = 0;  // relative to the message's first byte
    std::optional<std::uint64_t> contentLength;
};

std::optional<std::uint64_t> decimalValue(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    if (text.empty() || text.size() > 18) return std::nullopt;
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return value;
}

// The header of the message in text (which starts with the line break before "From ", or with "From "):
// where its body starts and its Content-Length. Nothing when the header does not end within text.
std::optional<HeaderFacts> headerFacts(std::string_view text) {
    HeaderFacts facts;
    std::size_t pos = 0;
    while (pos < text.size() && (text[pos] == '\r' || text[pos] == '\n')) ++pos;
    bool envelope = true;
    while (pos < text.size()) {
        const std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) return std::nullopt;
        std::string_view line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        pos = end + 1;
        if (envelope) {
            envelope = false;
            continue;
        }
        if (line.empty()) {
            facts.bodyStart = pos;
            return facts;
        }
        const std::size_t colon = line.find(':');
        if (!facts.contentLength && colon != std::string_view::npos &&
            mime::EqualsNoCase(line.substr(0, colon), "Content-Length"))
            facts.contentLength = decimalValue(line.substr(colon + 1));
    }
    return std::nullopt;
}

bool onlyLineBreaks(const CMboxFile& mbox, std::uint64_t from, std::uint64_t to) {
    if (to < from || to - from > kMaxTrailingBreaks) return false;
    char bytes[kMaxTrailingBreaks];
    const auto count = static_cast<std::size_t>(to - from);
    if (mbox.file.readAt(from, bytes, count) != count) return false;
    return std::all_of(bytes, bytes + count, [](char c) { return c == '\r' || c == '\n'; });
}

}  // namespace

void joinContentLengthMessages(CMboxFile& mbox) {
    std::vector<std::uint64_t>& offsets = mbox.messageOffsets;
    const std::uint64_t fileSize = mbox.file.size();
    std::string buffer;
    for (std::size_t k = 0; k + 1 < offsets.size(); ++k) {
        const std::uint64_t start = offsets[k];
        buffer.resize(static_cast<std::size_t>(
            std::min<std::uint64_t>(kHeaderReadLimit, fileSize - std::min(fileSize, start))));
        buffer.resize(mbox.file.readAt(start, buffer.data(), buffer.size()));
        const std::optional<HeaderFacts> facts = headerFacts(buffer);
        if (!facts || !facts->contentLength) continue;
        const std::uint64_t bodyStart = start + facts->bodyStart;
        if (*facts->contentLength > fileSize - std::min(fileSize, bodyStart)) continue;
        const std::uint64_t end = bodyStart + *facts->contentLength;
        // The first boundary at or after the end; it must follow the body with nothing but line breaks.
        auto next =
            std::lower_bound(offsets.begin() + static_cast<std::ptrdiff_t>(k) + 1, offsets.end(), end);
        if (next == offsets.end() || !onlyLineBreaks(mbox, end, *next)) continue;
        offsets.erase(offsets.begin() + static_cast<std::ptrdiff_t>(k) + 1, next);
    }
}

void unescapeFromLines(std::string& message) {
    std::string out;
    out.reserve(message.size());
    std::size_t pos = 0;
    while (pos < message.size()) {
        std::size_t end = message.find('\n', pos);
        end = end == std::string::npos ? message.size() : end + 1;
        const std::string_view line(message.data() + pos, end - pos);
        const std::size_t quotes = line.find_first_not_of('>');
        const bool escaped =
            quotes != std::string_view::npos && quotes > 0 && line.substr(quotes).starts_with("From ");
        out.append(line.substr(escaped ? 1 : 0));
        pos = end;
    }
    message = std::move(out);
}

}  // namespace scan
