#include "preview/web_archive.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>
#include <vector>

#include "mime/html_sanitizer.h"
#include "mime/message_render.h"
#include "mime/text_util.h"
#include "platform/codepage.h"
#include "platform/file_output.h"
#include "platform/paths.h"

namespace preview {
namespace {

bool isAttachment(const mime::CMimeBody& leaf) {
    if (leaf.HasAttachmentName()) return true;
    const std::optional<std::string> disposition = leaf.FieldText("Content-Disposition");
    return disposition && mime::StartsWithNoCase(*disposition, "attachment");
}

// The charset parameter of the part's Content-Type, or empty.
std::string declaredCharset(const mime::CMimeBody& part) {
    const mime::CMimeHeaderField* type = part.LookupField("Content-Type");
    return type ? type->ParamText("charset") : std::string();
}

// Part text to UTF-8: its declared charset, else UTF-8 when valid, else Windows-1252.
std::string toUtf8(std::string_view bytes, const std::string& charset) {
    std::u16string text;
    if (!charset.empty() && platform::charsetToUtf16(charset, bytes, text)) return platform::utf16ToUtf8(text);
    if (platform::isValidUtf8(bytes)) return std::string(bytes);
    platform::charsetToUtf16("WINDOWS-1252", bytes, text);
    return platform::utf16ToUtf8(text);
}

std::string contentIdOf(const mime::CMimeBody& part) {
    const std::optional<std::string> id = part.FieldText("Content-ID");
    if (!id) return {};
    std::string value = *id;
    std::size_t start = value.find_first_not_of(" \t<");
    std::size_t end = value.find_last_not_of(" \t\r\n>");
    return start == std::string::npos || end < start ? std::string() : value.substr(start, end - start + 1);
}

// The part's media type for a data: picture; parts labelled otherwise (often application/octet-stream)
// are still shown as pictures, which browsers and the viewer recognise by their bytes.
std::string pictureTypeOf(const mime::CMimeBody& part) {
    std::string type = part.MainTypeText() + "/" + part.SubTypeText();
    for (char& c : type)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return type.starts_with("image/") ? type : "image/x-unknown";
}

std::string plainTextDocument(std::string_view utf8) {
    return mime::htmlDocumentStart() +
           "</head><body><pre style=\"white-space: pre-wrap; font-family: sans-serif\">" +
           (utf8.starts_with('\n') || utf8.starts_with('\r') ? "\n" : "") + mime::escapeHtml(utf8) +
           "</pre></body></html>\n";
}

// A page written as UTF-16LE with its byte-order mark (the blank preview page).
bool isUtf16Page(std::string_view bytes) { return bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE'; }

std::string utf16PageToUtf8(std::string_view bytes) {
    std::u16string text;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
        text.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                             (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    return platform::utf16ToUtf8(text);
}

}  // namespace

std::string renderMessage(std::string bytes) {
    mime::ConvertLfToCrLf(bytes);
    std::size_t start = bytes.compare(0, 2, "\r\n") == 0 ? 2 : 0;
    mime::CMimeMessage message;
    message.Parse(bytes.data() + start, static_cast<std::int64_t>(bytes.size() - start));

    // Text without a readable header is shown as it stands rather than as an empty page.
    if (std::all_of(message.Fields().begin(), message.Fields().end(), [](const auto& f) { return f.name.empty(); }))
        return plainTextDocument(toUtf8(std::string_view(bytes).substr(start), {}));

    std::vector<const mime::CMimeBody*> leaves;
    message.CollectLeaves(leaves);
    // A multipart whose parts cannot be told apart (no usable boundary) has no leaves: show its text.
    const mime::CMimeBody* unsplit = leaves.empty() && message.MediaTypeIndex() == mime::kMediaMultipart ? &message : nullptr;
    const mime::CMimeBody* html = nullptr;
    const mime::CMimeBody* plain = nullptr;
    std::map<std::string, const mime::CMimeBody*> byContentId;
    for (const mime::CMimeBody* leaf : leaves) {
        if (std::string id = contentIdOf(*leaf); !id.empty()) byContentId.emplace(id, leaf);
        if (leaf->MediaTypeIndex() != mime::kMediaText || isAttachment(*leaf)) continue;
        const std::string subtype = leaf->SubTypeText();
        if (!html && mime::EqualsNoCase(subtype, "html")) html = leaf;
        if (!plain && (subtype.empty() || mime::EqualsNoCase(subtype, "plain"))) plain = leaf;
    }

    if (html) {
        auto resolve = [&](std::string_view id) -> std::optional<std::string> {
            auto found = byContentId.find(std::string(id));
            if (found == byContentId.end()) return std::nullopt;
            return "data:" + pictureTypeOf(*found->second) + ";base64," + mime::Base64Encode(found->second->ContentView());
        };
        mime::HtmlSanitizeOptions options;
        options.resolveContentId = resolve;
        return mime::sanitizeHtmlDocument(toUtf8(html->ContentView(), declaredCharset(*html)), options);
    }
    if (plain) return plainTextDocument(toUtf8(plain->ContentView(), declaredCharset(*plain)));
    if (unsplit) return plainTextDocument(toUtf8(unsplit->ContentView(), {}));
    return plainTextDocument("");
}

std::string renderFileForViewer(const std::u16string& path) {
    std::string bytes;
    if (!platform::readWholeFile(path, bytes))
        return plainTextDocument("The file " + platform::utf16ToUtf8(path) + " cannot be read.");
    if (isUtf16Page(bytes)) return mime::sanitizeHtmlDocument(utf16PageToUtf8(bytes));
    return renderMessage(std::move(bytes));
}

}  // namespace preview
