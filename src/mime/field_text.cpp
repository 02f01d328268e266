#include "mime/field_text.h"

#include <algorithm>
#include <vector>

#include "mime/charset_text.h"
#include "mime/word_reader.h"

namespace mime {
namespace {

struct Segment {
    std::string bytes;
    std::string charset;  // of an encoded word; empty for plain text
    bool encoded = false;
};

std::string wordBytes(const detail::FieldPiece& word) {
    std::string out(word.bytes.size(), '\0');
    out.resize(static_cast<std::size_t>(
        detail::DecodeWordText(word, out.data(), static_cast<std::int64_t>(out.size()))));
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
    if (!segments.empty() && segments.back().encoded && CanonicalCharset(segments.back().charset) == CanonicalCharset(charset)) {
        segments.back().bytes += bytes;
        return;
    }
    segments.push_back({std::move(bytes), std::move(charset), true});
}

}  // namespace

std::string Unfold(std::string_view value) {
    // Every CR and LF goes; the text between them is copied a run at a time.
    std::string out;
    out.reserve(value.size());
    std::size_t cr = value.find('\r');
    std::size_t lf = value.find('\n');
    for (std::size_t i = 0;;) {
        const std::size_t end = std::min(cr, lf);
        out.append(value.substr(i, end - i));
        if (end == std::string_view::npos) break;
        i = end + 1;
        if (end == cr) cr = value.find('\r', i);
        if (end == lf) lf = value.find('\n', i);
    }
    return out;
}

std::u16string DecodeFieldText(std::string_view raw) {
    const std::string text = Unfold(raw);
    // Without "=?" the value is one run of plain text.
    if (text.find("=?") == std::string::npos) return DecodeUnlabelled(text);
    std::vector<Segment> segments;
    detail::FieldWordReader reader(text, detail::WordRules::Strict);
    detail::FieldPiece piece;
    while (reader.next(piece)) {
        if (piece.kind == detail::FieldPiece::Kind::Word)
            addWord(segments, wordBytes(piece), std::string(piece.charset));
        else if (piece.kind == detail::FieldPiece::Kind::Text)
            addPlain(segments, piece.bytes);
    }
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
