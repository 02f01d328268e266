#include "mime/html_simple_tree.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <memory_resource>
#include <optional>
#include <string>
#include <vector>

#include "mime/html_bytes.h"
#include "mime/html_nesting.h"
#include "platform/codepage.h"

namespace mime {
namespace {

// How the tree builder treats a tag within the subset; Unsupported ends the attempt.
enum class Kind : std::uint8_t {
    Unsupported,
    Other,       // inserted where it stands, closed by its own end tag (span, unknown tags ...)
    Block,       // closes an open p; its end tag closes what is open inside it
    Paragraph,
    Heading,
    ListItem,    // li
    DefItem,     // dd, dt
    Pre,
    Formatting,  // b, i, font ...: the parser reopens them when misnested, so they must nest
    Anchor,
    Void,        // br, img, wbr
    Rule,        // hr: void, closes an open p
    Table,
    Section,     // tbody, thead, tfoot
    Row,
    Cell,
    HeadVoid,    // meta, link
    Style,
    Title,
    Html,
    Head,
    Body,
};

Kind kindOf(GumboTag tag) {
    switch (tag) {
    case GUMBO_TAG_UNKNOWN:
    case GUMBO_TAG_SPAN: case GUMBO_TAG_ABBR: case GUMBO_TAG_ACRONYM: case GUMBO_TAG_BDI: case GUMBO_TAG_BDO:
    case GUMBO_TAG_CITE: case GUMBO_TAG_DFN: case GUMBO_TAG_KBD: case GUMBO_TAG_Q: case GUMBO_TAG_SAMP:
    case GUMBO_TAG_SUB: case GUMBO_TAG_SUP: case GUMBO_TAG_VAR: case GUMBO_TAG_INS: case GUMBO_TAG_DEL:
    case GUMBO_TAG_MARK: case GUMBO_TAG_TIME:
        return Kind::Other;
    case GUMBO_TAG_ADDRESS: case GUMBO_TAG_BLOCKQUOTE: case GUMBO_TAG_CENTER: case GUMBO_TAG_DIR:
    case GUMBO_TAG_DIV: case GUMBO_TAG_DL: case GUMBO_TAG_FIELDSET: case GUMBO_TAG_MENU: case GUMBO_TAG_OL:
    case GUMBO_TAG_UL:
        return Kind::Block;
    case GUMBO_TAG_P: return Kind::Paragraph;
    case GUMBO_TAG_H1: case GUMBO_TAG_H2: case GUMBO_TAG_H3: case GUMBO_TAG_H4: case GUMBO_TAG_H5:
    case GUMBO_TAG_H6:
        return Kind::Heading;
    case GUMBO_TAG_LI: return Kind::ListItem;
    case GUMBO_TAG_DD: case GUMBO_TAG_DT: return Kind::DefItem;
    case GUMBO_TAG_PRE: return Kind::Pre;
    case GUMBO_TAG_B: case GUMBO_TAG_BIG: case GUMBO_TAG_CODE: case GUMBO_TAG_EM: case GUMBO_TAG_FONT:
    case GUMBO_TAG_I: case GUMBO_TAG_S: case GUMBO_TAG_SMALL: case GUMBO_TAG_STRIKE: case GUMBO_TAG_STRONG:
    case GUMBO_TAG_TT: case GUMBO_TAG_U:
        return Kind::Formatting;
    case GUMBO_TAG_A: return Kind::Anchor;
    case GUMBO_TAG_BR: case GUMBO_TAG_IMG: case GUMBO_TAG_WBR: return Kind::Void;
    case GUMBO_TAG_HR: return Kind::Rule;
    case GUMBO_TAG_TABLE: return Kind::Table;
    case GUMBO_TAG_TBODY: case GUMBO_TAG_THEAD: case GUMBO_TAG_TFOOT: return Kind::Section;
    case GUMBO_TAG_TR: return Kind::Row;
    case GUMBO_TAG_TD: case GUMBO_TAG_TH: return Kind::Cell;
    case GUMBO_TAG_META: case GUMBO_TAG_LINK: return Kind::HeadVoid;
    case GUMBO_TAG_STYLE: return Kind::Style;
    case GUMBO_TAG_TITLE: return Kind::Title;
    case GUMBO_TAG_HTML: return Kind::Html;
    case GUMBO_TAG_HEAD: return Kind::Head;
    case GUMBO_TAG_BODY: return Kind::Body;
    default: return Kind::Unsupported;
    }
}

bool isFormatting(Kind kind) { return kind == Kind::Formatting || kind == Kind::Anchor; }

// The kinds that stop the search of "in scope" (of those that can be open here).
bool endsScope(Kind kind) { return kind == Kind::Html || kind == Kind::Table || kind == Kind::Cell; }

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool isAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

bool allSpace(std::string_view text) { return std::all_of(text.begin(), text.end(), isSpace); }

// Only characters the parser passes on as they are: valid UTF-8 without NUL, controls other than
// tab, line feed and carriage return, form feed, DEL, C1 controls, surrogates or noncharacters.
bool plainCharacters(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        if (text.size() - i >= 8 && html_bytes::printableAscii(text.data() + i)) {
            i += 8;
            continue;
        }
        std::size_t length = 0;
        const long cp = platform::decodeUtf8(text, i, length);
        if (cp < 0) return false;
        if (cp < 0x80 ? (cp < 0x20 && cp != '\t' && cp != '\n' && cp != '\r') || cp == 0x7F
                      : cp < 0xA0 || (cp >= 0xFDD0 && cp <= 0xFDEF) || (cp & 0xFFFE) == 0xFFFE)
            return false;
        i += length;
    }
    return true;
}

// Appends the character reference at text[i] ('&') and moves i past it. Only the references that
// every reading decodes alike: five names and numbers of plain characters, all with ';', and a
// lone '&' before a space or '<'. False for anything else.
bool appendReference(std::string_view text, std::size_t& i, std::string& out) {
    const std::string_view rest = text.substr(i + 1);
    if (rest.empty() || isSpace(rest.front()) || rest.front() == '<') {
        out.push_back('&');
        ++i;
        return true;
    }
    static constexpr std::pair<std::string_view, std::string_view> kNames[] = {
        {"amp;", "&"}, {"lt;", "<"}, {"gt;", ">"}, {"quot;", "\""}, {"nbsp;", "\xC2\xA0"}};
    for (const auto& [name, value] : kNames) {
        if (rest.starts_with(name)) {
            out += value;
            i += 1 + name.size();
            return true;
        }
    }
    if (rest.front() != '#') return false;
    std::size_t at = 1;
    const bool hex = at < rest.size() && (rest[at] == 'x' || rest[at] == 'X');
    if (hex) ++at;
    const std::size_t first = at;
    char32_t cp = 0;
    for (; at < rest.size() && at - first < 7; ++at) {
        const char c = lower(rest[at]);
        int digit = -1;
        if (isDigit(c)) digit = c - '0';
        else if (hex && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        if (digit < 0) break;
        cp = cp * (hex ? 16 : 10) + static_cast<char32_t>(digit);
    }
    if (at == first || at >= rest.size() || rest[at] != ';') return false;
    const bool plain = cp == '\t' || cp == '\n' || (cp >= 0x20 && cp < 0x7F) ||
                       (cp >= 0xA0 && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF) &&
                        !(cp >= 0xFDD0 && cp <= 0xFDEF) && (cp & 0xFFFE) != 0xFFFE);
    if (!plain) return false;
    platform::appendUtf8(out, cp);
    i += 1 + at + 1;
    return true;
}

// Text as the parser passes it on: line breaks as LF, references decoded.
bool appendText(std::string_view text, std::string& out) {
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t run = std::min(html_bytes::findAny<'&', '\r'>(text, i), text.size());
        out.append(text.substr(i, run - i));
        i = run;
        if (i == text.size()) break;
        if (text[i] == '&') {
            if (!appendReference(text, i, out)) return false;
        } else {
            out.push_back('\n');
            i += i + 1 < text.size() && text[i + 1] == '\n' ? 2 : 1;
        }
    }
    return true;
}

