#pragma once
// The folder listing job: fills the message list with one row per message of the clicked mailbox,
// reading, summarising and showing one message at a time.
#include "scan/frame_context.h"

namespace scan {

// Runs on the listing worker for frame.selectedTreeItem with g_busy set; clears g_busy. Returns 1 when
// the folder was listed (also when stopped), 0 when the item is not a folder item.
int FolderListingJob(FrameContext& frame);

}  // namespace scan
