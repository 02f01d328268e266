#include <cstring>

#include "mime/mime_header.h"
#include "mime/text_util.h"

namespace mime {
namespace {

constexpr std::size_t npos = std::string_view::npos;

bool isBlankByte(char c) { return c == ' ' || c == '\t'; }

// The CR LF that ends a value starting at from: the first one not followed by a space or tab.
std::size_t findValueEnd(std::string_view in, std::size_t from) {
    for (;;) {
        const std::size_t at = FindCrLf(in, from);
        if (at == npos || at + 2 >= in.size() || !isBlankByte(in[at + 2])) return at;
        from = at + 2;
    }
}

}  // namespace

std::int64_t CMimeHeaderField::Parse(const char* text, std::int64_t length) {
    name.clear();
    stored_.clear();
    charset_.clear();
    made_ = false;
    if (!text || length <= 0) return 0;
    const std::string_view in(text, static_cast<std::size_t>(length));

    // A line starting with white space before any field is a stray continuation; CR is the blank line.
    std::size_t p = 0;
    while (p < in.size() && IsSpaceByte(static_cast<unsigned char>(in[p]))) {
        if (in[p] == '\r') return 0;
        const std::size_t lineEnd = FindCrLf(in, p);
        if (lineEnd == npos) return 0;
        p = lineEnd + 2;
    }

    std::size_t stop = p;
    while (stop < in.size() && in[stop] != ':' && in[stop] != '\r' && in[stop] != '\n' && in[stop] != '\0')
        ++stop;
    std::size_t valueStart = p;
    if (stop < in.size() && in[stop] == ':') {
        name.assign(in.substr(p, stop - p));
        valueStart = stop + 1;
    }
    while (valueStart < in.size() && isBlankByte(in[valueStart])) ++valueStart;

    const std::size_t end = findValueEnd(in, valueStart);
    if (end == npos) return 0;
    stored_.assign(in.substr(valueStart, end - valueStart));
    return static_cast<std::int64_t>(end + 2);
}

CMimeHeaderField::Decoded CMimeHeaderField::DecodedValue() const {
    // No encoded word: every field codec decodes the value to itself.
    if (made_ || FindBytes(stored_, "=?", 0) == npos) return {stored_, charset_};
    auto codec = MakeFieldCodec(name);
    codec->BindInput(stored_, false);
    Decoded decoded;
    decoded.bytes.resize(stored_.size());
    decoded.bytes.resize(static_cast<std::size_t>(
        codec->Convert(decoded.bytes.data(), static_cast<std::int64_t>(stored_.size()))));
    decoded.charset = std::move(codec->charset);
    return decoded;
}

void CMimeHeaderField::SetText(std::string text) {
    charset_ = Charset();
    stored_ = std::move(text);
    made_ = true;
}

std::int64_t CMimeHeaderField::StoredSize() const {
    const auto nameLength = static_cast<std::int64_t>(name.size());
    const Decoded value = DecodedValue();
    if (value.charset.empty()) return nameLength + 4 + static_cast<std::int64_t>(value.bytes.size());
    auto codec = MakeFieldCodec(name);
    codec->charset = value.charset;
    codec->BindInput(value.bytes, true);
    return nameLength + 4 + codec->EncodedSizeBound();
}

std::int64_t CMimeHeaderField::WriteTo(char* buffer, std::int64_t size) const {
    const auto nameLength = static_cast<std::int64_t>(name.size());
    if (!buffer || size < nameLength + 4) return 0;
    std::memcpy(buffer, name.data(), name.size());
    std::memcpy(buffer + nameLength, ": ", 2);
    std::int64_t written = nameLength + 2;
    const Decoded value = DecodedValue();
    auto codec = MakeFieldCodec(name);
    codec->charset = value.charset;
    codec->BindInput(value.bytes, true);
    written += codec->Encode(buffer + written, size - nameLength - 4);
    std::memcpy(buffer + written, "\r\n", 2);
    return written + 2;
}

}  // namespace mime
