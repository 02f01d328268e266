#include <cstdint>
#include <cstring>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#endif

#include "mime/cpu_support.h"
#include "mime/media_types.h"
#include "mime/mime_body.h"
#include "mime/text_util.h"

namespace mime {
namespace {

constexpr std::size_t npos = std::string_view::npos;

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
// The first position at or after from where the needle stands, for a needle of two or more bytes
// whose first byte occurs in it only there (a delimiter: its CR). Candidates are found 32 positions
// at a time by the needle's first and last bytes. A candidate that fails to match stops comparing
// before the next occurrence of the first byte, so each byte of the text is compared about once.
__attribute__((target("avx2"))) std::size_t findUniqueStartAvx2(std::string_view in, std::string_view needle,
                                                                std::size_t from) {
    const std::size_t m = needle.size();
    const __m256i first = _mm256_set1_epi8(needle.front());
    const __m256i last = _mm256_set1_epi8(needle.back());
    std::size_t i = from;
    for (; i + m - 1 + 32 <= in.size(); i += 32) {
        const __m256i starts = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in.data() + i));
        const __m256i ends = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in.data() + i + m - 1));
        auto candidates = static_cast<std::uint32_t>(_mm256_movemask_epi8(
            _mm256_and_si256(_mm256_cmpeq_epi8(starts, first), _mm256_cmpeq_epi8(ends, last))));
        for (; candidates != 0; candidates &= candidates - 1) {
            const std::size_t at = i + static_cast<std::size_t>(__builtin_ctz(candidates));
            if (std::memcmp(in.data() + at + 1, needle.data() + 1, m - 2) == 0) return at;
        }
    }
    return FindBytes(in, needle, i);
}

#endif

// FindBytes for a delimiter.
std::size_t findDelimiterText(std::string_view in, std::string_view delimiter, std::size_t from) {
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
    const bool uniqueStart = delimiter.size() >= 2 && delimiter.find(delimiter.front(), 1) == npos;
    if (uniqueStart && from <= in.size() && detail::hasAvx2()) return findUniqueStartAvx2(in, delimiter, from);
#endif
    return FindBytes(in, delimiter, from);
}

// The next delimiter (CR LF "--" boundary) at or after from. The boundary must not continue on its
// line: a line starting with "--" boundary "-alt" belongs to a nested multipart whose boundary merely
// begins with this one. What may follow is "--", transport padding, the line end or the end of the text.
std::size_t findDelimiter(std::string_view in, std::string_view delimiter, std::size_t from) {
    while (true) {
        const std::size_t at = findDelimiterText(in, delimiter, from);
        if (at == npos) return npos;
        const std::size_t after = at + delimiter.size();
        if (after >= in.size()) return at;
        const char next = in[after];
        if (next == '\r' || next == '\n' || next == ' ' || next == '\t') return at;
        if (next == '-' && (after + 1 == in.size() || in[after + 1] == '-')) return at;
        from = at + 1;
    }
}

}  // namespace

bool CMimeBody::decodeContent(std::string_view encoded) {
    const std::optional<std::string> encoding = TransferEncodingText();
    auto codec = MakeTransferCodec(encoding ? std::string_view(*encoding) : std::string_view());
    codec->BindInput(encoded, false);
    const std::int64_t bound = codec->OutputSizeBound();
    if (!allocateContent(bound)) return false;
    contentSize = codec->Convert(content.get(), bound);
    content[contentSize] = '\0';
    contentCapacity_ = contentSize;
    return true;
}

std::int64_t CMimeBody::Parse(const char* text, std::int64_t length) {
    Reset();
    if (!text || length <= 0) return 0;
    const std::int64_t bodyStart = CMimeHeader::Parse(text, length);
    if (bodyStart == 0) return 0;
    const std::string_view in(text, static_cast<std::size_t>(length));

    // The first delimiter is searched from two bytes before the body, so that a delimiter line right
    // after the blank line is found; the preamble keeps the CR LF that begins the delimiter.
    std::string delimiter;
    std::size_t first = npos;
    if (depth_ < kMaxNestingDepth && MediaTypeIndex() == kMediaMultipart) {
        const std::string boundary = BoundaryText();
        if (!boundary.empty()) {
            delimiter = "\r\n--" + boundary;
            first =
                findDelimiter(in, delimiter, static_cast<std::size_t>(bodyStart >= 2 ? bodyStart - 2 : 0));
        }
    }
    const std::size_t contentEnd = first == npos ? in.size() : first + 2;
    if (keepContent_ && contentEnd > static_cast<std::size_t>(bodyStart) &&
        !decodeContent(in.substr(static_cast<std::size_t>(bodyStart), contentEnd - bodyStart)))
        return -1;
    if (first == npos) return length;
    return parseParts(in, first, delimiter);
}

std::int64_t CMimeBody::ParseOutline(const char* text, std::int64_t length) {
    keepContent_ = false;
    const std::int64_t consumed = Parse(text, length);
    keepContent_ = true;
    return consumed;
}

std::int64_t CMimeBody::parseParts(std::string_view in, std::size_t at, const std::string& delimiter) {
    const auto whole = static_cast<std::int64_t>(in.size());
    while (true) {
        const std::size_t afterBoundary = at + delimiter.size();
        const std::size_t lineEnd = FindCrLf(in, afterBoundary);  // transport padding is ignored
        if (lineEnd == npos) return whole;
        if (in.compare(afterBoundary, 2, "--") == 0) return static_cast<std::int64_t>(lineEnd + 2);
        const std::size_t partStart = lineEnd + 2;
        const std::size_t next = findDelimiter(in, delimiter, partStart);
        if (next == npos) {
            // No close delimiter: the text's last line end is the one that would have begun it, as
            // a delimiter's CR LF never belongs to the part before it.
            std::string_view last = in.substr(partStart);
            if (last.ends_with("\r\n")) last.remove_suffix(2);
            addPart(last);
            return whole;
        }
        addPart(in.substr(partStart, next - partStart));
        at = next;
    }
}

void CMimeBody::addPart(std::string_view bytes) {
    // The part's class depends on its main type; with no media type registered every part is a
    // CMimeBody and the header need not be read twice.
    std::string mainType;
    if (!MediaTypeRegistryEmpty()) {
        CMimeBody probe;
        probe.CMimeHeader::Parse(bytes.data(), static_cast<std::int64_t>(bytes.size()));
        mainType = probe.MainTypeText();
    }
    parts.push_back(MakeBody(mainType));
    CMimeBody& part = *parts.back();
    part.depth_ = depth_ + 1;
    part.keepContent_ = keepContent_;
    part.Parse(bytes.data(), static_cast<std::int64_t>(bytes.size()));  // a malformed part keeps what it read
}

}  // namespace mime
