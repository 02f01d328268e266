#pragma once
// CSelectFilesDlg: the "Select File" dialog's logic. The user builds a list of mailbox paths (picked in
// a file dialog or found by searching a folder tree on a worker) and chooses the temporary base folder;
// OK hands them to g_selectedFiles and g_tempBase. Its state belongs to the user-interface thread; the
// two workers change it only through the dispatcher. Workers still running when the dialog ends are
// stopped and waited for.
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/dispatcher.h"
#include "ui/host.h"
#include "ui/worker_thread.h"

namespace ui {

class CSelectFilesDlg {
public:
    static constexpr int kTimerId = 1000;

    struct Row {
        std::u16string path;
        int image = -1;  // 0 for picked files; searched files carry none
        bool selected = false;
    };

    CSelectFilesDlg(CDispatcher& dispatcher, IHost& host);
    ~CSelectFilesDlg();
    CSelectFilesDlg(const CSelectFilesDlg&) = delete;
    CSelectFilesDlg& operator=(const CSelectFilesDlg&) = delete;

    // Shows the dialog through the host; true when it was confirmed with OK.
    bool DoModal();
    // Ends the modal run (the host's loop watches ended()).
    void EndDialog(bool ok);
    bool ended() const { return ended_; }

    // ---- handlers ----
    void OnInitDialog();
    void OnBrowseTempFolder();
    void OnAddFiles();
    void OnSearchFile();
    void OnRemove();
    void OnRemoveAll();
    void OnStop();
    bool OnOK();  // true when the dialog ended with OK
    void OnCancel() { EndDialog(false); }
    void OnTimer(int id);

    // False when a row already holds the path (letters A to Z compared without case, for the same
    // file); a file is listed at most once.
    bool IsNotInList(const std::u16string& path) const;

    // ---- state ----
    std::atomic<int> m_running{0};
    std::u16string tempFolder;  // the temporary-folder edit
    bool mailboxesOnly = false;  // the search takes only files that look like mailboxes
    std::u16string statusLine;
    bool progressVisible = false;
    int progressLow = 0, progressHigh = 100, progressPos = 0;
    bool stopVisible = false;
    int ensuredVisibleRow = -1;
    const std::vector<Row>& rows() const { return rows_; }
    void SetRowSelected(int row, bool selected);

    // UI thread: waits (dispatching) until no worker of the dialog runs.
    void WaitForWorkers();
    bool WorkersRunning() const;

    std::function<void()> onChanged;

private:
    void addFilesThread();
    void searchFilesThread();
    void searchFolder(const std::u16string& folder);
    void startWorker(void (CSelectFilesDlg::*body)());
    void onUi(const std::function<void()>& task) { dispatcher_.invoke(task); }
    // A worker goes on only while it runs and the dialog is not closing.
    bool keepGoing() const { return m_running && !closing_; }
    void showBox(const std::u16string& text, frame::BoxButtons buttons = frame::BoxButtons::Ok);
    void setStatusAfterRemoval();
    void appendRow(const std::u16string& path, int image);
    void changed() {
        if (onChanged) onChanged();
    }

    CDispatcher& dispatcher_;
    IHost& host_;
    std::vector<Row> rows_;
    std::vector<std::unique_ptr<CWorkerThread>> workers_;
    std::atomic<bool> closing_{false};
    bool ended_ = false;
    bool endedWithOk_ = false;
};

// Helpers of the dialog, exposed for tests.
std::u16string trimBlanks(const std::u16string& text);
// Collapses runs of separators ("//a.mbox" -> "/a.mbox"), as the picker's root-folder fix does.
std::u16string collapseSeparators(const std::u16string& path);
bool sameIgnoringAsciiCase(const std::u16string& a, const std::u16string& b);

}  // namespace ui
