#include "mime/html_tokens.h"

#include "platform/codepage.h"

#include <cctype>
#include <cstdint>
#include <cstring>

namespace mime {

namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }
bool isAlpha(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; }
char lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

std::size_t findNoCase(std::string_view text, std::string_view needle, std::size_t from) {
    if (needle.empty()) return from;
    for (std::size_t i = from; i + needle.size() <= text.size(); ++i) {
        std::size_t k = 0;
        while (k < needle.size() && lower(text[i + k]) == needle[k]) ++k;
        if (k == needle.size()) return i;
    }
    return std::string_view::npos;
}

void appendUtf8(std::string& out, std::uint32_t cp) {
    // A reference to U+0000 stands for the replacement character, as in browsers.
    platform::appendUtf8(out, cp == 0 ? char32_t{0xFFFD} : static_cast<char32_t>(cp));
}

// Latin-1 entity names for U+00A0 to U+00FF, in order.
constexpr const char* kLatin1Names[] = {
    "nbsp", "iexcl", "cent", "pound", "curren", "yen", "brvbar", "sect", "uml", "copy", "ordf", "laquo",
    "not", "shy", "reg", "macr", "deg", "plusmn", "sup2", "sup3", "acute", "micro", "para", "middot",
    "cedil", "sup1", "ordm", "raquo", "frac14", "frac12", "frac34", "iquest", "Agrave", "Aacute", "Acirc",
    "Atilde", "Auml", "Aring", "AElig", "Ccedil", "Egrave", "Eacute", "Ecirc", "Euml", "Igrave", "Iacute",
    "Icirc", "Iuml", "ETH", "Ntilde", "Ograve", "Oacute", "Ocirc", "Otilde", "Ouml", "times", "Oslash",
    "Ugrave", "Uacute", "Ucirc", "Uuml", "Yacute", "THORN", "szlig", "agrave", "aacute", "acirc", "atilde",
    "auml", "aring", "aelig", "ccedil", "egrave", "eacute", "ecirc", "euml", "igrave", "iacute", "icirc",
    "iuml", "eth", "ntilde", "ograve", "oacute", "ocirc", "otilde", "ouml", "divide", "oslash", "ugrave",
    "uacute", "ucirc", "uuml", "yacute", "thorn", "yuml"};

struct NamedEntity {
    const char* name;
    std::uint32_t cp;
};

constexpr NamedEntity kOtherNames[] = {
    {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}, {"euro", 0x20AC},
    {"hellip", 0x2026}, {"mdash", 0x2014}, {"ndash", 0x2013}, {"lsquo", 0x2018}, {"rsquo", 0x2019},
    {"sbquo", 0x201A}, {"ldquo", 0x201C}, {"rdquo", 0x201D}, {"bdquo", 0x201E}, {"bull", 0x2022},
    {"trade", 0x2122}, {"dagger", 0x2020}, {"Dagger", 0x2021}, {"permil", 0x2030}, {"lsaquo", 0x2039},
    {"rsaquo", 0x203A}, {"OElig", 0x152}, {"oelig", 0x153}, {"Scaron", 0x160}, {"scaron", 0x161},
    {"Yuml", 0x178}, {"fnof", 0x192}, {"circ", 0x2C6}, {"tilde", 0x2DC}, {"ensp", 0x2002},
    {"emsp", 0x2003}, {"thinsp", 0x2009}, {"zwnj", 0x200C}, {"zwj", 0x200D}, {"lrm", 0x200E},
    {"rlm", 0x200F}};

bool lookupEntity(std::string_view name, std::uint32_t& cp) {
    for (std::size_t i = 0; i < std::size(kLatin1Names); ++i) {
        if (name == kLatin1Names[i]) {
            cp = static_cast<std::uint32_t>(0xA0 + i);
            return true;
        }
    }
    for (const auto& e : kOtherNames) {
        if (name == e.name) {
            cp = e.cp;
            return true;
        }
    }
    return false;
}

}  // namespace

const HtmlAttribute* HtmlToken::attribute(std::string_view attributeName) const {
    for (const auto& a : attributes) {
        if (a.name == attributeName) return &a;
    }
    return nullptr;
}

bool HtmlTokenizer::next(HtmlToken& token) {
    token = HtmlToken{};
    if (pos_ >= html_.size()) return false;
    if (!rawTextEnd_.empty()) {
        // The text of a script or style element, up to its end tag.
        std::size_t end = findNoCase(html_, rawTextEnd_, pos_);
        if (end == std::string_view::npos) end = html_.size();
        rawTextEnd_.clear();
        if (end > pos_) {
            token.kind = HtmlToken::Kind::Text;
            token.raw = html_.substr(pos_, end - pos_);
            pos_ = end;
            return true;
        }
    }
    if (html_[pos_] == '<' && readTag(token)) return true;
    std::size_t end = pos_ + 1;
    while (end < html_.size() && html_[end] != '<') ++end;
    token.kind = HtmlToken::Kind::Text;
    token.raw = html_.substr(pos_, end - pos_);
    pos_ = end;
    return true;
}

