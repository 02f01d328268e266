#pragma once
// Runs a codec over a byte string the way the library's callers do: bind, size, convert.
#include <string>
#include <string_view>

#include "mime/mime_codec.h"

namespace mime_test {

inline std::string convert(mime::CMimeCodeBase& codec, std::string_view input, bool encoding) {
    codec.BindInput(input, encoding);
    std::string out(static_cast<std::size_t>(codec.OutputSizeBound()), '\0');
    out.resize(static_cast<std::size_t>(codec.Convert(out.data(), static_cast<std::int64_t>(out.size()))));
    return out;
}

// Converts into a buffer of exactly max bytes (to check truncation); guards the bytes after it.
inline std::string convertInto(mime::CMimeCodeBase& codec, std::string_view input, bool encoding,
                               std::int64_t max) {
    codec.BindInput(input, encoding);
    std::string out(static_cast<std::size_t>(max) + 8, '#');
    const std::int64_t written = codec.Convert(out.data(), max);
    if (out.compare(static_cast<std::size_t>(max), 8, "########") != 0) return "<overrun>";
    out.resize(static_cast<std::size_t>(written));
    return out;
}

}  // namespace mime_test
