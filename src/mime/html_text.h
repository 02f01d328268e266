#pragma once
// HTML bodies made safe to save and turned into plain text.
#include <string>
#include <string_view>

namespace mime {

// The HTML without active content: script, object, embed, applet, iframe and frame elements, event
// handler attributes (on...), srcdoc, javascript:/vbscript: URLs, comments (conditional comments can
// hold scripts) and meta refresh/charset declarations are removed; the rest is kept as written.
std::string sanitizeHtml(std::string_view html);

// The text a reader sees: no markup, scripts, styles or head; entities decoded; block elements and
// <br> as line breaks (CR LF), table cells separated by tabs, white space collapsed outside <pre>.
std::string htmlToText(std::string_view html);

}  // namespace mime
