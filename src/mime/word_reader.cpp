#include "mime/word_reader.h"

#include <algorithm>

#include "mime/char_class.h"
#include "mime/codec_primitives.h"
#include "mime/text_util.h"

namespace mime::detail {
namespace {

constexpr std::size_t npos = std::string_view::npos;

// Longest charset name the strict rules accept, plus one.
constexpr std::size_t kMaxStrictCharset = 64;

bool isStrictBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Position of the next "=?" at or after from that starts before the last two bytes, or npos.
std::size_t findWordStart(std::string_view in, std::size_t from) {
    if (in.size() < 3) return npos;
    return FindBytes(in.substr(0, in.size() - 1), "=?", from);
}

}  // namespace

std::size_t FieldWordReader::closeFrom(std::size_t from) {
    if (!searched_ || from < searchedFrom_ || (foundClose_ != npos && foundClose_ < from)) {
        foundClose_ = FindBytes(in_, "?=", from);
        searchedFrom_ = from;
        searched_ = true;
    }
    return foundClose_;
}

bool FieldWordReader::readWord(std::size_t at, FieldPiece& word, std::size_t& end) {
    const std::size_t n = in_.size();
    std::size_t q = at + 2;
    if (rules_ == WordRules::Library) {
        while (q < n && in_[q] != '\0' && in_[q] != '?') ++q;
    } else {
        while (q < n && q - at - 2 <= kMaxStrictCharset && in_[q] != '?' && in_[q] != '\0' &&
               !isStrictBlank(in_[q]))
            ++q;
        if (q == at + 2) return false;
    }
    if (q >= n || in_[q] != '?' || q + 2 >= n || in_[q + 2] != '?') return false;
    const std::size_t textStart = q + 3;
    if (textStart >= n && rules_ == WordRules::Library) return false;
    const char letter = static_cast<char>(LowerAscii(static_cast<unsigned char>(in_[q + 1])));
    if (letter != 'b' && letter != 'q') return false;
    const std::size_t close = closeFrom(textStart);
    if (close == npos && rules_ == WordRules::Strict) return false;
    const std::size_t textEnd = close == npos ? n : close;
    end = close == npos ? n : close + 2;
    word.kind = FieldPiece::Kind::Word;
    word.bytes = in_.substr(at, end - at);
    word.charset = in_.substr(at + 2, q - at - 2);
    word.letter = letter;
    word.text = in_.substr(textStart, textEnd - textStart);
    return true;
}

bool FieldWordReader::isGap(std::string_view run, std::size_t at, std::size_t nextStart) {
    if (nextStart == npos) return false;
    if (rules_ == WordRules::Library)
        return at > 0 && std::all_of(run.begin(), run.end(),
                                     [](char c) { return IsSpaceByte(static_cast<unsigned char>(c)); });
    if (!afterWord_ || !std::all_of(run.begin(), run.end(), isStrictBlank)) return false;
    FieldPiece following;
    std::size_t end = 0;
    return readWord(nextStart, following, end);
}

bool FieldWordReader::next(FieldPiece& piece, bool wordsAllowed) {
    if (position_ >= in_.size()) return false;
    std::size_t end = 0;
    if (wordsAllowed && in_.compare(position_, 2, "=?") == 0 && readWord(position_, piece, end)) {
        position_ = end;
        afterWord_ = true;
        return true;
    }
    const std::size_t nextStart = findWordStart(in_, position_ + 1);
    const std::size_t runEnd = nextStart == npos ? in_.size() : nextStart;
    piece = {};
    piece.bytes = in_.substr(position_, runEnd - position_);
    piece.kind = isGap(piece.bytes, position_, nextStart) ? FieldPiece::Kind::Gap : FieldPiece::Kind::Text;
    position_ = runEnd;
    afterWord_ = false;
    return true;
}

std::int64_t DecodeWordText(const FieldPiece& word, char* out, std::int64_t room) {
    return word.letter == 'b' ? Base64Decode(word.text, out, room) : QpDecode(word.text, out, room, true);
}

}  // namespace mime::detail
