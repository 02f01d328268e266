#include "store/items/attachment_files.h"

#include "platform/codepage.h"
#include "platform/file_output.h"
#include "platform/paths.h"
#include "store/mapi/property_tags.h"
#include "store/msg/msg_writer.h"

namespace store::items {

using namespace store::mapi;

namespace {

constexpr std::size_t kMaxNameBytes = 255;

bool isForbidden(char16_t c) {
    return c < 0x20 || c == 0x7F || c == u'/' || c == u'\\' || c == u':' || c == u'*' || c == u'?' || c == u'"' ||
           c == u'<' || c == u'>' || c == u'|';
}

// Keeps whole UTF-16 pairs when cutting.
void cutLastCharacter(std::u16string& text) {
    text.pop_back();
    if (!text.empty() && text.back() >= 0xD800 && text.back() <= 0xDBFF) text.pop_back();
}

}  // namespace

std::u16string safeFileName(std::u16string_view name) {
    std::u16string out;
    for (char16_t c : name) out.push_back(isForbidden(c) ? u'_' : c);
    // Leading and trailing blanks are easy to miss and awkward on other systems.
    while (!out.empty() && out.back() == u' ') out.pop_back();
    while (!out.empty() && out.front() == u' ') out.erase(out.begin());
    if (out.empty()) return u"attachment";
    if (out == u"." || out == u"..") return u"_";
    if (platform::utf16ToUtf8(out).size() <= kMaxNameBytes) return out;
    // Too long for the file system: shorten the stem, keep a short extension.
    std::u16string extension;
    const auto dot = out.rfind(u'.');
    if (dot != std::u16string::npos && out.size() - dot <= 16) extension = out.substr(dot);
    std::u16string stem = out.substr(0, out.size() - extension.size());
    while (!stem.empty() && platform::utf16ToUtf8(stem + extension).size() > kMaxNameBytes) {
        cutLastCharacter(stem);
    }
    return stem.empty() ? u"attachment" + extension : stem + extension;
}

std::u16string attachmentFileName(const Attachment& attachment) {
    for (PropTag tag : {PidTagAttachLongFilename, PidTagAttachFilename, PidTagDisplayName}) {
        auto name = attachment.props.getString(tag);
        if (!name || name->empty()) continue;
        if (attachment.isEmbeddedMessage() && tag == PidTagDisplayName) *name += u".msg";
        return safeFileName(*name);
    }
    return attachment.isEmbeddedMessage() ? u"message.msg" : u"attachment";
}

Result<void> writeItemFile(const std::u16string& path, std::string_view bytes) {
    if (platform::writeWholeFile(path, bytes)) return {};
    return systemFailure("cannot write " + platform::nativePath(path));
}

Result<void> saveAttachmentFile(const Attachment& attachment, const std::u16string& path) {
    if (attachment.embedded) return msg::writeMsgFile(*attachment.embedded, path);
    const auto data = attachment.props.getBinary(PidTagAttachDataBinary);
    return writeItemFile(path, data ? *data : std::string_view());
}

}  // namespace store::items
