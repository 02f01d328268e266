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

}  // namespace mime_test
