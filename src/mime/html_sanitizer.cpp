#include "mime/html_sanitizer.h"

#include <gumbo.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "mime/html_bytes.h"
#include "mime/html_nesting.h"
#include "mime/html_simple_tree.h"
#include "platform/codepage.h"

namespace mime {
namespace {

// Sorted, for binary search.
constexpr auto kKeptElements = std::to_array<std::string_view>({
    "a", "abbr", "acronym", "address", "article", "aside", "b", "bdi", "bdo", "big", "blockquote", "br",
    "caption", "center", "cite", "code", "col", "colgroup", "dd", "del", "details", "dfn", "dir", "div", "dl",
    "dt", "em", "fieldset", "figcaption", "figure", "font", "footer", "h1", "h2", "h3", "h4", "h5", "h6", "header",
    "hgroup", "hr", "i", "img", "ins", "kbd", "legend", "li", "main", "mark", "marquee", "menu", "nav", "nobr", "ol", "p", "pre",
    "q", "rp", "rt", "ruby", "s", "samp", "section", "small", "span", "strike", "strong", "style", "sub", "summary", "sup",
    "table", "tbody", "td", "tfoot", "th", "thead", "time", "tr", "tt", "u", "ul", "var", "wbr"});

// Left out with everything inside them; any other element is left out but its content kept.
constexpr auto kDroppedElements = std::to_array<std::string_view>({
    "applet", "area", "audio", "base", "basefont", "bgsound", "canvas", "datalist", "embed", "frame",
    "frameset", "head", "iframe", "input", "keygen", "link", "map", "math", "meta", "noembed", "noframes",
    "noscript", "object", "optgroup", "option", "param", "script", "select", "source", "svg", "template",
    "textarea", "title", "track", "video"});

constexpr auto kVoidElements = std::to_array<std::string_view>({"br", "col", "hr", "img", "wbr"});

// Allowed on every kept element (none of them loads or runs anything).
constexpr auto kCommonAttributes = std::to_array<std::string_view>({
    "abbr", "align", "alink", "alt", "axis", "bgcolor", "border", "cellpadding", "cellspacing", "char",
    "charoff", "class", "clear", "color", "colspan", "compact", "datetime", "dir", "face", "frame", "headers",
    "height", "hspace", "id", "lang", "link", "name", "noshade", "nowrap", "reversed", "rowspan",
    "rules", "scope", "size", "span", "start", "style", "summary", "text", "title", "type", "valign", "value",
    "vlink", "vspace", "width"});

// escapeHtml, appended to out (runs without a character to escape copied at once).
void appendEscapedHtml(std::string& out, std::string_view text) {
    std::size_t copied = 0;
    for (std::size_t i = html_bytes::findAny<'&', '<', '>', '"'>(text, 0); i != std::string_view::npos;
         i = html_bytes::findAny<'&', '<', '>', '"'>(text, i + 1)) {
        std::string_view entity;
        switch (text[i]) {
        case '&': entity = "&amp;"; break;
        case '<': entity = "&lt;"; break;
        case '>': entity = "&gt;"; break;
        case '"': entity = "&quot;"; break;
        default: continue;
        }
        out.append(text, copied, i - copied);
        out += entity;
        copied = i + 1;
    }
    out.append(text, copied);
}

template <std::size_t N>
constexpr bool isSorted(const std::array<std::string_view, N>& names) {
    return std::is_sorted(names.begin(), names.end());
}
static_assert(isSorted(kKeptElements) && isSorted(kDroppedElements) && isSorted(kVoidElements) &&
              isSorted(kCommonAttributes));

template <std::size_t N>
bool listed(const std::array<std::string_view, N>& names, std::string_view name) {
    return std::binary_search(names.begin(), names.end(), name);
}

bool isPictureAttribute(std::string_view element, std::string_view attribute) {
    if (attribute == "src") return element == "img";
    return attribute == "background" &&
           (element == "body" || element == "table" || element == "td" || element == "th" || element == "tr");
}

char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char p, char t) { return p == asciiLower(t); });
}

// A URL as browsers read it: controls and spaces at either end and tabs and line breaks anywhere dropped.
std::string browserUrl(std::string_view value) {
    auto isEdge = [](char c) { return static_cast<unsigned char>(c) <= 0x20; };
    while (!value.empty() && isEdge(value.front())) value.remove_prefix(1);
    while (!value.empty() && isEdge(value.back())) value.remove_suffix(1);
    std::string url;
    for (char c : value)
        if (c != '\t' && c != '\n' && c != '\r') url.push_back(c);
    return url;
}