struct Attribute {
    std::string name;
    std::string value;
};

struct Token {
    enum Type { Characters, StartTag, EndTag, Comment, EndOfFile } type = EndOfFile;
    GumboTag tag = GUMBO_TAG_UNKNOWN;
    Kind kind = Kind::Unsupported;
    std::string name;  // lower case
    std::vector<Attribute> attributes;
    std::string text;  // characters, comment text, or the content of style and title
};

class Tokenizer {
public:
    explicit Tokenizer(std::string_view input) : in_(input) {}

    // The next token into token; false when the markup leaves the subset.
    bool next(Token& token) {
        token.text.clear();
        if (pos_ >= in_.size()) {
            token.type = Token::EndOfFile;
            return true;
        }
        if (in_[pos_] != '<' || !startsMarkup(pos_)) return characters(token);
        const char c = pos_ + 1 < in_.size() ? in_[pos_ + 1] : '\0';
        if (isAsciiLetter(c)) return startTag(token);
        if (c == '/') return endTag(token);
        if (in_.compare(pos_, 4, "<!--") == 0) return comment(token);
        if (startsWithNoCase(pos_ + 2, "doctype")) {
            const std::size_t end = in_.find('>', pos_);
            if (end == std::string_view::npos) return false;
            pos_ = end + 1;
            return next(token);  // ignored by every mode after the first
        }
        return false;
    }

    // After <pre>: whether the next character is a reference (whose line feed a parser may drop).
    bool referenceFollows() const { return pos_ < in_.size() && in_[pos_] == '&'; }

private:
    bool startsWithNoCase(std::size_t at, std::string_view word) const {
        if (in_.size() - std::min(at, in_.size()) < word.size()) return false;
        for (std::size_t i = 0; i < word.size(); ++i)
            if (lower(in_[at + i]) != word[i]) return false;
        return true;
    }

    // '<' opens a tag, end tag, comment or declaration unless a space or digit follows (then it is text).
    bool startsMarkup(std::size_t at) const {
        if (at + 1 >= in_.size()) return false;
        const char c = in_[at + 1];
        return !(c == ' ' || isDigit(c));
    }

