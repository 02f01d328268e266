#pragma once
// The PST writer: the checked mailboxes as one PST file each, or all in "Resultant.pst", one folder
// (or a chain mirroring the mailbox's location) per mailbox, one item per message.
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <utility>

#include "export/export_run.h"
#include "export/mailbox_walk.h"

namespace exporter {

inline constexpr char16_t kPstExtension[] = u".pst";
inline constexpr char16_t kSinglePstName[] = u"Resultant.pst";
inline constexpr char16_t kStoreDisplayName[] = u"Personal Folders";

// The messages logged as saved into one PST store that the store does not hold for good yet (it
// holds them once it commits). When writing the store fails they are lost, and logged and counted
// as failed after all; so is every message saved into it from then on.
class SaveLedger {
public:
    SaveLedger(ExportRun& run, std::shared_ptr<library::Store> store, std::u16string pstPath);
    // The item was saved: logged as saved and remembered until the store holds it.
    void saved(const std::u16string& progress);
    // The item could not be saved: what the store lost before it is reported first.
    void failed(const std::u16string& progress);
    // Takes note of what the store has kept or lost since; also once the store was closed.
    void settle();

private:
    void settle(const library::SaveStatus& status);

    ExportRun& run_;
    std::shared_ptr<library::Store> store_;
    std::u16string pstPath_;
    std::deque<std::pair<std::uint64_t, std::u16string>> unkept_;  // save number, progress text
    bool failureLogged_ = false;
};

void exportSeparatePst(ExportRun& run, std::u16string destination);
void exportSinglePst(ExportRun& run, std::u16string destination);
// Imports every message of the current mailbox into the folder.
void importMailbox(ExportRun& run, const std::u16string& mailboxName, const std::shared_ptr<library::Folder>& target,
                   SaveLedger& ledger);
// Makes (or finds) the mailbox's folder under the top folder; returns its path relative to the top folder.
std::u16string buildMailboxFolder(ExportRun& run, std::shared_ptr<library::Folders> subfolders,
                                  const CheckedMailbox& mailbox);

}  // namespace exporter
