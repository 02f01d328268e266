#include "scan/message_reader.h"

#include <cstring>
#include <new>

namespace scan {

namespace {

// True when the span lies within the file. The size last seen serves until a span reaches beyond it
// (the file grew): a span within it that the file no longer holds is caught by the short read. The
// check keeps a stale or damaged offset list from allocating more than the file ever held.
bool spanWithinFile(CMboxFile& mbox, const CMboxFile::Span& span) {
    auto within = [&](std::uint64_t size) { return span.offset <= size && span.length <= size - span.offset; };
    if (within(mbox.sizeSeen.load(std::memory_order_relaxed))) return true;
    const std::uint64_t size = mbox.file.size();
    mbox.sizeSeen.store(size, std::memory_order_relaxed);
    return within(size);
}

// The line break the boundary scanner leaves at the front of a message: LF, CR LF or a bare CR (a CR
// is dropped alone unless an LF follows it, so bare-CR mailboxes keep their "From " line whole).
std::size_t leadingBreak(std::string_view bytes) {
    if (bytes.starts_with('\n')) return 1;
    if (bytes.starts_with("\r\n")) return 2;
    if (bytes.starts_with('\r')) return 1;
    return 0;
}

}  // namespace

std::optional<std::string> readMessage(CMboxFile& mbox, std::uint64_t k, bool skipLeadingBreak) {
    const CMboxFile::Span span = mbox.messageSpan(k);
    // A message is read whole or not at all: offsets may outlive the file's bytes (a mailbox that
    // shrank after the scan, or a snapshot of another state of it), and a cut message is never passed on.
    if (!spanWithinFile(mbox, span)) return std::nullopt;
    if (span.length == 0) return std::string();
    if (span.length > SIZE_MAX / 2) return std::nullopt;
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
    // Read with the message in one call, and dropped from the buffer: one read per message, not two.
    if (skipLeadingBreak) bytes.erase(0, leadingBreak(bytes));
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