    bool characters(Token& token) {
        std::size_t end = pos_ + 1;  // the first character is text either way
        while ((end = in_.find('<', end)) != std::string_view::npos && !startsMarkup(end)) ++end;
        if (end == std::string_view::npos) end = in_.size();
        token.type = Token::Characters;
        if (!appendText(in_.substr(pos_, end - pos_), token.text)) return false;
        pos_ = end;
        return true;
    }

    std::size_t skipSpace(std::size_t at) const {
        while (at < in_.size() && isSpace(in_[at])) ++at;
        return at;
    }

    bool tagName(std::size_t& at, Token& token) {
        token.name.clear();
        while (at < in_.size() && (isAsciiLetter(in_[at]) || isDigit(in_[at]) || in_[at] == ':' || in_[at] == '-' ||
                                   in_[at] == '_'))
            token.name.push_back(lower(in_[at++]));
        if (at >= in_.size() || !(isSpace(in_[at]) || in_[at] == '/' || in_[at] == '>')) return false;
        token.tag = gumbo_tagn_enum(token.name.data(), static_cast<unsigned>(token.name.size()));
        token.kind = kindOf(token.tag);
        return token.kind != Kind::Unsupported;
    }

    static bool attributeNameCharacter(char c) {
        return isAsciiLetter(c) || isDigit(c) || c == '-' || c == '_' || c == ':' || c == '.';
    }

    bool attribute(std::size_t& at, Token& token) {
        Attribute attribute;
        while (at < in_.size() && attributeNameCharacter(in_[at])) attribute.name.push_back(lower(in_[at++]));
        if (attribute.name.empty()) return false;
        for (const Attribute& seen : token.attributes)
            if (seen.name == attribute.name) return false;
        std::size_t after = skipSpace(at);
        if (after < in_.size() && in_[after] == '=') {
            at = skipSpace(after + 1);
            if (at >= in_.size()) return false;
            const char quote = in_[at];
            std::size_t end;
            if (quote == '"' || quote == '\'') {
                end = in_.find(quote, at + 1);
                if (end == std::string_view::npos) return false;
                if (!appendText(in_.substr(at + 1, end - at - 1), attribute.value)) return false;
                at = end + 1;
                if (at >= in_.size() || !(isSpace(in_[at]) || in_[at] == '/' || in_[at] == '>')) return false;
            } else {
                end = at;
                while (end < in_.size() && !isSpace(in_[end]) && in_[end] != '>') {
                    const char c = in_[end];
                    if (c == '"' || c == '\'' || c == '<' || c == '=' || c == '`' || c == '&') return false;
                    ++end;
                }
                if (end == at) return false;
                attribute.value.assign(in_.substr(at, end - at));
                at = end;
            }
        } else {
            at = after;
        }
        token.attributes.push_back(std::move(attribute));
        return true;
    }

    bool startTag(Token& token) {
        std::size_t at = pos_ + 1;
        token.type = Token::StartTag;
        token.attributes.clear();
        if (!tagName(at, token)) return false;
        bool selfClosing = false;
        while (true) {
            at = skipSpace(at);
            if (at >= in_.size()) return false;
            if (in_[at] == '>') {
                ++at;
                break;
            }
            if (in_[at] == '/') {
                if (at + 1 >= in_.size() || in_[at + 1] != '>') return false;
                selfClosing = true;
                at += 2;
                break;
            }
            if (token.attributes.size() == kMaxHtmlAttributes || !attribute(at, token)) return false;
        }
        const bool isVoid = token.kind == Kind::Void || token.kind == Kind::Rule || token.kind == Kind::HeadVoid;
        if (selfClosing && !isVoid) return false;
        pos_ = at;
        if (token.kind == Kind::Style) return rawContent(token, "</style", false);
        if (token.kind == Kind::Title) return rawContent(token, "</title", true);
        return true;
    }

    // The content of style (raw text) or title (text with references) up to its end tag.
    bool rawContent(Token& token, std::string_view endTag, bool decode) {
        std::size_t end = pos_;
        while (true) {
            end = in_.find("</", end);
            if (end == std::string_view::npos) return false;
            if (startsWithNoCase(end, endTag) && end + endTag.size() < in_.size() &&
                (isSpace(in_[end + endTag.size()]) || in_[end + endTag.size()] == '>'))
                break;
            if (startsWithNoCase(end, endTag)) return false;
            end += 2;
        }
        const std::string_view content = in_.substr(pos_, end - pos_);
        if (decode && content.find('<') != std::string_view::npos) return false;  // read as a tag by limitHtmlNesting
        if (decode) {
            if (!appendText(content, token.text)) return false;
        } else {
            token.text.reserve(content.size());
            for (std::size_t i = 0; i < content.size(); ++i) {
                if (content[i] != '\r') {
                    token.text.push_back(content[i]);
                } else {
                    token.text.push_back('\n');
                    if (i + 1 < content.size() && content[i + 1] == '\n') ++i;
                }
            }
        }
        const std::size_t close = skipSpace(end + endTag.size());
        if (close >= in_.size() || in_[close] != '>') return false;
        pos_ = close + 1;
        return true;
    }

