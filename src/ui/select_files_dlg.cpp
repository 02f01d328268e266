#include "ui/select_files_dlg.h"

#include <dirent.h>
#include <sys/stat.h>

#include <chrono>

#include "frame/controls.h"
#include "frame/process_state.h"
#include "platform/folders.h"
#include "platform/paths.h"
#include "scan/mailbox_kinds.h"
#include "scan/temp_files.h"

namespace ui {
namespace {

constexpr char16_t kAddFilesText[] = u"Add files to continue the process.";

std::u16string totalText(std::size_t count) {
    std::string text = "Total number of files: [" + std::to_string(count) + "]";
    return std::u16string(text.begin(), text.end());
}

struct FileKind {
    bool exists = false;
    bool regular = false;
    dev_t device = 0;
    ino_t inode = 0;
};

FileKind kindOf(const std::u16string& path, bool followLinks = true) {
    struct stat st {};
    std::string native = platform::nativePath(path);
    int rc = followLinks ? ::stat(native.c_str(), &st) : ::lstat(native.c_str(), &st);
    if (rc != 0) return {};
    return {true, S_ISREG(st.st_mode), st.st_dev, st.st_ino};
}

}  // namespace

std::u16string trimBlanks(const std::u16string& text) {
    std::size_t begin = text.find_first_not_of(u' ');
    if (begin == std::u16string::npos) return {};
    std::size_t end = text.find_last_not_of(u' ');
    return text.substr(begin, end - begin + 1);
}

std::u16string collapseSeparators(const std::u16string& path) {
    std::u16string out;
    for (char16_t c : path)
        if (!(c == platform::kSeparator && !out.empty() && out.back() == platform::kSeparator)) out.push_back(c);
    return out;
}

bool sameIgnoringAsciiCase(const std::u16string& a, const std::u16string& b) {
    if (a.size() != b.size()) return false;
    auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; };
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

CSelectFilesDlg::CSelectFilesDlg(CDispatcher& dispatcher, IHost& host) : dispatcher_(dispatcher), host_(host) {}

CSelectFilesDlg::~CSelectFilesDlg() {
    closing_ = true;
    m_running = 0;
    WaitForWorkers();
}

// ---- modal run -------------------------------------------------------------------------------------

bool CSelectFilesDlg::DoModal() {
    ended_ = false;
    endedWithOk_ = false;
    closing_ = false;
    rows_.clear();
    OnInitDialog();
    host_.runSelectFilesDialog(*this);
    // A worker may still run when the dialog closes: stop it and wait, so nothing outlives the window.
    closing_ = true;
    m_running = 0;
    WaitForWorkers();
    dispatcher_.killTimer(kTimerId);
    bool ok = ended_ && endedWithOk_;
    ended_ = true;
    return ok;
}

void CSelectFilesDlg::EndDialog(bool ok) {
    ended_ = true;
    endedWithOk_ = ok;
    changed();
}

void CSelectFilesDlg::WaitForWorkers() {
    // A worker that cannot be waited for now (this wait is part of serving its send) stays listed.
    std::erase_if(workers_, [](const std::unique_ptr<CWorkerThread>& worker) { return worker->wait(); });
}

bool CSelectFilesDlg::WorkersRunning() const {
    for (const auto& worker : workers_)
        if (worker->running()) return true;
    return false;
}

void CSelectFilesDlg::startWorker(void (CSelectFilesDlg::*body)()) {
    // Finished workers are joined here; running ones stay in the list.
    std::erase_if(workers_, [](const std::unique_ptr<CWorkerThread>& w) {
        if (w->running()) return false;
        w->wait();
        return true;
    });
    workers_.push_back(std::make_unique<CWorkerThread>(dispatcher_, [this, body] { (this->*body)(); }));
}

void CSelectFilesDlg::showBox(const std::u16string& text, frame::BoxButtons buttons) {
    MessageBoxRequest request;
    request.text = text;
    request.buttons = buttons;
    host_.messageBox(request);
}

// ---- handlers -------------------------------------------------------------------------------------------

void CSelectFilesDlg::OnInitDialog() {
    tempFolder = platform::tempBaseFolder();
    progressVisible = false;
    stopVisible = false;
    statusLine = kAddFilesText;
    ensuredVisibleRow = -1;
    changed();
}

void CSelectFilesDlg::OnBrowseTempFolder() {
    if (std::optional<std::u16string> chosen = host_.browseFolder(u"Select temporary folder path.")) {
        std::u16string path = trimBlanks(*chosen);
        if (platform::folderExists(path)) tempFolder = path;
        changed();
    }
    if (!platform::folderExists(tempFolder)) showBox(u"Please select valid folder path.");
}

void CSelectFilesDlg::OnAddFiles() {
    if (m_running) {
        showBox(u"Please stop the running process to add file(s) in the list.");
        return;
    }
    startWorker(&CSelectFilesDlg::addFilesThread);
}

void CSelectFilesDlg::OnSearchFile() {
    if (m_running) {
        showBox(u"Please stop the running process to search mbox files");
        return;
    }
    startWorker(&CSelectFilesDlg::searchFilesThread);
}

void CSelectFilesDlg::OnStop() {
    MessageBoxRequest request;
    request.text = u"Do you want to stop the running process.";
    request.buttons = frame::BoxButtons::YesNo;
    if (host_.messageBox(request) == frame::BoxAnswer::Yes) m_running = 0;
}

void CSelectFilesDlg::setStatusAfterRemoval() {
    statusLine = rows_.empty() ? std::u16string(kAddFilesText) : totalText(rows_.size());
    changed();
}

void CSelectFilesDlg::SetRowSelected(int row, bool selected) {
    if (row < 0 || static_cast<std::size_t>(row) >= rows_.size()) return;
    rows_[static_cast<std::size_t>(row)].selected = selected;
    changed();
}

void CSelectFilesDlg::OnRemove() {
    if (m_running) {
        showBox(u"Please stop the running process to remove file(s) from the list.");
        return;
    }
    if (rows_.empty()) {
        showBox(u"No file(s) is present in the list to remove.");
        return;
    }
    if (std::none_of(rows_.begin(), rows_.end(), [](const Row& r) { return r.selected; })) {
        showBox(u"No file(s) selected to remove.");
        return;
    }
    std::erase_if(rows_, [](const Row& r) { return r.selected; });
    setStatusAfterRemoval();
}

void CSelectFilesDlg::OnRemoveAll() {
    if (rows_.empty()) {
        showBox(u"No file is present in the list to remove");
        return;
    }
    rows_.clear();
    frame::g_selectedFiles.clear();
    setStatusAfterRemoval();
}

bool CSelectFilesDlg::OnOK() {
    constexpr char16_t kInvalidTemp[] =
        u"Please select valid temporary folder path to create temporary files during conversion process.";
    if (!platform::folderExists(tempFolder)) {
        showBox(kInvalidTemp);
        return false;
    }
    scan::g_tempBase = tempFolder;
    // The private folder must be possible there too (not on a file system without owners and modes).
    if (!scan::tempFolderUsable()) {
        showBox(kInvalidTemp);
        return false;
    }
    if (rows_.empty()) {
        showBox(u"Please select files to continue the process.");
        return false;
    }
    for (const Row& row : rows_) frame::g_selectedFiles.push_back(row.path);
    EndDialog(true);
    return true;
}

void CSelectFilesDlg::OnTimer(int id) {
    if (id != kTimerId) return;
    if (progressPos >= 1000) {
        progressLow = 0;
        progressHigh = 1000;
        progressPos = 0;
    } else {
        ++progressPos;
    }
    changed();
}

bool CSelectFilesDlg::IsNotInList(const std::u16string& path) const {
    std::optional<FileKind> kind;
    for (const Row& row : rows_) {
        if (row.path == path) return false;
        if (!sameIgnoringAsciiCase(row.path, path)) continue;
        // Paths that differ only in case are one file where the file system ignores case.
        if (!kind) kind = kindOf(path);
        FileKind other = kindOf(row.path);
        if (kind->exists && other.exists && kind->device == other.device && kind->inode == other.inode) return false;
    }
    return true;
}

void CSelectFilesDlg::appendRow(const std::u16string& path, int image) {
    rows_.push_back({path, image, false});
    changed();
}

// ---- workers ---------------------------------------------------------------------------------------------

void CSelectFilesDlg::addFilesThread() {
    std::optional<std::vector<std::u16string>> picked;
    onUi([&] {
        if (!closing_) picked = host_.pickFiles();
    });
    if (picked) {
        m_running = 1;
        const int count = static_cast<int>(picked->size());
        onUi([&] {
            statusLine = u"Please wait while process is running.";
            progressVisible = true;
            stopVisible = true;
            progressLow = 0;
            progressHigh = count;
            progressPos = 0;
            changed();
        });
        for (const std::u16string& pickedPath : *picked) {
            if (!keepGoing()) break;
            std::u16string path = collapseSeparators(pickedPath);
            if (auto bundle = scan::appleMailBundleFile(path)) path = *bundle;  // an Apple Mail NAME.mbox folder
            onUi([&] {
                if (!IsNotInList(path)) return;
                // Only regular files can be read as mailboxes; a folder, a pipe or a device is refused.
                if (!kindOf(path).regular) {
                    showBox(u"Selected file is not valid.");
                    return;
                }
                appendRow(path, 0);
                progressPos = static_cast<int>(rows_.size()) - 1;
                statusLine = path;
                changed();
            });
        }
        onUi([&] {
            progressPos = count;
            changed();
        });
    }
    onUi([&] {
        progressVisible = false;
        stopVisible = false;
        m_running = 0;
        statusLine = rows_.empty() ? std::u16string(kAddFilesText) : totalText(rows_.size());
        changed();
    });
}

void CSelectFilesDlg::searchFilesThread() {
    std::optional<std::u16string> chosen;
    onUi([&] {
        if (!closing_) chosen = host_.browseFolder(u"Select folder to search file(s)");
    });
    if (!chosen) return;
    m_running = 1;
    onUi([&] {
        progressVisible = true;
        progressLow = 0;
        progressHigh = 1000;
        changed();
        dispatcher_.startTimer(kTimerId, std::chrono::milliseconds(100), [this] { OnTimer(kTimerId); });
    });
    std::u16string folder = trimBlanks(*chosen);
    if (platform::folderExists(folder)) {
        onUi([&] {
            stopVisible = true;
            changed();
        });
        searchFolder(folder);
    }
    onUi([&] {
        dispatcher_.killTimer(kTimerId);
        m_running = 0;
        progressVisible = false;
        stopVisible = false;
        statusLine = rows_.empty() ? std::u16string() : totalText(rows_.size());
        changed();
    });
}

// Depth-first in the order the folder lists its entries. Linked folders are not followed (a link
// back up the tree would never end), and only regular files are taken.
void CSelectFilesDlg::searchFolder(const std::u16string& folder) {
    DIR* dir = ::opendir(platform::nativePath(folder).c_str());
    if (!dir) return;
    while (keepGoing()) {
        dirent* entry = ::readdir(dir);
        if (!entry) break;
        std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        std::u16string path = platform::joinPath(folder, platform::fromNativePath(name));
        struct stat st {};
        if (::lstat(platform::nativePath(path).c_str(), &st) != 0) continue;
        if (S_ISDIR(st.st_mode)) {
            searchFolder(path);
            continue;
        }
        if (!kindOf(path).regular || !scan::searchTakes(path, mailboxesOnly)) continue;
        onUi([&] {
            if (!IsNotInList(path)) return;
            bool hadRows = !rows_.empty();
            appendRow(path, -1);
            if (hadRows) ensuredVisibleRow = static_cast<int>(rows_.size()) - 2;
        });
    }
    ::closedir(dir);
}

}  // namespace ui
