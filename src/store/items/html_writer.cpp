#include "store/items/html_writer.h"

#include "platform/codepage.h"
#include "store/items/attachment_files.h"
#include "mime/html_sanitizer.h"
#include "store/items/message_text.h"

namespace store::items {
using mime::escapeHtml;

namespace {

std::string utf8(std::u16string_view text) { return utf8Text(text); }

void headerRow(std::string& out, const char* label, std::u16string_view value) {
    out += "<tr><td style=\"font-weight:bold;padding-right:1em;vertical-align:top\">";
    out += label;
    out += ":</td><td>";
    out += escapeHtml(utf8(value));
    out += "</td></tr>\r\n";
}

// A relative link as a URL path: every byte outside the unreserved set is percent-encoded.
std::string linkUrl(std::u16string_view link) {
    static const char* const hex = "0123456789ABCDEF";
    std::string url;
    for (unsigned char c : utf8(link)) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
            c == '_' || c == '~' || c == '/') {
            url.push_back(static_cast<char>(c));
        } else {
            url += '%';
            url += hex[c >> 4];
            url += hex[c & 0xF];
        }
    }
    return url;
}

// The attachment names, each a link to the file it was saved as.
void attachmentRow(std::string& out, const ItemHeader& h) {
    if (h.attachments.empty()) return;
    out += "<tr><td style=\"font-weight:bold;padding-right:1em;vertical-align:top\">Attachments:</td><td>";
    out += joinAttachments(h, [](std::u16string_view name, std::u16string_view link) {
        if (link.empty()) return escapeHtml(utf8(name));
        return "<a href=\"" + linkUrl(link) + "\">" + escapeHtml(utf8(name)) + "</a>";
    });
    out += "</td></tr>\r\n";
}

std::string headerBlock(const ItemHeader& h) {
    std::string out =
        "<div style=\"font-family:Arial,sans-serif;font-size:10pt;border-bottom:1px solid #999;"
        "margin-bottom:1em;padding-bottom:0.5em\"><table style=\"border-collapse:collapse\">\r\n";
    for (const HeaderLine& line : headerLines(h)) headerRow(out, line.label, line.value);
    attachmentRow(out, h);
    out += "</table></div>\r\n";
    return out;
}

// The sanitised body, the header block then put where sanitizeHtmlDocument puts a body prefix.
ItemDocument fromHtmlBody(const std::string& body, const ItemHeader& h, std::string header) {
    mime::HtmlSanitizeOptions options;
    options.fallbackTitle = utf8(h.subject);
    ItemDocument document{mime::sanitizeHtmlDocument(body, options)};
    document.headerAt = mime::bodyPrefixOffset(document.bytes);
    if (document.headerAt == std::string::npos) return document;
    document.headerSize = header.size();
    document.bytes.insert(document.headerAt, header);
    return document;
}

ItemDocument fromPlainBody(const mapi::Message& message, const ItemHeader& h, const std::string& header) {
    ItemDocument document;
    std::string& out = document.bytes;
    out = mime::htmlDocumentStart();
    out += "<title>" + escapeHtml(utf8(h.subject)) + "</title></head>\r\n<body>\r\n";
    document.headerAt = out.size();
    document.headerSize = header.size();
    out += header;
    const std::string text = utf8(plainTextOf(message));
    out += "<pre style=\"font-family:inherit;white-space:pre-wrap\">";
    if (text.starts_with('\n') || text.starts_with('\r')) out += "\r\n";  // a parser drops one line break after <pre>
    out += escapeHtml(text);
    out += "</pre>\r\n</body></html>\r\n";
    return document;
}

}  // namespace

ItemDocument htmlItemDocument(const mapi::Message& message, const SavedAttachmentFiles& savedFiles) {
    const ItemHeader h = itemHeaderOf(message, savedFiles);
    std::string header = headerBlock(h);
    if (auto body = htmlBodyUtf8(message); body && !body->empty()) return fromHtmlBody(*body, h, std::move(header));
    return fromPlainBody(message, h, header);
}

std::string htmlHeaderBlock(const mapi::Message& message, const SavedAttachmentFiles& savedFiles) {
    return headerBlock(itemHeaderOf(message, savedFiles));
}

std::string htmlDocument(const mapi::Message& message, const SavedAttachmentFiles& savedFiles) {
    return htmlItemDocument(message, savedFiles).bytes;
}

Result<void> writeHtmlFile(const mapi::Message& message, const std::u16string& path,
                           const SavedAttachmentFiles& savedFiles) {
    return writeItemFile(path, htmlDocument(message, savedFiles));
}

}  // namespace store::items