bool HtmlTokenizer::readTag(HtmlToken& token) {
    const std::size_t start = pos_;
    const std::string_view rest = html_.substr(start);
    if (rest.substr(0, 4) == "<!--") {
        std::size_t end = html_.find("-->", start + 4);
        end = end == std::string_view::npos ? html_.size() : end + 3;
        token.kind = HtmlToken::Kind::Comment;
        token.raw = html_.substr(start, end - start);
        pos_ = end;
        return true;
    }
    if (rest.size() >= 2 && (rest[1] == '!' || rest[1] == '?')) {
        std::size_t end = html_.find('>', start);
        end = end == std::string_view::npos ? html_.size() : end + 1;
        token.kind = HtmlToken::Kind::Other;
        token.raw = html_.substr(start, end - start);
        pos_ = end;
        return true;
    }
    const bool isEnd = rest.size() >= 2 && rest[1] == '/';
    std::size_t at = start + (isEnd ? 2 : 1);
    if (at >= html_.size() || !isAlpha(html_[at])) return false;  // a lone '<' is text
    while (at < html_.size() && !isSpace(html_[at]) && html_[at] != '>' && html_[at] != '/') {
        token.name.push_back(lower(html_[at]));
        ++at;
    }
    token.kind = isEnd ? HtmlToken::Kind::EndTag : HtmlToken::Kind::StartTag;
    readAttributes(token, at);
    token.raw = html_.substr(start, at - start);
    pos_ = at;
    // Browsers ignore a self-closing slash here, so the element's text follows either way.
    if (!isEnd && (token.name == "script" || token.name == "style")) {
        rawTextEnd_ = "</" + token.name;
    }
    return true;
}

void HtmlTokenizer::readAttributes(HtmlToken& token, std::size_t& at) {
    while (at < html_.size()) {
        while (at < html_.size() && (isSpace(html_[at]) || html_[at] == '/')) {
            if (html_[at] == '/' && at + 1 < html_.size() && html_[at + 1] == '>') token.selfClosing = true;
            ++at;
        }
        if (at >= html_.size()) return;
        if (html_[at] == '>') {
            ++at;
            return;
        }
        HtmlAttribute attr;
        while (at < html_.size() && !isSpace(html_[at]) && html_[at] != '=' && html_[at] != '>' && html_[at] != '/') {
            attr.name.push_back(lower(html_[at]));
            ++at;
        }
        while (at < html_.size() && isSpace(html_[at])) ++at;
        if (at < html_.size() && html_[at] == '=') {
            ++at;
            while (at < html_.size() && isSpace(html_[at])) ++at;
            attr.hasValue = true;
            if (at < html_.size() && (html_[at] == '"' || html_[at] == '\'')) {
                const char quote = html_[at++];
                std::size_t end = html_.find(quote, at);
                if (end == std::string_view::npos) end = html_.size();
                attr.value = std::string(html_.substr(at, end - at));
                at = end < html_.size() ? end + 1 : end;
            } else {
                while (at < html_.size() && !isSpace(html_[at]) && html_[at] != '>') attr.value.push_back(html_[at++]);
            }
        }
        if (attr.name.empty()) {
            ++at;  // a stray character such as '"' or '='
            continue;
        }
        token.attributes.push_back(std::move(attr));
    }
}

std::string decodeEntities(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '&') {
            out.push_back(text[i]);
            continue;
        }
        std::size_t end = i + 1;
        while (end < text.size() && end - i <= 10 && (std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '#')) ++end;
        const std::string_view name = text.substr(i + 1, end - i - 1);
        std::uint32_t cp = 0;
        bool ok = false;
        if (name.size() >= 2 && name[0] == '#') {
            const bool hex = name[1] == 'x' || name[1] == 'X';
            const std::string digits(name.substr(hex ? 2 : 1));
            if (!digits.empty() && digits.size() <= 8 &&
                digits.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "0123456789") == std::string::npos) {
                cp = static_cast<std::uint32_t>(std::stoul(digits, nullptr, hex ? 16 : 10));
                ok = true;
            }
        } else {
            ok = lookupEntity(name, cp);
        }
        if (!ok) {
            out.push_back('&');
            continue;
        }
        appendUtf8(out, cp);
        i = end < text.size() && text[end] == ';' ? end : end - 1;
    }
    return out;
}

}  // namespace mime
