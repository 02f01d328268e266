#pragma once
// The one reading of RFC 2047 encoded words in a header field value, shared by the field decoder that
// yields the bytes the system shows (CMimeEncodedWord) and the one that yields UTF-16 text
// (DecodeFieldText). The value is cut into pieces: runs of text, encoded words, and the blank runs
// between two words, which are no part of the text.
//
// Two rules tell what counts as a word. The library's (CMimeEncodedWord): any charset name up to the
// next '?', and a word without its closing "?=" runs to the end of the value; a blank run after a word
// is dropped when any "=?" follows. The strict ones (UTF-16 text): a charset name of 1 to 65 bytes
// without blanks, the closing "?=" required; a blank run is dropped only between two words.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace mime::detail {

enum class WordRules { Library, Strict };

struct FieldPiece {
    enum class Kind { Text, Word, Gap };
    Kind kind = Kind::Text;
    std::string_view bytes;    // the piece as written
    std::string_view charset;  // Word: the charset name as written
    char letter = 0;           // Word: 'b' or 'q'
    std::string_view text;     // Word: the encoded text
};

class FieldWordReader {
  public:
    FieldWordReader(std::string_view value, WordRules rules) : in_(value), rules_(rules) {}

    // The next piece; false at the end. Without wordsAllowed a "=?" is read as text (a decoder that
    // has no room left for a word).
    bool next(FieldPiece& piece, bool wordsAllowed = true);

  private:
    bool readWord(std::size_t at, FieldPiece& word, std::size_t& end);
    std::size_t closeFrom(std::size_t from);  // the first "?=" at or after from, or npos
    bool isGap(std::string_view run, std::size_t at, std::size_t nextStart);

    std::string_view in_;
    WordRules rules_;
    std::size_t position_ = 0;
    bool afterWord_ = false;
    std::size_t searchedFrom_ = 0;              // the last close search and its answer: positions only grow,
    std::size_t foundClose_ = ~std::size_t{0};  // so each byte is searched about once
    bool searched_ = false;
};

// The bytes of a word's encoded text (base64 or quoted-printable with '_' for a space), at most room.
std::int64_t DecodeWordText(const FieldPiece& word, char* out, std::int64_t room);

}  // namespace mime::detail
