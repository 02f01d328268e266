#include "mime/html_text.h"

#include <algorithm>
#include <cctype>

#include "mime/html_tokens.h"

namespace mime {

namespace {

bool oneOf(std::string_view name, std::initializer_list<std::string_view> names) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

// Elements dropped with their start and end tags; for script and style the content goes too.
bool isActiveElement(std::string_view name) {
    return oneOf(name, {"script", "object", "embed", "applet", "iframe", "frame", "frameset"});
}

std::string lowerNoSpace(std::string_view text) {
    std::string out;
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 0x20) continue;  // browsers skip blanks and control characters inside URLs
        out.push_back(static_cast<char>(std::tolower(u)));
    }
    return out;
}

bool isUnsafeAttribute(const HtmlAttribute& a) {
    if (a.name.rfind("on", 0) == 0 || a.name == "srcdoc" || a.name == "formaction") return true;
    const std::string value = lowerNoSpace(decodeEntities(a.value));
    if (value.rfind("javascript:", 0) == 0 || value.rfind("vbscript:", 0) == 0 || value.rfind("livescript:", 0) == 0) {
        return true;
    }
    return a.name == "style" && value.find("expression(") != std::string::npos;
}

bool isDroppedMeta(const HtmlToken& t) {
    if (t.name != "meta") return false;
    if (t.attribute("charset")) return true;
    const HtmlAttribute* equiv = t.attribute("http-equiv");
    if (!equiv) return false;
    const std::string what = lowerNoSpace(equiv->value);
    return what == "refresh" || what == "content-type" || what == "set-cookie";
}

// Decides, for the viewer, what becomes of one attribute: kept, rewritten or dropped.
using AttributeRewrite = std::function<std::optional<HtmlAttribute>(const HtmlToken&, const HtmlAttribute&)>;

std::string rebuildTag(const HtmlToken& t, const AttributeRewrite& rewrite = {}) {
    std::string out = t.kind == HtmlToken::Kind::EndTag ? "</" : "<";
    out += t.name;
    if (t.kind == HtmlToken::Kind::StartTag) {
        for (const auto& original : t.attributes) {
            if (isUnsafeAttribute(original)) continue;
            std::optional<HtmlAttribute> kept = rewrite ? rewrite(t, original) : std::optional<HtmlAttribute>(original);
            if (!kept) continue;
            const HtmlAttribute& a = *kept;
            out += ' ';
            out += a.name;
            if (a.hasValue) {
                std::string value = a.value;
                std::string escaped;
                for (char c : value) escaped += c == '"' ? std::string("&quot;") : std::string(1, c);
                out += "=\"" + escaped + "\"";
            }
        }
        if (t.selfClosing) out += " /";
    }
    out += '>';
    return out;
}

}  // namespace

namespace {

bool isRemoteUrl(std::string_view value) {
    const std::string url = lowerNoSpace(decodeEntities(value));
    if (url.rfind("data:", 0) == 0 || url.rfind("cid:", 0) == 0 || url.rfind("#", 0) == 0) return false;
    return url.find(':') != std::string::npos || url.rfind("//", 0) == 0 || !url.empty();
}

bool loadsFromOutside(std::string_view css) {
    const std::string text = lowerNoSpace(decodeEntities(css));
    return text.find("url(") != std::string::npos || text.find("@import") != std::string::npos ||
           text.find("expression(") != std::string::npos;
}

// Elements the viewer drops entirely (with their content for style sheets that load from outside).
bool isViewerDroppedElement(std::string_view name) { return oneOf(name, {"link", "base", "meta"}); }

std::string sanitize(std::string_view html, const AttributeRewrite& rewrite, bool viewer) {
    std::string out;
    out.reserve(html.size());
    HtmlTokenizer tokens(html);
    HtmlToken t;
    bool inScript = false;
    bool inStyle = false;
    while (tokens.next(t)) {
        switch (t.kind) {
        case HtmlToken::Kind::Text:
            if (inStyle && viewer) {
                std::string_view css = t.raw;
                if (!loadsFromOutside(css)) out += t.raw;
            } else if (!inScript) {
                out += t.raw;
            }
            inScript = false;
            inStyle = false;
            break;
        case HtmlToken::Kind::StartTag:
            inScript = t.name == "script";
            inStyle = t.name == "style";
            if (isActiveElement(t.name) || isDroppedMeta(t)) break;
            if (viewer && isViewerDroppedElement(t.name)) break;
            out += rebuildTag(t, rewrite);
            break;
        case HtmlToken::Kind::EndTag:
            inScript = false;
            inStyle = false;
            if (!isActiveElement(t.name) && !(viewer && isViewerDroppedElement(t.name))) out += rebuildTag(t);
            break;
        case HtmlToken::Kind::Comment:
            inScript = false;
            break;
        case HtmlToken::Kind::Other:
            inScript = false;
            out += t.raw;
            break;
        }
    }
    return out;
}

}  // namespace

std::string sanitizeHtml(std::string_view html) { return sanitize(html, {}, false); }

std::string sanitizeHtmlForViewer(std::string_view html, const ContentIdResolver& resolveContentId) {
    auto rewrite = [&](const HtmlToken& tag, const HtmlAttribute& a) -> std::optional<HtmlAttribute> {
        const bool isSource = a.name == "src" || a.name == "background" || a.name == "poster" ||
                              a.name == "srcset" || a.name == "lowsrc" || a.name == "dynsrc";
        if (a.name == "style" && loadsFromOutside(a.value)) return std::nullopt;
        if (a.name == "action" || a.name == "ping" || a.name == "xmlns:xlink") return std::nullopt;
        if (!isSource) return a;
        const std::string url = lowerNoSpace(decodeEntities(a.value));
        if (url.rfind("cid:", 0) == 0 && resolveContentId) {
            std::string id = decodeEntities(a.value);
            id = id.substr(id.find(':') + 1);
            if (auto data = resolveContentId(id)) return HtmlAttribute{a.name, *data, true};
            return std::nullopt;
        }
        if (url.rfind("data:", 0) == 0 && a.name == "src") return a;
        if (tag.name == "img" && a.name == "src" && isRemoteUrl(a.value))
            return HtmlAttribute{"alt", "[remote image blocked]", true};
        return std::nullopt;
    };
    return sanitize(html, rewrite, true);
}

namespace {

class TextBuilder {
public:
    void text(std::string_view raw, bool preformatted) {
        const std::string decoded = decodeEntities(raw);
        for (char c : decoded) {
            const bool space = c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
            if (preformatted) {
                if (c == '\r') continue;
                if (c == '\n') {
                    lineBreak();
                } else {
                    put(c);
                }
            } else if (space) {
                pendingSpace_ = !atLineStart();
            } else {
                if (pendingSpace_) put(' ');
                pendingSpace_ = false;
                put(c);
            }
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
        int newlines = 0;
        for (std::size_t i = 0; i < out_.size(); ++i) {
            if (out_.compare(i, 2, "\r\n") == 0) {
                ++newlines;
                ++i;
                continue;
            }
            if (newlines > 0 && !result.empty()) result += newlines > 1 ? "\r\n\r\n" : "\r\n";
            newlines = 0;
            result.push_back(out_[i]);
        }
        return result;
    }

private:
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
