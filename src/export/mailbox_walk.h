#pragma once
// The checked mailboxes of the tree taken once by the Save command, and the walk over them, in
// pre-order, while the run is not stopped.
#include <functional>
#include <string>

#include "export/export_run.h"

namespace exporter {

// Reads the tree: the folder items that are checked (each stands for one mailbox), in pre-order.
// Runs on the thread that owns the tree, before the job starts.
MailboxSelection checkedMailboxes(scan::FrameContext& frame);

// Calls write for each checked mailbox; the catalogue row becomes the frame's current selection and
// the run's source first.
void forEachCheckedMailbox(ExportRun& run, const std::function<void(const CheckedMailbox&)>& write);

// The walk of the file exports: "Saving process started.", then for each mailbox its "file selected"
// line and its new output folder under the destination, handed to write.
void forEachMailboxFolder(ExportRun& run, const std::u16string& destination,
                          const std::function<void(const CheckedMailbox&, const std::u16string& folder)>& write);

}  // namespace exporter
