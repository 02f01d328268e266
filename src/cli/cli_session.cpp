#include "cli/cli_session.h"

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <unistd.h>

#include "app/main_frame.h"
#include "export/export_job.h"
#include "export/export_run.h"
#include "platform/codepage.h"
#include "platform/folders.h"
#include "platform/paths.h"
#include "scan/frame_context.h"
#include "scan/mailbox_kinds.h"
#include "scan/temp_files.h"
#include "store/session/native_library.h"

namespace cli {

std::atomic<bool> g_interrupted{false};
std::atomic<int> g_interruptSignal{0};

namespace {

extern "C" void onInterrupt(int signal) {
    int none = 0;
    g_interruptSignal.compare_exchange_strong(none, signal);
    g_interrupted = true;
}

std::u16string wide(const std::string& text) { return platform::fromNativePath(text); }
std::string narrow(const std::u16string& text) { return platform::nativePath(text); }
// A path as texts show it: undecodable bytes of its name as \xHH.
std::string shown(const std::u16string& path) { return platform::utf16ToUtf8(platform::visibleText(path)); }


}  // namespace

std::string defaultLogFolder() {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state && *state == '/') return (std::filesystem::path(state) / "kelva-mbox2pst").string();
    const char* home = std::getenv("HOME");
    if (!home || !*home) return {};
    return (std::filesystem::path(home) / ".local" / "state" / "kelva-mbox2pst").string();
}

std::string snapshotFile(const std::string& name) {
    std::error_code ec;
    if (name.empty() || std::filesystem::exists(name, ec)) return name;
    std::string withExtension = narrow(snapshot::withDefaultExtension(wide(name), app::kSnapshotExtension));
    return std::filesystem::exists(withExtension, ec) ? withExtension : name;
}

std::string absolutePath(const std::string& path) {
    std::error_code ec;
    std::filesystem::path full = std::filesystem::absolute(path, ec);
    return ec ? path : full.lexically_normal().string();
}

int exitStatus(int commandStatus) {
    return g_interrupted ? 128 + g_interruptSignal.load() : commandStatus;
}

void installInterruptHandler() {
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
}

CliSession::CliSession(GlobalOptions options, std::ostream& logOut, std::ostream& err)
    : options_(std::move(options)), logOut_(logOut), err_(err) {
    bool bar = options_.progress && options_.verbosity != Verbosity::Quiet && ::isatty(STDERR_FILENO);
    progress_ = std::make_unique<ProgressDisplay>(err_, bar);
    host_.onBox = [this](const ui::CHeadlessHost::ShownBox& box) { printBox(box); };
}

CliSession::~CliSession() {
    close();
    application_.reset();
    scan::removeTempFolder();
    scan::g_tempBase.clear();
}

std::u16string CliSession::tempBase() const {
    return options_.temp.empty() ? platform::tempBaseFolder() : wide(options_.temp);
}

bool CliSession::start() {
    application_ = std::make_unique<app::CKelvaHaldenApp>(dispatcher_, host_);
    // The temporary folder is private to this process (made under the base), so runs side by side
    // never share temporary files.
    scan::g_tempBase = tempBase();
    if (!scan::tempFolderUsable()) {
        err_ << "mbox2pst: cannot create a temporary folder under " << narrow(tempBase()) << '\n';
        return false;
    }
    app::StartOptions start;
    std::string logFolder = options_.logDir.empty() ? defaultLogFolder() : options_.logDir;
    std::error_code ignored;
    std::filesystem::create_directories(logFolder, ignored);
    start.frame.logFolder = wide(logFolder);
    start.frame.logEncoding = options_.logEncoding;
    start.frame.retainRows = false;  // rows are printed as they come, never kept
    start.runSaveDialog = [this] { return saveDialog_ && saveDialog_(); };
    // Stop sets the stop flag: the engine then abandons the message it is working on.
    store::session::NativeSessionOptions engine;
    engine.stopRequest = [] { return frame::g_stopRequested.load(); };
    store::registerNativeLibrary(engine);
    application_->InitInstance(start);
    if (!application_->logFileOpen()) {
        err_ << "mbox2pst: cannot write the activity log file " << narrow(frame::g_logFilePath);
        if (options_.verbosity == Verbosity::Verbose)
            err_ << "; the log lines go to the " << (&logOut_ == &std::cerr ? "standard error" : "standard output")
                 << " only";
        err_ << '\n';
    }

    app::CMainFrame& main = frame();
    main.logList.onLineAdded = [this](const std::u16string& line) { printLog(line); };
    auto showProgress = [this] {
        app::CMainFrame& f = frame();
        progress_->update(f.progressBar.visible(), f.progressBar.low(), f.progressBar.high(),
                          f.progressBar.position(), platform::utf16ToUtf8(f.captionBar.text()));
    };
    main.progressBar.onChanged = showProgress;
    main.captionBar.onChanged = showProgress;
    return true;
}

void CliSession::printLog(const std::u16string& line) {
    lastLogLine_ = line;
    bool failure = line.starts_with(exporter::kFailedPrefix);
    if (failure) failureLines_.push_back(platform::utf16ToUtf8(line));
    if (options_.verbosity != Verbosity::Verbose && !failure) return;
    std::ostream& out = options_.verbosity == Verbosity::Verbose ? logOut_ : err_;
    progress_->clear();
    out << platform::utf16ToUtf8(line) << '\n' << std::flush;
    progress_->redraw();
}

