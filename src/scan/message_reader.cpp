#include "scan/message_reader.h"

#include <cstring>
#include <new>

namespace scan {

std::optional<std::string> readMessage(CMboxFile& mbox, std::uint64_t k, bool skipLeadingBreak) {
    CMboxFile::Span span = mbox.messageSpan(k);
    if (span.length > 0 && skipLeadingBreak) {
        char head[2] = {};
        std::size_t got = mbox.file.readAt(span.offset, head, 2);
        std::uint64_t skip = 0;
        if (got >= 1 && head[0] == '\n') skip = 1;
        // A CR is dropped alone unless an LF follows it (bare-CR mailboxes keep their "From " line whole).
        if (got >= 1 && head[0] == '\r') skip = (got == 2 && head[1] == '\n' && span.length >= 2) ? 2 : 1;
        span.offset += skip;
        span.length -= skip;
    }
    // A message is read whole or not at all: offsets may outlive the file's bytes (a mailbox that
    // shrank after the scan, or a snapshot of another state of it), and a cut message is never passed on.
    const std::uint64_t fileSize = mbox.file.size();
    if (span.offset > fileSize || span.length > fileSize - span.offset) return std::nullopt;
    if (span.length == 0) return std::string();
    if (span.length > SIZE_MAX - 1) return std::nullopt;
    std::string bytes;
    try {
        bytes.resize(static_cast<std::size_t>(span.length));
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    } catch (const std::length_error&) {
        return std::nullopt;
    }
    if (mbox.file.readAt(span.offset, bytes.data(), bytes.size()) != bytes.size()) return std::nullopt;
    return bytes;
}

bool hasCrLf(std::string_view bytes) { return bytes.find("\r\n") != std::string_view::npos; }

namespace {

// Copies the text, writing insert before (or after) every byte equal to mark for which needsIt holds;
// whole runs without a mark are copied at once.
template <typename NeedsIt>
std::size_t copyMarking(const std::string& in, std::string& out, char mark, bool before, NeedsIt&& needsIt) {
    std::size_t inserted = 0, from = 0;
    const char extra = before ? '\r' : '\n';
    while (from < in.size()) {
        const void* hit = std::memchr(in.data() + from, mark, in.size() - from);
        std::size_t at = hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - in.data()) : in.size();
        out.append(in, from, at - from);
        if (at == in.size()) break;
        bool add = needsIt(at);
        if (add && before) out.push_back(extra);
        out.push_back(mark);
        if (add && !before) out.push_back(extra);
        inserted += add ? 1 : 0;
        from = at + 1;
    }
    return inserted;
}

}  // namespace

void normalizeLineEnds(std::string& bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 16 + 16);
    std::size_t inserted = copyMarking(bytes, out, '\n', true, [&](std::size_t at) {
        return at == 0 || bytes[at - 1] != '\r';
    });
    if (inserted == 0) {
        out.clear();
        copyMarking(bytes, out, '\r', false, [](std::size_t) { return true; });
    }
    bytes.swap(out);
}

}  // namespace scan
