#pragma once
// HTML bodies turned into plain text (the text a reader sees; not a safety filter: see html_sanitizer.h).
#include <string>
#include <string_view>

namespace mime {

// The text a reader sees: no markup, scripts, styles or head; entities decoded; block elements and
// <br> as line breaks (CR LF), table cells separated by tabs, white space collapsed outside <pre>.
std::string htmlToText(std::string_view html);

}  // namespace mime
