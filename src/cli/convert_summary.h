#pragma once
// What a conversion did, as the terminal and scripts see it: the one-line summary and the JSON summary.
#include <cstdint>
#include <string>
#include <vector>

namespace cli {

struct FailedMessage {
    std::string message;  // as the log names it: "Inbox.mbox[3/10]" or the item file
    std::string reason;   // empty when the log gives none
};

struct ConvertSummary {
    std::string format;       // pst, single-pst, eml, msg, rtf or html
    std::string destination;  // the destination folder
    int mailboxes = 0;        // mailboxes read
    long long messages = 0;   // messages in them
    long long saved = 0;
    long long failed = 0;
    bool stopped = false;     // a signal or Stop ended the run early
    bool ran = false;         // false: no run took place (the reason was printed)
    std::vector<FailedMessage> failures;
    std::vector<std::string> files;  // files written, below the destination, sorted
    std::uintmax_t bytes = 0;        // their size
    double seconds = 0;
};

// "26,487"
std::string groupedNumber(long long value);
// "512 bytes", "12.5 KiB", "3.2 MiB", "0.30 GiB"
std::string sizeText(std::uintmax_t bytes);
// "0.4 s", "2.5 s", "3 min 07 s"
std::string durationText(double seconds);
// "Saved 26,487 of 26,487 messages from 1 mailbox to /out (PST, 0.30 GiB) in 2.5 s"
std::string summaryLine(const ConvertSummary& summary);
// One JSON object with every field of the summary (the files relative to the destination).
std::string summaryJson(const ConvertSummary& summary);
// A "Failed to save: ITEM: REASON" log line split into its message and its reason.
FailedMessage failedMessageOf(const std::string& logLine);

}  // namespace cli
