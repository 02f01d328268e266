#include "store/import/attachment_import.h"

#include <cstdio>

#include "platform/codepage.h"
#include "store/import/import_tags.h"
#include "store/import/message_import.h"
#include "store/import/message_text.h"
#include "store/mapi/property_tags.h"

namespace store::import {

using namespace store::mapi;

namespace {

// The extension a nameless part is given for its display name.
std::u16string extensionForType(const PartInfo& info) {
    struct Entry {
        const char* type;
        const char16_t* extension;
    };
    static constexpr Entry kTable[] = {
        {"text/plain", u".txt"}, {"text/html", u".htm"},   {"text/calendar", u".ics"}, {"text/rfc822-headers", u".txt"},
        {"message/delivery-status", u".txt"}, {"message/disposition-notification", u".txt"},
        {"message/rfc822", u".eml"}, {"image/png", u".png"}, {"image/jpeg", u".jpg"}, {"image/gif", u".gif"},
        {"application/pdf", u".pdf"}, {"application/zip", u".zip"},
    };
    const std::string tag = info.mimeTag();
    for (const Entry& e : kTable) {
        if (tag == e.type) return e.extension;
    }
    return info.mainType == "text" ? u".txt" : u".bin";
}

bool isShortNameChar(char16_t c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_' || c == u'-' || c == u'$' || c == u'~' ||
           c == u'!' || c == u'#' || c == u'%' || c == u'&' || c == u'\'' || c == u'(' || c == u')' || c == u'@' ||
           c == u'^' || c == u'`' || c == u'{' || c == u'}';
}

std::u16string shortPart(std::u16string_view text, std::size_t limit) {
    std::u16string out;
    for (char16_t c : text) {
        if (out.size() >= limit) break;
        if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
        if (isShortNameChar(c)) out.push_back(c);
    }
    return out;
}

std::int32_t clampedSize(std::size_t size) {
    return size > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<std::int32_t>(size);
}

void setFileNames(PropertyBag& props, const std::u16string& name) {
    props.setString(PidTagAttachLongFilename, name);
    props.setString(PidTagAttachFilename, shortFileName(name));
    const std::u16string extension = fileExtension(name);
    if (!extension.empty()) props.setString(PidTagAttachExtension, extension);
}

void setCommon(Attachment& a, const AttachmentPart& part, int number, bool hidden) {
    PropertyBag& p = a.props;
    p.setLong(PidTagAttachNumber, number);
    p.setString(PidTagAttachMimeTag, platform::utf8ToUtf16(part.info.mimeTag()));
    if (!part.info.contentId.empty()) p.setString(PidTagAttachContentId, part.info.contentId);
    if (!part.info.contentLocation.empty()) p.setString(PidTagAttachContentLocation, part.info.contentLocation);
    // The disposition the part had; a part without one is shown where it stands unless it is named.
    std::string disposition = part.info.disposition;
    if (disposition != "inline" && disposition != "attachment") disposition = part.info.fileName ? "attachment" : "inline";
    p.setString(PidTagAttachDisposition, platform::utf8ToUtf16(disposition));
    p.setLong(PidTagRenderingPosition, -1);
    p.setBool(PidTagAttachmentHidden, hidden);
    if (hidden) p.setLong(PidTagAttachFlags, static_cast<std::int32_t>(attRenderedInBody));
    p.setLong(PidTagObjectType, MAPI_ATTACH);
}

std::string lowerTrimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    text = text.substr(first, text.find_last_not_of(" \t") - first + 1);
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    }
    return out;
}

// The part's Content-Transfer-Encoding in lower case; empty when absent.
std::string transferEncoding(const mime::CMimeBody& body) {
    const auto text = body.TransferEncodingText();
    return text ? lowerTrimmed(*text) : std::string();
}

bool isUuEncoding(std::string_view encoding) {
    return encoding == "x-uuencode" || encoding == "uuencode" || encoding == "x-uue" || encoding == "uue";
}

// Content that is not transfer-encoded: the MIME library reads an unknown encoding as none too.
bool isIdentityEncoding(std::string_view encoding) {
    return encoding != "base64" && encoding != "quoted-printable" && !isUuEncoding(encoding);
}

std::string withLfLineEnds(std::string data) {
    std::size_t out = 0;
    for (std::size_t i = 0; i < data.size(); ++i) {
        if (data[i] == '\r' && i + 1 < data.size() && data[i + 1] == '\n') continue;
        data[out++] = data[i];
    }
    data.resize(out);
    return data;
}

// The content the attachment stores: uuencoded content decoded; the bare LF line ends of the source
// back in a part that is neither text nor transfer-encoded (text keeps CR LF, which every reader
// compares line ends aside).
std::string attachmentBytes(std::string data, const AttachmentPart& part, bool lfSource) {
    const std::string encoding = transferEncoding(*part.body);
    if (isUuEncoding(encoding)) {
        if (auto decoded = uudecode(data)) return std::move(*decoded);
        return data;
    }
    if (lfSource && isIdentityEncoding(encoding) && part.info.mainType != "text") return withLfLineEnds(std::move(data));
    return data;
}