bool isSafeLink(std::string_view url) {
    return startsWithNoCase(url, "http://") || startsWithNoCase(url, "https://") ||
           startsWithNoCase(url, "mailto:") || url.starts_with('#');
}

bool isSafePicture(std::string_view url) {
    return startsWithNoCase(url, "data:image/") && !startsWithNoCase(url, "data:image/svg");
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = asciiLower(c);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

std::string percentDecoded(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 && hexValue(text[i + 2]) >= 0) {
            out.push_back(static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2])));
            i += 2;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

// --- Style sheets -------------------------------------------------------------------------------

// Appends the character of the CSS escape at css[i] (a backslash) and moves i to its last character.
void appendCssEscape(std::string_view css, std::size_t& i, std::string& out) {
    std::size_t digits = 0;
    std::uint32_t cp = 0;
    while (digits < 6 && i + 1 + digits < css.size() && hexValue(css[i + 1 + digits]) >= 0)
        cp = cp * 16 + static_cast<std::uint32_t>(hexValue(css[i + 1 + digits++]));
    if (digits == 0) {
        if (i + 1 < css.size()) out.push_back(asciiLower(css[++i]));
        return;
    }
    i += digits;
    if (i + 1 < css.size() && (css[i + 1] == ' ' || css[i + 1] == '\t' || css[i + 1] == '\n')) ++i;
    if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
    if (cp < 0x80) {
        out.push_back(asciiLower(static_cast<char>(cp)));
    } else {
        platform::appendUtf8(out, static_cast<char32_t>(cp));
    }
}

// CSS as a browser's tokenizer sees it, for searching: escapes decoded, comments (outside strings)
// and white space dropped, ASCII lower case.
std::string cssForSearch(std::string_view css) {
    std::string out;
    char quote = 0;  // inside a string
    for (std::size_t i = 0; i < css.size(); ++i) {
        const char c = css[i];
        if (c == '\\') {
            appendCssEscape(css, i, out);
        } else if (quote) {
            if (c == quote || c == '\n' || c == '\r' || c == '\f') quote = 0;
            out.push_back(asciiLower(c));
        } else if (c == '/' && i + 1 < css.size() && css[i + 1] == '*') {
            const std::size_t end = css.find("*/", i + 2);
            i = end == std::string_view::npos ? css.size() : end + 1;
        } else if (c == '"' || c == '\'') {
            quote = c;
            out.push_back(c);
        } else if (c != ' ' && c != '\t' && c != '\n' && c != '\r' && c != '\f') {
            out.push_back(asciiLower(c));
        }
    }
    return out;
}

// Whether CSS can load something or run code: url(), image functions, @import, old script hooks.
// Each ends in '(' or ':' or starts with '@', where a search for them starts.
constexpr std::string_view kLoadingCss[] = {"url(", "src(", "image(", "image-set(", "cross-fade(", "element(",
                                            "paint(", "@import", "expression(", "behavior:", "binding:",
                                            "javascript:", "vbscript:"};

bool isCssMark(char c) { return c == '(' || c == ':' || c == '@'; }

bool cssLoadsOrRuns(std::string_view css) {
    // Only an escape makes one of the marks where the text has none.
    if (std::none_of(css.begin(), css.end(), [](char c) { return isCssMark(c) || c == '\\'; })) return false;
    const std::string text = cssForSearch(css);
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (!isCssMark(text[at])) continue;
        for (std::string_view bad : kLoadingCss) {
            const std::size_t start = bad.front() == '@' ? at : at + 1 - std::min(at + 1, bad.size());
            if (text[at] == (bad.front() == '@' ? '@' : bad.back()) && text.compare(start, bad.size(), bad) == 0)
                return true;
        }
    }
    return false;
}

// The CSS with every declaration or selector that can load or run left out (split at ; { and }),
// or nothing when what remains still could.
std::optional<std::string> safeCss(std::string_view css) {
    std::string out;
    std::size_t start = 0;
    while (start <= css.size()) {
        std::size_t end = css.find_first_of(";{}", start);
        if (end == std::string_view::npos) end = css.size();
        const std::string_view piece = css.substr(start, end - start);
        if (!cssLoadsOrRuns(piece)) out += piece;
        if (end < css.size()) out.push_back(css[end]);
        start = end + 1;
    }
    if (cssLoadsOrRuns(out)) return std::nullopt;
    return out;
}

