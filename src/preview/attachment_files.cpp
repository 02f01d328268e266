#include "preview/attachment_files.h"

#include <algorithm>

#include "mime/message_render.h"
#include "mime/mime_body.h"
#include "platform/file_output.h"
#include "platform/paths.h"

namespace preview {

std::vector<AttachmentFile> attachmentFilesOf(std::string messageBytes) {
    mime::ConvertLfToCrLf(messageBytes);
    const std::size_t length = std::min(messageBytes.find('\0'), messageBytes.size());
    mime::CMimeMessage message;
    message.Parse(messageBytes.data(), static_cast<std::int64_t>(length));
    std::vector<const mime::CMimeBody*> leaves;
    message.CollectLeaves(leaves);
    std::vector<AttachmentFile> files;
    for (const mime::CMimeBody* leaf : leaves)
        if (mime::IsListedAttachment(*leaf))
            files.push_back({mime::ToDisplayText(mime::ListedAttachmentName(*leaf)), std::string(leaf->ContentView())});
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
    const std::u16string name = mime::MarkerPath(markerName);
    if (attachmentsFolder.empty() ||
        !mime::StaysInside(platform::nativePath(attachmentsFolder), platform::nativePath(name)))
        return {};
    return platform::withTrailingSeparator(attachmentsFolder) + name;
}

}  // namespace preview
