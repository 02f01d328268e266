#pragma once
// Header field values as a reader sees them, in UTF-16: folding removed and RFC 2047 encoded words
// decoded, each word in its own charset (adjacent words of one charset are joined first, so that
// characters split between words survive). Bytes outside encoded words are taken as UTF-8 when valid,
// else Windows-1252. Words are found by the same reader as the library's field decoder
// (word_reader.h), under its strict rules; the display text of the message list (ToDisplayText of
// CMimeHeaderField::Value) does not consult charsets.
#include <string>
#include <string_view>

namespace mime {

// Removes the CR LF (or lone LF / CR) of folded lines; the white space after it stays.
std::string Unfold(std::string_view value);

// A raw field value (as written, encoded words not decoded) to UTF-16.
std::u16string DecodeFieldText(std::string_view raw);

// Trims white space at both ends and turns every run of CR, LF and TAB into one space.
std::u16string CollapseBlanks(std::u16string_view text);

}  // namespace mime