    bool endTag(Token& token) {
        std::size_t at = pos_ + 2;
        token.type = Token::EndTag;
        token.attributes.clear();
        if (at >= in_.size() || !isAsciiLetter(in_[at]) || !tagName(at, token)) return false;
        at = skipSpace(at);
        if (at >= in_.size() || in_[at] != '>') return false;
        pos_ = at + 1;
        return true;
    }

    bool comment(Token& token) {
        const std::size_t start = pos_ + 4;
        if (in_.compare(start, 1, ">") == 0 || in_.compare(start, 2, "->") == 0) return false;
        const std::size_t end = in_.find("-->", start);
        if (end == std::string_view::npos) return false;
        const std::string_view content = in_.substr(start, end - start);
        if (content.find("--!") != std::string_view::npos) return false;
        token.type = Token::Comment;
        token.text.reserve(content.size());
        for (std::size_t i = 0; i < content.size(); ++i) {
            if (content[i] != '\r') {
                token.text.push_back(content[i]);
            } else {
                token.text.push_back('\n');
                if (i + 1 < content.size() && content[i + 1] == '\n') ++i;
            }
        }
        pos_ = end + 3;
        return true;
    }

    std::string_view in_;
    std::size_t pos_ = 0;
};

}  // namespace

// The nodes of the tree and the strings and lists they point to, all in one arena (addresses stay
// put in deques).
struct SimpleHtmlTree::Nodes {
    std::pmr::monotonic_buffer_resource arena{16384};

    struct Element {
        explicit Element(std::pmr::memory_resource* arena) : name(arena), children(arena), attributes(arena) {}
        GumboNode node{};
        Kind kind = Kind::Unsupported;
        std::pmr::string name;
        std::pmr::vector<void*> children;
        std::pmr::vector<void*> attributes;
    };
    struct Text {
        explicit Text(std::pmr::memory_resource* arena) : text(arena) {}
        GumboNode node{};
        std::pmr::string text;
    };

    std::pmr::deque<Element> elements{&arena};
    std::pmr::deque<Text> texts{&arena};
    std::pmr::deque<GumboAttribute> attributes{&arena};
    std::pmr::deque<std::pmr::string> strings{&arena};
    GumboNode document{};
    std::pmr::vector<void*> documentChildren{&arena};
    GumboOutput output{};
};

namespace {

using Nodes = SimpleHtmlTree::Nodes;
using Element = Nodes::Element;

class Builder {
public:
    Builder(std::string_view input, Nodes& nodes) : tokenizer_(input), nodes_(nodes) {}

    bool run() {
        Token token;
        do {
            if (!tokenizer_.next(token)) return false;
            const bool dropNewline = skipNewline_;
            skipNewline_ = false;
            if (token.type == Token::Characters && dropNewline && token.text.starts_with('\n')) token.text.erase(0, 1);
            if (token.type != Token::Characters) lastText_ = nullptr;
            if (!process(token)) return false;
        } while (token.type != Token::EndOfFile);
        finish();
        return true;
    }

private:
    enum class Phase { BeforeHtml, BeforeHead, InHead, AfterHead, InBody, AfterBody, AfterAfterBody };
    enum class Mode { Body, Table, Section, Row };

    Element& current() { return *stack_.back(); }

    Element& newElement(GumboTag tag, Kind kind, std::string_view name, std::vector<Attribute>* attributes) {
        Element& element = nodes_.elements.emplace_back(&nodes_.arena);
        element.kind = kind;
        element.name = name;
        GumboNode& node = element.node;
        node.type = GUMBO_NODE_ELEMENT;
        node.v.element.tag = tag;
        node.v.element.tag_namespace = GUMBO_NAMESPACE_HTML;
        if (attributes) {
            for (Attribute& attribute : *attributes) {
                GumboAttribute& a = nodes_.attributes.emplace_back();
                a.attr_namespace = GUMBO_ATTR_NAMESPACE_NONE;
                a.name = nodes_.strings.emplace_back(attribute.name).c_str();
                a.value = nodes_.strings.emplace_back(attribute.value).c_str();
                element.attributes.push_back(&a);
            }
        }
        return element;
    }

    static void append(GumboNode& parentNode, std::pmr::vector<void*>& children, GumboNode& child) {
        child.parent = &parentNode;
        child.index_within_parent = children.size();
        children.push_back(&child);
    }

    void append(Element& parent, GumboNode& child) { append(parent.node, parent.children, child); }

    Element& insert(Element& parent, Token& token) {
        Element& element = newElement(token.tag, token.kind, token.name, &token.attributes);
        append(parent, element.node);
        return element;
    }

    Element& implied(Element* parent, GumboTag tag) {
        Element& element = newElement(tag, kindOf(tag), gumbo_normalized_tagname(tag), nullptr);
        if (parent) append(*parent, element.node);
        return element;
    }

