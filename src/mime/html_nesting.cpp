#include "mime/html_nesting.h"

#include <algorithm>
#include <initializer_list>
#include <unordered_map>
#include <vector>

#include "mime/html_tokens.h"

namespace mime {
namespace {

bool oneOf(std::string_view name, std::initializer_list<std::string_view> names) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

bool isVoid(std::string_view name) {
    return oneOf(name, {"area", "base", "basefont", "bgsound", "br", "col", "embed", "frame", "hr", "image", "img",
                        "input", "keygen", "link", "meta", "param", "source", "track", "wbr"});
}

// Start tags that close an open element of the same name (when no scope boundary lies between).
bool closesItsLike(std::string_view name) {
    return oneOf(name, {"a", "caption", "colgroup", "dd", "dt", "h1", "h2", "h3", "h4", "h5", "h6", "li", "nobr",
                        "optgroup", "option", "p", "rb", "rp", "rt", "rtc", "tbody", "td", "tfoot", "th", "thead",
                        "tr"});
}

bool isScopeBoundary(std::string_view name) {
    return oneOf(name, {"applet", "button", "caption", "dl", "foreignobject", "html", "marquee", "math", "object",
                        "ol", "select", "svg", "table", "td", "template", "th", "ul"});
}

// Elements a parser reopens when an enclosing element closes before them.
bool isFormatting(std::string_view name) {
    return oneOf(name, {"a", "b", "big", "code", "em", "font", "i", "nobr", "s", "small", "strike", "strong", "tt",
                        "u"});
}

// Closing these drops the formatting elements opened inside them instead of reopening them.
bool isMarker(std::string_view name) {
    return oneOf(name, {"applet", "caption", "marquee", "object", "table", "td", "template", "th"});
}

std::string tagWithFewerAttributes(const HtmlToken& tag) {
    std::string out = "<" + tag.name;
    for (std::size_t i = 0; i < kMaxHtmlAttributes && i < tag.attributes.size(); ++i) {
        const HtmlAttribute& a = tag.attributes[i];
        out += ' ' + a.name;
        if (!a.hasValue) continue;
        out += "=\"";
        for (char c : a.value) out += c == '"' ? std::string_view("&quot;") : std::string_view(&c, 1);
        out += '"';
    }
    return out + (tag.selfClosing ? "/>" : ">");
}

class NestingLimiter {
public:
    std::string run(std::string_view html) {
        out_.reserve(html.size());
        HtmlTokenizer tokens(html);
        HtmlToken token;
        while (tokens.next(token)) {
            if (token.kind == HtmlToken::Kind::StartTag) {
                start(token);
            } else {
                if (token.kind == HtmlToken::Kind::EndTag) end(token.name);
                out_ += token.raw;
            }
        }
        return std::move(out_);
    }

private:
    struct Open {
        std::string name;
        std::string_view tag;  // the start tag as written: a parser reopens at most three alike
    };

    bool inForeignContent() const {
        return std::any_of(open_.begin(), open_.end(), [](const Open& o) { return o.name == "svg" || o.name == "math"; });
    }

    void start(const HtmlToken& token) {
        const bool opens = !isVoid(token.name) && !(token.selfClosing && inForeignContent());
        if (opens && closesItsLike(token.name)) {
            for (std::size_t i = open_.size(); i-- > 0;) {
                if (open_[i].name == token.name) {
                    popTo(i);
                    break;
                }
                if (isScopeBoundary(open_[i].name)) break;
            }
        }
        if (opens && open_.size() >= kMaxHtmlNesting) return;  // left out: its text stays
        out_ += token.attributes.size() > kMaxHtmlAttributes ? tagWithFewerAttributes(token) : std::string(token.raw);
        if (opens) push({token.name, token.raw});
    }

    void end(const std::string& name) {
        for (std::size_t i = open_.size(); i-- > 0;) {
            if (open_[i].name == name) {
                popTo(i);
                return;
            }
        }
    }

    // Closes open_[index] and everything above it; formatting elements above it are reopened.
    void popTo(std::size_t index) {
        const bool reopen = !isMarker(open_[index].name);
        const std::vector<Open> above(open_.begin() + static_cast<std::ptrdiff_t>(index) + 1, open_.end());
        while (open_.size() > index) pop();
        if (!reopen) return;
        for (const Open& o : above)
            if (isFormatting(o.name) && alike_[o.tag] < 3 && open_.size() < kMaxHtmlNesting) push(o);
    }

    void push(Open o) {
        if (isFormatting(o.name)) ++alike_[o.tag];
        open_.push_back(std::move(o));
    }

    void pop() {
        if (isFormatting(open_.back().name)) --alike_[open_.back().tag];
        open_.pop_back();
    }

    std::vector<Open> open_;
    std::unordered_map<std::string_view, int> alike_;
    std::string out_;
};

}  // namespace

std::string limitHtmlNesting(std::string_view html) { return NestingLimiter().run(html); }

}  // namespace mime
