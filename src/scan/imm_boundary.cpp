#include "scan/imm_boundary.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace scan {
namespace {

constexpr std::size_t kMaxPairs = 10;
constexpr std::size_t kLookAheadLines = 10;
constexpr std::size_t kBlock = 4096;  // header lines are short: small reads keep each test cheap
constexpr std::size_t kMaxRunLines = 10;
constexpr std::size_t kLineBlock = 256;  // the header-run test reads lines in small steps: most are short

bool isFieldNameByte(unsigned char c) { return c > 0x20 && c < 0x7F && c != ':'; }

bool startsWith(const char* data, std::size_t size, std::string_view prefix) {
    return size >= prefix.size() && std::memcmp(data, prefix.data(), prefix.size()) == 0;
}

}  // namespace

std::size_t ImmBoundaryLocator::readAt(std::uint64_t position, char* into, std::size_t count) const {
    if (window_ && position >= windowBase_ && position - windowBase_ + count <= windowSize_) {
        std::memcpy(into, window_ + (position - windowBase_), count);
        return count;
    }
    return file_.readAt(position, into, count);
}

std::uint64_t ImmBoundaryLocator::lineStartBefore(std::uint64_t lf) const {
    char buffer[kLineBlock];
    std::uint64_t hi = lf;
    while (hi > 0) {
        const std::uint64_t lo = hi > kLineBlock ? hi - kLineBlock : 0;
        const std::size_t got = readAt(lo, buffer, static_cast<std::size_t>(hi - lo));
        if (got < hi - lo) return hi;  // the file shrank: take what is known
        if (const void* hit = memrchr(buffer, '\n', got))
            return lo + static_cast<std::uint64_t>(static_cast<const char*>(hit) - buffer) + 1;
        hi = lo;
    }
    return 0;
}

ImmBoundaryLocator::HeaderKind ImmBoundaryLocator::classifyHeaderLine(std::uint64_t start, std::uint64_t end) const {
    char buffer[kLineBlock];
    bool continuation = false;
    for (std::uint64_t at = start; at < end;) {
        const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(kLineBlock, end - at));
        const std::size_t got = readAt(at, buffer, want);
        if (got == 0) return HeaderKind::None;
        for (std::size_t k = 0; k < got; ++k, ++at) {
            const auto c = static_cast<unsigned char>(buffer[k]);
            if (at == start && (c == ' ' || c == '\t')) continuation = true;
            if (continuation) {
                if (c != ' ' && c != '\t') return HeaderKind::Continuation;
            } else if (c == ':') {
                return at > start ? HeaderKind::Field : HeaderKind::None;
            } else if (!isFieldNameByte(c)) {
                return HeaderKind::None;
            }
        }
    }
    return HeaderKind::None;  // blank, or a name without a colon
}

std::optional<std::uint64_t> ImmBoundaryLocator::headerRunStart(std::uint64_t i) const {
    if (!file_.isOpen()) return std::nullopt;
    std::optional<std::uint64_t> runStart;
    std::uint64_t lf = i;  // the LF that ends the line looked at
    for (std::size_t lines = 0; lines < kMaxRunLines; ++lines) {
        const std::uint64_t start = lineStartBefore(lf);
        std::uint64_t end = lf;
        char last = 0;
        if (end > start && readAt(end - 1, &last, 1) == 1 && last == '\r') --end;  // CR LF ends the line
        const HeaderKind kind = classifyHeaderLine(start, end);
        if (kind == HeaderKind::None) break;
        if (kind == HeaderKind::Field) runStart = start;
        if (start == 0) break;
        lf = start - 1;
    }
    return runStart;
}