    void insertText(Element& parent, std::string_view text) {
        if (text.empty()) return;
        if (lastText_ && lastText_->node.parent == &parent.node && !parent.children.empty() &&
            parent.children.back() == &lastText_->node) {
            lastText_->text += text;
            return;
        }
        Nodes::Text& node = nodes_.texts.emplace_back(&nodes_.arena);
        node.node.type = GUMBO_NODE_TEXT;
        node.text.assign(text);
        append(parent, node.node);
        lastText_ = &node;
    }

    void insertComment(GumboNode& parentNode, std::pmr::vector<void*>& children, std::string_view text) {
        Nodes::Text& node = nodes_.texts.emplace_back(&nodes_.arena);
        node.node.type = GUMBO_NODE_COMMENT;
        node.text.assign(text);
        append(parentNode, children, node.node);
    }

    void insertComment(Element& parent, std::string_view text) {
        insertComment(parent.node, parent.children, text);
    }

    // Element with text content (style, title).
    void insertWithText(Element& parent, Token& token) {
        Element& element = insert(parent, token);
        if (!token.text.empty()) {
            Nodes::Text& node = nodes_.texts.emplace_back(&nodes_.arena);
            node.node.type = GUMBO_NODE_TEXT;
            node.text.assign(token.text);
            append(element, node.node);
        }
    }

    // The index of the open element searched for from the current node down, or -1 when a scope
    // boundary comes first. listScope: ol and ul end the search too.
    int inScope(bool (*match)(const Element&), bool listScope = false) {
        for (int i = static_cast<int>(stack_.size()) - 1; i >= 0; --i) {
            const Element& e = *stack_[static_cast<std::size_t>(i)];
            if (match(e)) return i;
            if (endsScope(e.kind)) return -1;
            if (listScope && (e.node.v.element.tag == GUMBO_TAG_OL || e.node.v.element.tag == GUMBO_TAG_UL)) return -1;
        }
        return -1;
    }

    int inScope(GumboTag tag) {
        for (int i = static_cast<int>(stack_.size()) - 1; i >= 0; --i) {
            const Element& e = *stack_[static_cast<std::size_t>(i)];
            if (e.node.v.element.tag == tag) return i;
            if (endsScope(e.kind)) return -1;
        }
        return -1;
    }

    // Pops the open elements down to and including index; false when a formatting element would go
    // (the parser would reopen it later).
    bool popTo(int index) {
        if (index < 0) return false;
        for (std::size_t i = static_cast<std::size_t>(index) + 1; i < stack_.size(); ++i)
            if (isFormatting(stack_[i]->kind)) return false;
        stack_.resize(static_cast<std::size_t>(index));
        return true;
    }

    bool closeParagraph() {
        const int p = inScope([](const Element& e) { return e.kind == Kind::Paragraph; });
        return p < 0 || popTo(p);
    }

    Mode mode() const {
        for (auto it = stack_.rbegin(); it != stack_.rend(); ++it) {
            switch ((*it)->kind) {
            case Kind::Table: return Mode::Table;
            case Kind::Section: return Mode::Section;
            case Kind::Row: return Mode::Row;
            case Kind::Cell: case Kind::Body: case Kind::Html: return Mode::Body;
            default: break;
            }
        }
        return Mode::Body;
    }

    bool inCell() const {
        for (auto it = stack_.rbegin(); it != stack_.rend(); ++it) {
            if ((*it)->kind == Kind::Cell) return true;
            if ((*it)->kind == Kind::Table || (*it)->kind == Kind::Html) return false;
        }
        return false;
    }

    // Leading white space of characters, split off for the modes that treat it apart.
    static std::string_view leadingSpace(std::string& text) {
        const std::size_t n = std::find_if(text.begin(), text.end(), [](char c) { return !isSpace(c); }) - text.begin();
        return std::string_view(text).substr(0, n);
    }

    bool process(Token& token) {
        switch (phase_) {
        case Phase::BeforeHtml: return beforeHtml(token);
        case Phase::BeforeHead: return beforeHead(token);
        case Phase::InHead: return inHead(token);
        case Phase::AfterHead: return afterHead(token);
        case Phase::InBody: return inBody(token);
        case Phase::AfterBody: return afterBody(token);
        case Phase::AfterAfterBody: return afterAfterBody(token);
        }
        return false;
    }

    bool beforeHtml(Token& token) {
        if (token.type == Token::Characters) {
            token.text.erase(0, leadingSpace(token.text).size());
            if (token.text.empty()) return true;
        } else if (token.type == Token::Comment) {
            insertComment(nodes_.document, nodes_.documentChildren, token.text);
            return true;
        } else if (token.type == Token::StartTag && token.kind == Kind::Html) {
            html_ = &newElement(token.tag, token.kind, token.name, &token.attributes);
            append(nodes_.document, nodes_.documentChildren, html_->node);
            stack_.push_back(html_);
            phase_ = Phase::BeforeHead;
            return true;
        } else if (token.type == Token::EndTag && !isHeadEnding(token)) {
            return false;
        }
        html_ = &implied(nullptr, GUMBO_TAG_HTML);
        append(nodes_.document, nodes_.documentChildren, html_->node);
        stack_.push_back(html_);
        phase_ = Phase::BeforeHead;
        return process(token);
    }

