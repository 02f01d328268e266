#include "mime/field_text.h"

#include <vector>

#include "mime/charset_text.h"
#include "mime/mime_codec.h"

namespace mime {
namespace {

constexpr std::size_t npos = std::string_view::npos;

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

struct Segment {
    std::string bytes;
    std::string charset;  // of an encoded word; empty for plain text
    bool encoded = false;
};

// Longest charset name looked at; a longer run is no encoded word.
constexpr std::size_t kMaxCharsetLength = 64;

// The encoded word starting at at ("=?charset?B|Q?text?="): its length, or 0 when there is none.
// closes lists the offsets of every "?=" in the text in order; next is the first entry not yet
// passed, so that a text full of "=?" is read in linear time.
std::size_t encodedWordLength(std::string_view text, std::size_t at, const std::vector<std::size_t>& closes,
                              std::size_t& next, std::string_view& charset) {
    std::size_t q1 = at + 2;
    while (q1 < text.size() && q1 - at - 2 <= kMaxCharsetLength && text[q1] != '?' && !isBlank(text[q1])) ++q1;
    if (q1 >= text.size() || text[q1] != '?' || q1 == at + 2 || q1 + 2 >= text.size() || text[q1 + 2] != '?') return 0;
    const char letter = text[q1 + 1];
    if (letter != 'B' && letter != 'b' && letter != 'Q' && letter != 'q') return 0;
    while (next < closes.size() && closes[next] < q1 + 3) ++next;
    if (next == closes.size()) return 0;
    charset = text.substr(at + 2, q1 - at - 2);
    return closes[next] + 2 - at;
}

std::string wordBytes(std::string_view word) {
    CMimeEncodedWord codec;
    codec.BindInput(word, false);
    std::string out(word.size(), '\0');
    out.resize(static_cast<std::size_t>(codec.Convert(out.data(), static_cast<std::int64_t>(out.size()))));
    return out;
}

void addPlain(std::vector<Segment>& segments, std::string_view text) {
    if (text.empty()) return;
    if (!segments.empty() && !segments.back().encoded) {
        segments.back().bytes.append(text);
        return;
    }
    segments.push_back({std::string(text), {}, false});
}

void addWord(std::vector<Segment>& segments, std::string bytes, std::string charset) {
    // White space between two encoded words is not part of the text.
    if (segments.size() >= 2 && !segments.back().encoded && segments[segments.size() - 2].encoded) {
        const std::string& gap = segments.back().bytes;
        bool blank = true;
        for (char c : gap) blank = blank && isBlank(c);
        if (blank) segments.pop_back();
    }
    if (!segments.empty() && segments.back().encoded && CanonicalCharset(segments.back().charset) == CanonicalCharset(charset)) {
        segments.back().bytes += bytes;
        return;
    }
    segments.push_back({std::move(bytes), std::move(charset), true});
}

}  // namespace

std::string Unfold(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < value.size() && value[i + 1] == '\n') ++i;
            continue;
        }
        out.push_back(c);
    }
    return out;
}

std::u16string DecodeFieldText(std::string_view raw) {
    const std::string text = Unfold(raw);
    const std::string_view in(text);
    std::vector<Segment> segments;
    std::vector<std::size_t> closes;
    for (std::size_t c = in.find("?="); c != npos; c = in.find("?=", c + 1)) closes.push_back(c);
    std::size_t nextClose = 0;
    std::size_t plainStart = 0;
    std::size_t p = in.find("=?");
    while (p != npos) {
        std::string_view charset;
        const std::size_t length = encodedWordLength(in, p, closes, nextClose, charset);
        if (length == 0) {
            p = in.find("=?", p + 1);
            continue;
        }
        addPlain(segments, in.substr(plainStart, p - plainStart));
        addWord(segments, wordBytes(in.substr(p, length)), std::string(charset));
        plainStart = p + length;
        p = in.find("=?", plainStart);
    }
    addPlain(segments, in.substr(plainStart));
    std::u16string out;
    for (const Segment& s : segments) {
        out += s.encoded ? DecodeText(s.bytes, s.charset) : DecodeUnlabelled(s.bytes);
    }
    return out;
}

std::u16string CollapseBlanks(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size());
    bool pendingSpace = false;
    for (char16_t c : text) {
        if (c == u'\r' || c == u'\n' || c == u'\t' || c == u' ') {
            pendingSpace = !out.empty();
            continue;
        }
        if (pendingSpace) out.push_back(u' ');
        pendingSpace = false;
        out.push_back(c);
    }
    return out;
}

}  // namespace mime
