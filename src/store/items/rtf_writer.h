#pragma once
// A message as an RTF document: the header block (From, Sent, To, Cc, Subject, Attachments) in bold
// labels, then the plain body (or the HTML body as text). Text outside ASCII is written as \uN escapes,
// so the document itself is plain ASCII.
#include <string>
#include <string_view>

#include "store/items/attachment_files.h"
#include "store/items/message_text.h"
#include "store/mapi/message.h"

namespace store::items {

std::string rtfDocument(const mapi::Message& message, const SavedAttachmentFiles& savedFiles = {});
// The same document with the place of its header block, and that block alone for other saved files.
ItemDocument rtfItemDocument(const mapi::Message& message, const SavedAttachmentFiles& savedFiles = {});
std::string rtfHeaderBlock(const mapi::Message& message, const SavedAttachmentFiles& savedFiles);
Result<void> writeRtfFile(const mapi::Message& message, const std::u16string& path,
                          const SavedAttachmentFiles& savedFiles = {});

// RTF text for UTF-16 text: control characters of RTF escaped, line breaks as \par, tabs as \tab,
// other characters beyond ASCII as \uN\'3f (N the signed 16-bit code unit, '?' the fallback).
std::string rtfEscape(std::u16string_view text);

}  // namespace store::items
