#pragma once
// The PST writer: the checked mailboxes as one PST file each, or all in "Resultant.pst", one folder
// (or a chain mirroring the mailbox's location) per mailbox, one item per message.
#include <memory>
#include <string>

#include "export/export_run.h"
#include "export/mailbox_walk.h"

namespace exporter {

inline constexpr char16_t kPstExtension[] = u".pst";
inline constexpr char16_t kSinglePstName[] = u"Resultant.pst";
inline constexpr char16_t kStoreDisplayName[] = u"Personal Folders";

void exportSeparatePst(ExportRun& run, std::u16string destination);
void exportSinglePst(ExportRun& run, std::u16string destination);
// Imports every message of the current mailbox into the folder.
void importMailbox(ExportRun& run, const std::u16string& mailboxName, const std::shared_ptr<library::Folder>& target);
// Makes (or finds) the mailbox's folder under the top folder; returns its path relative to the top folder.
std::u16string buildMailboxFolder(ExportRun& run, std::shared_ptr<library::Folders> subfolders,
                                  const CheckedMailbox& mailbox);

}  // namespace exporter
