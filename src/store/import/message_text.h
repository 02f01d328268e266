#pragma once
// The raw text of a message made ready for parsing, and where its header block ends.
//
// prepareMessageText: a leading mbox envelope line ("From ..." or ">From ...") is dropped, every line
// end becomes CR LF, blanks between a top-level field name and its colon are removed, and when the
// header ends at a line that is not a field (rather than at a blank line) a blank line is put in
// front of that line, so that every parser sees the same header and body.
#include <string>
#include <string_view>

namespace store::import {

// Takes the bytes by value: a caller that moves its buffer in is not charged a second copy.
std::string prepareMessageText(std::string bytes);
// The same, and lfSource tells whether the bytes had LF line ends (hasLfLineEnds below): one reading
// of the bytes answers both.
std::string prepareMessageText(std::string bytes, bool& lfSource);

// The header block of prepared text as written: every field line with its CR LF, without the blank
// line that ends the header; the whole text when there is no blank line.
std::string_view headerBlockOf(std::string_view text);

// True when the text has line ends and every one is a bare LF (an mbox written on Unix): the CR LF
// that prepareMessageText puts in their place can be undone exactly.
bool hasLfLineEnds(std::string_view text);

}  // namespace store::import
