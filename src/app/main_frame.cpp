#include "app/main_frame.h"

#include <unistd.h>

#include "app/settings.h"
#include "platform/codepage.h"
#include "platform/folders.h"
#include "platform/paths.h"
#include "scan/listing_job.h"
#include "scan/scan_job.h"
#include "scan/temp_files.h"
#include "snapshot/snapshot_commands.h"

namespace app {

using frame::g_busy;

CMainFrame::CMainFrame(ui::CDispatcher& dispatcher, ui::IHost& host, FrameOptions options)
    : messageList(options.retainRows),
      logList(options.retainRows),
      selectFilesDlg(dispatcher, host),
      dispatcher_(dispatcher),
      host_(host),
      options_(std::move(options)),
      treeProxy_(dispatcher, mailboxTree),
      listProxy_(dispatcher, messageList),
      viewerProxy_(dispatcher, previewBrowser) {
    if (options_.settings) applicationLook = options_.settings->applicationLook();
    // The tree pane's set-up: check boxes with propagation, label clicks reported to this window.
    mailboxTree.SetUpCheckTree();
    mailboxTree.m_propagateChecks = true;
    mailboxTree.m_checksLocked = false;
    mailboxTree.m_showImages = true;
    mailboxTree.m_clickTarget = this;
    messageList.SetMainWindow(this);
}

CMainFrame::~CMainFrame() {
    // A worker still running is told to stop and waited for before the catalogue goes.
    requestStop();
    waitForWorker();
    emptyCatalogue();
}

bool CMainFrame::OnCreate() {
    captionText = u"Select Mbox file to continue the conversion process.";
    handleMessage(platform::UM_SHOW_CAPTION, 0, 0);
    progressBar.Show(false);
    std::u16string folder = options_.logFolder.empty() ? platform::desktopFolder() : options_.logFolder;
    bool created = activityLog_.create(folder, localNow(), options_.logEncoding);
    frame::g_logFilePath = activityLog_.path();
    frame::g_logFileFailed = !created;
    return created;
}

// ---- messages -------------------------------------------------------------------------------------------

platform::LParam CMainFrame::sendMessage(unsigned message, platform::WParam wParam, platform::LParam lParam) {
    platform::LParam result = 0;
    dispatcher_.invoke([&] { result = handleMessage(message, wParam, lParam); });
    return result;
}

platform::LParam CMainFrame::handleMessage(unsigned message, platform::WParam wParam, platform::LParam lParam) {
    switch (message) {
        case platform::UM_PROGRESS_RANGE:
            // The classic range message: both ends packed into 16 bits.
            progressBar.SetRange(static_cast<int>(wParam & 0xFFFF), static_cast<int>(lParam & 0xFFFF));
            progressBar.SetPos(0);
            return 0;
        case platform::UM_PROGRESS_POS: {
            auto position = static_cast<std::int32_t>(static_cast<std::uint32_t>(wParam));
            if (position > 0) progressBar.SetPos(position);
            return 0;
        }
        case platform::UM_SHOW_TAB:
            outputPane.SetActiveTab(static_cast<int>(wParam));
            return 0;
        case platform::UM_SHOW_CAPTION:
            captionBar.SetText(captionText);
            return 0;
        case platform::UM_SHOW_PREVIEW:
            previewBrowser.ShowFile(previewPath);
            return 0;
        case platform::UM_LOG_STATUS:
            logList.AppendLine(statusText);
            if (!activityLog_.writeLine(statusText)) frame::g_logFileFailed = true;
            return 0;
        case platform::UM_MAILBOX_CLICKED:
            return onMailboxClicked(static_cast<frame::TreeItem>(lParam));
        case platform::UM_MESSAGE_CLICKED:
            return onMessageClicked(static_cast<int>(wParam));
        default:
            return 0;
    }
}

// ---- hand-offs ------------------------------------------------------------------------------------------

void CMainFrame::logOnUiThread(const std::u16string& line) {
    statusText = platform::visibleText(line);  // bytes of undecodable file names show as \xHH
    handleMessage(platform::UM_LOG_STATUS, 0, 0);
}

// Log lines and progress positions are queued without waiting for the user-interface thread: the
// queue keeps their order, and a worker saving thousands of small messages does not pay a thread
// hand-over for each. Workers are joined only after the queue has been run.
void CMainFrame::logStatus(const std::u16string& line) {
    if (dispatcher_.isUiThread()) return logOnUiThread(line);
    dispatcher_.post([this, line] { logOnUiThread(line); });
}

void CMainFrame::postToUiThread(std::function<void()> task) {
    if (dispatcher_.isUiThread()) return task();
    dispatcher_.post(std::move(task));
}

void CMainFrame::showCaption(const std::u16string& text) {
    dispatcher_.invoke([&] {
        captionText = text;
        handleMessage(platform::UM_SHOW_CAPTION, 0, 0);
    });
}

void CMainFrame::showPreview(const std::u16string& path) {
    dispatcher_.invoke([&] {
        previewPath = path;
        handleMessage(platform::UM_SHOW_PREVIEW, 0, 0);
    });
}

void CMainFrame::showProgressBar(bool visible) {
    dispatcher_.invoke([&] { progressBar.Show(visible); });
}

void CMainFrame::setProgressRange(int low, int high) {
    // The full 32-bit range: the classic range message keeps only 16 bits of each end.
    dispatcher_.invoke([&] {
        progressBar.SetRange(low, high);
        progressBar.SetPos(0);
    });
}

void CMainFrame::setProgressPosition(int position) {
    if (dispatcher_.isUiThread()) return progressBar.SetPos(position);
    dispatcher_.post([this, position] { progressBar.SetPos(position); });
}

void CMainFrame::setWaitCursor(bool wait) {
    dispatcher_.invoke([&] { host_.setWaitCursor(wait); });
}

frame::BoxAnswer CMainFrame::messageBox(const std::u16string& text, frame::BoxIcon icon, frame::BoxButtons buttons) {
    frame::BoxAnswer answer = frame::BoxAnswer::Ok;
    dispatcher_.invoke([&] {
        ui::MessageBoxRequest request;
        request.text = text;
        request.icon = icon;
        request.buttons = buttons;
        answer = host_.messageBox(request);
    });
    return answer;
}

void CMainFrame::box(const std::u16string& text) {
    messageBox(text, frame::BoxIcon::Information, frame::BoxButtons::Ok);
}

void CMainFrame::settleStoppedJob() {
    if (g_busy && frame::g_stopRequested) waitForWorker();
}

bool CMainFrame::refuseWhileBusy() {
    settleStoppedJob();
    if (!g_busy) return false;
    box(frame::kBusyRefusal);
    return true;
}

std::optional<std::u16string> CMainFrame::chooseSnapshotToSave() {
    ui::FileDialogRequest request{kSnapshotFilter, kSnapshotExtension, true, false, {}};
    std::optional<std::u16string> chosen;
    dispatcher_.invoke([&] { chosen = host_.chooseSaveFile(request); });
    return chosen;
}

std::optional<std::u16string> CMainFrame::chooseSnapshotToLoad() {
    ui::FileDialogRequest request{kSnapshotFilter, u"", false, true, {}};
    std::optional<std::u16string> chosen;
    dispatcher_.invoke([&] { chosen = host_.chooseOpenFile(request); });
    return chosen;
}

std::u16string CMainFrame::timestampText() { return app::timestampText(localNow()); }

// ---- catalogue and workers ------------------------------------------------------------------------------

void CMainFrame::emptyCatalogue() {
    dispatcher_.invoke([&] {
        for (scan::MboxEntry& row : catalogue) {
            currentMbox = row.mbox.get();
            row.mbox.reset();
            currentMbox = nullptr;
        }
        catalogue.clear();
    });
}

bool CMainFrame::waitForWorker() {
    // A command handled during the wait may start the next worker: wait for that one too.
    while (std::shared_ptr<ui::CWorkerThread> worker = workerThread) {
        if (!worker->wait()) return false;
        if (workerThread == worker) workerThread.reset();
    }
    return true;
}

bool CMainFrame::startWorker(std::function<void()> body) {
    bool started = false;
    dispatcher_.invoke([&] {
        if (!waitForWorker()) return;
        frame::g_stopRequested = false;  // a Stop of the previous job does not reach this one
        workerThread = std::make_shared<ui::CWorkerThread>(dispatcher_, std::move(body),
                                                           [this](const std::string& what) { workerFailed(what); });
        started = true;
    });
    return started;
}

void CMainFrame::workerFailed(const std::string& what) {
    // The job's closing steps did not run: the frame is freed for the next command.
    ++workerFailures_;
    logStatus(kJobEndedEarly + platform::utf8ToUtf16(what));
    g_busy = 0;
}

bool CMainFrame::previousWorkerEnded() {
    if (waitForWorker()) return true;
    box(frame::kBusyRefusal);
    return false;
}

// ---- commands -------------------------------------------------------------------------------------------

void CMainFrame::OnCommand(int id) {
    switch (id) {
        case ID_OPEN: OnOpen(); break;
        case ID_STOP: OnStop(); break;
        case ID_SAVE: OnSave(); break;
        case ID_LOAD_SNAPSHOT: OnLoadSnapshot(); break;
        case ID_SAVE_SNAPSHOT: OnSaveSnapshot(); break;
        case ID_HELP: OnHelp(); break;
        case ID_ABOUT: OnAbout(); break;
        default:
            if (id >= kFirstLook && id <= kLastLook) OnApplicationLook(id);
    }
}

std::u16string CMainFrame::selectionText(const std::vector<std::u16string>& files) {
    if (files.empty()) return {};
    if (files.size() == 1) return files.front();
    std::string count = std::to_string(files.size());
    return files.front() + u" (" + std::u16string(count.begin(), count.end()) + u" files)";
}

void CMainFrame::OnOpen() {
    if (refuseWhileBusy() || !previousWorkerEnded()) return;
    g_busy = 1;
    if (!selectFilesDlg.DoModal()) {
        g_busy = 0;
        return;
    }
    scan::emptyFolder(scan::tempFolderPath());
    previewBrowser.ClearView();
    logList.DeleteAllItems();
    mailboxTree.DeleteAllItems();
    messageList.DeleteAllItems();
    mailboxCount = 0;
    handleMessage(platform::UM_SHOW_TAB, 0, 0);
    // The new selection, not the mailbox handled last.
    if (onFilesOpened) onFilesOpened(frame::g_selectedFiles);
    std::u16string selected = selectionText(frame::g_selectedFiles);
    captionText = selected;
    handleMessage(platform::UM_SHOW_CAPTION, 0, 0);
    logOnUiThread(u"KelvaTools MBOX to PST Conversion process starts.  " + timestampText());
    logOnUiThread(selected + u" File is selected for conversion....");
    progressBar.Show(true);
    progressBar.SetPos(0);
    progressBar.SetRange(0, 1000);
    emptyCatalogue();
    startWorker([this] { scan::ScanJob(*this); });
}

void CMainFrame::OnStop() {
    if (!IsStopEnabled()) return;
    if (messageBox(u"Are you sure to stop the running process?", frame::BoxIcon::Information,
                   frame::BoxButtons::YesNo) != frame::BoxAnswer::Yes)
        return;
    requestStop();
}

void CMainFrame::requestStop() {
    frame::g_stopRequested = true;  // what the jobs poll, here and in the command line
    if (workerThread) workerThread->requestStop();
}

void CMainFrame::OnSave() {
    settleStoppedJob();
    if (saveCommand) {
        saveCommand(*this);
        return;
    }
    refuseWhileBusy();
}

snapshot::SnapshotResult CMainFrame::OnLoadSnapshot() {
    settleStoppedJob();
    if (!g_busy && !previousWorkerEnded()) return snapshot::SnapshotResult::Refused;
    return snapshot::OnLoadSnapshot(*this);
}

snapshot::SnapshotResult CMainFrame::OnSaveSnapshot() {
    settleStoppedJob();
    if (!g_busy && !previousWorkerEnded()) return snapshot::SnapshotResult::Refused;
    return snapshot::OnSaveSnapshot(*this);
}

void CMainFrame::OnHelp() {
    if (refuseWhileBusy()) return;
    host_.openHelp();
}

void CMainFrame::OnAbout() {
    if (refuseWhileBusy()) return;
    host_.showAbout();
}

void CMainFrame::OnApplicationLook(int look) {
    applicationLook = look;
    if (options_.settings) options_.settings->setApplicationLook(look);
}

bool CMainFrame::OnClose() {
    settleStoppedJob();
    if (g_busy) {
        box(u"Please stop the running process to close the application.");
        return false;
    }
    if (messageBox(u"Do you want to close the application?", frame::BoxIcon::Question, frame::BoxButtons::YesNo) !=
        frame::BoxAnswer::Yes)
        return false;
    if (!previousWorkerEnded()) return false;
    emptyCatalogue();
    std::u16string folder = scan::tempFolderPath();
    scan::emptyFolder(folder);
    ::rmdir(platform::nativePath(folder).c_str());
    logOnUiThread(u"Application has been closed.");
    box(frame::logFileLine());
    host_.endProcess(-1);
    return true;
}

// ---- clicks ---------------------------------------------------------------------------------------------

platform::LParam CMainFrame::onMailboxClicked(frame::TreeItem item) {
    selectedTreeItem = item;
    settleStoppedJob();
    if (g_busy) {
        mailboxTree.SetItemState(item, ui::TVIS_SELECTED, ui::TVIS_SELECTED);
        mailboxTree.SelectDropTarget(item);
        box(frame::kBusyRefusal);
        return 0;
    }
    if (!previousWorkerEnded()) return 0;
    g_busy = 1;
    scan::emptyFolder(scan::tempFolderPath());
    previewBrowser.ClearView();
    previewPath = scan::writeBlankPreviewPage();
    handleMessage(platform::UM_SHOW_PREVIEW, 0, 0);
    handleMessage(platform::UM_SHOW_TAB, 0, 0);
    startWorker([this] { scan::FolderListingJob(*this); });
    return 1;
}

platform::LParam CMainFrame::onMessageClicked(int row) {
    if (refuseWhileBusy() || !previousWorkerEnded()) return 0;
    selectedMessageRow = row;
    previewBrowser.ClearView();
    g_busy = 1;
    startWorker([this] {
        if (previewJob) previewJob(*this);
        g_busy = 0;
    });
    return 1;
}

}  // namespace app
