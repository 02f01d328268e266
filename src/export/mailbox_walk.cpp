#include "export/mailbox_walk.h"

#include <exception>

#include "export/folder_chain.h"
#include "export/output_paths.h"
#include "export/save_options.h"
#include "platform/codepage.h"
#include "platform/paths.h"
#include "scan/mailbox_kinds.h"

namespace exporter {
namespace {

frame::TreeItem nextChecked(frame::TreeControl& tree, frame::TreeItem item) {
    for (item = tree.NextItemInOrder(item); item; item = tree.NextItemInOrder(item))
        if (tree.GetCheck(item)) return item;
    return 0;
}

// An exception from a writer fails the message it was writing and the rest of that mailbox (named by
// their numbers); the walk goes on with the next mailbox.
void writeGuarded(ExportRun& run, const CheckedMailbox& mailbox, const std::function<void(const CheckedMailbox&)>& write) {
    run.messageCount = 0;
    run.currentMessage = 0;
    std::string what;
    try {
        write(mailbox);
        return;
    } catch (const std::exception& error) {
        what = error.what();
    } catch (...) {
        what = "unknown exception";
    }
    // The writer sets the progress range to the mailbox's count and the position to each message it starts.
    const long long total = static_cast<long long>(run.source.count());
    const long long first = run.messageCount > 0 ? run.currentMessage + 1 : 1;
    const std::u16string reason = platform::utf8ToUtf16(what);
    run.lastFailedItem = mailbox.path;
    if (first > total) {  // after its last message
        ++run.failures;
        run.log(kFailedPrefix + mailbox.path + kNotSavedBecause + reason);
        return;
    }
    run.failures += static_cast<int>(total - first + 1);
    run.log(kFailedPrefix + mailbox.path + kMessagesFrom + decimal(first) + kMessagesTo + decimal(total) + kNotSavedBecause +
            reason);
}

}  // namespace

std::u16string decimal(long long value) {
    std::string digits = std::to_string(value);
    return std::u16string(digits.begin(), digits.end());
}

MailboxSelection checkedMailboxes(scan::FrameContext& frame) {
    frame::TreeControl& tree = frame.treeControl();
    MailboxSelection selection;
    selection.treeHasItems = tree.GetCount() > 0;
    for (frame::TreeItem item = tree.FirstCheckedItem(); item; item = nextChecked(tree, item)) {
        // Only folder items stand for mailboxes; a file item (whose folder item follows it, or which has
        // none because its file could not be opened) is passed over, so no mailbox is written twice.
        frame::TreeItem parent = tree.GetParentItem(item);
        if (!parent) continue;
        std::uintptr_t data = tree.GetItemData(item);
        if (data == 0 || data > frame.catalogue.size()) continue;
        CheckedMailbox mailbox;
        mailbox.row = data - 1;
        mailbox.path = tree.GetItemText(parent);
        mailbox.name = scan::mailboxDisplayName(mailbox.path);
        mailbox.childText = tree.GetItemText(item);
        selection.mailboxes.push_back(std::move(mailbox));
    }
    return selection;
}

void forEachCheckedMailbox(ExportRun& run, const std::function<void(const CheckedMailbox&)>& write) {
    for (const CheckedMailbox& mailbox : run.selection.mailboxes) {
        if (!run.running()) return;
        if (mailbox.row >= run.frame.catalogue.size()) continue;
        run.frame.selectRow(mailbox.row);
        run.source = MailboxSource{run.frame.currentMbox.load(), run.frame.currentIsImm};
        if (g_saveInHierarchy != 0)
            if (auto notice = outsideRootNotice(mailbox.path)) run.log(*notice);
        writeGuarded(run, mailbox, write);
    }
}

void forEachMailboxFolder(ExportRun& run, const std::u16string& destination,
                          const std::function<void(const CheckedMailbox&, const std::u16string& folder)>& write) {
    if (!run.selection.treeHasItems) return;
    run.log(kSavingStarted);
    const std::u16string root = platform::withTrailingSeparator(destination);
    forEachCheckedMailbox(run, [&](const CheckedMailbox& mailbox) {
        run.log(mailbox.path + kFileSelected);
        write(mailbox, createOutputFolder(root, mailbox.path, g_saveInHierarchy != 0));
    });
}

}  // namespace exporter
