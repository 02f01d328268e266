#pragma once
// What the jobs see of the main window: the catalogue and the current selection, the text hand-offs
// (status, caption, preview path), the window messages, the tree, the message list and the viewer, and
// message boxes. The controller implements it; every control call made from a worker is carried out on
// the user-interface thread and returns when it is done, like a synchronous window message.
#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "frame/controls.h"
#include "frame/process_state.h"
#include "platform/window_message.h"
#include "scan/mbox_file.h"

namespace scan {

// ---- The frame --------------------------------------------------------------------------------------

class FrameContext : public platform::MessageTarget {
public:
    // Catalogue state (owned by the frame; written by the scan job and the snapshot load, read by the
    // listing, preview and export while g_busy keeps the jobs apart).
    std::vector<MboxEntry> catalogue;
    int mailboxCount = 0;
    std::atomic<CMboxFile*> currentMbox{nullptr};  // Stop signals this object from the UI thread
    bool currentIsImm = false;
    bool currentHasAttachmentsFolder = false;
    // Set by the click handlers before they start a job.
    frame::TreeItem selectedTreeItem = 0;
    int selectedMessageRow = 0;

    // Makes catalogue row `index` (0-based) the current selection.
    void selectRow(std::size_t index) {
        const MboxEntry& row = catalogue[index];
        currentMbox = row.mbox.get();
        frame::g_currentMboxPath = row.path;
        currentIsImm = row.isImm;
        currentHasAttachmentsFolder = row.hasAttachmentsFolder;
    }

    // Destroys every row's mailbox (each made current while it goes) and clears the catalogue.
    virtual void emptyCatalogue() = 0;

    // Text hand-offs: each puts the text into statusText, captionText or previewPath on the UI thread
    // and handles UM_LOG_STATUS, UM_SHOW_CAPTION or UM_SHOW_PREVIEW before it returns.
    virtual void logStatus(const std::u16string& line) = 0;
    virtual void showCaption(const std::u16string& text) = 0;
    virtual void showPreview(const std::u16string& path) = 0;

    virtual void showProgressBar(bool visible) = 0;
    virtual void setProgressPosition(int position) = 0;
    // The 32-bit range the export's per-message progress needs; the default goes through the classic
    // 16-bit range message, which is enough for the scans.
    virtual void setProgressRange(int low, int high) {
        sendMessage(platform::UM_PROGRESS_RANGE, static_cast<platform::WParam>(low), high);
    }
    virtual void setWaitCursor(bool wait) = 0;

    virtual frame::TreeControl& treeControl() = 0;
    virtual frame::MessageListControl& listControl() = 0;
    virtual frame::ViewerControl& viewerControl() = 0;

    // A message box owned by the main window and captioned with the application title.
    virtual frame::BoxAnswer messageBox(const std::u16string& text, frame::BoxIcon icon, frame::BoxButtons buttons) = 0;
    // The snapshot file dialogs; nothing when cancelled.
    virtual std::optional<std::u16string> chooseSnapshotToSave() = 0;
    virtual std::optional<std::u16string> chooseSnapshotToLoad() = 0;

    // The current local time as the log writes it ("%b-%d-%Y(%I-%M-%S-%p)").
    virtual std::u16string timestampText() = 0;

    // Carries out several of the calls above in one hand-off to the user-interface thread (the calls
    // made inside run there directly), in the order they are made.
    virtual void runOnUiThread(const std::function<void()>& task) = 0;
    // The same without waiting for the task to run (it runs at once on the user-interface thread):
    // tasks handed over either way run in the order they were handed over.
    virtual void postToUiThread(std::function<void()> task) = 0;

    // Starts a worker thread for a command that runs its own job (the export) once the previous worker
    // has ended; false (nothing started) when the previous one cannot be waited for at this point.
    virtual bool startWorker(std::function<void()> body) = 0;
};

}  // namespace scan
