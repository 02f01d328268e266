#include "mime/mime_header.h"
#include "mime/text_util.h"

namespace mime {
namespace {

// The value as far as its first zero byte: parameters are looked up in that text only.
std::string_view textOf(const std::string& value) {
    const std::size_t zero = value.find('\0');
    return zero == std::string::npos ? std::string_view(value) : std::string_view(value).substr(0, zero);
}

bool isTokenByte(unsigned char c) {
    return c == '.' || c >= 0x80 || (c > 0x20 && !HasCharClass(c, kCharSpecial));
}

// End of a parameter value starting at start: after the closing quote of a quoted value, else the end
// of the token (an opening quote without a closing one is an empty token).
std::size_t valueEnd(std::string_view text, std::size_t start) {
    if (start < text.size() && text[start] == '"') {
        const std::size_t close = text.find('"', start + 1);
        if (close != std::string_view::npos) return close + 1;
    }
    std::size_t end = start;
    while (end < text.size() && isTokenByte(static_cast<unsigned char>(text[end]))) ++end;
    return end;
}

}  // namespace

std::string CMimeHeaderField::LeadingValue() const {
    const std::string value = Value();
    std::size_t end = value.find(';');
    if (end == std::string::npos) end = value.size();
    while (end > 0 && IsSpaceByte(static_cast<unsigned char>(value[end - 1]))) --end;
    return value.substr(0, end);
}

std::optional<ParamLocation> CMimeHeaderField::LocateParam(std::string_view paramName) const {
    return locateParam(Value(), paramName);
}

std::optional<ParamLocation> CMimeHeaderField::locateParam(const std::string& value,
                                                           std::string_view paramName) {
    const std::string_view text = textOf(value);
    std::size_t p = text.find(';');
    if (p == std::string_view::npos) return std::nullopt;
    while (true) {
        while (p < text.size() && (IsSpaceByte(static_cast<unsigned char>(text[p])) || text[p] == ';')) ++p;
        const std::size_t nameStart = p;
        const std::size_t equals = text.find('=', nameStart);
        if (equals == std::string_view::npos) return std::nullopt;
        std::size_t start = equals + 1;
        while (start < text.size() &&
               (text[start] == ' ' || text[start] == '\t' || text[start] == '\r' || text[start] == '\n'))
            ++start;
        const std::size_t end = valueEnd(text, start);
        const std::size_t after = nameStart + paramName.size();
        if (StartsWithNoCase(text.substr(nameStart), paramName) && after < text.size() &&
            (IsSpaceByte(static_cast<unsigned char>(text[after])) || text[after] == '='))
            return ParamLocation{start, end - start};
        p = end;
    }
}

bool CMimeHeaderField::ParamText(std::string_view paramName, std::string& text) const {
    text.clear();
    const std::string value = Value();
    const auto where = locateParam(value, paramName);
    if (!where) return false;
    std::string_view found = std::string_view(value).substr(where->position, where->length);
    if (!found.empty() && found.front() == '"') {
        found.remove_prefix(1);
        if (!found.empty() && found.back() == '"') found.remove_suffix(1);
    }
    text.assign(found);
    return true;
}

std::string CMimeHeaderField::ParamText(std::string_view paramName) const {
    std::string text;
    ParamText(paramName, text);
    return text;
}

void CMimeHeaderField::PutParam(std::string_view paramName, std::string_view paramValue) {
    std::string quoted;
    if (paramValue.empty() || paramValue.front() != '"') quoted += '"';
    quoted += paramValue;
    if (!(paramValue.size() >= 2 && paramValue.back() == '"')) quoted += '"';
    std::string value = Value();
    if (const auto where = locateParam(value, paramName)) {
        value.replace(where->position, where->length, quoted);
    } else {
        value += "; ";
        value += paramName;
        value += '=';
        value += quoted;
    }
    SetText(std::move(value));
}

}  // namespace mime
