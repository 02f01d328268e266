#pragma once
// Header text as a reader sees it: folding removed and RFC 2047 encoded words decoded, each word in
// its own charset (adjacent words of one charset are joined first, so that characters split between
// words survive). Bytes outside encoded words are taken as UTF-8 when valid, else Windows-1252.
#include <string>
#include <string_view>

namespace store::import {

// Removes the CR LF (or lone LF / CR) of folded lines; the white space after it stays.
std::string unfold(std::string_view value);

std::u16string decodeHeaderText(std::string_view raw);

// Trims white space at both ends and turns every run of CR, LF and TAB into one space.
std::u16string collapseBlanks(std::u16string_view text);

}  // namespace store::import
