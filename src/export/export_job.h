#pragma once
// The Save command from start to end: its preconditions, the save dialog, the library checks of the
// library modes, the worker that runs the chosen writer, and the completion lines.
#include <atomic>
#include <functional>
#include <optional>

#include "scan/frame_context.h"

namespace exporter {

inline constexpr char16_t kNoMailboxToSave[] = u"Please select Mbox file to save data.";
inline constexpr char16_t kNoFolderChecked[] = u"Please select folder(s) to save.";
inline constexpr char16_t kRegisterLibrary[] =
    u"Saving process stopped,Please register \"Redemption64.dll\" to process the saving process.";
inline constexpr char16_t kInstallOutlook[] =
    u"Please install MS Outlook(2000,2003,2007 or higher version) and configured it properly on your system to run "
    u"application.";
inline constexpr char16_t kRunCompleted[] = u"Saving Process Completed. destination folder path is: ";
inline constexpr char16_t kRunStopped[] = u"Saving Process Stopped. ";
inline constexpr char16_t kItemsSavedBeforeStop[] = u" email items were saved. destination folder path is: ";
inline constexpr char16_t kItemsNotSaved[] = u" email items could not be saved.";

// Messages the last finished run could not save (0 when all were saved).
inline std::atomic<int> g_lastExportFailures{0};

// How a run ended: messages saved, messages that could not be saved, and whether Stop ended it.
struct ExportResult {
    int saved = 0;
    int failed = 0;
    bool stopped = false;
};

// The result of the run the last Save started, once it ended; nothing while it runs or when that
// Save started no run.
std::optional<ExportResult> lastExportResult();

// Runs the Save command; runSaveDialog shows the "Save output" dialog and returns whether it ended
// with OK (having written the export options).
void onSave(scan::FrameContext& frame, const std::function<bool()>& runSaveDialog);

}  // namespace exporter
