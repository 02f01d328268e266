#include <algorithm>
#include <cstring>

#include "mime/codec_primitives.h"
#include "mime/mime_codec.h"

namespace mime {
namespace detail {
namespace {

// The value of a byte as an escape digit: byte - '0' up to '9', byte - 55 above, taken modulo 16 for
// the second digit (so a lower-case second digit still decodes).
// The value of a hex digit of either case (RFC 2045 asks robust decoders to accept lower case), or -1.
int hexValue(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Quoted-printable encoder state: the current line length and the output position of the last literal
// space or tab written while the line was not empty (the break candidate).
class QpWriter {
public:
    QpWriter(char* out, std::int64_t max) : out_(out), max_(max) {}

    void lineBreak(unsigned char c) {
        if (room() < 1) return;
        out_[written_++] = static_cast<char>(c);
        line_ = 0;
        candidate_ = -1;
    }

    void token(unsigned char c, bool escape) {
        const int width = escape ? 3 : 1;
        if (line_ + width > 75 && room() >= 3) {
            softBreak();
            // The bytes moved after the break candidate may still leave no room for this token.
            if (line_ + width > 75 && room() >= 3) softBreak();
        }
        if (room() < width) return;  // the byte is dropped
        if (escape) {
            out_[written_++] = '=';
            out_[written_++] = kHexAlphabet[c >> 4];
            out_[written_++] = kHexAlphabet[c & 15];
        } else {
            if ((c == ' ' || c == '\t') && line_ > 0) candidate_ = written_;
            out_[written_++] = static_cast<char>(c);
        }
        line_ += width;
    }

    std::int64_t written() const { return written_; }

private:
    std::int64_t room() const { return max_ - written_; }

    void softBreak() {
        if (candidate_ >= 0) {
            const std::int64_t at = candidate_ + 1;
            const std::int64_t moved = written_ - at;
            std::memmove(out_ + at + 3, out_ + at, static_cast<std::size_t>(moved));
            std::memcpy(out_ + at, "=\r\n", 3);
            line_ = static_cast<int>(moved);
        } else {
            std::memcpy(out_ + written_, "=\r\n", 3);
            line_ = 0;
        }
        written_ += 3;
        candidate_ = -1;
    }

    char* out_;
    std::int64_t max_;
    std::int64_t written_ = 0;
    int line_ = 0;
    std::int64_t candidate_ = -1;
};

bool mustEscape(std::string_view in, std::size_t i) {
    const auto c = static_cast<unsigned char>(in[i]);
    const std::size_t n = in.size();
    if (c == ' ' || c == '\t') return i + 1 == n || in[i + 1] == '\r';
    if (c == '.')
        return i >= 2 && in[i - 2] == '\r' && in[i - 1] == '\n' && i + 2 < n && in[i + 1] == '\r' &&
               in[i + 2] == '\n';
    return c < 0x21 || c > 0x7E || c == '=';
}

}  // namespace

std::int64_t QpEncodedSizeBound(std::string_view in) {
    std::int64_t s = static_cast<std::int64_t>(in.size());
    for (unsigned char c : in)
        if (!HasCharClass(c, kCharAlnum)) s += 2;
    return s + 6 * (s / 74);
}

std::int64_t QpDecode(std::string_view in, char* out, std::int64_t max, bool underscoreIsSpace) {
    std::int64_t written = 0;
    const std::size_t n = in.size();
    std::size_t i = 0;
    while (i < n && written < max) {
        const auto c = static_cast<unsigned char>(in[i]);
        if (c != '=' && !underscoreIsSpace) {  // the bytes up to the next '=' as they are
            const void* escape = std::memchr(in.data() + i, '=', n - i);
            const std::size_t end =
                escape ? static_cast<std::size_t>(static_cast<const char*>(escape) - in.data()) : n;
            const std::size_t run = std::min(end - i, static_cast<std::size_t>(max - written));
            std::memcpy(out + written, in.data() + i, run);
            written += static_cast<std::int64_t>(run);
            i += run;
            continue;
        }
        if (c != '=') {
            out[written++] = underscoreIsSpace && c == '_' ? ' ' : static_cast<char>(c);
            ++i;
            continue;
        }
        // A soft line break: '=', blanks a mailer may have left, then the line end (or the end of the text).
        std::size_t after = i + 1;
        while (after < n && (in[after] == ' ' || in[after] == '\t')) ++after;
        if (after == n || in[after] == '\r' || in[after] == '\n') {
            if (after < n && in[after] == '\r' && after + 1 < n && in[after + 1] == '\n') ++after;
            i = after == n ? n : after + 1;
            continue;
        }
        const int high = i + 2 < n ? hexValue(static_cast<unsigned char>(in[i + 1])) : -1;
        const int low = i + 2 < n ? hexValue(static_cast<unsigned char>(in[i + 2])) : -1;
        if (high >= 0 && low >= 0) {
            out[written++] = static_cast<char>(high * 16 + low);
            i += 3;
            continue;
        }
        // Not an escape: the '=' stands for itself (RFC 2045, 6.7), so no byte after it is lost.
        out[written++] = '=';
        ++i;
    }
    return written;
}

}  // namespace detail

std::int64_t CMimeCodeQP::EncodedSizeBound() const { return detail::QpEncodedSizeBound(Input()); }
std::int64_t CMimeCodeQP::DecodedSizeBound() const { return inputLength; }

std::int64_t CMimeCodeQP::Encode(char* out, std::int64_t max) {
    detail::QpWriter writer(out, max);
    const std::string_view in = Input();
    for (std::size_t i = 0; i < in.size(); ++i) {
        const auto c = static_cast<unsigned char>(in[i]);
        if (c == '\r' || c == '\n')
            writer.lineBreak(c);
        else
            writer.token(c, detail::mustEscape(in, i));
    }
    return writer.written();
}

std::int64_t CMimeCodeQP::Decode(char* out, std::int64_t max) {
    return detail::QpDecode(Input(), out, max, false);
}

}  // namespace mime
