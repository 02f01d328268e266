#pragma once
// One run of the command line: the application on the headless host, with log lines on an output
// stream (--verbose), problems on the error stream, a progress bar on a terminal, a private temporary
// folder unless one is given, and the activity log file in the command line's state folder.
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "app/application.h"
#include "cli/progress_display.h"
#include "export/export_job.h"
#include "ui/dispatcher.h"
#include "ui/headless_host.h"

namespace cli {

// What reaches the terminal: only problems, problems and a summary, or every activity log line too.
enum class Verbosity { Quiet, Normal, Verbose };

struct GlobalOptions {
    std::string snapshot;  // load this snapshot instead of scanning
    std::string search;    // search this folder for mailbox files
    std::string temp;      // temporary base folder (a private folder is made in it); empty: the system one
    std::string logDir;    // folder of the activity log; empty: defaultLogFolder()
    bool progress = true;  // draw a progress bar when the error stream is a terminal
    Verbosity verbosity = Verbosity::Normal;
    app::LogEncoding logEncoding = app::LogEncoding::Utf8;
    bool mailboxesOnly = false;  // --search takes only files that look like mailboxes
    bool contentLength = false;  // scans honour a correct Content-Length header (mboxcl2)
};

// $XDG_STATE_HOME/kelva-mbox2pst, else ~/.local/state/kelva-mbox2pst; empty without a home folder.
std::string defaultLogFolder();
// The snapshot file for a name: the name itself, else the name with ".MBOX2PSTKLV" as `snapshot save`
// writes it when the name has no extension.
std::string snapshotFile(const std::string& name);

// Set by SIGINT or SIGTERM: the running job is stopped as the Stop command would.
extern std::atomic<bool> g_interrupted;
extern std::atomic<int> g_interruptSignal;  // the first signal received
void installInterruptHandler();
// The exit status of a run: 128 + the signal when one stopped it, else the command's own status.
int exitStatus(int commandStatus);

// A file or folder as the desktop program's dialogs give it: absolute, without dot parts (the mailbox
// name and the hierarchy folders are taken from it). Unchanged when the working folder is unknown.
std::string absolutePath(const std::string& path);

class CliSession {
public:
    // logOut receives the log lines (with --verbose); err the information boxes and problems.
    CliSession(GlobalOptions options, std::ostream& logOut, std::ostream& err);
    ~CliSession();
    CliSession(const CliSession&) = delete;
    CliSession& operator=(const CliSession&) = delete;

    // Starts the application; false (with a message) when the temporary folder cannot be made.
    bool start();
    // Open: the files (and the folder search) go through the file selection dialog, then the scan
    // runs. Files the dialog refused are reported; false when nothing was selected.
    bool open(const std::vector<std::string>& files);
    // Loads the snapshot of the global options; false when it could not be read completely.
    bool loadSnapshot();
    // Fills the catalogue from the snapshot when one is given, else by opening the files.
    bool fillCatalogue(const std::vector<std::string>& files);
    // Reports every catalogue row whose mailbox file is not open; true when there was none.
    bool reportUnopened();
    // Index (0-based) of the catalogue row for this path, or -1.
    int findRow(const std::string& path) const;
    // Lists catalogue row `row` through the listing job; rows reach onRow as they are added.
    bool list(int row, const std::function<void(int, const frame::ListRow&)>& onRow);
    // Saves a snapshot of the catalogue; the file written is put into `written`.
    bool saveSnapshot(const std::string& target, std::string& written);
    // The Save command with the "Save output" dialog played by saveDialog (true: it ended with OK).
    // The run's result; nothing when no run took place (a refused dialog or precondition).
    std::optional<exporter::ExportResult> save(std::function<bool()> saveDialog);
    // The "Failed to save" log lines of the runs, in order.
    const std::vector<std::string>& failureLines() const { return failureLines_; }
    // Closes the application as the close command does.
    void close();

    app::CMainFrame& frame() { return *application_->mainFrame(); }
    // Something failed (a file, the snapshot, the activity log file, an interruption): the exit status is 1.
    bool failed() const {
        return failed_ || g_interrupted || frame::g_logFileFailed ||
               (application_ && application_->mainFrame() && application_->mainFrame()->workerFailures() > 0);
    }
    void markFailed() { failed_ = true; }

private:
    void waitIdle();
    std::u16string tempBase() const;
    void printLog(const std::u16string& line);
    void printBox(const ui::CHeadlessHost::ShownBox& box);

    GlobalOptions options_;
    std::ostream& logOut_;
    std::ostream& err_;
    ui::CDispatcher dispatcher_;
    ui::CHeadlessHost host_;
    std::unique_ptr<app::CKelvaHaldenApp> application_;
    std::unique_ptr<ProgressDisplay> progress_;
    std::u16string lastLogLine_;
    std::vector<std::string> failureLines_;
    std::function<bool()> saveDialog_;
    bool failed_ = false;
    bool closed_ = false;
};

}  // namespace cli
