#include "store/import/message_text.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "mime/text_util.h"

namespace store::import {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// A field name byte: printable ASCII except the colon.
bool isNameByte(char c) { return c >= 0x21 && c <= 0x7E && c != ':'; }

// Where the colon of a field line is, or npos when the line is not a field ("Name:" or, in the
// obsolete form, "Name  :").
std::size_t fieldColon(std::string_view line) {
    std::size_t i = 0;
    while (i < line.size() && isNameByte(line[i])) ++i;
    if (i == 0) return std::string_view::npos;
    std::size_t colon = i;
    while (colon < line.size() && isBlank(line[colon])) ++colon;
    if (colon < line.size() && line[colon] == ':') return colon;
    return std::string_view::npos;
}

// "From " followed by something other than a blank or colon: an mbox envelope line, not the obsolete
// form "From  : name" of a From field.
bool isEnvelopeLine(std::string_view line) {
    return line.starts_with("From ") && line.size() > 5 && line[5] != ' ' && line[5] != '\t' && line[5] != ':';
}

std::string_view envelopeLineSkipped(std::string_view bytes) {
    std::string_view rest = bytes;
    if (rest.starts_with(">")) {
        std::size_t i = 0;
        while (i < rest.size() && rest[i] == '>') ++i;
        if (isEnvelopeLine(rest.substr(i))) rest.remove_prefix(i);
    }
    if (!isEnvelopeLine(rest)) return bytes;
    const std::size_t end = rest.find_first_of("\r\n");
    if (end == std::string_view::npos) return {};
    std::size_t next = end + 1;
    if (rest[end] == '\r' && next < rest.size() && rest[next] == '\n') ++next;
    return rest.substr(next);
}

// Appends the text with each CR in it written as CR LF.
void appendWithBareCrs(std::string& out, std::string_view text) {
    for (;;) {
        const void* cr = std::memchr(text.data(), '\r', text.size());
        if (!cr) break;
        const auto at = static_cast<std::size_t>(static_cast<const char*>(cr) - text.data());
        out.append(text.substr(0, at)).append("\r\n");
        text.remove_prefix(at + 1);
    }
    out.append(text);
}

// Drops the first `skip` bytes of a text without CR and puts a CR before each of the `lfs` LFs after
// them, in place, so that a message read with room for the CRs (as the mailbox reader reads it) is
// not held twice nor moved twice. Lines move up from the end while more LFs than `skip` lie below
// them; the lines of the last `skip` LFs move down, front to back.
void crBeforeEveryLf(std::string& text, std::size_t skip, std::size_t lfs) {
    const std::size_t size = text.size();
    const std::size_t finalSize = size - skip + lfs;
    if (finalSize > size) text.resize(finalSize);
    char* data = text.data();
    std::size_t from = size;    // bytes from here up are in place
    std::size_t to = finalSize;  // where they went
    for (std::size_t left = lfs; left > skip; --left) {
        const void* hit = memrchr(data + skip, '\n', from - skip);
        const std::size_t lf = static_cast<std::size_t>(static_cast<const char*>(hit) - data);
        const std::size_t tail = from - lf;  // the LF and what follows it
        to -= tail;
        std::memmove(data + to, data + lf, tail);
        data[--to] = '\r';
        from = lf;
    }
    std::size_t done = 0;
    for (std::size_t next = skip; next < from;) {
        const void* hit = std::memchr(data + next, '\n', from - next);
        const std::size_t end = hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - data) : from;
        if (done != next) std::memmove(data + done, data + next, end - next);
        done += end - next;
        if (!hit) break;
        data[done++] = '\r';
        data[done++] = '\n';
        next = end + 1;
    }
    text.resize(finalSize);
}

