#pragma once
// A forgiving HTML tokenizer, for reading text out of HTML and bounding nesting (not a safety
// filter: see html_sanitizer.h): text, start and end tags with their attributes, comments and other
// markup (doctype, processing instructions). The text of script and style elements is one raw token.
// Works on any ASCII-compatible bytes; names are lower-cased, values left as written (entities and all).
#include <string>
#include <string_view>
#include <vector>

namespace mime {

struct HtmlAttribute {
    std::string name;
    std::string value;
    bool hasValue = false;
};

struct HtmlToken {
    enum class Kind { Text, StartTag, EndTag, Comment, Other };
    Kind kind = Kind::Text;
    std::string_view raw;
    std::string name;
    std::vector<HtmlAttribute> attributes;
    bool selfClosing = false;

    const HtmlAttribute* attribute(std::string_view attributeName) const;
};

class HtmlTokenizer {
public:
    explicit HtmlTokenizer(std::string_view html) : html_(html) {}
    bool next(HtmlToken& token);

private:
    bool readTag(HtmlToken& token);
    void readAttributes(HtmlToken& token, std::size_t& at);

    std::string_view html_;
    std::size_t pos_ = 0;
    std::string rawTextEnd_;  // set after <script> or <style>: their text runs to this end tag
};

// Decodes character references (&amp; &eacute; &#233; &#xE9;) in UTF-8 text; unknown ones stay.
std::string decodeEntities(std::string_view text);

}  // namespace mime
