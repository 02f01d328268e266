#pragma once
// What one export run shares between its writers: the frame it reports to, the library session of
// the library modes, and the count of messages that could not be saved.
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "scan/frame_context.h"
#include "store/library/library_interface.h"

namespace exporter {

inline constexpr char16_t kSavingStarted[] = u"Saving process started.";
inline constexpr char16_t kSavingCompletedIn[] = u"Saving process completed, destination folder path is: ";
inline constexpr char16_t kSavingPrefix[] = u"Saving: ";
inline constexpr char16_t kFailedPrefix[] = u"Failed to save: ";
inline constexpr char16_t kMessagesFrom[] = u": messages ";
inline constexpr char16_t kMessagesTo[] = u" to ";
inline constexpr char16_t kNotSavedBecause[] = u": not saved because of an error: ";
inline constexpr char16_t kAttachmentNotRead[] = u": the attachment file could not be read: ";
inline constexpr char16_t kFileSelected[] = u" file selected for saving email items.";

// A checked mailbox of the tree, as the Save command found it.
struct CheckedMailbox {
    std::size_t row = 0;       // 0-based catalogue row, made the current selection
    std::u16string path;       // the mailbox file's full path (its tree item's text)
    std::u16string name;       // the text after the last separator
    std::u16string childText;  // the folder item's text: name and count
};

// What the Save command hands the job: the checked mailboxes in the tree's order.
struct MailboxSelection {
    bool treeHasItems = false;
    std::vector<CheckedMailbox> mailboxes;
};

// The mailbox being written, as the workers read it; fixed while the mailbox is written.
struct MailboxSource {
    scan::CMboxFile* mbox = nullptr;
    bool isImm = false;
    std::uint64_t count() const { return mbox ? mbox->messageCount() : 0; }
    std::uint64_t messageBytes(std::uint64_t k) const { return mbox ? mbox->messageSpan(k).length : 0; }
};

struct ExportRun {
    scan::FrameContext& frame;
    std::shared_ptr<library::Session> pstSession;  // the library modes only
    std::u16string attachLogonText;
    MailboxSelection selection{};
    MailboxSource source{};  // the mailbox being written
    int failures = 0;
    int saved = 0;
    int messageCount = 0;    // the progress range of the mailbox being written
    int currentMessage = 0;  // the last progress position: the 0-based message being written
    std::u16string lastFailedItem{};  // a message with several failure lines counts once

    void log(const std::u16string& line) {
        if (!batchReports) return frame.logStatus(line);
        pendingReports.push_back(Report{line, 0});
        flushReportsWhenDue();
    }
    // A message written: logged and counted.
    void savedItem(const std::u16string& item) {
        ++saved;
        log(kSavingPrefix + item);
    }
    // A message that could not be written (whole): logged, counted once.
    void failed(const std::u16string& item, const std::u16string& detail = {}) {
        if (failures == 0 || item != lastFailedItem) ++failures;
        lastFailedItem = item;
        log(kFailedPrefix + item + detail);
    }
    bool running() const { return !frame::g_stopRequested.load(); }
    void progressRange(int count) {
        messageCount = count;
        currentMessage = 0;
        frame.setProgressRange(0, count);
    }
    void progressPosition(int position) {
        currentMessage = position;
        if (!batchReports) return frame.setProgressPosition(position);
        pendingReports.push_back(Report{{}, position});
        flushReportsWhenDue();
    }

    // Log lines and progress positions of a writer that batches them (ReportBatch), in the order made:
    // each hand-off to the user-interface thread costs two thread switches, so they go over together,
    // at most kReportBatchTime after the first of them was made, and the writer does not wait for them
    // to be shown and logged.
    struct Report {
        std::u16string line;  // empty: a progress position
        int position = 0;
    };
    static constexpr std::size_t kReportBatchSize = 128;
    static constexpr std::chrono::milliseconds kReportBatchTime{20};
    bool batchReports = false;
    std::vector<Report> pendingReports{};
    std::chrono::steady_clock::time_point firstPending{};

    void flushReports() {
        if (pendingReports.empty()) return;
        // The frame outlives the run's writers and what they hand over; the run itself may not.
        frame.postToUiThread([to = &frame, reports = std::move(pendingReports)] {
            for (const Report& report : reports) {
                if (report.line.empty())
                    to->setProgressPosition(report.position);
                else
                    to->logStatus(report.line);
            }
        });
        pendingReports.clear();
    }
    void flushReportsWhenDue() {
        const auto now = std::chrono::steady_clock::now();
        if (pendingReports.size() == 1) firstPending = now;
        if (pendingReports.size() >= kReportBatchSize || now - firstPending >= kReportBatchTime) flushReports();
    }
};

// While it lives, the run's log lines and progress positions are batched; they are all handed over
// when it ends (also by an exception), before anything else reports.
class ReportBatch {
public:
    explicit ReportBatch(ExportRun& run) : run_(run) { run_.batchReports = true; }
    ~ReportBatch() {
        run_.batchReports = false;
        try {
            run_.flushReports();
        } catch (...) {
            // The frame is gone or failed: the lines cannot be shown anywhere.
        }
    }
    ReportBatch(const ReportBatch&) = delete;
    ReportBatch& operator=(const ReportBatch&) = delete;

private:
    ExportRun& run_;
};

// Decimal text of a number, for paths and log lines.
std::u16string decimal(long long value);

}  // namespace exporter
