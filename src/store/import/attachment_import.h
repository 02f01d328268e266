#pragma once
// One MIME part as a MAPI attachment: by value with its file names, extension, MIME tag, content id
// and location, disposition, hidden flag and rendering position; a message/rfc822 part as an embedded
// message (imported recursively).
#include <optional>
#include <string>
#include <string_view>

#include "store/import/body_parts.h"
#include "store/mapi/message.h"

namespace store::import {

struct ImportOptions;

// Takes the part's content (the part is left empty). number is the attachment's position; depth is
// the embedding depth of the message the attachment belongs to. lfSource: the message had bare LF line
// ends, which a part that is not text and not transfer-encoded gets back (its bytes as the mailbox has
// them, as mail readers save them).
mapi::Attachment importAttachment(AttachmentPart& part, int number, int depth, bool hasHtmlBody,
                                  const ImportOptions& options, bool lfSource = false);

// The bytes of uuencoded text ("begin MODE NAME" ... "end"); nothing when it holds no begin line.
std::optional<std::string> uudecode(std::string_view text);

// The 8.3 form of a file name ("REPORT~1.PDF"); a name that already has that form is kept.
std::u16string shortFileName(std::u16string_view name);

// ".pdf" for "report.pdf"; empty without an extension.
std::u16string fileExtension(std::u16string_view name);

}  // namespace store::import
