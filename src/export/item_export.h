#pragma once
// The MSG, RTF and HTML writers: each message goes through an item of the staging store and is saved
// in the wanted format; RTF and HTML items also get their attachments saved as files.
#include <string>

#include "export/export_run.h"

namespace exporter {

inline constexpr char16_t kStagingStoreName[] = u"Tartmp.pst";
inline constexpr char16_t kAttachmentFolderSuffix[] = u"_Attachment";

void exportItemFiles(ExportRun& run, std::u16string destination, const std::u16string& extension);
void writeMailboxItems(ExportRun& run, const std::u16string& outputFolder, const std::u16string& mailboxName,
                       const std::u16string& extension);

// A file name taken from a mail made safe to use inside a folder: its last path component only, with
// separators and control characters replaced; "attachment" + number when nothing usable is left.
std::u16string safeAttachmentName(const std::u16string& name, int number);

}  // namespace exporter
