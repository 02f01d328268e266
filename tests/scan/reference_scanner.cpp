#include "scan/reference_scanner.h"

#include <cstring>
#include <optional>
#include <utility>

namespace reference {
namespace {

__extension__ typedef unsigned __int128 u128;

bool matchesAt(const std::string& bytes, std::uint64_t i, const char* pattern) {
    std::size_t n = std::strlen(pattern);
    return i + n <= bytes.size() && bytes.compare(i, n, pattern) == 0;
}

// Text-mode lines from position i: up to 10, LF ends a line (a CR before it is dropped).
bool lookAhead(const std::string& bytes, std::uint64_t i) {
    std::uint64_t pos = i;
    for (int line = 0; line < 10 && pos < bytes.size(); ++line) {
        std::uint64_t end = bytes.find('\n', pos);
        std::string text = bytes.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        if (text.rfind("Subject:", 0) == 0 || text.rfind("To:", 0) == 0 || text.rfind("From:", 0) == 0) return true;
        if (end == std::string::npos) break;
        pos = end + 1;
    }
    return false;
}

std::uint64_t lookBack(const std::string& bytes, std::uint64_t i) {
    std::uint64_t result = i;
    int pairs = 0;
    bool to = false, from = false, subject = false;
    for (std::uint64_t p = i; p-- > 0 && pairs < 10;) {
        if (!(matchesAt(bytes, p, "\r\n"))) continue;
        std::uint64_t q = p + 2, candidate = p;
        if (matchesAt(bytes, q, "To:")) to = true, candidate = q;
        if (matchesAt(bytes, q, "From:")) from = true, candidate = q;
        if (matchesAt(bytes, q, "Subject:")) subject = true, candidate = q;
        result = candidate;
        ++pairs;
        if (to && from && subject) break;
    }
    return result;
}

// Lines above the LF at i, nearest first, each as [start, end) without its line break.
std::vector<std::pair<std::uint64_t, std::uint64_t>> linesAbove(const std::string& bytes, std::uint64_t i, int most) {
    std::vector<std::pair<std::uint64_t, std::uint64_t>> lines;
    std::uint64_t lf = i;
    while (static_cast<int>(lines.size()) < most) {
        std::uint64_t start = lf;
        while (start > 0 && bytes[start - 1] != '\n') --start;
        std::uint64_t end = (lf > start && bytes[lf - 1] == '\r') ? lf - 1 : lf;
        lines.emplace_back(start, end);
        if (start == 0) break;
        lf = start - 1;
    }
    return lines;
}

bool isFieldLine(const std::string& line) {
    std::size_t colon = line.find(':');
    if (colon == std::string::npos || colon == 0) return false;
    for (std::size_t k = 0; k < colon; ++k)
        if (line[k] <= ' ' || line[k] > '~') return false;
    return true;
}

bool isContinuationText(const std::string& line) {
    return !line.empty() && (line[0] == ' ' || line[0] == '\t') && line.find_first_not_of(" \t") != std::string::npos;
}

// The start of the run of header lines directly above the LF at i, at most ten lines back; the run's
// continuation lines count only below a field line inside it.
std::optional<std::uint64_t> headerRun(const std::string& bytes, std::uint64_t i) {
    std::optional<std::uint64_t> start;
    for (auto [from, to] : linesAbove(bytes, i, 10)) {
        std::string line = bytes.substr(from, to - from);
        if (isFieldLine(line))
            start = from;
        else if (!isContinuationText(line))
            break;
    }
    return start;
}

}  // namespace

std::vector<std::uint64_t> fromLineOffsets(const std::string& bytes) {
    std::vector<std::uint64_t> offsets;
    for (std::uint64_t i = 0; i < bytes.size(); ++i) {
        if (i == 0) offsets.push_back(0);
        if (matchesAt(bytes, i, "\nFrom ") || matchesAt(bytes, i, "\rFrom ")) offsets.push_back(i);
    }
    offsets.push_back(bytes.size());
    return offsets;
}

std::vector<std::uint64_t> mimeVersionOffsets(const std::string& bytes) {
    std::vector<std::uint64_t> offsets;
    int matches = 0;
    for (std::uint64_t i = 0; i < bytes.size(); ++i) {
        if (i == 0) offsets.push_back(0);
        if (!matchesAt(bytes, i, "\nMIME-Version: 1.0")) continue;
        if (++matches == 1) continue;
        if (auto start = headerRun(bytes, i))
            offsets.push_back(*start);
        else
            offsets.push_back(lookAhead(bytes, i) ? i : lookBack(bytes, i));
    }
    offsets.push_back(bytes.size());
    return offsets;
}

std::vector<std::int64_t> progressPositions(std::uint64_t size) {
    std::vector<std::int64_t> sent{0};
    for (std::uint64_t i = 0; i < size; i += 100) {
        auto value = static_cast<std::int64_t>(static_cast<u128>(i) * 1000 / size);
        if (value != sent.back()) sent.push_back(value);
    }
    sent.push_back(1000);
    return sent;
}

}  // namespace reference
