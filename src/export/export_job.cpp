#include "export/export_job.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "export/eml_export.h"
#include "export/export_run.h"
#include "export/item_export.h"
#include "export/mailbox_walk.h"
#include "export/pst_export.h"
#include "export/save_options.h"
#include "scan/temp_files.h"
#include "store/library/library_calls.h"
#include "store/library/library_registry.h"

namespace exporter {

int exportThreadCount() {
    int asked = g_exportThreads.load();
    if (asked <= 0) {
        // A measurement can ask for a count through the environment (bench/run.py compares one thread).
        const char* fromEnvironment = std::getenv("KELVA_EXPORT_THREADS");
        asked = fromEnvironment ? std::atoi(fromEnvironment) : 0;
    }
    if (asked > 0) return std::min(asked, 64);
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

namespace {

using library::callGuarded;

std::mutex g_resultMutex;
std::optional<ExportResult> g_lastResult;

void setLastResult(std::optional<ExportResult> result) {
    std::lock_guard lock(g_resultMutex);
    g_lastResult = result;
}

void informationBox(scan::FrameContext& frame, const std::u16string& text) {
    frame.messageBox(text, frame::BoxIcon::Information, frame::BoxButtons::Ok);
}

// The completion lines and the final box, whether the run ended normally or by Stop.
void finishRun(ExportRun& run, const std::u16string& destination, bool stopped) {
    if (run.failures > 0) run.log(decimal(run.failures) + kItemsNotSaved);
    g_lastExportFailures = run.failures;
    setLastResult(ExportResult{run.saved, run.failures, stopped});
    if (stopped)
        run.log(kRunStopped + decimal(run.saved) + kItemsSavedBeforeStop + destination);
    else
        run.log(kRunCompleted + destination);
    const std::u16string logLine = frame::logFileLine();
    run.log(logLine);
    informationBox(run.frame, logLine);
}

void libraryExportWorker(scan::FrameContext& frame, std::shared_ptr<library::Session> session,
                         std::u16string attachLogonText, MailboxSelection selection) {
    ExportRun run{frame, std::move(session), std::move(attachLogonText), std::move(selection)};
    const std::u16string destination = g_destinationFolder;
    frame::g_busy = 1;
    frame.showProgressBar(true);
    frame.setProgressPosition(0);
    switch (g_saveMode.load()) {
        case SaveSinglePst: exportSinglePst(run, destination); break;
        case SaveSeparatePst: exportSeparatePst(run, destination); break;
        case SaveMsg: exportItemFiles(run, destination, u".msg"); break;
        case SaveRtf: exportItemFiles(run, destination, u".rtf"); break;
        case SaveHtml: exportItemFiles(run, destination, u".html"); break;
        default: break;
    }
    const bool stopped = !run.running();
    frame::g_busy = 0;
    run.pstSession.reset();
    frame.showProgressBar(false);
    finishRun(run, destination, stopped);
}

void emlExportWorker(scan::FrameContext& frame, MailboxSelection selection) {
    ExportRun run{frame, nullptr, {}, std::move(selection)};
    const std::u16string destination = g_destinationFolder;
    frame::g_busy = 1;
    frame.showProgressBar(true);
    frame.setProgressPosition(0);
    exportEmlFiles(run, destination);
    const bool stopped = !run.running();
    frame.showProgressBar(false);
    frame::g_busy = 0;
    finishRun(run, destination, stopped);
}

}  // namespace

std::optional<ExportResult> lastExportResult() {
    std::lock_guard lock(g_resultMutex);
    return g_lastResult;
}

void onSave(scan::FrameContext& frame, const std::function<bool()>& runSaveDialog) {
    setLastResult(std::nullopt);
    if (frame::g_busy != 0) return informationBox(frame, frame::kBusyRefusal);
    frame::TreeControl& tree = frame.treeControl();
    if (tree.GetCount() == 0) return informationBox(frame, kNoMailboxToSave);
    if (tree.CheckedItemCount() == 0) return informationBox(frame, kNoFolderChecked);
    if (!runSaveDialog || !runSaveDialog()) return;

    frame::g_busy = 1;
    scan::emptyFolder(scan::tempFolderPath());
    frame.sendMessage(platform::UM_SHOW_TAB, 0, 0);
    g_lastExportFailures = 0;
    MailboxSelection selection = checkedMailboxes(frame);

    if (g_saveMode == SaveEml) {
        frame.startWorker([&frame, selection] { emlExportWorker(frame, selection); });
        return;
    }
    std::shared_ptr<library::Session> session = library::createSession();
    if (!session) {
        frame::g_busy = 0;
        return informationBox(frame, kRegisterLibrary);
    }
    if (callGuarded(session, [](library::Session& s) { return s.outlookCheck(); }).empty()) {
        frame.logStatus(kInstallOutlook);
        frame::g_busy = 0;
        return informationBox(frame, kInstallOutlook);
    }
    std::u16string attachLogonText;
    if (g_attachToOutlook == 1) {
        auto source = callGuarded(session, [](library::Session& s) { return s.logonSource(); });
        attachLogonText = callGuarded(source, [](library::LogonSource& l) { return l.logonText(); });
    }
    frame.startWorker([&frame, session, attachLogonText, selection] {
        libraryExportWorker(frame, session, attachLogonText, selection);
    });
}

}  // namespace exporter
