#include "mime/html_text.h"

#include <algorithm>
#include <cctype>

#include "mime/html_tokens.h"

namespace mime {

namespace {

bool oneOf(std::string_view name, std::initializer_list<std::string_view> names) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

class TextBuilder {
public:
    void text(std::string_view raw, bool preformatted) {
        const bool noReferences = raw.find('&') == std::string_view::npos;
        const std::string decoded = noReferences ? std::string() : decodeEntities(raw);
        const std::string_view text = noReferences ? raw : std::string_view(decoded);
        if (preformatted) {
            for (char c : text) {
                if (c == '\r') continue;
                if (c == '\n') {
                    lineBreak();
                } else {
                    put(c);
                }
            }
            return;
        }
        // Words are copied whole; a run of white space becomes one space before the next word, none
        // at a line's start.
        for (std::size_t i = 0; i < text.size();) {
            std::size_t end = i;
            if (isSpace(text[i])) {
                while (end < text.size() && isSpace(text[end])) ++end;
                pendingSpace_ = !atLineStart();
            } else {
                while (end < text.size() && !isSpace(text[end])) ++end;
                if (pendingSpace_) put(' ');
                pendingSpace_ = false;
                out_.append(text, i, end - i);
            }
            i = end;
        }
    }
    void lineBreak() {
        pendingSpace_ = false;
        trimTrailingSpaces();
        out_ += "\r\n";
    }
    void blockBreak() {
        if (!atLineStart()) lineBreak();
    }
    void cell() {
        pendingSpace_ = false;
        if (!atLineStart()) out_ += '\t';
    }
    std::string finish() {
        trimTrailingSpaces();
        // At most one blank line in a row, none at either end.
        std::string result;
        result.reserve(out_.size());
        int newlines = 0;
        for (std::size_t i = 0; i < out_.size();) {
            if (out_.compare(i, 2, "\r\n") == 0) {
                ++newlines;
                i += 2;
                continue;
            }
            // The text up to the next line break, whole.
            const std::size_t end = std::min(out_.find("\r\n", i), out_.size());
            if (newlines > 0 && !result.empty()) result += newlines > 1 ? "\r\n\r\n" : "\r\n";
            newlines = 0;
            result.append(out_, i, end - i);
            i = end;
        }
        return result;
    }

private:
    static bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }
    bool atLineStart() const { return out_.empty() || out_.back() == '\n'; }
    void put(char c) { out_.push_back(c); }
    void trimTrailingSpaces() {
        while (!out_.empty() && (out_.back() == ' ' || out_.back() == '\t')) out_.pop_back();
    }

    std::string out_;
    bool pendingSpace_ = false;
};

bool isBlock(std::string_view name) {
    return oneOf(name, {"p", "div", "tr", "li", "ul", "ol", "dl", "dt", "dd", "h1", "h2", "h3", "h4", "h5", "h6",
                        "table", "blockquote", "pre", "hr", "address", "section", "article", "header", "footer",
                        "form", "fieldset", "center", "caption", "body", "html", "title"});
}

bool isHidden(std::string_view name) {
    return oneOf(name, {"script", "style", "head", "title", "template", "noscript", "object", "applet", "iframe"});
}

}  // namespace

std::string htmlToText(std::string_view html) {
    TextBuilder b;
    HtmlTokenizer tokens(html);
    HtmlToken t;
    std::vector<std::string> hidden;  // open elements whose text is not shown
    int pre = 0;
    while (tokens.next(t)) {
        if (t.kind == HtmlToken::Kind::StartTag) {
            if (t.name == "body") hidden.clear();  // a head left open ends where the body starts
            if (isHidden(t.name) && !t.selfClosing) {
                hidden.push_back(t.name);
            } else if (t.name == "br") {
                if (hidden.empty()) b.lineBreak();
            } else if (t.name == "td" || t.name == "th") {
                b.cell();
            } else if (isBlock(t.name)) {
                b.blockBreak();
                if (t.name == "pre") ++pre;
            }
        } else if (t.kind == HtmlToken::Kind::EndTag) {
            auto it = std::find(hidden.rbegin(), hidden.rend(), t.name);
            if (it != hidden.rend()) {
                hidden.erase(std::next(it).base(), hidden.end());
            } else if (t.name == "head") {
                hidden.clear();  // a stray </head> ends anything left open in the head
            } else if (isBlock(t.name)) {
                b.blockBreak();
                if (t.name == "pre" && pre > 0) --pre;
            }
        } else if (t.kind == HtmlToken::Kind::Text && hidden.empty()) {
            b.text(t.raw, pre > 0);
        }
    }
    return b.finish();
}

}  // namespace mime