void CliSession::printBox(const ui::CHeadlessHost::ShownBox& box) {
    // Questions take their default answer silently; a box that repeats the last log line or names the
    // log file adds nothing.
    if (box.request.buttons != frame::BoxButtons::Ok || box.request.text == lastLogLine_ ||
        box.request.text == frame::logFileLine())
        return;
    progress_->clear();
    err_ << platform::utf16ToUtf8(box.request.text) << '\n' << std::flush;
    progress_->redraw();
}

void CliSession::waitIdle() {
    app::CMainFrame& main = frame();
    bool stopped = false;
    dispatcher_.runUntil([&] {
        if (g_interrupted && !stopped && frame::g_busy) {
            stopped = true;  // as Stop answered Yes
            main.requestStop();
        }
        return !main.workerRunning();
    });
    main.waitForWorker();
}

bool CliSession::open(const std::vector<std::string>& files) {
    std::vector<std::u16string> picked;
    for (const std::string& file : files) {
        const std::u16string path = wide(absolutePath(file));
        picked.push_back(scan::appleMailBundleFile(path).value_or(path));  // an Apple Mail NAME.mbox folder
    }
    std::u16string temp = tempBase();
    bool selected = false;
    host_.selectFilesScript = [&](ui::CSelectFilesDlg& dlg) {
        if (!picked.empty()) {
            host_.pickedFiles.push_back(picked);
            dlg.OnAddFiles();
            dlg.WaitForWorkers();
        }
        if (!options_.search.empty()) {
            host_.folderChoices.push_back(wide(absolutePath(options_.search)));
            dlg.mailboxesOnly = options_.mailboxesOnly;
            dlg.OnSearchFile();
            dlg.WaitForWorkers();
        }
        for (const std::u16string& path : picked)
            if (dlg.IsNotInList(ui::collapseSeparators(path))) {
                err_ << "Cannot open file: " << shown(path) << '\n';
                failed_ = true;
            }
        dlg.tempFolder = temp;
        selected = dlg.OnOK();
    };
    frame().OnOpen();
    host_.selectFilesScript = nullptr;
    if (!selected) {
        failed_ = true;
        return false;
    }
    waitIdle();
    return true;
}

bool CliSession::loadSnapshot() {
    scan::g_tempBase = tempBase();
    host_.openChoices.push_back(wide(snapshotFile(options_.snapshot)));
    snapshot::SnapshotResult result = frame().OnLoadSnapshot();
    if (result == snapshot::SnapshotResult::Done) return true;
    err_ << "mbox2pst: the snapshot " << options_.snapshot
         << (result == snapshot::SnapshotResult::Damaged ? " is damaged; the entries before the damage were loaded\n"
                                                         : " could not be read\n");
    failed_ = true;
    return result == snapshot::SnapshotResult::Damaged;
}

bool CliSession::fillCatalogue(const std::vector<std::string>& files) {
    bool filled = options_.snapshot.empty() ? open(files) : loadSnapshot();
    reportUnopened();
    return filled;
}

bool CliSession::reportUnopened() {
    bool all = true;
    for (const scan::MboxEntry& row : frame().catalogue)
        if (!row.mbox->file.isOpen()) {
            err_ << "Cannot open file: " << shown(row.path) << '\n';
            all = false;
        }
    if (!all) failed_ = true;
    return all;
}

int CliSession::findRow(const std::string& path) const {
    const auto& catalogue = application_->mainFrame()->catalogue;
    for (std::size_t i = 0; i < catalogue.size(); ++i)
        if (narrow(catalogue[i].path) == path) return static_cast<int>(i);
    for (std::size_t i = 0; i < catalogue.size(); ++i) {
        std::error_code ec;
        if (std::filesystem::equivalent(narrow(catalogue[i].path), path, ec)) return static_cast<int>(i);
    }
    return -1;
}

bool CliSession::list(int row, const std::function<void(int, const frame::ListRow&)>& onRow) {
    app::CMainFrame& main = frame();
    auto& tree = main.mailboxTree;
    frame::TreeItem child = 0;
    for (frame::TreeItem root = tree.GetRootItem(); root; root = tree.GetNextSiblingItem(root))
        if (tree.GetItemData(root) == static_cast<std::uintptr_t>(row + 1)) child = tree.GetChildItem(root);
    if (!child) {
        failed_ = true;
        return false;
    }
    main.messageList.onRowAdded = onRow;
    tree.Click(child, frame::TVHT_ONITEMLABEL);
    waitIdle();
    main.messageList.onRowAdded = nullptr;
    return true;
}

bool CliSession::saveSnapshot(const std::string& target, std::string& written) {
    written = narrow(snapshot::withDefaultExtension(wide(target), u"MBOX2PSTKLV"));
    host_.saveChoices.push_back(wide(target));
    if (frame().OnSaveSnapshot() == snapshot::SnapshotResult::Done) return true;
    failed_ = true;
    return false;
}

std::optional<exporter::ExportResult> CliSession::save(std::function<bool()> saveDialog) {
    saveDialog_ = std::move(saveDialog);
    frame().OnSave();
    waitIdle();
    saveDialog_ = nullptr;
    std::optional<exporter::ExportResult> result = exporter::lastExportResult();
    if (!result || result->failed > 0 || result->stopped) failed_ = true;
    return result;
}

void CliSession::close() {
    if (closed_ || !application_ || !application_->mainFrame()) return;
    closed_ = true;
    waitIdle();
    frame().OnClose();
    progress_->clear();
}

}  // namespace cli
