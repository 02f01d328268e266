#pragma once
// The bytes behind the preview's attachment list: the decoded parts of the shown message that the
// list names (the same parts in the same order), or, for .imm mailboxes, the attachment files that the
// message's markers name inside the mailbox's attachments folder.
#include <optional>
#include <string>
#include <vector>

namespace preview {

struct AttachmentFile {
    std::u16string name;  // as the list shows it; not yet safe as a file name
    std::string bytes;    // decoded from the transfer encoding
};

// The listed attachments of the message bytes, decoded.
std::vector<AttachmentFile> attachmentFilesOf(std::string messageBytes);
// Attachment `index` of the message file; nothing when the file cannot be read or has no such part.
std::optional<AttachmentFile> attachmentOfMessageFile(const std::u16string& messagePath, std::size_t index);

// The path of the file an .imm marker names (leading '-' removed, '\' read as the separator) inside the
// attachments folder; empty when the name is absolute, has a ".." part, or leads outside through links.
std::u16string imAttachmentPath(const std::u16string& attachmentsFolder, const std::u16string& markerName);

}  // namespace preview