    static bool isHeadEnding(const Token& token) {
        return token.kind == Kind::Head || token.kind == Kind::Body || token.kind == Kind::Html ||
               token.tag == GUMBO_TAG_BR;
    }

    bool beforeHead(Token& token) {
        if (token.type == Token::Characters) {
            token.text.erase(0, leadingSpace(token.text).size());
            if (token.text.empty()) return true;
        } else if (token.type == Token::Comment) {
            insertComment(*html_, token.text);
            return true;
        } else if (token.type == Token::StartTag && token.kind == Kind::Html) {
            return false;
        } else if (token.type == Token::StartTag && token.kind == Kind::Head) {
            head_ = &insert(*html_, token);
            stack_.push_back(head_);
            phase_ = Phase::InHead;
            return true;
        } else if (token.type == Token::EndTag && !isHeadEnding(token)) {
            return false;
        }
        head_ = &implied(html_, GUMBO_TAG_HEAD);
        stack_.push_back(head_);
        phase_ = Phase::InHead;
        return process(token);
    }

    // Start tags that go into the head (also from after it); true when handled.
    bool headElement(Token& token, Element& parent) {
        if (token.kind == Kind::HeadVoid) {
            insert(parent, token);
            return true;
        }
        if (token.kind == Kind::Style || token.kind == Kind::Title) {
            insertWithText(parent, token);
            return true;
        }
        return false;
    }

    // Leading blanks of a text token and a comment go into `parent`; true when nothing of the token
    // is left to handle.
    bool takeBlanksOrComment(Token& token, Element& parent) {
        if (token.type == Token::Comment) {
            insertComment(parent, token.text);
            return true;
        }
        if (token.type != Token::Characters) return false;
        const std::string_view space = leadingSpace(token.text);
        insertText(parent, space);
        token.text.erase(0, space.size());
        return token.text.empty();
    }

    bool inHead(Token& token) {
        if (takeBlanksOrComment(token, *head_)) return true;
        if (token.type == Token::StartTag) {
            if (token.kind == Kind::Html || token.kind == Kind::Head) return false;
            if (headElement(token, *head_)) return true;
        } else if (token.type == Token::EndTag) {
            if (token.kind == Kind::Head) {
                stack_.pop_back();
                phase_ = Phase::AfterHead;
                return true;
            }
            if (!isHeadEnding(token)) return false;
        }
        stack_.pop_back();
        phase_ = Phase::AfterHead;
        lastText_ = nullptr;
        return process(token);
    }

    bool afterHead(Token& token) {
        if (takeBlanksOrComment(token, *html_)) return true;
        if (token.type == Token::StartTag) {
            if (token.kind == Kind::Html || token.kind == Kind::Head) return false;
            if (token.kind == Kind::Body) {
                stack_.push_back(&insert(*html_, token));
                phase_ = Phase::InBody;
                return true;
            }
            if (headElement(token, *head_)) return true;
        } else if (token.type == Token::EndTag && !isHeadEnding(token)) {
            return false;
        }
        stack_.push_back(&implied(html_, GUMBO_TAG_BODY));
        phase_ = Phase::InBody;
        lastText_ = nullptr;
        return process(token);
    }

    bool afterBody(Token& token) {
        if (token.type == Token::Characters && allSpace(token.text)) {
            insertText(current(), token.text);
            return true;
        }
        if (token.type == Token::Comment) {
            insertComment(*html_, token.text);
            return true;
        }
        if (token.type == Token::EndTag && token.kind == Kind::Html) {
            phase_ = Phase::AfterAfterBody;
            return true;
        }
        return token.type == Token::EndOfFile;
    }

    bool afterAfterBody(Token& token) {
        if (token.type == Token::Characters && allSpace(token.text)) {
            insertText(current(), token.text);
            return true;
        }
        if (token.type == Token::Comment) {
            insertComment(nodes_.document, nodes_.documentChildren, token.text);
            return true;
        }
        return token.type == Token::EndOfFile;
    }

    bool inBody(Token& token) {
        if (token.type == Token::EndOfFile) return true;
        switch (mode()) {
        case Mode::Table: return inTable(token);
        case Mode::Section: return inTableSection(token);
        case Mode::Row: return inRow(token);
        case Mode::Body: break;
        }
        if (inCell()) {
            const bool cellStart = token.type == Token::StartTag &&
                                   (token.kind == Kind::Cell || token.kind == Kind::Row || token.kind == Kind::Section);
            const bool cellEnd = token.type == Token::EndTag &&
                                 (token.kind == Kind::Cell || token.kind == Kind::Row || token.kind == Kind::Section ||
                                  token.kind == Kind::Table || token.kind == Kind::Body || token.kind == Kind::Html);
            if (cellStart || cellEnd) return cellBoundary(token);
        }
        switch (token.type) {
        case Token::Characters: insertText(current(), token.text); return true;
        case Token::Comment: insertComment(current(), token.text); return true;
        case Token::StartTag: return bodyStartTag(token);
        case Token::EndTag: return bodyEndTag(token);
        case Token::EndOfFile: return true;
        }
        return false;
    }