// safeCss for the style sheets and attributes of one document and its passes, which repeat the same
// few (the program's own header block among them).
class CssCache {
public:
    const std::optional<std::string>& safe(std::string_view css) {
        if (const auto found = known_.find(css); found != known_.end()) return found->second;
        if (known_.size() >= kMaxEntries) {
            scratch_ = safeCss(css);
            return scratch_;
        }
        return known_.emplace(std::string(css), safeCss(css)).first->second;
    }

private:
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
    };
    static constexpr std::size_t kMaxEntries = 64;
    std::unordered_map<std::string, std::optional<std::string>, Hash, std::equal_to<>> known_;
    std::optional<std::string> scratch_;
};

// --- The tree -----------------------------------------------------------------------------------

// The parser turns C1 control characters (U+0080 to U+009F, which browsers keep) into U+FFFD; they
// pass through it as private-use characters U+F780 to U+F79F, unless the text holds those already.
constexpr std::string_view kShieldLead = "\xEF\x9E";

bool canShieldControls(std::string_view utf8) {
    for (std::size_t at = utf8.find(kShieldLead); at != std::string_view::npos; at = utf8.find(kShieldLead, at + 1))
        if (at + 2 < utf8.size() && static_cast<unsigned char>(utf8[at + 2]) <= 0x9F) return false;
    return true;
}

// C2 80..9F <-> EF 9E 80..9F.
std::string swapControls(std::string_view utf8, std::string_view from, std::string_view to) {
    std::string out;
    out.reserve(utf8.size());
    std::size_t copied = 0;
    for (std::size_t at = utf8.find(from); at != std::string_view::npos; at = utf8.find(from, at + 1)) {
        const std::size_t next = at + from.size();
        if (next >= utf8.size()) break;
        const auto c = static_cast<unsigned char>(utf8[next]);
        if (c < 0x80 || c > 0x9F) continue;
        out.append(utf8, copied, at - copied);
        out += to;
        out.push_back(static_cast<char>(c));
        copied = next + 1;
        at = next;
    }
    out.append(utf8, copied);
    return out;
}

// The parser's tree and the text it was built from (the tree points into it). Plain markup gets the
// same tree from the simple builder, at a fraction of the cost; any other goes through gumbo.
class ParsedHtml {
public:
    explicit ParsedHtml(std::string_view html) {
        // The doctype first: the tree is built in standards mode, as the written document is read.
        constexpr std::string_view kDoctype = "<!DOCTYPE html>";
        // Markup with no more tags than the nesting bound, which the simple builder takes, is
        // passed on by limitHtmlNesting as it is (see SimpleHtmlTree).
        const bool fewTags = html_bytes::count(html, '<') <= kMaxHtmlNesting;
        if (fewTags) {
            input_.reserve(kDoctype.size() + html.size());
            input_.append(kDoctype).append(html);
            simple_ = SimpleHtmlTree::parse(input_);
            if (simple_) return;
        }
        input_ = std::string(kDoctype) + limitHtmlNesting(html);
        if (!fewTags) simple_ = SimpleHtmlTree::parse(input_);
        if (simple_) return;
        GumboOptions options = kGumboDefaultOptions;
        options.max_errors = 0;
        output_ = gumbo_parse_with_options(&options, input_.data(), input_.size());
    }
    ~ParsedHtml() {
        if (output_) gumbo_destroy_output(&kGumboDefaultOptions, output_);
    }
    ParsedHtml(const ParsedHtml&) = delete;
    ParsedHtml& operator=(const ParsedHtml&) = delete;
    const GumboOutput& output() const { return simple_ ? simple_->output() : *output_; }

private:
    std::string input_;
    std::unique_ptr<SimpleHtmlTree> simple_;
    GumboOutput* output_ = nullptr;
};

const GumboNode* childElement(const GumboNode& parent, GumboTag tag) {
    const GumboVector& children = parent.v.element.children;
    for (unsigned i = 0; i < children.length; ++i) {
        const auto* child = static_cast<const GumboNode*>(children.data[i]);
        if (child->type == GUMBO_NODE_ELEMENT && child->v.element.tag == tag) return child;
    }
    return nullptr;
}

std::string textOf(const GumboNode& element) {
    std::string text;
    const GumboVector& children = element.v.element.children;
    for (unsigned i = 0; i < children.length; ++i) {
        const auto* child = static_cast<const GumboNode*>(children.data[i]);
        if (child->type == GUMBO_NODE_TEXT || child->type == GUMBO_NODE_WHITESPACE) text += child->v.text.text;
    }
    return text;
}

bool startsWithLineBreak(const GumboNode& element) {
    const GumboVector& children = element.v.element.children;
    if (children.length == 0) return false;
    const auto* first = static_cast<const GumboNode*>(children.data[0]);
    return (first->type == GUMBO_NODE_TEXT || first->type == GUMBO_NODE_WHITESPACE) && first->v.text.text[0] == '\n';
}

