#pragma once
// Reads a sanitised document back with the HTML5 parser, as a browser would, for the sanitiser's
// tests and fuzz target: what in the tree the allowlist forbids, and the tree as text for comparing.
#include <gumbo.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>
#include <vector>

#include "mime/html_sanitizer.h"

namespace html_check {

class Tree {
public:
    explicit Tree(std::string_view html) : text_(html) {
        output_ = gumbo_parse_with_options(&kGumboDefaultOptions, text_.data(), text_.size());
    }
    ~Tree() { gumbo_destroy_output(&kGumboDefaultOptions, output_); }
    Tree(const Tree&) = delete;
    Tree& operator=(const Tree&) = delete;
    const GumboNode& root() const { return *output_->root; }

private:
    std::string text_;
    GumboOutput* output_;
};

inline std::string nameOf(const GumboNode& node) {
    const GumboElement& e = node.v.element;
    if (e.tag != GUMBO_TAG_UNKNOWN) return gumbo_normalized_tagname(e.tag);
    GumboStringPiece piece = e.original_tag;
    gumbo_tag_from_original_text(&piece);
    return std::string(piece.data, piece.length);
}

inline bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
    return true;
}

// Lower case, without comments outside strings and without escapes.
inline bool loadsOrRuns(std::string_view text) {
    std::string css;
    char quote = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!quote && text.substr(i, 2) == "/*") {
            const std::size_t end = text.find("*/", i + 2);
            i = end == std::string_view::npos ? text.size() : end + 1;
            continue;
        }
        if (text[i] == '\\') {  // code points stand as '?' (the sanitiser's tests cover them)
            std::size_t digits = 0;
            while (digits < 6 && i + 1 + digits < text.size() && std::isxdigit(static_cast<unsigned char>(text[i + 1 + digits])))
                ++digits;
            if (digits == 0 && i + 1 < text.size()) css.push_back(text[i + 1]);  // an escaped character stands for itself
            if (digits > 0) css.push_back('?');  // a code point: it never joins the letters around it into a name
            i += digits > 0 ? digits : 1;
            continue;
        }
        if (quote && (text[i] == quote || text[i] == '\n')) quote = 0;
        else if (!quote && (text[i] == '"' || text[i] == '\'')) quote = text[i];
        css.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(text[i]))));
    }
    std::erase_if(css, [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r'; });
    for (const char* bad : {"url(", "@import", "image-set(", "image(", "expression(", "javascript:"})
        if (css.find(bad) != std::string::npos) return true;
    return false;
}

// Structure (html, head, body, the policy and charset, title, style) and kept elements only; URL
// attributes only to allowed schemes; no CSS that loads.
inline std::vector<std::string> violations(std::string_view document) {
    Tree tree(document);
    std::vector<std::string> found;
    const GumboNode* head = nullptr;
    std::vector<const GumboNode*> stack{&tree.root()};
    while (!stack.empty()) {
        const GumboNode& node = *stack.back();
        stack.pop_back();
        if (node.type == GUMBO_NODE_TEXT || node.type == GUMBO_NODE_WHITESPACE) continue;
        if (node.type != GUMBO_NODE_ELEMENT) {
            found.push_back("node of type " + std::to_string(node.type));
            continue;
        }
        const std::string name = nameOf(node);
        const GumboElement& e = node.v.element;
        if (e.tag_namespace != GUMBO_NAMESPACE_HTML) found.push_back("foreign element " + name);
        const bool structural = name == "html" || name == "head" || name == "body" || name == "title" || name == "meta";
        if (name == "head") head = &node;
        if (!structural && !mime::isAllowedElement(name)) found.push_back("element " + name);
        for (unsigned i = 0; i < e.attributes.length; ++i) {
            const auto& a = *static_cast<const GumboAttribute*>(e.attributes.data[i]);
            const std::string_view attr = a.name, value = a.value;
            const bool metaAttr = name == "meta" && (attr == "http-equiv" || attr == "content" || attr == "charset");
            if (!metaAttr && !mime::isAllowedAttribute(name, attr)) found.push_back(name + "[" + std::string(attr) + "]");
            if (attr == "href" && !(startsWithNoCase(value, "http://") || startsWithNoCase(value, "https://") ||
                                    startsWithNoCase(value, "mailto:") || value.starts_with('#')))
                found.push_back("link " + std::string(value));
            if ((attr == "src" || attr == "background") &&
                !((startsWithNoCase(value, "data:image/") && !startsWithNoCase(value, "data:image/svg")) ||
                  startsWithNoCase(value, "cid:")))
                found.push_back("picture " + std::string(value));
            if (attr == "style" && loadsOrRuns(value)) found.push_back("style " + std::string(value));
        }
        if (name == "meta") {
            const auto* equiv = gumbo_get_attribute(&e.attributes, "http-equiv");
            const auto* charset = gumbo_get_attribute(&e.attributes, "charset");
            if (!(charset || (equiv && std::string_view(equiv->value) == "Content-Security-Policy")))
                found.push_back("meta other than the policy and charset");
        }
        if (name == "style") {
            std::string css;
            for (unsigned i = 0; i < e.children.length; ++i) {
                const auto* child = static_cast<const GumboNode*>(e.children.data[i]);
                if (child->type == GUMBO_NODE_TEXT || child->type == GUMBO_NODE_WHITESPACE) css += child->v.text.text;
            }
            if (loadsOrRuns(css)) found.push_back("style sheet " + css);
        }
        for (unsigned i = e.children.length; i-- > 0;) stack.push_back(static_cast<const GumboNode*>(e.children.data[i]));
    }
    // The policy comes first in the head.
    const GumboNode* first = head && head->v.element.children.length > 0
                                 ? static_cast<const GumboNode*>(head->v.element.children.data[0])
                                 : nullptr;
    const GumboAttribute* policy =
        first && first->type == GUMBO_NODE_ELEMENT ? gumbo_get_attribute(&first->v.element.attributes, "content") : nullptr;
    if (!policy || std::string_view(policy->value) != mime::kHtmlContentSecurityPolicy)
        found.push_back("the policy is not the first element of the head");
    return found;
}

// The tree below node as text, one node a line, indented by depth: elements with their attributes in
// order, comments, and text (adjacent text nodes joined, as they write out alike).
inline std::string treeText(const GumboNode& node, int depth = 0) {
    std::string out;
    const std::string indent(static_cast<std::size_t>(depth) * 2, ' ');
    if (node.type == GUMBO_NODE_COMMENT) return indent + "<!--" + node.v.text.text + "-->\n";
    if (node.type != GUMBO_NODE_ELEMENT) return indent + "\"" + node.v.text.text + "\"\n";
    const GumboElement& e = node.v.element;
    std::string name = nameOf(node);
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
    out += indent + "<" + std::to_string(e.tag_namespace) + ":" + name;
    for (unsigned i = 0; i < e.attributes.length; ++i) {
        const auto& a = *static_cast<const GumboAttribute*>(e.attributes.data[i]);
        out += " " + std::to_string(a.attr_namespace) + ":" + a.name + "=\"" + a.value + "\"";
    }
    out += ">\n";
    std::string text;
    for (unsigned i = 0; i < e.children.length; ++i) {
        const auto& child = *static_cast<const GumboNode*>(e.children.data[i]);
        if (child.type == GUMBO_NODE_TEXT || child.type == GUMBO_NODE_WHITESPACE) {
            text += child.v.text.text;
            continue;
        }
        if (!text.empty()) out += indent + "  \"" + text + "\"\n";
        text.clear();
        out += treeText(child, depth + 1);
    }
    if (!text.empty()) out += indent + "  \"" + text + "\"\n";
    return out;
}

// The tree gumbo builds from the document, as text.
inline std::string gumboTreeText(std::string_view document) { return treeText(Tree(document).root()); }

}  // namespace html_check
