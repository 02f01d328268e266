#include "scan/scan_job.h"

#include <string>

#include "platform/paths.h"
#include "scan/mailbox_kinds.h"
#include "scan/mbox_variants.h"

namespace scan {
namespace {

std::u16string decimal(std::uint64_t value) {
    std::string text = std::to_string(value);
    return std::u16string(text.begin(), text.end());
}

}  // namespace

std::u16string childItemText(const std::u16string& path, std::uint64_t count) {
    return mailboxDisplayName(path) + u"(" + decimal(count) + u")";
}

MboxEntry makeCatalogueRow(std::unique_ptr<CMboxFile> mbox, const std::u16string& path) {
    MboxEntry row{std::move(mbox), path, false, false};
    if (isImmPath(path)) {
        row.isImm = true;
        row.mbox->attachmentsFolder = platform::withTrailingSeparator(platform::folderOf(path)) +
                                      u"Attachments" + std::u16string(1, platform::kSeparator);
        row.hasAttachmentsFolder = platform::folderExists(row.mbox->attachmentsFolder);
    }
    return row;
}

int ScanJob(FrameContext& frame) {
    frame::TreeControl& tree = frame.treeControl();
    // The list is re-read before each file.
    for (std::size_t i = 0; i < frame::g_selectedFiles.size(); ++i) {
        if (frame::g_stopRequested) break;
        const std::u16string path = frame::g_selectedFiles[i];
        frame::g_currentMboxPath = path;
        ++frame.mailboxCount;
        const auto number = static_cast<std::uintptr_t>(frame.mailboxCount);

        frame::TreeItem root = tree.InsertItem({frame::TVI_ROOT, frame::TVI_LAST, path, 1, 1});
        tree.SetItemData(root, number);
        tree.SetCheck(root, true);

        auto owned = std::make_unique<CMboxFile>();
        CMboxFile* mbox = owned.get();
        mbox->notifyWindow = &frame;
        MboxEntry row = makeCatalogueRow(std::move(owned), path);
        frame.currentIsImm = row.isImm;
        frame.currentHasAttachmentsFolder = row.hasAttachmentsFolder;
        const bool isImm = row.isImm;
        frame.catalogue.push_back(std::move(row));  // the catalogue owns the mailbox from here on
        frame.currentMbox = mbox;

        if (!mbox->file.open(path)) continue;  // the row and its top-level item stay, without a child
        frame.logStatus(u"Processing File: " + path);
        if (isImm)
            mbox->scanMimeVersion(path);
        else
            mbox->scanFromLines();
        if (!row.isImm && g_honourContentLength != 0) joinContentLengthMessages(*mbox);
        const std::uint64_t count = mbox->messageCount();
        frame.logStatus(u"Total number of emails found: (" + decimal(count) + u")");

        frame::TreeItem child = tree.InsertItem({root, frame::TVI_FIRST, childItemText(path, count), 0, 0});
        tree.SetItemData(child, number);
        tree.SetCheck(child, true);
        tree.Expand(root, frame::ExpandCode::Expand);
    }
    frame::g_selectedFiles.clear();
    frame.showProgressBar(false);
    frame.setProgressPosition(0);
    frame::g_busy = 0;
    const std::u16string done =
        u"Scanning process completed for selected file, click on folder to see recovered email items.";
    frame.logStatus(done);
    frame.messageBox(done, frame::BoxIcon::Information, frame::BoxButtons::Ok);
    return 1;
}

}  // namespace scan
