#pragma once
// The jobs the main window starts that live above it: the preview of a clicked message (through the
// file viewer) and the Save command (through the front end's "Save output" dialog).
#include <functional>

#include "app/main_frame.h"

namespace app {

// Gives the frame its preview job and its Save command (tests may replace either). runSaveDialog shows the "Save output" dialog
// and returns whether it ended with OK, having written the export options.
void installFrameJobs(CMainFrame& frame, std::function<bool()> runSaveDialog);

}  // namespace app
