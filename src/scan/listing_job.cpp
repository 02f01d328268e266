#include "scan/listing_job.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/paths.h"
#include "scan/mailbox_kinds.h"
#include "scan/message_reader.h"
#include "scan/message_summary.h"

namespace scan {
namespace {

std::u16string decimal(long long value) {
    std::string text = std::to_string(value);
    return std::u16string(text.begin(), text.end());
}

constexpr std::size_t kListingBatchRows = 256;
constexpr auto kListingBatchTime = std::chrono::milliseconds(20);

struct PendingRow {
    std::uint64_t k = 0;
    bool ok = false;
    frame::ListRow row;
};

frame::ListRow summaryRow(CMboxFile& mbox, bool isImm, std::uint64_t k, const std::u16string& name, bool& ok) {
    frame::ListRow row;
    std::optional<std::string> bytes = readMessage(mbox, k, false);
    ok = bytes.has_value();
    if (!ok) return row;
    if (isImm) collectImAttachmentNames(*bytes, mbox);
    MessageSummary summary = summarizeMessage(*bytes, isImm, mbox);
    if (isImm) {
        if (summary.from.empty()) summary.from = findImHeaderLine(*bytes, "From:");
        if (summary.subject.empty()) summary.subject = findImHeaderLine(*bytes, "Subject:");
        if (summary.to.empty()) summary.to = findImHeaderLine(*bytes, "To:");
        mbox.imAttachmentNames.clear();
    }
    row.name = name;
    row.attachmentImage = summary.hasAttachments ? frame::kAttachmentImage : -1;
    row.to = std::move(summary.to);
    row.from = std::move(summary.from);
    row.subject = std::move(summary.subject);
    row.date = std::move(summary.date);
    row.data = k;
    return row;
}

}  // namespace

int FolderListingJob(FrameContext& frame) {
    frame::TreeControl& tree = frame.treeControl();
    frame::MessageListControl& list = frame.listControl();
    const frame::TreeItem item = frame.selectedTreeItem;
    const frame::TreeItem parent = tree.GetParentItem(item);
    const std::uintptr_t number = parent ? tree.GetItemData(item) : 0;
    // Only a child item with a catalogue row is a folder; anything else ends the job untouched.
    if (!parent || number == 0 || number > frame.catalogue.size()) {
        frame::g_busy = 0;
        return 0;
    }
    frame.selectRow(number - 1);
    CMboxFile& mbox = *frame.currentMbox.load();
    const bool isImm = frame.currentIsImm;

    list.DeleteAllItems();
    const std::u16string name = mailboxDisplayName(tree.GetItemText(parent));
    frame.showCaption(name);
    frame.logStatus(u"Please wait while " + name + u" folder is scanning....");
    frame.logStatus(u"Displaying email items.");
    frame.showProgressBar(true);

    const std::uint64_t count = mbox.messageCount();
    frame.setProgressRange(0, static_cast<int>(std::min<std::uint64_t>(count, INT32_MAX)));
    const std::u16string total = decimal(static_cast<long long>(count));
    auto sendPosition = [&](std::uint64_t k) {
        frame.sendMessage(platform::UM_PROGRESS_POS, static_cast<platform::WParam>(static_cast<std::uint32_t>(k)), 0);
    };
    if (count > 0) sendPosition(0);
    std::uint64_t unreadable = 0;
    // Rows are summarised in batches and handed to the user-interface thread one batch at a time (a
    // hand-off per row costs two thread switches, more than summarising the row). A batch goes over
    // when it is kListingBatchRows long or kListingBatchTime old, so the list still grows smoothly.
    std::vector<PendingRow> batch;
    batch.reserve(kListingBatchRows);
    auto handOver = [&] {
        // Each row, its caption and the next message's position in that order; Stop (asked while a
        // row is shown) keeps the rows before it.
        frame.runOnUiThread([&] {
            for (PendingRow& pending : batch) {
                if (frame::g_stopRequested) break;
                if (pending.ok) {
                    const int r = list.AppendRow(pending.row);
                    frame.showCaption(name + u" [" + decimal(r) + u" / " + total + u"]");
                } else {
                    ++unreadable;  // could not be read whole (or not allocated): skipped
                }
                if (pending.k + 1 < count) sendPosition(pending.k + 1);
            }
        });
        batch.clear();
    };
    auto batchStarted = std::chrono::steady_clock::now();
    for (std::uint64_t k = 0; k < count; ++k) {
        if (frame::g_stopRequested) break;  // Stop was confirmed
        if (batch.empty()) batchStarted = std::chrono::steady_clock::now();
        PendingRow& pending = batch.emplace_back();
        pending.k = k;
        pending.row = summaryRow(mbox, isImm, k, name, pending.ok);
        if (batch.size() >= kListingBatchRows || std::chrono::steady_clock::now() - batchStarted >= kListingBatchTime)
            handOver();
    }
    if (!batch.empty() && !frame::g_stopRequested) handOver();

    if (unreadable > 0)
        frame.logStatus(decimal(static_cast<long long>(unreadable)) +
                        u" email items could not be read whole; the mailbox may have changed since it was scanned.");
    const int n = list.GetItemCount();
    if (n > 0) {
        const std::u16string done = u"Click on emails items to see preview.";
        frame.logStatus(done);
        frame.showCaption(name + u" [" + decimal(n) + u"]");
        list.EnsureVisible(n - 1);
        frame.messageBox(done, frame::BoxIcon::Information, frame::BoxButtons::Ok);
    }
    frame.sendMessage(platform::UM_PROGRESS_POS, static_cast<platform::WParam>(static_cast<std::uint32_t>(count)), 0);
    frame.showProgressBar(false);
    frame::g_busy = 0;
    return 1;
}

}  // namespace scan
