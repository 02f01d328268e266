#pragma once
// One run of the command line: the application on the headless host, with log lines on an output
// stream, information boxes on the error stream, a progress bar on a terminal, a private temporary
// folder unless one is given, and the activity log written as the desktop program writes it.
#include <atomic>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "app/application.h"
#include "cli/progress_display.h"
#include "ui/dispatcher.h"
#include "ui/headless_host.h"

namespace cli {

struct GlobalOptions {
    std::string snapshot;  // load this snapshot instead of scanning
    std::string search;    // search this folder for mailbox files
    std::string temp;      // temporary base folder (a private folder is made in it); empty: the system one
    std::string logDir;    // folder of the activity log; empty: the desktop folder
    bool progress = true;  // draw a progress bar when the error stream is a terminal
    bool mailboxesOnly = false;  // --search takes only files that look like mailboxes
    bool contentLength = false;  // scans honour a correct Content-Length header (mboxcl2)
};

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
    // logOut receives the log lines; err the information boxes and problems.
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
    bool list(int row, const std::function<void(int, const scan::ListRow&)>& onRow);
    // Saves a snapshot of the catalogue; the file written is put into `written`.
    bool saveSnapshot(const std::string& target, std::string& written);
    // The Save command with the "Save output" dialog played by saveDialog (true: it ended with OK).
    // True when the run completed and saved every item.
    bool save(std::function<bool()> saveDialog);
    // Closes the application as the close command does.
    void close();

    app::CMainFrame& frame() { return *application_->mainFrame(); }
    // Something failed (a file, the snapshot, the activity log file, an interruption): the exit status is 1.
    bool failed() const {
        return failed_ || g_interrupted || scan::g_logFileFailed ||
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
    std::function<bool()> saveDialog_;
    bool saveCompleted_ = false;
    bool failed_ = false;
    bool closed_ = false;
};

}  // namespace cli
