#pragma once
// Attachments as files: the name an attachment is saved under, and saving its contents (the bytes of
// a by-value attachment, an embedded message as a .msg file).
#include <string>
#include <string_view>
#include <vector>

#include "store/mapi/message.h"
#include "store/result.h"

namespace store::items {

// A name that stays inside the folder it is saved in: path separators, control characters and
// characters that other systems forbid become '_', "." and ".." become "_", and the name is cut to
// 255 bytes of UTF-8 (keeping its extension). An empty name becomes "attachment".
std::u16string safeFileName(std::u16string_view name);

// The long file name, else the short one, else the display name (an embedded message gets ".msg"),
// made safe with safeFileName.
std::u16string attachmentFileName(const mapi::Attachment& attachment);

// The files the attachments of one message were saved as, by attachment index, as links relative to
// the folder of the item file that names them; empty where an attachment was not saved.
using SavedAttachmentFiles = std::vector<std::u16string>;

// Writes the attachment's contents to path.
Result<void> saveAttachmentFile(const mapi::Attachment& attachment, const std::u16string& path);

// Writes bytes to a file, replacing it (platform::writeWholeFile); nothing is left behind when writing
// fails ("cannot write <path>: <system's reason>").
Result<void> writeItemFile(const std::u16string& path, std::string_view bytes);

}  // namespace store::items
