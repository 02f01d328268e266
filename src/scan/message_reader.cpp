#include "scan/message_reader.h"

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
    if (span.length > SIZE_MAX - 1) return std::nullopt;
    std::string bytes;
    try {
        bytes.resize(static_cast<std::size_t>(span.length));
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    } catch (const std::length_error&) {
        return std::nullopt;
    }
    mbox.file.seek(span.offset);
    bytes.resize(mbox.file.read(bytes.data(), bytes.size()));  // a file that shrank gives fewer bytes
    return bytes;
}

bool hasCrLf(std::string_view bytes) { return bytes.find("\r\n") != std::string_view::npos; }

void normalizeLineEnds(std::string& bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 32 + 16);
    bool inserted = false;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n' && (i == 0 || bytes[i - 1] != '\r')) {
            out.push_back('\r');
            inserted = true;
        }
        out.push_back(bytes[i]);
    }
    if (!inserted) {
        out.clear();
        for (char c : bytes) {
            out.push_back(c);
            if (c == '\r') out.push_back('\n');
        }
    }
    bytes.swap(out);
}

}  // namespace scan
