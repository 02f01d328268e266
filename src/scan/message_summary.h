#pragma once
// The summary the message list shows for one message, and the .imm helpers that read names and
// header lines straight from the bytes.
#include <string>
#include <string_view>
#include <vector>

#include "scan/mbox_file.h"

namespace scan {

// Summarises message bytes (which may be replaced by their normalised form). For an .imm mailbox
// (isImm) the attachment flag comes from mbox.imAttachmentNames, which the caller fills first with
// collectImAttachmentNames; otherwise from the leaves of the parsed body tree.
MessageSummary summarizeMessage(std::string& bytes, bool isImm, const CMboxFile& mbox);

// The names after each "[%ImFilePath%]" marker, in order.
std::vector<std::u16string> imAttachmentNames(std::string_view bytes);
// Appends the names after each "[%ImFilePath%]" marker to mbox.imAttachmentNames; true when any.
bool collectImAttachmentNames(std::string_view bytes, CMboxFile& mbox);

// The first non-empty value of a header line "From:", "To:" or "Subject:" read straight from the bytes.
std::u16string findImHeaderLine(std::string_view bytes, std::string_view fieldName);

}  // namespace scan
