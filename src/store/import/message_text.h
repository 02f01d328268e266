#pragma once
// The raw text of a message made ready for parsing, and its header read without decoding.
//
// prepareMessageText: a leading mbox envelope line ("From ..." or ">From ...") is dropped, every line
// end becomes CR LF, blanks between a top-level field name and its colon are removed, and when the
// header ends at a line that is not a field (rather than at a blank line) a blank line is put in
// front of that line, so that every parser sees the same header and body.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace store::import {

// Takes the bytes by value: a caller that moves its buffer in is not charged a second copy.
std::string prepareMessageText(std::string bytes);

struct RawField {
    std::string name;   // as written, without trailing blanks
    std::string value;  // raw, folding kept (CR LF + blank), leading blanks removed, no final CR LF
};

// The header of prepared text: its fields in order, the header block as written (without the blank
// line that ends it) and the offset of the body.
struct RawHeader {
    std::vector<RawField> fields;
    std::string_view block;
    std::size_t bodyOffset = 0;

    // The first field of that name (case-insensitive), or null.
    const RawField* find(std::string_view name) const;
    // Every field of that name, in order.
    std::vector<const RawField*> findAll(std::string_view name) const;
};

// Reads the header of prepared text; the views point into text.
RawHeader readRawHeader(std::string_view text);

bool equalsNoCase(std::string_view a, std::string_view b);

}  // namespace store::import