std::string takeContent(mime::CMimeBody& body) {
    std::string data(body.ContentView());
    body.ReserveContent(0);  // the bytes now live in the attachment
    return data;
}

}  // namespace

std::optional<std::string> uudecode(std::string_view text) {
    std::string out;
    bool begun = false;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (!begun) {
            begun = line.starts_with("begin ") || line == "begin";
            continue;
        }
        if (line == "end" || line.starts_with("end ")) break;
        if (line.empty()) continue;
        // The first character gives the line's byte count; then four characters carry three bytes.
        const std::size_t count = static_cast<std::size_t>((line[0] - 0x20) & 0x3F);
        std::string bytes;
        for (std::size_t i = 1; bytes.size() < count; i += 4) {
            unsigned group = 0;
            for (std::size_t k = 0; k < 4; ++k) {
                const char c = i + k < line.size() ? line[i + k] : ' ';
                group = (group << 6) | static_cast<unsigned>((c - 0x20) & 0x3F);
            }
            for (int shift = 16; shift >= 0 && bytes.size() < count; shift -= 8)
                bytes.push_back(static_cast<char>((group >> shift) & 0xFF));
        }
        out += bytes;
    }
    if (!begun) return std::nullopt;
    return out;
}

std::u16string fileExtension(std::u16string_view name) {
    const std::size_t dot = name.rfind(u'.');
    if (dot == std::u16string_view::npos || dot == 0 || dot + 1 == name.size()) return {};
    return std::u16string(name.substr(dot));
}

std::u16string shortFileName(std::u16string_view name) {
    const std::size_t dot = name.rfind(u'.');
    const std::u16string_view stem = dot == std::u16string_view::npos ? name : name.substr(0, dot);
    const std::u16string_view ext = dot == std::u16string_view::npos ? std::u16string_view() : name.substr(dot + 1);
    std::u16string shortStem = shortPart(stem, 64);
    const std::u16string shortExt = shortPart(ext, 3);
    std::u16string upperStem;
    for (char16_t c : stem) upperStem.push_back(c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c);
    std::u16string upperExt;
    for (char16_t c : ext) upperExt.push_back(c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c);
    const bool fits = shortStem == upperStem && shortStem.size() <= 8 && !shortStem.empty() && shortExt == upperExt;
    if (!fits) {
        if (shortStem.empty()) shortStem = u"ATTACH";
        shortStem = shortStem.substr(0, 6) + u"~1";
    }
    return shortExt.empty() ? shortStem : shortStem + u"." + shortExt;
}

Attachment importAttachment(AttachmentPart& part, int number, int depth, bool hasHtmlBody, const ImportOptions& options,
                            bool lfSource) {
    Attachment a;
    a.props.reserve(16);
    const bool hidden = hasHtmlBody && part.inRelated && !part.info.contentId.empty() && part.info.disposition != "attachment";
    setCommon(a, part, number, hidden);
    PropertyBag& p = a.props;
    if (part.info.fileName) setFileNames(p, *part.info.fileName);

    if (part.info.isMessage() && depth + 1 <= options.maxEmbeddingDepth) {
        std::string content = takeContent(*part.body);
        // A message that is not transfer-encoded had the line ends of the message around it.
        bool contentLf = false;
        std::string text = prepareMessageText(std::move(content), contentLf);
        const bool innerLf = isIdentityEncoding(transferEncoding(*part.body)) ? lfSource : contentLf;
        Message inner = importPrepared(std::move(text), options, depth + 1, innerLf);
        const std::u16string subject = inner.props.getString(PidTagSubject).value_or(u"");
        p.setString(PidTagDisplayName, part.info.fileName ? *part.info.fileName : subject);
        const std::int32_t size = inner.props.getLong(PidTagMessageSize).value_or(0);
        p.setLong(PidTagAttachSize, size);
        a.setEmbeddedMessage(std::move(inner));
        return a;
    }

    std::string data = attachmentBytes(takeContent(*part.body), part, lfSource);
    if (part.info.fileName) {
        p.setString(PidTagDisplayName, *part.info.fileName);
    } else {
        char text[16];
        std::snprintf(text, sizeof text, "ATT%05d", number + 1);
        p.setString(PidTagDisplayName, platform::utf8ToUtf16(text) + extensionForType(part.info));
    }
    p.setLong(PidTagAttachMethod, afByValue);
    p.setLong(PidTagAttachSize, clampedSize(data.size()));
    p.setBinary(PidTagAttachDataBinary, std::move(data));
    return a;
}

}  // namespace store::import
