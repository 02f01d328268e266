#include "mime/text_util.h"

#include <string.h>
#include <cstring>

namespace mime {

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && StartsWithNoCase(a, b);
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (LowerAscii(static_cast<unsigned char>(text[i])) !=
            LowerAscii(static_cast<unsigned char>(prefix[i])))
            return false;
    return true;
}

std::size_t FindCrLf(std::string_view text, std::size_t from) {
    while (from + 1 < text.size()) {
        const void* cr = std::memchr(text.data() + from, '\r', text.size() - from - 1);
        if (!cr) return std::string_view::npos;
        const std::size_t at = static_cast<const char*>(cr) - text.data();
        if (text[at + 1] == '\n') return at;
        from = at + 1;
    }
    return std::string_view::npos;
}

std::size_t FindBytes(std::string_view text, std::string_view needle, std::size_t from) {
    if (from > text.size()) return std::string_view::npos;
    if (needle.empty()) return from;
    // glibc's memmem is linear in the worst case (two-way matching), unlike a naive search.
    const void* hit = ::memmem(text.data() + from, text.size() - from, needle.data(), needle.size());
    return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - text.data())
               : std::string_view::npos;
}

}  // namespace mime
