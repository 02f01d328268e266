#pragma once
// The walk over the checked mailboxes of the tree, in pre-order, while the run is not stopped.
#include <functional>
#include <string>

#include "export/export_run.h"

namespace exporter {

struct CheckedMailbox {
    std::size_t row = 0;         // 0-based catalogue row, made the current selection
    std::u16string path;         // the mailbox file's full path (its tree item's text)
    std::u16string name;         // the text after the last separator
    std::u16string childText;    // the folder item's text: name and count
};

// Calls write for each checked mailbox; the catalogue row becomes the frame's current selection first.
void forEachCheckedMailbox(ExportRun& run, const std::function<void(const CheckedMailbox&)>& write);

}  // namespace exporter
