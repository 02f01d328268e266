#pragma once
// The parameters of a Content-Type or Content-Disposition value, RFC 2231 included: continuations
// (name*0, name*1, ...) joined in order, extended values (name*=charset'lang'%XX...) percent-decoded
// with their charset, quoted strings unquoted (backslash escapes honoured).
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace store::import {

struct Parameter {
    std::string name;     // lower case, without the RFC 2231 suffixes
    std::string value;    // bytes after unquoting and percent-decoding
    std::string charset;  // of an extended value; empty otherwise
    bool extended = false;
};

struct ParameterList {
    std::string leading;  // the value before the first ';', trimmed ("text/plain", "attachment")
    std::vector<Parameter> parameters;

    const Parameter* find(std::string_view name) const;
};

ParameterList parseParameters(std::string_view value);

// A parameter as text: an extended value in its own charset; otherwise encoded words are decoded
// (some mailers put them in quoted names) and the remaining bytes are read in fallbackCharset (the
// charset the MIME library recorded for the field) or, without one, as unlabelled text.
std::optional<std::u16string> parameterText(const ParameterList& list, std::string_view name,
                                            std::string_view fallbackCharset = {});

}  // namespace store::import
