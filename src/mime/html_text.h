#pragma once
// HTML bodies made safe to save and turned into plain text.
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace mime {

// The HTML without active content: script, object, embed, applet, iframe and frame elements, event
// handler attributes (on...), srcdoc, javascript:/vbscript: URLs, comments (conditional comments can
// hold scripts) and meta refresh/charset declarations are removed; the rest is kept as written.
std::string sanitizeHtml(std::string_view html);

// Gives the data: URL of a message part by its Content-ID (without angle brackets), or nothing.
using ContentIdResolver = std::function<std::optional<std::string>(std::string_view contentId)>;

// sanitizeHtml for the viewer, which must load nothing from outside: cid: references become the
// parts' data: URLs, remote images become a visible placeholder, and linked style sheets, base
// elements, remote backgrounds and style rules with url() or @import are removed. Links stay links.
std::string sanitizeHtmlForViewer(std::string_view html, const ContentIdResolver& resolveContentId);

// The text a reader sees: no markup, scripts, styles or head; entities decoded; block elements and
// <br> as line breaks (CR LF), table cells separated by tabs, white space collapsed outside <pre>.
std::string htmlToText(std::string_view html);

}  // namespace mime
