#include <array>

#include "mime/codec_primitives.h"
#include "mime/mime_codec.h"

namespace mime {
namespace detail {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<std::int8_t, 256> buildDecodeTable() {
    std::array<std::int8_t, 256> table{};
    for (auto& v : table) v = -1;
    for (int i = 0; i < 64; ++i)
        table[static_cast<unsigned char>(kAlphabet[i])] = static_cast<std::int8_t>(i);
    return table;
}
constexpr std::array<std::int8_t, 256> kDecode = buildDecodeTable();

// Writes characters with the line-break rule: after a character, a line longer than 75 characters
// is ended with CR LF when two bytes of room remain.
class Base64Writer {
public:
    Base64Writer(char* out, std::int64_t max, bool lineBreaks)
        : out_(out), max_(max), lineBreaks_(lineBreaks) {}

    bool put(char c) {
        if (written_ >= max_) return false;
        out_[written_++] = c;
        if (lineBreaks_ && ++line_ > 75 && max_ - written_ >= 2) endLine();
        return true;
    }
    void finish() {
        if (lineBreaks_ && line_ != 0 && max_ - written_ >= 2) endLine();
    }
    std::int64_t room() const { return max_ - written_; }
    std::int64_t written() const { return written_; }

private:
    void endLine() {
        out_[written_++] = '\r';
        out_[written_++] = '\n';
        line_ = 0;
    }

    char* out_;
    std::int64_t max_;
    bool lineBreaks_;
    std::int64_t written_ = 0;
    int line_ = 0;
};

}  // namespace

std::int64_t Base64EncodedSizeBound(std::int64_t n, bool lineBreaks) {
    const std::int64_t s = 4 * ((n + 2) / 3);
    return lineBreaks ? s + 2 * (s / 76) + 2 : s;
}

std::int64_t Base64Encode(std::string_view in, char* out, std::int64_t max, bool lineBreaks) {
    Base64Writer writer(out, max, lineBreaks);
    const auto* bytes = reinterpret_cast<const unsigned char*>(in.data());
    const std::size_t n = in.size();
    std::size_t i = 0;
    for (; i + 3 <= n; i += 3) {
        const unsigned group = (bytes[i] << 16) | (bytes[i + 1] << 8) | bytes[i + 2];
        if (!writer.put(kAlphabet[group >> 18]) || !writer.put(kAlphabet[(group >> 12) & 63]) ||
            !writer.put(kAlphabet[(group >> 6) & 63]) || !writer.put(kAlphabet[group & 63]))
            return writer.written();
    }
    const std::size_t left = n - i;
    if (left > 0) {
        const unsigned group = (bytes[i] << 16) | (left == 2 ? bytes[i + 1] << 8 : 0);
        if (!writer.put(kAlphabet[group >> 18]) || !writer.put(kAlphabet[(group >> 12) & 63]))
            return writer.written();
        if (left == 2 && !writer.put(kAlphabet[(group >> 6) & 63])) return writer.written();
        const std::int64_t padding = left == 1 ? 2 : 1;
        if (writer.room() >= padding)
            for (std::int64_t p = 0; p < padding; ++p) writer.put('=');
    }
    writer.finish();
    return writer.written();
}

std::int64_t Base64Decode(std::string_view in, char* out, std::int64_t max) {
    std::int64_t written = 0;
    int index = 0;  // position of the value within its group of four
    int previous = 0;
    const auto* bytes = reinterpret_cast<const unsigned char*>(in.data());
    const std::size_t n = in.size();
    for (std::size_t i = 0; i < n; ++i) {
        // Whole groups of four valid characters at a group start, three bytes at a time; anything else
        // (line ends, padding, invalid characters, a full output) takes the character-wise path below.
        while (index == 0 && i + 4 <= n && max - written >= 3) {
            const int a = kDecode[bytes[i]], b = kDecode[bytes[i + 1]], c = kDecode[bytes[i + 2]],
                      d = kDecode[bytes[i + 3]];
            if ((a | b | c | d) < 0) break;
            const unsigned group = (static_cast<unsigned>(a) << 18) | (static_cast<unsigned>(b) << 12) |
                                   (static_cast<unsigned>(c) << 6) | static_cast<unsigned>(d);
            out[written] = static_cast<char>(group >> 16);
            out[written + 1] = static_cast<char>(group >> 8);
            out[written + 2] = static_cast<char>(group);
            written += 3;
            i += 4;
        }
        if (i >= n) break;
        const unsigned char c = bytes[i];
        const int value = kDecode[c];
        // Padding ends the data; any other byte outside the alphabet (a line end, a blank a mailer
        // added, a stray character) is skipped, as RFC 2045 asks, so that it costs no data after it.
        if (c == '=') break;
        if (value < 0) continue;
        if (index > 0) {
            if (written >= max) break;
            if (index == 1)
                out[written++] = static_cast<char>((previous << 2) | (value >> 4));
            else if (index == 2)
                out[written++] = static_cast<char>(((previous & 15) << 4) | (value >> 2));
            else
                out[written++] = static_cast<char>(((previous & 3) << 6) | value);
        }
        previous = value;
        index = (index + 1) & 3;
    }
    return written;
}

}  // namespace detail

std::int64_t CMimeCodeBase64::EncodedSizeBound() const {
    return detail::Base64EncodedSizeBound(inputLength, addLineBreaks);
}
std::int64_t CMimeCodeBase64::DecodedSizeBound() const { return inputLength * 3 / 4 + 2; }

std::int64_t CMimeCodeBase64::Encode(char* out, std::int64_t max) {
    return detail::Base64Encode(Input(), out, max, addLineBreaks);
}
std::int64_t CMimeCodeBase64::Decode(char* out, std::int64_t max) {
    return detail::Base64Decode(Input(), out, max);
}

}  // namespace mime