// The text with every line break as CR LF; text that has only CR LF line breaks is taken as it is.
std::string crlfLines(std::string&& text) {
    std::string_view in(text);
    if (const std::optional<std::size_t> lfs = mime::LfCountWithoutCr(in)) {
        crBeforeEveryLf(text, 0, *lfs);
        return std::move(text);
    }
    if (mime::OnlyCrLfLineBreaks(in)) return std::move(text);
    std::string out;
    out.reserve(in.size() + in.size() / 16 + 2);
    while (!in.empty()) {
        const void* lf = std::memchr(in.data(), '\n', in.size());
        const std::size_t end = lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - in.data()) : in.size();
        std::string_view line = in.substr(0, end);
        if (lf && !line.empty() && line.back() == '\r') line.remove_suffix(1);
        appendWithBareCrs(out, line);
        if (!lf) break;
        out.append("\r\n");
        in.remove_prefix(end + 1);
    }
    // The caller's text is no longer needed: free it now, not when the caller's expression ends, so
    // that a large message is not held twice while it is imported.
    std::string().swap(text);
    return out;
}

// Fixes obsolete field names, drops misplaced envelope lines and closes the header of CR LF text. A
// header that needs no change is returned without another copy.
std::string headerRepaired(std::string text) {
    std::string out;
    bool changed = false;
    std::size_t copied = 0;  // text before this offset is in out (once changed)
    auto copyUpTo = [&](std::size_t offset) {
        if (!changed) out.reserve(text.size() + 4);
        changed = true;
        out.append(text, copied, offset - copied);
        copied = offset;
    };
    std::size_t p = 0;
    for (;;) {
        const std::size_t end = text.find("\r\n", p);
        if (end == std::string::npos) {
            // The header runs to the end of the text: close it.
            copyUpTo(text.size());
            if (p < text.size()) out += "\r\n";
            out += "\r\n";
            return out;
        }
        const std::string_view line(text.data() + p, end - p);
        if (line.empty()) break;
        if (isBlank(line.front())) {
            p = end + 2;
            continue;
        }
        if (isEnvelopeLine(line)) {
            copyUpTo(p);  // a misplaced envelope line carries no field
            copied = end + 2;
            p = end + 2;
            continue;
        }
        const std::size_t colon = fieldColon(line);
        if (colon == std::string_view::npos) {
            copyUpTo(p);  // the body starts at this line
            out += "\r\n";
            break;
        }
        std::size_t nameEnd = 0;
        while (nameEnd < line.size() && isNameByte(line[nameEnd])) ++nameEnd;
        if (nameEnd != colon) {
            copyUpTo(p + nameEnd);
            copied = p + colon;
        }
        p = end + 2;
    }
    if (!changed) return text;
    out.append(text, copied, std::string::npos);
    return out;
}

}  // namespace

bool hasLfLineEnds(std::string_view text) {
    const std::optional<std::size_t> lfs = mime::LfCountWithoutCr(text);
    return lfs && *lfs > 0;
}

std::string prepareMessageText(std::string bytes, bool& lfSource) {
    const std::optional<std::size_t> lfs = mime::LfCountWithoutCr(bytes);
    lfSource = lfs && *lfs > 0;
    const std::size_t skipped = bytes.size() - envelopeLineSkipped(bytes).size();
    if (lfs) {
        const auto lfsSkipped = static_cast<std::size_t>(std::count(bytes.begin(), bytes.begin() + skipped, '\n'));
        crBeforeEveryLf(bytes, skipped, *lfs - lfsSkipped);
        return headerRepaired(std::move(bytes));
    }
    bytes.erase(0, skipped);
    // A mailbox with CR LF line ends is cut before the LF that begins the next "From " line: the CR of
    // that line end is no part of the message.
    if (bytes.ends_with("\n\r")) bytes.pop_back();
    return headerRepaired(crlfLines(std::move(bytes)));
}

std::string prepareMessageText(std::string bytes) {
    bool lfSource = false;
    return prepareMessageText(std::move(bytes), lfSource);
}

std::string_view headerBlockOf(std::string_view text) {
    if (text.starts_with("\r\n")) return {};
    const std::size_t blank = text.find("\r\n\r\n");
    return blank == std::string_view::npos ? text : text.substr(0, blank + 2);
}

}  // namespace store::import
