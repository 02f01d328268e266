#include "store/items/rtf_writer.h"

#include <charconv>

#include "store/items/attachment_files.h"
#include "store/items/message_text.h"

namespace store::items {

namespace {

bool isPlainRtf(char16_t c) { return c >= 0x20 && c < 0x80 && c != u'\\' && c != u'{' && c != u'}'; }

// One character that is not plain text of RTF; returns the index of the last one used.
std::size_t appendEscaped(std::string& out, std::u16string_view text, std::size_t i) {
    const char16_t c = text[i];
    if (c == u'\r' || c == u'\n') {
        if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
        out += "\\par\r\n";
    } else if (c == u'\t') {
        out += "\\tab ";
    } else if (c == u'\\' || c == u'{' || c == u'}') {
        out.push_back('\\');
        out.push_back(static_cast<char>(c));
    } else if (c >= 0x20) {
        // The fallback as \'3f rather than a literal '?': some readers drop the character after a
        // literal fallback. Other control characters have no place in the text.
        char number[8];
        const auto end = std::to_chars(number, number + sizeof number, static_cast<std::int16_t>(c)).ptr;
        out += "\\u";
        out.append(number, end);
        out += "\\'3f";
    }
    return i;
}

// rtfEscape appended to out.
void appendRtfEscaped(std::string& out, std::u16string_view text) {
    out.reserve(out.size() + text.size() + text.size() / 4);
    for (std::size_t i = 0; i < text.size(); ++i) {
        // Most of any text is plain: copied a run at a time.
        std::size_t end = i;
        while (end < text.size() && isPlainRtf(text[end])) ++end;
        if (end > i) {
            const std::size_t at = out.size();
            out.resize(at + (end - i));
            for (std::size_t k = i; k < end; ++k) out[at + (k - i)] = static_cast<char>(text[k]);
            i = end;
            if (i == text.size()) break;
        }
        i = appendEscaped(out, text, i);
    }
}

}  // namespace

std::string rtfEscape(std::u16string_view text) {
    std::string out;
    appendRtfEscaped(out, text);
    return out;
}

namespace {

void headerLine(std::string& out, const char* label, std::u16string_view value) {
    out += "{\\b ";
    out += label;
    out += ":}\\tab ";
    out += rtfEscape(value);
    out += "\\par\r\n";
}

// The attachment names, each a HYPERLINK field to the file it was saved as.
void attachmentLine(std::string& out, const ItemHeader& h) {
    if (h.attachments.empty()) return;
    out += "{\\b Attachments:}\\tab ";
    out += joinAttachments(h, [](std::u16string_view name, std::u16string_view link) {
        if (link.empty()) return rtfEscape(name);
        std::u16string target;
        for (char16_t c : link) {
            if (c != u'"') target.push_back(c);
        }
        return "{\\field{\\*\\fldinst HYPERLINK \"" + rtfEscape(target) + "\"}{\\fldrslt " + rtfEscape(name) +
               "}}";
    });
    out += "\\par\r\n";
}

std::string headerBlock(const ItemHeader& h) {
    std::string out;
    for (const HeaderLine& line : headerLines(h)) headerLine(out, line.label, line.value);
    attachmentLine(out, h);
    return out;
}

}  // namespace

ItemDocument rtfItemDocument(const mapi::Message& message, const SavedAttachmentFiles& savedFiles) {
    ItemDocument document;
    std::string& out = document.bytes;
    out =
        "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1\r\n"
        "{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}{\\f1\\fmodern\\fcharset0 Courier New;}}\r\n"
        "\\viewkind4\\pard\\tx1440\\f0\\fs20\r\n";
    document.headerAt = out.size();
    out += headerBlock(itemHeaderOf(message, savedFiles));
    document.headerSize = out.size() - document.headerAt;
    out += "\\pard\\par\r\n";
    appendRtfEscaped(out, plainTextOf(message));
    out += "\\par\r\n}\r\n";
    return document;
}

std::string rtfHeaderBlock(const mapi::Message& message, const SavedAttachmentFiles& savedFiles) {
    return headerBlock(itemHeaderOf(message, savedFiles));
}

std::string rtfDocument(const mapi::Message& message, const SavedAttachmentFiles& savedFiles) {
    return rtfItemDocument(message, savedFiles).bytes;
}

Result<void> writeRtfFile(const mapi::Message& message, const std::u16string& path,
                          const SavedAttachmentFiles& savedFiles) {
    return writeItemFile(path, rtfDocument(message, savedFiles));
}

}  // namespace store::items