    // A tag that ends the open cell (or is ignored when it cannot), inside a cell.
    bool cellBoundary(Token& token) {
        GumboTag target = token.tag;
        if (token.type == Token::StartTag || token.kind != Kind::Cell) {
            if (token.kind == Kind::Body || token.kind == Kind::Html) return false;
            if (token.type == Token::EndTag && inTableScope(token.tag) < 0) return false;
            target = GUMBO_TAG_LAST;  // whichever cell is open
        }
        int cell = -1;
        for (int i = static_cast<int>(stack_.size()) - 1; i >= 0; --i) {
            const Element& e = *stack_[static_cast<std::size_t>(i)];
            if (e.kind == Kind::Cell && (target == GUMBO_TAG_LAST || e.node.v.element.tag == target)) {
                cell = i;
                break;
            }
            if (e.kind == Kind::Table || e.kind == Kind::Html) break;
        }
        if (cell < 0) return false;
        // The formatting elements opened in the cell are forgotten with it; nothing reopens them.
        stack_.resize(static_cast<std::size_t>(cell));
        if (token.type == Token::EndTag && token.kind == Kind::Cell) return true;
        return process(token);
    }

    int inTableScope(GumboTag tag) {
        for (int i = static_cast<int>(stack_.size()) - 1; i >= 0; --i) {
            const Element& e = *stack_[static_cast<std::size_t>(i)];
            if (e.node.v.element.tag == tag) return i;
            if (e.kind == Kind::Table || e.kind == Kind::Html) return -1;
        }
        return -1;
    }

    bool bodyStartTag(Token& token) {
        switch (token.kind) {
        case Kind::Other: return open(token);
        case Kind::Block: case Kind::Paragraph: case Kind::Table: return closeParagraph() && open(token);
        case Kind::Heading:
            if (!closeParagraph()) return false;
            if (current().kind == Kind::Heading) stack_.pop_back();
            return open(token);
        case Kind::Pre:
            if (!closeParagraph()) return false;
            skipNewline_ = true;
            return open(token) && !tokenizer_.referenceFollows();
        case Kind::ListItem: case Kind::DefItem: return listItem(token);
        case Kind::Formatting: {
            const auto same = std::count_if(stack_.begin(), stack_.end(),
                                            [&](const Element* e) { return e->node.v.element.tag == token.tag; });
            return same < 3 && open(token);  // the parser limits how many alike it keeps to reopen
        }
        case Kind::Anchor:
            return std::none_of(stack_.begin(), stack_.end(), [](const Element* e) { return e->kind == Kind::Anchor; }) &&
                   open(token);
        case Kind::Void: insert(current(), token); return true;
        case Kind::Rule:
            if (!closeParagraph()) return false;
            insert(current(), token);
            return true;
        case Kind::HeadVoid: case Kind::Style: return headElement(token, current());
        default: return false;
        }
    }

    bool listItem(Token& token) {
        for (int i = static_cast<int>(stack_.size()) - 1; i >= 0; --i) {
            const Element& e = *stack_[static_cast<std::size_t>(i)];
            const bool same = token.kind == Kind::ListItem ? e.kind == Kind::ListItem : e.kind == Kind::DefItem;
            if (same) {
                if (!popTo(i)) return false;
                break;
            }
            const bool special = e.kind != Kind::Other && !isFormatting(e.kind);
            const bool passes = e.node.v.element.tag == GUMBO_TAG_ADDRESS || e.node.v.element.tag == GUMBO_TAG_DIV ||
                                e.kind == Kind::Paragraph;
            if (special && !passes) break;
        }
        return closeParagraph() && open(token);
    }

    bool bodyEndTag(Token& token) {
        switch (token.kind) {
        case Kind::Body: case Kind::Html:
            if (inScope([](const Element& e) { return e.kind == Kind::Body; }) < 0) return false;
            phase_ = token.kind == Kind::Body ? Phase::AfterBody : Phase::AfterAfterBody;
            return true;
        case Kind::Block: case Kind::Pre: return popTo(inScope(token.tag));
        case Kind::Paragraph: return popTo(inScope([](const Element& e) { return e.kind == Kind::Paragraph; }));
        case Kind::ListItem:
            return popTo(inScope([](const Element& e) { return e.kind == Kind::ListItem; }, true));
        case Kind::DefItem: return popTo(inScope(token.tag));
        case Kind::Heading: return popTo(inScope([](const Element& e) { return e.kind == Kind::Heading; }));
        case Kind::Formatting: case Kind::Anchor:
            if (current().node.v.element.tag != token.tag) return false;
            stack_.pop_back();
            return true;
        case Kind::Other:
            if (current().node.v.element.tag != token.tag || std::string_view(current().name) != token.name) return false;
            stack_.pop_back();
            return true;
        default: return false;
        }
    }

    bool tableText(Token& token) {
        if (!allSpace(token.text)) return false;  // the parser moves other text out of the table
        insertText(current(), token.text);
        return true;
    }

