#include "store/import/message_import.h"

#include "mime/charset_text.h"
#include "mime/text_util.h"
#include "platform/cfile.h"
#include "platform/codepage.h"
#include "platform/paths.h"
#include "store/import/attachment_import.h"
#include "store/import/body_parts.h"
#include "store/import/envelope_import.h"
#include "store/import/message_text.h"
#include "store/mapi/property_tags.h"

namespace store::import {

using namespace store::mapi;

namespace {

std::int64_t bagSize(const PropertyBag& bag) {
    std::int64_t size = 0;
    for (const Property& p : bag.properties()) {
        size += 16 + static_cast<std::int64_t>(p.data.size());
        for (const std::string& v : p.values) size += static_cast<std::int64_t>(v.size());
    }
    return size;
}

void importPlainBody(mime::CMimeBody& part, const PartInfo& info, PropertyBag& props) {
    props.setString(PidTagBody, mime::DecodeText(part.ContentView(), info.charset()));
}

// Where a tag that opens with `name` ("<head") ends in the lowered text, or npos.
std::size_t afterTag(std::string_view lowered, std::string_view name) {
    for (std::size_t at = lowered.find(name); at != std::string_view::npos; at = lowered.find(name, at + 1)) {
        const std::size_t next = at + name.size();
        if (next < lowered.size() && std::string_view(" \t\r\n/>").find(lowered[next]) != std::string_view::npos) {
            const std::size_t end = lowered.find('>', next);
            return end == std::string_view::npos ? end : end + 1;
        }
    }
    return std::string_view::npos;
}

// The charset the first meta tag of the lowered text names, or an empty string.
std::string metaCharset(std::string_view lowered) {
    for (std::size_t at = lowered.find("<meta"); at != std::string_view::npos; at = lowered.find("<meta", at + 1)) {
        const std::string_view tag = lowered.substr(at, lowered.find('>', at) - at);
        std::size_t p = tag.find("charset");
        if (p == std::string_view::npos) continue;
        p = tag.find_first_not_of(" \t\r\n=\"'", p + 7);
        const std::size_t end = tag.find_first_of(" \t\r\n;\"'/", p);
        if (p != std::string_view::npos) return std::string(tag.substr(p, end - p));
    }
    return {};
}

// HTML kept in the bytes of its MIME charset names that charset in a meta tag in its first 1024 bytes
// (where browsers look), as Outlook's own HTML bodies do, so that a reader that takes the HTML without
// its code page (a browser, a .msg reader) reads it right. A document that names the same charset
// there, or starts with a byte order mark, is kept as it is.
std::string declaringCharset(std::string_view html, const std::string& charset) {
    const std::string lowered = mime::LowerAsciiCopy(html.substr(0, std::min<std::size_t>(html.size(), 1024)));
    const std::string named = mime::CanonicalCharset(metaCharset(lowered));
    const bool same = named == charset || (!named.empty() && codepageOf(named) && codepageOf(named) == codepageOf(charset));
    if (same || lowered.starts_with("\xEF\xBB\xBF") || lowered.starts_with("\xFF\xFE") || lowered.starts_with("\xFE\xFF"))
        return std::string(html);
    std::size_t at = afterTag(lowered, "<head");
    if (at == std::string::npos) at = afterTag(lowered, "<html");
    if (at == std::string::npos) at = afterTag(lowered, "<!doctype");
    if (at == std::string::npos) at = 0;
    std::string name = charset;
    for (char& c : name) c = static_cast<char>(mime::LowerAscii(static_cast<unsigned char>(c)));
    std::string out;
    out.reserve(html.size() + 64 + name.size());
    out.append(html.substr(0, at));
    out += "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=" + name + "\">";
    out.append(html.substr(at));
    return out;
}

// The HTML keeps its bytes; the code page says how to read them, and so does the HTML itself. A
// charset without a Windows code page is converted to UTF-8.
std::int32_t importHtmlBody(mime::CMimeBody& part, const PartInfo& info, PropertyBag& props) {
    const std::string_view bytes = part.ContentView();
    const std::string charset = mime::CanonicalCharset(info.charset());
    std::optional<std::int32_t> codepage;
    if (!charset.empty() && charset != "US-ASCII" && mime::IsKnownCharset(charset)) codepage = codepageOf(charset);
    if (codepage) {
        props.setBinary(PidTagHtml, declaringCharset(bytes, charset));
        return *codepage;
    }
    if (!charset.empty() && charset != "US-ASCII" && mime::IsKnownCharset(charset)) {
        props.setBinary(PidTagHtml, declaringCharset(platform::utf16ToUtf8(mime::DecodeText(bytes, charset)), "UTF-8"));
        return 65001;
    }
    // No usable charset: UTF-8 when the bytes are UTF-8, else Windows-1252.
    props.setBinary(PidTagHtml, std::string(bytes));
    if (charset == "US-ASCII") return 20127;
    return platform::isValidUtf8(bytes) ? 65001 : 1252;
}

void importBodies(MessageParts& parts, PropertyBag& props) {
    std::optional<std::int32_t> codepage;
    if (parts.plain) {
        importPlainBody(*parts.plain, parts.plainInfo, props);
        codepage = codepageOf(parts.plainInfo.charset());
    }
    if (parts.html) codepage = importHtmlBody(*parts.html, parts.htmlInfo, props);
    props.setLong(PidTagInternetCodepage, codepage.value_or(65001));
    if (parts.html) {
        props.setLong(PidTagNativeBody, NATIVE_BODY_HTML);
    } else if (parts.plain) {
        props.setLong(PidTagNativeBody, NATIVE_BODY_PLAIN);
    }
}

void finishMessage(Message& message) {
    PropertyBag& props = message.props;
    props.setString(PidTagMessageClass, u"IPM.Note");
    bool visibleAttachment = false;
    for (const Attachment& a : message.attachments) {
        visibleAttachment = visibleAttachment || !a.props.getBool(PidTagAttachmentHidden).value_or(false);
    }
    props.setBool(PidTagHasAttachments, visibleAttachment);
    std::uint32_t flags = MSGFLAG_READ;
    if (visibleAttachment) flags |= MSGFLAG_HASATTACH;
    props.setLong(PidTagMessageFlags, static_cast<std::int32_t>(flags));
    const std::int64_t size = messageSizeOf(message) + 16;
    props.setLong(PidTagMessageSize, static_cast<std::int32_t>(std::min<std::int64_t>(size, 0x7FFFFFFF)));
}

}  // namespace

std::int64_t messageSizeOf(const Message& message) {
    std::int64_t size = bagSize(message.props);
    for (const PropertyBag& r : message.recipients) size += bagSize(r);
    for (const Attachment& a : message.attachments) {
        size += bagSize(a.props);
        if (a.embedded) size += messageSizeOf(*a.embedded);
    }
    return size;
}

Message importMessageAt(std::string_view bytes, const ImportOptions& options, int depth) {
    bool lfSource = false;
    std::string text = prepareMessageText(std::string(bytes), lfSource);
    return importPrepared(std::move(text), options, depth, lfSource);
}

Message importPrepared(std::string text, const ImportOptions& options, int depth, bool lfSource) {
    Message message;
    message.props.reserve(48);  // about what the envelope, the bodies and the flags set
    mime::CMimeMessage tree;
    tree.Parse(text.data(), static_cast<std::int64_t>(text.size()));
    importEnvelope(tree, headerBlockOf(text), message, options.stopRequest);
    std::string().swap(text);  // the tree holds its own copies
    repairMultiparts(tree);

    MessageParts parts = classifyParts(tree);
    importBodies(parts, message.props);
    int number = 0;
    for (AttachmentPart& part : parts.attachments) {
        message.attachments.push_back(importAttachment(part, number++, depth, parts.html != nullptr, options, lfSource));
    }
    finishMessage(message);
    return message;
}

Message importMessage(std::string_view bytes, const ImportOptions& options) { return importMessageAt(bytes, options, 0); }

Message importMessageBytes(std::string bytes, const ImportOptions& options) {
    bool lfSource = false;
    std::string text = prepareMessageText(std::move(bytes), lfSource);
    return importPrepared(std::move(text), options, 0, lfSource);
}

std::optional<Message> importMessageFile(const std::u16string& path, std::string* error, const ImportOptions& options) {
    throwIfStopped(options.stopRequest);
    platform::CFile file;
    if (!file.open(path)) {
        if (error) *error = "cannot open " + platform::nativePath(path);
        return std::nullopt;
    }
    const std::uint64_t length = file.size();
    std::string bytes;
    try {
        bytes.resize(static_cast<std::size_t>(length));
    } catch (const std::bad_alloc&) {
        if (error) *error = "not enough memory to read " + platform::nativePath(path);
        return std::nullopt;
    }
    // A message is imported whole or not at all: a file that shrank while it was read is an error.
    if (file.readAt(0, bytes.data(), bytes.size()) != bytes.size()) {
        if (error) *error = "cannot read the whole of " + platform::nativePath(path);
        return std::nullopt;
    }
    file.close();
    bool lfSource = false;
    std::string text = prepareMessageText(std::move(bytes), lfSource);
    return importPrepared(std::move(text), options, 0, lfSource);
}

}  // namespace store::import
