#pragma once
// What the jobs see of the main window: the catalogue and the current selection, the text hand-offs
// (status, caption, preview path), the window messages, the tree, the message list and the viewer, and
// message boxes. The controller implements it; every control call made from a worker is carried out on
// the user-interface thread and returns when it is done, like a synchronous window message.
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/window_message.h"
#include "scan/mbox_file.h"

namespace scan {

// Process-wide state shared by the controller, its dialogs and the jobs.
inline std::atomic<int> g_busy{0};              // 1 while a job runs or a command that starts one is in progress
inline std::atomic<bool> g_stopRequested{false};  // Stop confirmed: the job ends after its current item
inline std::u16string g_currentMboxPath;        // path of the current mailbox
inline std::vector<std::u16string> g_selectedFiles;  // chosen in the file selection dialog, consumed by the scan
inline std::u16string g_logFilePath;            // the activity log file
inline std::atomic<bool> g_logFileFailed{false};  // it could not be created, or a line could not be written

inline constexpr char16_t kLogFilePathIs[] = u"Log file path is : ";
inline constexpr char16_t kLogFileNotWritten[] = u"The log file could not be written: ";
inline constexpr char16_t kLogLinesShownOnly[] = u". The log lines were shown only in the program's activity log.";

// The closing line about the log file: its path, or that it could not be written and where the lines went.
inline std::u16string logFileLine() {
    if (g_logFileFailed) return kLogFileNotWritten + g_logFilePath + kLogLinesShownOnly;
    return kLogFilePathIs + g_logFilePath;
}

// ---- Tree items ---------------------------------------------------------------------------------

using TreeItem = std::uintptr_t;  // 0 is "no item"
inline constexpr TreeItem TVI_ROOT = static_cast<TreeItem>(-0x10000);
inline constexpr TreeItem TVI_FIRST = static_cast<TreeItem>(-0x0FFFF);
inline constexpr TreeItem TVI_LAST = static_cast<TreeItem>(-0x0FFFE);

enum class ExpandCode { Collapse = 1, Expand = 2, Toggle = 3 };

// Hit-test flags of a tree click; a click on the label alone is TVHT_ONITEMLABEL.
inline constexpr unsigned TVHT_ONITEMICON = 0x0002;
inline constexpr unsigned TVHT_ONITEMLABEL = 0x0004;
inline constexpr unsigned TVHT_ONITEMINDENT = 0x0008;
inline constexpr unsigned TVHT_ONITEMBUTTON = 0x0010;
inline constexpr unsigned TVHT_ONITEMSTATEICON = 0x0040;

struct TreeInsert {
    TreeItem parent = TVI_ROOT;
    TreeItem insertAfter = TVI_LAST;
    std::u16string text;
    int image = 0;
    int selectedImage = 0;
};

// The mailbox tree's operations that the jobs and commands use.
class TreeControl {
public:
    virtual ~TreeControl() = default;
    virtual TreeItem InsertItem(const TreeInsert& insert) = 0;
    virtual bool SetItemData(TreeItem item, std::uintptr_t data) = 0;
    virtual std::uintptr_t GetItemData(TreeItem item) = 0;
    virtual std::u16string GetItemText(TreeItem item) = 0;
    virtual TreeItem GetParentItem(TreeItem item) = 0;
    virtual TreeItem GetRootItem() = 0;
    virtual TreeItem GetChildItem(TreeItem item) = 0;
    virtual TreeItem GetNextSiblingItem(TreeItem item) = 0;
    virtual bool ItemHasChildren(TreeItem item) = 0;
    virtual unsigned GetCount() = 0;
    virtual bool SetCheck(TreeItem item, bool checked) = 0;
    virtual bool GetCheck(TreeItem item) = 0;
    virtual bool Expand(TreeItem item, ExpandCode code) = 0;
    virtual bool DeleteAllItems() = 0;
    virtual TreeItem FirstCheckedItem() = 0;
    virtual TreeItem NextItemInOrder(TreeItem item) = 0;
    virtual int CheckedItemCount() = 0;
};

// ---- Message list and viewer ----------------------------------------------------------------------

inline constexpr int kMailboxImage = 38;     // column 0 of every listed message
inline constexpr int kAttachmentImage = 56;  // column 1 of a message with attachments

// One listed message: column 0 text and image, the attachment picture of column 1 (-1 for none), the
// texts of columns 2 to 5, and the item data (the message index).
struct ListRow {
    std::u16string name;
    int image = kMailboxImage;
    int attachmentImage = -1;
    std::u16string to, from, subject, date;
    std::uint64_t data = 0;
};

class MessageListControl {
public:
    virtual ~MessageListControl() = default;
    virtual bool DeleteAllItems() = 0;
    virtual int GetItemCount() = 0;
    // Inserts the row at the end with all its cells and its item data; returns its index.
    virtual int AppendRow(const ListRow& row) = 0;
    virtual std::uint64_t GetItemData(int row) = 0;
    virtual bool EnsureVisible(int row) = 0;
};

class ViewerControl {
public:
    virtual ~ViewerControl() = default;
    virtual void ClearView() = 0;
};

// ---- Message boxes --------------------------------------------------------------------------------

enum class BoxIcon { Information, Question };
enum class BoxButtons { Ok, YesNo };
enum class BoxAnswer { Ok, Yes, No, Cancel };

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
    TreeItem selectedTreeItem = 0;
    int selectedMessageRow = 0;

    // Makes catalogue row `index` (0-based) the current selection.
    void selectRow(std::size_t index) {
        const MboxEntry& row = catalogue[index];
        currentMbox = row.mbox.get();
        g_currentMboxPath = row.path;
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

    virtual TreeControl& treeControl() = 0;
    virtual MessageListControl& listControl() = 0;
    virtual ViewerControl& viewerControl() = 0;

    // A message box owned by the main window and captioned with the application title.
    virtual BoxAnswer messageBox(const std::u16string& text, BoxIcon icon, BoxButtons buttons) = 0;
    // The snapshot file dialogs; nothing when cancelled.
    virtual std::optional<std::u16string> chooseSnapshotToSave() = 0;
    virtual std::optional<std::u16string> chooseSnapshotToLoad() = 0;

    // The current local time as the log writes it ("%b-%d-%Y(%I-%M-%S-%p)").
    virtual std::u16string timestampText() = 0;

    // Carries out several of the calls above in one hand-off to the user-interface thread (the calls
    // made inside run there directly), in the order they are made.
    virtual void runOnUiThread(const std::function<void()>& task) = 0;

    // Starts a worker thread for a command that runs its own job (the export) once the previous worker
    // has ended; false (nothing started) when the previous one cannot be waited for at this point.
    virtual bool startWorker(std::function<void()> body) = 0;
};

inline constexpr char16_t kBusyRefusal[] = u"Please stop the running process to continue the process.";

}  // namespace scan