    // What the table modes share: white space, comments and style elements go where they stand; the
    // end of input ends them. Nothing when the mode's own rules decide.
    std::optional<bool> inAnyTableMode(Token& token) {
        switch (token.type) {
        case Token::Characters: return tableText(token);
        case Token::Comment: insertComment(current(), token.text); return true;
        case Token::EndOfFile: return true;
        case Token::StartTag:
            if (token.kind == Kind::Style) return headElement(token, current());
            return std::nullopt;
        case Token::EndTag: return std::nullopt;
        }
        return false;
    }

    bool open(Token& token) {
        stack_.push_back(&insert(current(), token));
        return true;
    }

    bool inTable(Token& token) {
        if (const auto done = inAnyTableMode(token)) return *done;
        if (token.type == Token::StartTag) {
            if (token.kind == Kind::Section) return open(token);
            if (token.kind != Kind::Row && token.kind != Kind::Cell) return false;
            stack_.push_back(&implied(&current(), GUMBO_TAG_TBODY));
            return process(token);
        }
        if (token.kind != Kind::Table) return false;
        stack_.pop_back();
        return true;
    }

    bool inTableSection(Token& token) {
        if (const auto done = inAnyTableMode(token)) return *done;
        if (token.type == Token::StartTag) {
            if (token.kind == Kind::Row) return open(token);
            if (token.kind != Kind::Cell) return false;
            stack_.push_back(&implied(&current(), GUMBO_TAG_TR));
            return process(token);
        }
        if (token.kind == Kind::Section && current().node.v.element.tag == token.tag) {
            stack_.pop_back();
            return true;
        }
        if (token.kind != Kind::Table) return false;
        stack_.pop_back();
        return process(token);
    }

    bool inRow(Token& token) {
        if (const auto done = inAnyTableMode(token)) return *done;
        if (token.type == Token::StartTag) {
            if (token.kind == Kind::Cell) return open(token);
            if (token.kind != Kind::Row) return false;
            stack_.pop_back();  // a row ends the one before
            return process(token);
        }
        if (token.kind == Kind::Row) {
            stack_.pop_back();
            return true;
        }
        const bool endsSection =
            token.kind == Kind::Section && stack_.size() >= 2 && stack_[stack_.size() - 2]->node.v.element.tag == token.tag;
        if (token.kind != Kind::Table && !endsSection) return false;
        stack_.pop_back();
        return process(token);
    }

    void finish() {
        for (Element& e : nodes_.elements) {
            e.node.v.element.children = {e.children.data(), static_cast<unsigned>(e.children.size()),
                                         static_cast<unsigned>(e.children.capacity())};
            e.node.v.element.attributes = {e.attributes.data(), static_cast<unsigned>(e.attributes.size()),
                                           static_cast<unsigned>(e.attributes.capacity())};
            if (e.node.v.element.tag == GUMBO_TAG_UNKNOWN) {  // the tag as written, where the name is read
                e.name = "<" + e.name + ">";
                e.node.v.element.original_tag = {e.name.data(), e.name.size()};
            }
        }
        for (Nodes::Text& t : nodes_.texts) {
            if (t.node.type == GUMBO_NODE_TEXT && allSpace(t.text)) t.node.type = GUMBO_NODE_WHITESPACE;
            t.node.v.text.text = t.text.c_str();
            t.node.v.text.original_text = {t.text.data(), t.text.size()};
        }
        GumboNode& document = nodes_.document;
        document.type = GUMBO_NODE_DOCUMENT;
        document.v.document.children = {nodes_.documentChildren.data(),
                                        static_cast<unsigned>(nodes_.documentChildren.size()),
                                        static_cast<unsigned>(nodes_.documentChildren.capacity())};
        document.v.document.has_doctype = true;
        document.v.document.name = "html";
        document.v.document.public_identifier = "";
        document.v.document.system_identifier = "";
        document.v.document.doc_type_quirks_mode = GUMBO_DOCTYPE_NO_QUIRKS;
        nodes_.output.document = &document;
        nodes_.output.root = &html_->node;
    }

    Tokenizer tokenizer_;
    Nodes& nodes_;
    Phase phase_ = Phase::BeforeHtml;
    std::vector<Element*> stack_;
    Element* html_ = nullptr;
    Element* head_ = nullptr;
    Nodes::Text* lastText_ = nullptr;
    bool skipNewline_ = false;
};

}  // namespace

SimpleHtmlTree::SimpleHtmlTree() : nodes_(std::make_unique<Nodes>()) {}
SimpleHtmlTree::~SimpleHtmlTree() = default;

const GumboOutput& SimpleHtmlTree::output() const { return nodes_->output; }

std::unique_ptr<SimpleHtmlTree> SimpleHtmlTree::parse(std::string_view html) {
    constexpr std::string_view kDoctype = "<!DOCTYPE html>";
    if (!html.starts_with(kDoctype) || !plainCharacters(html)) return nullptr;
    std::unique_ptr<SimpleHtmlTree> tree(new SimpleHtmlTree());
    Builder builder(html.substr(kDoctype.size()), *tree->nodes_);
    if (!builder.run()) return nullptr;
    return tree;
}

}  // namespace mime
