#pragma once
// The EML writer: every message of the checked mailboxes as a numbered .eml file with CR LF line ends.
#include <string>

#include "export/export_run.h"

namespace exporter {

void exportEmlFiles(ExportRun& run, std::u16string destination);
// Writes the messages of the frame's current mailbox into the output folder (ends with a separator).
void writeMailboxEml(ExportRun& run, const std::u16string& outputFolder);

// Cuts message k of the current mailbox as the exports write it: the scanner's leading line break
// dropped, the content type repaired for ordinary mailboxes, CR LF line ends. Nothing when the buffer
// cannot be allocated.
std::optional<std::string> exportedMessageBytes(scan::FrameContext& frame, std::uint64_t k);

// For a message of an .imm mailbox that names attachment files: replaces the bytes by the message
// rebuilt with those files from the mailbox's Attachments folder. Each file that could not be attached
// whole is logged as a failure of `item` (the message counts once); false then.
bool attachImFiles(ExportRun& run, std::string& bytes, const std::u16string& item);

}  // namespace exporter
