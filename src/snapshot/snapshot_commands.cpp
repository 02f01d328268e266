#include "snapshot/snapshot_commands.h"

#include <algorithm>
#include <sys/stat.h>

#include "platform/paths.h"
#include "scan/scan_job.h"
#include "scan/temp_files.h"
#include "snapshot/snapshot_file.h"

namespace snapshot {
namespace {

using frame::g_busy;

constexpr char16_t kExtension[] = u"MBOX2PSTKLV";

void box(scan::FrameContext& frame, const std::u16string& text) {
    frame.messageBox(text, frame::BoxIcon::Information, frame::BoxButtons::Ok);
}

std::u16string decimal(std::uint64_t value) {
    std::string text = std::to_string(value);
    return std::u16string(text.begin(), text.end());
}

// A path from a snapshot may name anything; only a regular file is opened as a mailbox (a pipe would
// block the open for ever).
bool openMailbox(scan::CMboxFile& mbox, const std::u16string& path) {
    struct stat st {};
    if (::stat(platform::nativePath(path).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    return mbox.file.open(path);
}

// The offsets describe the mailbox as it was scanned: their end sentinel is the size the file had then,
// and none lies beyond it. A mailbox that grew or shrank since then would be exported cut, empty or in
// part. (A list saved from a stopped scan has no sentinel and is refused too.)
bool offsetsFitFile(const std::vector<std::uint64_t>& offsets, std::uint64_t size) {
    if (offsets.empty()) return true;  // nothing to read
    if (offsets.back() != size) return false;
    return std::all_of(offsets.begin(), offsets.end(), [size](std::uint64_t offset) { return offset <= size; });
}

void addRecord(scan::FrameContext& frame, SnapshotRecord& record) {
    frame::TreeControl& tree = frame.treeControl();
    frame::g_currentMboxPath = record.path;
    ++frame.mailboxCount;
    const auto number = static_cast<std::uintptr_t>(frame.mailboxCount);
    frame::TreeItem root = tree.InsertItem({frame::TVI_ROOT, frame::TVI_LAST, record.path, 0, 0});
    tree.SetItemData(root, number);
    tree.SetCheck(root, true);

    auto owned = std::make_unique<scan::CMboxFile>();
    scan::CMboxFile* mbox = owned.get();
    mbox->notifyWindow = &frame;
    // The stored flags are not trusted: both are worked out again from the path.
    scan::MboxEntry row = scan::makeCatalogueRow(std::move(owned), record.path);
    frame.currentIsImm = row.isImm;
    frame.currentHasAttachmentsFolder = row.hasAttachmentsFolder;
    frame.catalogue.push_back(std::move(row));
    frame.currentMbox = mbox;
    mbox->messageOffsets = std::move(record.offsets);

    if (!openMailbox(*mbox, record.path)) return;  // a moved mailbox keeps its root item, without a child
    if (!offsetsFitFile(mbox->messageOffsets, mbox->file.size())) {
        mbox->file.close();
        frame.logStatus(u"The mailbox changed after the snapshot was saved; open it again to scan it: " +
                        record.path);
        return;
    }
    frame::TreeItem child =
        tree.InsertItem({root, frame::TVI_FIRST, scan::childItemText(record.path, mbox->messageCount()), 0, 0});
    tree.SetItemData(child, number);
    tree.SetCheck(child, true);
    tree.Expand(root, frame::ExpandCode::Expand);
}

}  // namespace

std::u16string withDefaultExtension(const std::u16string& path, const std::u16string& extension) {
    std::u16string name = platform::fileNameOf(path);
    if (name.empty()) name = path;
    if (name.find(u'.') != std::u16string::npos) return path;
    return path + u"." + extension;
}

SnapshotResult OnSaveSnapshot(scan::FrameContext& frame) {
    if (g_busy) {
        box(frame, frame::kBusyRefusal);
        return SnapshotResult::Refused;
    }
    if (frame.treeControl().GetCount() == 0) {
        box(frame, u"Please select file to recover data.");
        g_busy = 0;
        return SnapshotResult::Refused;
    }
    frame.setWaitCursor(true);
    std::optional<std::u16string> chosen = frame.chooseSnapshotToSave();
    if (!chosen) {
        frame.setWaitCursor(false);
        return SnapshotResult::Cancelled;
    }
    const std::u16string path = withDefaultExtension(*chosen, kExtension);
    g_busy = 1;
    frame.sendMessage(platform::UM_SHOW_TAB, 0, 0);
    frame.logStatus(u" file is saving for Snapshot.    " + frame.timestampText());

    // Rows are written as they are; the selection the list and the preview use stays untouched.
    CSnapshotWriter writer;
    bool written = writer.create(path);
    if (written) {
        writer.writeCount(static_cast<std::uint32_t>(frame.catalogue.size()));
        for (const scan::MboxEntry& row : frame.catalogue)
            writer.writeRecord(row.path, row.isImm, row.hasAttachmentsFolder, row.mbox->messageOffsets);
        written = writer.close();
    }
    if (!written) frame.logStatus(u"The snapshot file could not be written: " + path);
    g_busy = 0;
    frame.setWaitCursor(false);
    return written ? SnapshotResult::Done : SnapshotResult::Failed;
}

SnapshotResult OnLoadSnapshot(scan::FrameContext& frame) {
    if (g_busy) {
        box(frame, frame::kBusyRefusal);
        return SnapshotResult::Refused;
    }
    std::optional<std::u16string> chosen = frame.chooseSnapshotToLoad();
    if (!chosen) return SnapshotResult::Cancelled;
    g_busy = 1;
    frame.mailboxCount = 0;

    frame.treeControl().DeleteAllItems();
    frame.listControl().DeleteAllItems();
    frame.viewerControl().ClearView();
    frame.showPreview(scan::writeBlankPreviewPage());
    frame.sendMessage(platform::UM_SHOW_TAB, 0, 0);
    frame.emptyCatalogue();

    CSnapshotReader reader;
    if (!reader.open(*chosen)) {
        frame.logStatus(u"The snapshot file could not be opened: " + *chosen);
        g_busy = 0;
        return SnapshotResult::Failed;
    }
    frame.logStatus(u"Loading Snapshot. ");
    SnapshotResult result = SnapshotResult::Done;
    std::optional<std::uint32_t> count = reader.readCount();
    if (!count) {
        result = SnapshotResult::Damaged;
        frame.logStatus(u"The snapshot file is damaged: it is too short to hold its entry count.");
    }
    for (std::uint32_t i = 0; count && i < *count; ++i) {
        SnapshotRecord record;
        if (reader.next(record) != CSnapshotReader::Status::Ok) {
            result = SnapshotResult::Damaged;
            frame.logStatus(u"The snapshot file is damaged: loading stopped at entry " + decimal(i + 1) + u".");
            break;
        }
        addRecord(frame, record);
    }
    frame.showProgressBar(false);
    g_busy = 0;
    const std::u16string done = u"Loading snapshot process completed.";
    frame.logStatus(done);
    box(frame, done);
    return result;
}

}  // namespace snapshot
