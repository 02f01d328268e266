#pragma once
// The EML writer: every message of the checked mailboxes as a numbered .eml file with CR LF line ends.
#include <optional>
#include <string>
#include <vector>

#include "export/export_run.h"

namespace exporter {

void exportEmlFiles(ExportRun& run, std::u16string destination);
// Writes the messages of the run's source mailbox into the output folder (ends with a separator).
void writeMailboxEml(ExportRun& run, const std::u16string& outputFolder);

// Message k of a mailbox as the exports write it.
struct ExportedMessage {
    std::optional<std::string> bytes;         // nothing when it could not be read
    std::vector<std::u16string> notAttached;  // attachment files of an .imm message that could not be attached
};

// Cuts message k as the exports write it: the scanner's leading line break dropped, the content type
// repaired for ordinary mailboxes, CR LF line ends; a message of an .imm mailbox that names attachment
// files is rebuilt with those files from the mailbox's Attachments folder. Safe on any thread.
// storedLineEnds: an ordinary mailbox's message keeps the line ends it has in the file (the import
// reads both, and gives an attachment that is not text its bytes as the mailbox holds them).
ExportedMessage exportedMessage(const MailboxSource& source, std::uint64_t k, bool storedLineEnds = false);

// Logs each attachment file the message could not be given as a failure of `item` (the message counts
// once); false when there was one.
bool reportNotAttached(ExportRun& run, const ExportedMessage& message, const std::u16string& item);

}  // namespace exporter
