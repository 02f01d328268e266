#include "preview/attachment_files.h"

#include <algorithm>
#include <filesystem>

#include "mime/message_render.h"
#include "mime/mime_body.h"
#include "mime/text_util.h"
#include "platform/file_output.h"
#include "platform/paths.h"

namespace preview {
namespace {

// The preview lists every named leaf except text parts, which are bodies unless the sender marked them
// "Content-Disposition: attachment".
bool listedAsAttachment(const mime::CMimeBody& leaf) {
    if (!leaf.HasAttachmentName()) return false;
    if (leaf.MediaTypeIndex() != mime::kMediaText) return true;
    const mime::CMimeHeaderField* disposition = leaf.LookupField("Content-Disposition");
    return disposition && mime::EqualsNoCase(disposition->LeadingValue(), "attachment");
}

std::string nameOf(const mime::CMimeBody& leaf) {
    std::string name = leaf.PartName();
    return name.empty() ? leaf.DispositionFileName() : name;
}

}  // namespace

std::vector<AttachmentFile> attachmentFilesOf(std::string messageBytes) {
    mime::ConvertLfToCrLf(messageBytes);
    const std::size_t length = std::min(messageBytes.find('\0'), messageBytes.size());
    mime::CMimeMessage message;
    message.Parse(messageBytes.data(), static_cast<std::int64_t>(length));
    std::vector<const mime::CMimeBody*> leaves;
    message.CollectLeaves(leaves);
    std::vector<AttachmentFile> files;
    for (const mime::CMimeBody* leaf : leaves)
        if (listedAsAttachment(*leaf))
            files.push_back({mime::ToDisplayText(nameOf(*leaf)), std::string(leaf->ContentView())});
    return files;
}

std::optional<AttachmentFile> attachmentOfMessageFile(const std::u16string& messagePath, std::size_t index) {
    std::string bytes;
    if (messagePath.empty() || !platform::readWholeFile(messagePath, bytes)) return std::nullopt;
    std::vector<AttachmentFile> files = attachmentFilesOf(std::move(bytes));
    if (index >= files.size()) return std::nullopt;
    return std::move(files[index]);
}

std::u16string imAttachmentPath(const std::u16string& attachmentsFolder, const std::u16string& markerName) {
    std::u16string name = markerName;
    name.erase(0, std::min(name.find_first_not_of(u'-'), name.size()));
    std::replace(name.begin(), name.end(), u'\\', platform::kSeparator);
    const std::filesystem::path relative(platform::nativePath(name));
    if (attachmentsFolder.empty() || relative.empty() || relative.is_absolute()) return {};
    for (const auto& part : relative)
        if (part == "..") return {};
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::weakly_canonical(platform::nativePath(attachmentsFolder), error);
    if (error) return {};
    const std::filesystem::path file = std::filesystem::weakly_canonical(folder / relative, error);
    if (error) return {};
    auto [folderEnd, fileAt] = std::mismatch(folder.begin(), folder.end(), file.begin(), file.end());
    if (folderEnd != folder.end() || fileAt == file.end()) return {};
    return platform::withTrailingSeparator(attachmentsFolder) + name;
}

}  // namespace preview