enum class Treatment { Keep, KeepContent, Drop };

Treatment treatmentOf(const GumboNode& node, std::string_view& name) {
    if (node.type != GUMBO_NODE_ELEMENT) return Treatment::Drop;  // templates too
    const GumboElement& element = node.v.element;
    if (element.tag_namespace != GUMBO_NAMESPACE_HTML) return Treatment::Drop;
    if (element.tag == GUMBO_TAG_UNKNOWN) return Treatment::KeepContent;
    name = gumbo_normalized_tagname(element.tag);
    if (listed(kKeptElements, name)) return Treatment::Keep;
    return listed(kDroppedElements, name) ? Treatment::Drop : Treatment::KeepContent;
}

class Writer {
public:
    Writer(const HtmlSanitizeOptions& options, CssCache& css) : options_(options), css_(css) {}

    std::string document(const GumboOutput& parsed) {
        const GumboNode* head = childElement(*parsed.root, GUMBO_TAG_HEAD);
        const GumboNode* body = childElement(*parsed.root, GUMBO_TAG_BODY);
        out_ = htmlDocumentStart();
        const GumboNode* title = head ? childElement(*head, GUMBO_TAG_TITLE) : nullptr;
        const std::string titleText = title ? textOf(*title) : options_.fallbackTitle;
        if (!titleText.empty()) out_ += "<title>" + escapeHtml(titleText) + "</title>";
        if (head) {
            for (unsigned i = 0; i < head->v.element.children.length; ++i) {
                const auto* child = static_cast<const GumboNode*>(head->v.element.children.data[i]);
                if (child->type == GUMBO_NODE_ELEMENT && child->v.element.tag == GUMBO_TAG_STYLE) styleElement(*child);
            }
        }
        out_ += "</head><body";
        if (body) attributes("body", body->v.element.attributes);
        out_ += ">";
        if (body) content(*body);
        out_ += "</body></html>";
        return std::move(out_);
    }

private:
    struct Frame {
        const GumboVector* children;
        unsigned next;
        std::string_view endTag;  // empty when only the content is kept
    };

    // The element's children, depth first, without recursion (the tree may be deep).
    void content(const GumboNode& root) {
        std::vector<Frame> stack{{&root.v.element.children, 0, {}}};
        while (!stack.empty()) {
            Frame& top = stack.back();
            if (top.next == top.children->length) {
                if (!top.endTag.empty()) {
                    out_ += "</";
                    out_ += top.endTag;
                    out_ += '>';
                }
                stack.pop_back();
                continue;
            }
            const auto& node = *static_cast<const GumboNode*>(top.children->data[top.next++]);
            if (node.type == GUMBO_NODE_TEXT || node.type == GUMBO_NODE_WHITESPACE) {
                appendEscapedHtml(out_, node.v.text.text);
                continue;
            }
            std::string_view name;
            const Treatment treatment = treatmentOf(node, name);
            if (treatment == Treatment::Drop) continue;
            // A link inside a link (a tree the parser builds around tables) is read back as two links.
            const bool nestedLink = name == "a" && std::any_of(stack.begin(), stack.end(), [](const Frame& f) { return f.endTag == "a"; });
            if (treatment == Treatment::KeepContent || nestedLink) {
                stack.push_back({&node.v.element.children, 0, {}});
            } else if (name == "style") {
                styleElement(node);
            } else {
                out_ += '<';
                out_ += name;
                attributes(name, node.v.element.attributes);
                if (name == "details") out_ += " open";  // its text shown, not folded away
                out_ += ">";
                if (listed(kVoidElements, name)) continue;
                if (name == "pre" && startsWithLineBreak(node)) out_ += '\n';  // a parser drops one after <pre>
                stack.push_back({&node.v.element.children, 0, name});
            }
        }
    }

    void styleElement(const GumboNode& style) {
        std::string text = textOf(style);
        std::erase(text, '<');  // nothing that could end the element early (before the check)
        const std::optional<std::string>& css = css_.safe(text);
        if (!css) return;
        out_ += "<style>" + *css + "</style>";
    }

    void attributes(std::string_view element, const GumboVector& list) {
        bool pictureBlocked = false;
        for (unsigned i = 0; i < list.length; ++i) {
            const auto& attribute = *static_cast<const GumboAttribute*>(list.data[i]);
            const std::string_view name = attribute.name;
            if (attribute.attr_namespace != GUMBO_ATTR_NAMESPACE_NONE || !isAllowedAttribute(element, name)) continue;
            if (element == "img" && name == "alt" && srcIsBlocked(list)) continue;
            std::optional<std::string> value = attributeValue(element, name, attribute.value);
            if (!value) {
                pictureBlocked = pictureBlocked || (element == "img" && name == "src");
                continue;
            }
            out_ += ' ';
            out_ += name;
            out_ += "=\"";
            appendEscapedHtml(out_, *value);
            out_ += '"';
        }
        if (pictureBlocked) out_ += " alt=\"[remote image blocked]\"";
    }

