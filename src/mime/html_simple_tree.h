#pragma once
// The tree an HTML5 parser (gumbo) builds, made without it for markup in a plain subset of HTML:
// what ordinary mail holds (a head with title, style and meta; paragraphs, blocks, headings, lists,
// tables, inline formatting, line breaks, pictures, comments; text in UTF-8 with the common
// character references). Within the subset the tree builder's rules reduce to inserting each
// element where its tag stands, closing what a start or end tag closes, and adding the implied
// html, head, body, tbody and tr elements. Anything else (misnested formatting, text in a table,
// scripts, forms, foreign content, rare references, control characters ...) gives nothing, and the
// caller parses with gumbo. For the markup it accepts the tree equals gumbo's, node by node.
// It takes no tag with more than kMaxHtmlAttributes attributes and no '<' in a title, so markup it
// takes with at most kMaxHtmlNesting '<' is markup that limitHtmlNesting passes on unchanged.
#include <gumbo.h>

#include <memory>
#include <string_view>

namespace mime {

class SimpleHtmlTree {
public:
    // html: the whole document as gumbo would be given it, starting with "<!DOCTYPE html>".
    // Nothing when the markup is outside the subset.
    static std::unique_ptr<SimpleHtmlTree> parse(std::string_view html);
    ~SimpleHtmlTree();
    SimpleHtmlTree(const SimpleHtmlTree&) = delete;
    SimpleHtmlTree& operator=(const SimpleHtmlTree&) = delete;

    const GumboOutput& output() const;

    struct Nodes;

private:
    SimpleHtmlTree();
    std::unique_ptr<Nodes> nodes_;
};

}  // namespace mime
