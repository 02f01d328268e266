#pragma once
// Mail HTML made inert: parsed with an HTML5 parser (gumbo) exactly as a browser builds its tree,
// then written back from the tree keeping only an allowlist of elements and attributes.
//   - no script, frames, objects, forms, SVG, MathML, templates, noscript, base, link or meta;
//   - no event handlers or other attributes outside the list;
//   - links only to http:, https:, mailto: or a fragment (#...);
//   - pictures (img src, background) only from cid: or data:image/ URLs (not SVG); others become a
//     visible "[remote image blocked]" placeholder;
//   - style elements and attributes without anything that can load (url(), image-set(), @import...).
// Every document starts with a Content-Security-Policy that loads nothing but data: pictures, as a
// second wall should a browser read the markup differently.
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace mime {

inline constexpr std::string_view kHtmlContentSecurityPolicy =
    "default-src 'none'; img-src data:; style-src 'unsafe-inline'; base-uri 'none'; form-action 'none'";

// The start of every HTML document the program writes: doctype, <html>, <head>, the policy first,
// then the UTF-8 charset. The head is left open.
std::string htmlDocumentStart();

// Gives the data: URL of a message part by its Content-ID (without angle brackets), or nothing.
using ContentIdResolver = std::function<std::optional<std::string>(std::string_view contentId)>;

struct HtmlSanitizeOptions {
    // cid: pictures become the data: URLs it gives; without it they stay cid: references.
    ContentIdResolver resolveContentId;
    // Markup of the program's own (already safe) put at the start of the body.
    std::string bodyPrefix;
    // The title when the HTML has none.
    std::string fallbackTitle;
};

// The whole sanitised document (htmlDocumentStart, title, style sheets, body) for UTF-8 HTML.
std::string sanitizeHtmlDocument(std::string_view html, const HtmlSanitizeOptions& options = {});

// Where bodyPrefix goes in a document sanitizeHtmlDocument wrote: right after the body's start tag;
// npos when there is none.
std::size_t bodyPrefixOffset(std::string_view document);

// Escapes &, <, > and " for HTML text and attribute values.
std::string escapeHtml(std::string_view text);

// The allowlist, for tests and the fuzz target: whether a sanitised document may hold this element
// (lower-case HTML name) and this attribute on it.
bool isAllowedElement(std::string_view element);
bool isAllowedAttribute(std::string_view element, std::string_view attribute);

}  // namespace mime