    bool srcIsBlocked(const GumboVector& list) {
        for (unsigned i = 0; i < list.length; ++i) {
            const auto& attribute = *static_cast<const GumboAttribute*>(list.data[i]);
            if (std::string_view(attribute.name) == "src") return !pictureUrl(attribute.value);
        }
        return false;
    }

    std::optional<std::string> attributeValue(std::string_view element, std::string_view name, std::string_view value) {
        if (name == "href") {
            std::string url = browserUrl(value);
            return isSafeLink(url) ? std::optional(url) : std::nullopt;
        }
        if (isPictureAttribute(element, name)) return pictureUrl(value);
        if (name == "style") return css_.safe(value);
        return std::string(value);
    }

    std::optional<std::string> pictureUrl(std::string_view value) {
        std::string url = browserUrl(value);
        if (startsWithNoCase(url, "cid:")) {
            if (!options_.resolveContentId) return url;
            const std::string_view id = std::string_view(url).substr(4);
            std::optional<std::string> data = options_.resolveContentId(id);
            if (!data) data = options_.resolveContentId(percentDecoded(id));
            if (data && isSafePicture(browserUrl(*data))) return browserUrl(*data);
            return std::nullopt;
        }
        return isSafePicture(url) ? std::optional(url) : std::nullopt;
    }

    const HtmlSanitizeOptions& options_;
    CssCache& css_;
    std::string out_;
};

}  // namespace

// Style sheets hold no '<' and attribute values no '>', so the first "</head><body" and the '>' after it
// are the body's start tag.
std::size_t bodyPrefixOffset(std::string_view document) {
    const std::size_t body = document.find("</head><body");
    if (body == std::string_view::npos) return std::string_view::npos;
    const std::size_t tagEnd = document.find('>', body + 7);
    return tagEnd == std::string_view::npos ? std::string_view::npos : tagEnd + 1;
}

std::string htmlDocumentStart() {
    return "<!DOCTYPE html>\n<html><head><meta http-equiv=\"Content-Security-Policy\" content=\"" +
           std::string(kHtmlContentSecurityPolicy) + "\"><meta charset=\"utf-8\">";
}

namespace {

std::string sanitizeOnce(std::string_view html, const HtmlSanitizeOptions& options, CssCache& css) {
    if (html.find('\xC2') == std::string_view::npos || !canShieldControls(html)) {
        const ParsedHtml parsed(html);
        return Writer(options, css).document(parsed.output());
    }
    const ParsedHtml parsed(swapControls(html, "\xC2", kShieldLead));
    return swapControls(Writer(options, css).document(parsed.output()), kShieldLead, "\xC2");
}

}  // namespace

namespace {

void insertBodyPrefix(std::string& document, const std::string& prefix) {
    if (prefix.empty()) return;
    const std::size_t at = bodyPrefixOffset(document);
    if (at != std::string::npos) document.insert(at, prefix);
}

}  // namespace

// A parser can build trees that no markup gives back (misnested tables, forms, lists); written out,
// they are read back differently. The document is therefore written again from its own reading until
// it reads back as written (one more pass for ordinary mail). The program's own prefix is added only
// then: it is safe as written, and a reading would drop what the message may not have, such as the
// relative links to the saved attachments.
std::string sanitizeHtmlDocument(std::string_view html, const HtmlSanitizeOptions& options) {
    CssCache css;
    HtmlSanitizeOptions bare = options;
    bare.bodyPrefix.clear();
    std::string document = sanitizeOnce(html, bare, css);
    for (int pass = 0; pass < 4; ++pass) {
        std::string next = sanitizeOnce(document, bare, css);
        if (next == document) break;
        document = std::move(next);
    }
    insertBodyPrefix(document, options.bodyPrefix);
    return document;
}

std::string escapeHtml(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    appendEscapedHtml(out, text);
    return out;
}

bool isAllowedElement(std::string_view element) { return listed(kKeptElements, element); }

bool isAllowedAttribute(std::string_view element, std::string_view attribute) {
    if (attribute == "href") return element == "a";
    if (attribute == "open") return element == "details";
    return listed(kCommonAttributes, attribute) || isPictureAttribute(element, attribute);
}

}  // namespace mime
