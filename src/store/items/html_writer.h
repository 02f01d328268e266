#pragma once
// A message as an HTML document (UTF-8): the header block (From, Sent, To, Cc, Subject, Attachments)
// at the top of the body, then the HTML body without active content, or the plain body as
// preformatted text when there is no HTML body.
#include <string>

#include "store/items/attachment_files.h"
#include "store/items/message_text.h"
#include "store/mapi/message.h"

namespace store::items {

std::string htmlDocument(const mapi::Message& message, const SavedAttachmentFiles& savedFiles = {});
// The same document with the place of its header block, and that block alone for other saved files.
ItemDocument htmlItemDocument(const mapi::Message& message, const SavedAttachmentFiles& savedFiles = {});
std::string htmlHeaderBlock(const mapi::Message& message, const SavedAttachmentFiles& savedFiles);
Result<void> writeHtmlFile(const mapi::Message& message, const std::u16string& path,
                           const SavedAttachmentFiles& savedFiles = {});

}  // namespace store::items
