#include <algorithm>
#include <cstring>

#include "mime/codec_primitives.h"
#include "mime/mime_codec.h"
#include "mime/text_util.h"
#include "mime/word_reader.h"

namespace mime {
namespace {

bool isLetterB(char letter) { return letter == 'B' || letter == 'b'; }

// Writes whole pieces while they fit; after the first piece that does not fit nothing more is written.
class PieceWriter {
public:
    PieceWriter(char* out, std::int64_t max) : out_(out), max_(std::max<std::int64_t>(max, 0)) {}

    bool put(std::string_view piece) {
        if (full_ || static_cast<std::int64_t>(piece.size()) > room()) {
            full_ = true;
            return false;
        }
        std::memcpy(out_ + written_, piece.data(), piece.size());
        written_ += static_cast<std::int64_t>(piece.size());
        return true;
    }
    // Hands the rest of the buffer to an encoder that reports how much it wrote.
    char* tail() { return out_ + written_; }
    void advance(std::int64_t count) { written_ += count; }

    std::int64_t room() const { return max_ - written_; }
    std::int64_t written() const { return written_; }

private:
    char* out_;
    std::int64_t max_;
    std::int64_t written_ = 0;
    bool full_ = false;
};

}  // namespace

std::int64_t CMimeEncodedWord::DecodedSizeBound() const { return inputLength; }

std::int64_t CMimeEncodedWord::Decode(char* out, std::int64_t max) {
    charset.clear();
    detail::FieldWordReader reader(Input(), detail::WordRules::Library);
    std::int64_t room = max;
    std::int64_t written = 0;
    detail::FieldPiece piece;
    while (room > 0 && reader.next(piece, room > 2)) {
        if (piece.kind == detail::FieldPiece::Kind::Word) {
            // Only a word that decodes names the charset: a malformed "=?" is plain text.
            if (charset.empty()) {
                charset.assign(piece.charset);
                encodingLetter = piece.letter;
            }
            const std::int64_t count = detail::DecodeWordText(piece, out + written, room);
            written += count;
            room -= count;
        } else if (piece.kind == detail::FieldPiece::Kind::Text) {
            const std::int64_t count =
                std::min<std::int64_t>(static_cast<std::int64_t>(piece.bytes.size()), room);
            std::memcpy(out + written, piece.bytes.data(), static_cast<std::size_t>(count));
            written += count;
            room -= count;
        }
    }
    return written;
}

std::int64_t CMimeEncodedWord::EncodedSizeBound() const {
    if (inputLength == 0) return 0;
    if (charset.empty()) return inputLength;
    const std::int64_t a = isLetterB(encodingLetter) ? detail::Base64EncodedSizeBound(inputLength, false)
                                                     : detail::QpEncodedSizeBound(Input());
    const auto c = static_cast<std::int64_t>(charset.size());
    // A charset of 64 bytes or more leaves words room for a few bytes each: count one word per unit.
    if (c >= 64) return a + (c + 11) * (a + 1);
    return a + (c + 11) * (a / (64 - c) + 1);
}

std::int64_t CMimeEncodedWord::Encode(char* out, std::int64_t max) {
    if (charset.empty()) return CMimeCodeBase::Encode(out, max);
    const std::string_view in = Input();
    if (in.empty()) return 0;
    const auto c = static_cast<std::int64_t>(charset.size());
    PieceWriter writer(out, max);

    if (isLetterB(encodingLetter)) {
        const std::string opener = "=?" + charset + "?B?";
        // Whole groups of three bytes per word, at least one group even for very long charset names.
        const std::size_t chunk = static_cast<std::size_t>(std::max<std::int64_t>((68 - c) / 4 * 3, 3));
        for (std::size_t start = 0; start < in.size(); start += chunk) {
            if (writer.room() < c + 7) break;
            if (start > 0 && !writer.put(" ")) break;
            if (!writer.put(opener)) break;
            writer.advance(
                detail::Base64Encode(in.substr(start, chunk), writer.tail(), writer.room(), false));
            if (!writer.put("?=")) break;
        }
        return writer.written();
    }

    const std::string opener = "=?" + charset + "?Q?";
    const std::int64_t limit = 68 - c;
    std::int64_t textLength = 0;
    if (!writer.put(opener)) return writer.written();
    for (unsigned char byte : in) {
        const bool escape = byte < 0x21 || byte > 0x7E || byte == '=' || byte == '?' || byte == '_';
        const int width = escape ? 3 : 1;
        if (textLength > 0 && textLength + width > limit) {
            if (!writer.put("?=") || !writer.put(" ") || !writer.put(opener)) return writer.written();
            textLength = 0;
        }
        const char escaped[3] = {'=', kHexAlphabet[byte >> 4], kHexAlphabet[byte & 15]};
        const char literal = static_cast<char>(byte);
        if (!writer.put(escape ? std::string_view(escaped, 3) : std::string_view(&literal, 1)))
            return writer.written();
        textLength += width;
    }
    writer.put("?=");
    return writer.written();
}

}  // namespace mime
