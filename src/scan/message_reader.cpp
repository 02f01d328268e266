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
        // Room for the CRs that normalizeLineEnds adds to LF line ends of lines of 16 bytes or more.
        bytes.reserve(static_cast<std::size_t>(span.length) + static_cast<std::size_t>(span.length / 16) + 16);
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

// Inserts extra before (or after) every byte equal to mark for which needsIt(position) holds, in place:
// the text grows once and is moved up from its end, so a buffer read with spare capacity (see
// readMessage) is never held twice. Returns how many were inserted.
template <typename NeedsIt>
std::size_t insertAtMarks(std::string& text, char mark, char extra, bool before, NeedsIt&& needsIt) {
    std::size_t count = 0;
    for (const char* p = text.data(); (p = static_cast<const char*>(std::memchr(p, mark, text.data() + text.size() - p))); ++p)
        count += needsIt(static_cast<std::size_t>(p - text.data())) ? 1 : 0;
    if (count == 0) return 0;
    std::size_t from = text.size();  // bytes below from are not moved yet
    text.resize(text.size() + count);
    std::size_t to = text.size();
    char* data = text.data();
    while (to > from) {
        const void* hit = memrchr(data, mark, from);
        if (!hit) break;  // cannot happen: a mark that needs an insert lies below from
        const std::size_t at = static_cast<std::size_t>(static_cast<const char*>(hit) - data);
        const std::size_t run = from - at - 1;  // the bytes after the mark
        to -= run;
        std::memmove(data + to, data + at + 1, run);
        const bool add = needsIt(at);
        if (add && !before) data[--to] = extra;
        data[--to] = mark;
        if (add && before) data[--to] = extra;
        from = at;
    }
    return count;
}

}  // namespace

void normalizeLineEnds(std::string& bytes) {
    const std::size_t inserted = insertAtMarks(bytes, '\n', '\r', true, [&](std::size_t at) {
        return at == 0 || bytes[at - 1] != '\r';
    });
    if (inserted == 0) insertAtMarks(bytes, '\r', '\n', false, [](std::size_t) { return true; });
}

}  // namespace scan