bool ImmBoundaryLocator::headerBlockBegan(std::uint64_t i) const {
    if (!file_.isOpen()) return false;
    char buffer[kBlock];
    std::uint64_t blockStart = i;
    std::size_t got = readAt(blockStart, buffer, sizeof buffer);
    std::size_t line = 0;  // offset of the current line in buffer
    for (std::size_t lines = 0; lines < kLookAheadLines; ++lines) {
        // Keep at least the eight bytes a header name needs in the buffer, unless the file ends first.
        if (got - line < 8 && got == sizeof buffer) {
            blockStart += line;
            got = readAt(blockStart, buffer, sizeof buffer);
            line = 0;
        }
        if (line >= got) return false;  // end of file: no more lines
        const char* text = buffer + line;
        std::size_t available = got - line;
        if (startsWith(text, available, "Subject:") || startsWith(text, available, "To:") ||
            startsWith(text, available, "From:"))
            return true;
        // Move to the line after the next LF, reading on as far as the line goes.
        for (;;) {
            const void* lf = std::memchr(buffer + line, '\n', got - line);
            if (lf) {
                line = static_cast<std::size_t>(static_cast<const char*>(lf) - buffer) + 1;
                break;
            }
            if (got < sizeof buffer) return false;
            blockStart += got;
            got = readAt(blockStart, buffer, sizeof buffer);
            line = 0;
            if (got == 0) return false;
        }
    }
    return false;
}

ImmBoundaryLocator::LineKind ImmBoundaryLocator::classifyLineAt(std::uint64_t q) const {
    char head[8];
    std::size_t got = readAt(q, head, sizeof head);
    if (startsWith(head, got, "To:")) return LineKind::To;
    if (startsWith(head, got, "From:")) return LineKind::From;
    if (startsWith(head, got, "Subject:")) return LineKind::Subject;
    return LineKind::Other;
}

// Finds the CR LF pairs at positions p with scannedUpTo_ <= p <= i - 1, newest first, at most ten.
void ImmBoundaryLocator::collectPairsBelow(std::uint64_t i, std::vector<CrLfPair>& newestFirst) const {
    char buffer[kBlock + 1];
    std::uint64_t hi = i + 1;  // LF positions L = p + 1 lie in [scannedUpTo_ + 1, i]
    while (hi > scannedUpTo_ + 1 && newestFirst.size() < kMaxPairs) {
        std::uint64_t lo = std::max<std::uint64_t>(scannedUpTo_ + 1, hi > kBlock ? hi - kBlock : 0);
        // Read [lo - 1, hi) so that the byte before each LF is at hand.
        std::size_t want = static_cast<std::size_t>(hi - (lo - 1));
        std::size_t got = readAt(lo - 1, buffer, want);
        std::size_t end = std::min(got, want);
        while (end > 1 && newestFirst.size() < kMaxPairs) {
            const void* lf = memrchr(buffer + 1, '\n', end - 1);
            if (!lf) break;
            std::size_t at = static_cast<std::size_t>(static_cast<const char*>(lf) - buffer);
            if (buffer[at - 1] == '\r') {
                std::uint64_t p = lo - 1 + at - 1;
                newestFirst.push_back({p, classifyLineAt(p + 2)});
            }
            end = at;
        }
        hi = lo;
    }
}

std::uint64_t ImmBoundaryLocator::headerStart(std::uint64_t i) {
    if (!file_.isOpen()) return i;
    std::vector<CrLfPair> pairs;
    collectPairsBelow(i, pairs);
    for (const CrLfPair& older : recent_) {
        if (pairs.size() >= kMaxPairs) break;
        pairs.push_back(older);
    }
    recent_ = pairs;
    scannedUpTo_ = i;

    std::uint64_t result = i;
    bool toSeen = false, fromSeen = false, subjectSeen = false;
    for (const CrLfPair& pair : pairs) {
        switch (pair.following) {
            case LineKind::To: toSeen = true; result = pair.position + 2; break;
            case LineKind::From: fromSeen = true; result = pair.position + 2; break;
            case LineKind::Subject: subjectSeen = true; result = pair.position + 2; break;
            case LineKind::Other: result = pair.position; break;
        }
        if (toSeen && fromSeen && subjectSeen) break;
    }
    return result;
}

}  // namespace scan
