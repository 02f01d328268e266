#pragma once
// Helpers for the body tests: parsing and storing through the library's calls, and a compact
// description of a tree's shape for table-driven expectations.
#include <string>
#include <string_view>

#include "mime/mime_body.h"

namespace mime_test {

inline std::int64_t parse(mime::CMimeBody& body, std::string_view text) {
    return body.Parse(text.data(), static_cast<std::int64_t>(text.size()));
}

// WriteTo into a buffer sized by StoredSize; "<error N>" for results of 0 or below.
inline std::string store(const mime::CMimeBody& body) {
    std::string out(static_cast<std::size_t>(body.StoredSize()), '\0');
    const std::int64_t written = body.WriteTo(out.data(), static_cast<std::int64_t>(out.size()));
    if (written <= 0) return "<error " + std::to_string(written) + ">";
    out.resize(static_cast<std::size_t>(written));
    return out;
}

// A body as its content in single quotes followed, when it has parts, by the parts in brackets:
// 'pre'['one','two'['x']].
inline std::string shape(const mime::CMimeBody& body) {
    std::string out = "'" + std::string(body.ContentView()) + "'";
    if (body.Parts().empty()) return out;
    out += '[';
    bool first = true;
    for (const auto& part : body.Parts()) {
        if (!first) out += ',';
        first = false;
        out += shape(*part);
    }
    return out + ']';
}

// Every body's header fields and, in brackets, its parts: what ParseOutline must read exactly as Parse
// does. A body with content shows "+content".
inline std::string outline(const mime::CMimeBody& body) {
    std::string out = "{";
    for (const auto& field : body.Fields()) out += field.name + ": " + field.Value() + "|";
    if (body.Content()) out += "+content";
    out += "}";
    if (body.Parts().empty()) return out;
    out += '[';
    for (const auto& part : body.Parts()) out += outline(*part);
    return out + ']';
}

inline std::int64_t parseOutline(mime::CMimeBody& body, std::string_view text) {
    return body.ParseOutline(text.data(), static_cast<std::int64_t>(text.size()));
}

// The outline of a fully parsed tree with every content marker removed.
inline std::string outlineWithoutContent(const mime::CMimeBody& body) {
    std::string out = outline(body);
    for (std::size_t at; (at = out.find("+content}")) != std::string::npos;) out.erase(at, 8);
    return out;
}

}  // namespace mime_test
