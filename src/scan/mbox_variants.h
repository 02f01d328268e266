#pragma once
// Two mbox variants, each behind its option: mboxcl2, whose Content-Length header tells where a
// message ends (so a "From " line inside its body is no boundary), and mboxrd, whose writer escaped
// every line of ">From " and "From " with one more ">".
#include <atomic>
#include <string>

#include "scan/mbox_file.h"

namespace scan {

// Set: scans of mbox files honour a correct Content-Length header.
inline std::atomic<int> g_honourContentLength{0};

// Drops the boundaries found inside a message whose Content-Length is correct: its body, counted from
// the empty line after the header, ends where the next boundary (or the file) begins, give or take
// the line breaks in between. Messages without the header, or with a wrong one, stay as scanned.
void joinContentLengthMessages(CMboxFile& mbox);

// Removes one ">" from every line that is ">" repeated one or more times followed by "From ".
void unescapeFromLines(std::string& message);

}  // namespace scan
