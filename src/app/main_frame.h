#pragma once
// CMainFrame: the main window's controller without a toolkit. It owns the catalogue and the controls'
// models, carries out the commands, guards work with g_busy (stopped through g_stopRequested), starts the
// workers and handles the custom window messages on the user-interface thread. A toolkit front end draws its
// controls and forwards clicks and commands; the headless host drives it from tests and the command line.
#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "app/activity_log.h"
#include "app/marshalled_controls.h"
#include "scan/frame_context.h"
#include "snapshot/snapshot_commands.h"
#include "ui/dispatcher.h"
#include "ui/host.h"
#include "ui/log_list.h"
#include "ui/message_list.h"
#include "ui/select_files_dlg.h"
#include "ui/static_viewer.h"
#include "ui/status_controls.h"
#include "ui/worker_thread.h"
#include "ui/xhtml_tree.h"

namespace app {

class CSettings;

inline constexpr char16_t kSnapshotFilter[] = u".KelvaMBOX2PST Files (*.MBOX2PSTKLV)";
inline constexpr char16_t kSnapshotExtension[] = u"MBOX2PSTKLV";
inline constexpr char16_t kJobEndedEarly[] = u"The running process ended early because of an error: ";

// Ribbon command ids.
enum Command {
    ID_OPEN = 313,
    ID_STOP = 314,
    ID_SAVE = 315,
    ID_LOAD_SNAPSHOT = 317,
    ID_SAVE_SNAPSHOT = 318,
    ID_HELP = 319,
    ID_ABOUT = 320,
};

struct FrameOptions {
    std::u16string logFolder;  // where the activity log goes; empty: the desktop folder
    bool retainRows = true;    // false: list and log rows only reach their listeners (command line)
    LogEncoding logEncoding = LogEncoding::Utf16;
    CSettings* settings = nullptr;
};

class CMainFrame : public scan::FrameContext {
public:
    CMainFrame(ui::CDispatcher& dispatcher, ui::IHost& host, FrameOptions options = {});
    ~CMainFrame() override;
    CMainFrame(const CMainFrame&) = delete;
    CMainFrame& operator=(const CMainFrame&) = delete;

    // The window's creation step: caption, hidden progress bar, the activity log with its banner.
    // False when the log file could not be created (the window still works without it).
    bool OnCreate();

    // ---- controls ----
    ui::CXHtmlTree mailboxTree;
    ui::CKelvaToolsTopListCtrl messageList;
    ui::CKelvaStaticViewer previewBrowser;
    ui::CKelvaListCtrl logList;
    ui::CMyCaptionBar captionBar;
    ui::CProgressBar progressBar;
    ui::COutputWnd outputPane;
    ui::CSelectFilesDlg selectFilesDlg;

    // ---- text hand-offs (user-interface thread) ----
    std::u16string statusText;
    std::u16string captionText;
    std::u16string previewPath;

    int applicationLook = 215;

    // ---- commands ----
    void OnCommand(int id);
    void OnOpen();
    // Asks "Are you sure to stop the running process?"; on Yes, requestStop.
    void OnStop();
    // The running job ends after its current item and still runs its closing steps; g_busy stays set
    // until it has, so no other job starts meanwhile.
    void requestStop();
    bool IsStopEnabled() const { return frame::g_busy != 0 && !frame::g_stopRequested; }
    void OnSave();
    snapshot::SnapshotResult OnLoadSnapshot();
    snapshot::SnapshotResult OnSaveSnapshot();
    void OnHelp();
    void OnAbout();
    void OnApplicationLook(int look);
    // The close request; true when the application closed (the host was asked to end the process).
    bool OnClose();

    // ---- hooks for the jobs built elsewhere ----
    // Runs on the preview worker for selectedMessageRow; g_busy is cleared when it returns.
    std::function<int(scan::FrameContext&)> previewJob;
    // The Save command (user-interface thread); it starts its own worker through startWorker.
    std::function<void(scan::FrameContext&)> saveCommand;
    // Told the files that Open is about to scan (user-interface thread): the recent list.
    std::function<void(const std::vector<std::u16string>& files)> onFilesOpened;

    // ---- window messages ----
    platform::LParam sendMessage(unsigned message, platform::WParam wParam, platform::LParam lParam) override;
    platform::LParam handleMessage(unsigned message, platform::WParam wParam, platform::LParam lParam);

    // ---- workers ----
    bool workerRunning() const { return workerThread && workerThread->running(); }
    // Jobs ended by an exception since the start (each logged with kJobEndedEarly).
    int workerFailures() const { return workerFailures_.load(); }
    // User-interface thread: dispatches until the last worker has ended, then joins it. False when
    // that cannot be done now, because this very call is part of handling a send of that worker.
    bool waitForWorker();

    // ---- FrameContext ----
    void emptyCatalogue() override;
    void logStatus(const std::u16string& line) override;
    void showCaption(const std::u16string& text) override;
    void showPreview(const std::u16string& path) override;
    void showProgressBar(bool visible) override;
    void setProgressRange(int low, int high) override;
    void setProgressPosition(int position) override;
    void setWaitCursor(bool wait) override;
    frame::TreeControl& treeControl() override { return treeProxy_; }
    frame::MessageListControl& listControl() override { return listProxy_; }
    frame::ViewerControl& viewerControl() override { return viewerProxy_; }
    frame::BoxAnswer messageBox(const std::u16string& text, frame::BoxIcon icon, frame::BoxButtons buttons) override;
    std::optional<std::u16string> chooseSnapshotToSave() override;
    std::optional<std::u16string> chooseSnapshotToLoad() override;
    std::u16string timestampText() override;
    void runOnUiThread(const std::function<void()>& task) override { dispatcher_.invoke(task); }
    void postToUiThread(std::function<void()> task) override;
    bool startWorker(std::function<void()> body) override;

    ui::CDispatcher& dispatcher() { return dispatcher_; }
    ui::IHost& host() { return host_; }
    const CActivityLog& activityLog() const { return activityLog_; }

    // The selected-file text of Open: the first path, and the number of files when there are several.
    static std::u16string selectionText(const std::vector<std::u16string>& files);

private:
    platform::LParam onMailboxClicked(frame::TreeItem item);
    platform::LParam onMessageClicked(int row);
    bool refuseWhileBusy();
    // A stopped job still finishing its current item is waited for, so that the next command runs;
    // g_busy stays set when that cannot be done now.
    void settleStoppedJob();
    // Worker thread: a job ended by an exception; logged, counted, and g_busy cleared.
    void workerFailed(const std::string& what);
    // Waits for a stopped worker still finishing its step; refuses (and says so) when it cannot.
    bool previousWorkerEnded();
    void box(const std::u16string& text);
    void logOnUiThread(const std::u16string& line);

    ui::CDispatcher& dispatcher_;
    ui::IHost& host_;
    FrameOptions options_;
    CActivityLog activityLog_;
    CMarshalledTree treeProxy_;
    CMarshalledList listProxy_;
    CMarshalledViewer viewerProxy_;
    std::shared_ptr<ui::CWorkerThread> workerThread;
    std::atomic<int> workerFailures_{0};
};

}  // namespace app
