#pragma once
// The two snapshot commands of the main window. Both run to completion on the user-interface thread.
#include <string>

#include "scan/frame_context.h"

namespace snapshot {

enum class SnapshotResult {
    Done,       // written, or loaded completely
    Refused,    // busy, or nothing to save
    Cancelled,  // the file dialog was cancelled
    Failed,     // the snapshot file could not be created, written or opened
    Damaged,    // loading stopped at a damaged record; the records before it were loaded
};

// Writes every catalogue row to the file the user chooses. The current selection is left as it was.
SnapshotResult OnSaveSnapshot(scan::FrameContext& frame);
// Replaces the catalogue, the tree and the list with the content of the file the user chooses.
SnapshotResult OnLoadSnapshot(scan::FrameContext& frame);

// Appends "." + extension when the file name has no extension of its own.
std::u16string withDefaultExtension(const std::u16string& path, const std::u16string& extension);

}  // namespace snapshot
