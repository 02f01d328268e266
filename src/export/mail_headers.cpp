#include "export/mail_headers.h"

#include "mime/text_util.h"

namespace exporter {
namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

// The next line of text from pos (without its line end); pos moves past it.
std::string_view nextLine(std::string_view text, std::size_t& pos) {
    const std::size_t end = text.find('\n', pos);
    const std::size_t stop = end == std::string_view::npos ? text.size() : end;
    std::string_view line = text.substr(pos, stop - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    pos = end == std::string_view::npos ? text.size() : end + 1;
    return line;
}

}  // namespace

std::string_view headerBlockOf(std::string_view message) {
    std::size_t pos = 0;
    while (pos < message.size()) {
        const std::size_t start = pos;
        if (nextLine(message, pos).empty()) return message.substr(0, start);
    }
    return message;
}

std::vector<std::string> headerValues(std::string_view message, std::string_view name) {
    const std::string_view block = headerBlockOf(message);
    std::vector<std::string> values;
    std::string* current = nullptr;
    std::size_t pos = 0;
    while (pos < block.size()) {
        std::string_view line = nextLine(block, pos);
        if (!line.empty() && (line.front() == ' ' || line.front() == '\t')) {
            if (current) *current += " " + std::string(trimmed(line));
            continue;
        }
        current = nullptr;
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos || !mime::EqualsNoCase(trimmed(line.substr(0, colon)), name))
            continue;
        values.emplace_back(trimmed(line.substr(colon + 1)));
        current = &values.back();
    }
    return values;
}

}  // namespace exporter
