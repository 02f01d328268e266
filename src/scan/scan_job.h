#pragma once
// The scan job behind Open: opens each selected file, finds its messages, records it in the catalogue
// and shows it in the mailbox tree with its message count.
#include "scan/frame_context.h"

namespace scan {

// Runs on the scan worker with g_busy set; clears g_busy and g_selectedFiles at its end. Returns 1.
int ScanJob(FrameContext& frame);

// "inbox.mbox(57)": the file name (text after the last separator) and the count in parentheses.
std::u16string childItemText(const std::u16string& path, std::uint64_t count);

// The row a mailbox path makes: the flags and, for an .imm path, the attachments folder beside it.
MboxEntry makeCatalogueRow(std::unique_ptr<CMboxFile> mbox, const std::u16string& path);

}  // namespace scan
