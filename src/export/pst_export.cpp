#include "export/pst_export.h"

#include "export/eml_export.h"
#include "export/folder_chain.h"
#include "export/label_targets.h"
#include "export/output_paths.h"
#include "export/save_options.h"
#include "export/item_import.h"
#include "platform/paths.h"
#include "store/library/library_calls.h"
#include "store/library/library_registry.h"

namespace exporter {
namespace {

using library::callGuarded;

std::shared_ptr<library::Store> openStore(ExportRun& run, const std::u16string& path) {
    return callGuarded(run.pstSession, [&](library::Session& s) {
        return s.openStore(path, 1, std::u16string(kStoreDisplayName));
    });
}

std::shared_ptr<library::Folder> topFolderOf(const std::shared_ptr<library::Store>& store) {
    return callGuarded(store, [](library::Store& s) { return s.topFolder(); });
}

std::shared_ptr<library::Folders> subfoldersOf(const std::shared_ptr<library::Folder>& folder) {
    return callGuarded(folder, [](library::Folder& f) { return f.subfolders(); });
}

std::shared_ptr<library::Folder> findOrAdd(const std::shared_ptr<library::Folders>& folders, const std::u16string& name) {
    auto found = callGuarded(folders, [&](library::Folders& f) { return f.find(name); });
    if (found) return found;
    return callGuarded(folders, [&](library::Folders& f) { return f.add(name); });
}

// Records the PST in the profile through a second session.
void attachToProfile(ExportRun& run, const std::u16string& pstPath) {
    std::shared_ptr<library::Session> second = library::createSession();
    if (!second) return;
    callGuarded(second, [&](library::Session& s) { s.logOn(run.attachLogonText); });
    auto stores = callGuarded(second, [](library::Session& s) { return s.stores(); });
    callGuarded(stores, [&](library::Stores& s) { s.addPst(pstPath, 1, kStoreDisplayName); });
    callGuarded(second, [](library::Session& s) { s.logOff(); });
}

// Builds the mailbox's folder in the store and imports its messages.
void writeMailbox(ExportRun& run, const std::shared_ptr<library::Store>& store, const std::u16string& topPath,
                  const CheckedMailbox& mailbox, SaveLedger& ledger) {
    auto subfolders = subfoldersOf(topFolderOf(store));
    std::u16string relative = buildMailboxFolder(run, subfolders, mailbox);
    auto target = callGuarded(run.pstSession, [&](library::Session& s) { return s.folderByPath(topPath + u"\\" + relative); });
    importMailbox(run, mailbox.name, target, ledger);
}

std::u16string folderPath(const std::shared_ptr<library::Store>& store) {
    return callGuarded(topFolderOf(store), [](library::Folder& f) { return f.path(); });
}

void finishPstRun(ExportRun& run, const std::u16string& destination) {
    run.frame.showProgressBar(false);
    if (run.running()) run.log(kSavingCompletedIn + destination);
}

}  // namespace

SaveLedger::SaveLedger(ExportRun& run, std::shared_ptr<library::Store> store, std::u16string pstPath)
    : run_(run), store_(std::move(store)), pstPath_(std::move(pstPath)) {}

void SaveLedger::saved(const std::u16string& progress) {
    run_.savedItem(progress);
    const library::SaveStatus status = callGuarded(store_, [](library::Store& s) { return s.saveStatus(); });
    if (status.saved > 0) unkept_.emplace_back(status.saved, progress);
    settle(status);
}

void SaveLedger::failed(const std::u16string& progress) {
    settle();
    run_.failed(progress);
}

void SaveLedger::settle() { settle(callGuarded(store_, [](library::Store& s) { return s.saveStatus(); })); }

void SaveLedger::settle(const library::SaveStatus& status) {
    while (!unkept_.empty() && unkept_.front().first <= status.kept) unkept_.pop_front();
    if (status.failure.empty()) return;
    if (!failureLogged_) {
        run_.log(u"The PST file " + pstPath_ + u" could not be written: " + status.failure);
        failureLogged_ = true;
    }
    for (const auto& entry : unkept_) {
        --run_.saved;  // logged as saved, but the store lost it
        run_.failed(entry.second);
    }
    unkept_.clear();
}

std::u16string buildMailboxFolder(ExportRun& run, std::shared_ptr<library::Folders> subfolders,
                                  const CheckedMailbox& mailbox) {
    (void)run;
    if (g_saveInHierarchy == 0) {
        findOrAdd(subfolders, mailbox.name);
        return mailbox.name;
    }
    std::vector<std::u16string> parts = hierarchyParts(mailbox.path);
    if (parts.empty()) return mailbox.childText;  // a relative path: no folder is built
    if (parts.size() == 1 && !hierarchyRooted()) {
        callGuarded(subfolders, [&](library::Folders& f) { return f.add(parts.front()); });
        return parts.front();
    }
    std::u16string relative;
    for (const std::u16string& part : parts) {
        auto folder = findOrAdd(subfolders, part);
        relative += part + u"\\";
        subfolders = subfoldersOf(folder);
    }
    relative.pop_back();
    return relative;
}

// "Name[k/count]": how the log names message k (0-based) of a mailbox.
std::u16string itemLabel(const std::u16string& mailboxName, std::uint64_t k, std::uint64_t count) {
    return mailboxName + u"[" + decimal(static_cast<long long>(k + 1)) + u"/" + decimal(static_cast<long long>(count)) + u"]";
}

// With labels as folders a message's folders are known only once it is read, and it may go into
// several: such a mailbox is imported one message at a time on this thread.
void importMailboxByLabels(ExportRun& run, const std::u16string& mailboxName,
                           const std::shared_ptr<library::Folder>& target, SaveLedger& ledger) {
    const MailboxSource source = run.source;
    const std::uint64_t count = source.count();
    run.progressRange(static_cast<int>(count));
    LabelTargets targets(target);
    const ReportBatch batch(run);
    for (std::uint64_t k = 0; k < count && run.running(); ++k) {
        run.progressPosition(static_cast<int>(k));
        const std::u16string progress = itemLabel(mailboxName, k, count);
        const ExportedMessage message = exportedMessage(source, k, true);
        reportNotAttached(run, message, progress);
        if (!message.bytes) {
            run.failed(progress);
            continue;
        }
        bool saved = true;
        for (const auto& items : targets.itemsFor(*message.bytes)) saved = importItem(items, *message.bytes) && saved;
        if (saved)
            ledger.saved(progress);
        else
            ledger.failed(progress);
    }
    run.progressPosition(static_cast<int>(count));
}

void importMailbox(ExportRun& run, const std::u16string& mailboxName, const std::shared_ptr<library::Folder>& target,
                   SaveLedger& ledger) {
    if (g_labelFolders != 0) return importMailboxByLabels(run, mailboxName, target, ledger);
    const MailboxSource source = run.source;
    const std::uint64_t count = source.count();
    run.progressRange(static_cast<int>(count));
    auto items = callGuarded(target, [](library::Folder& f) { return f.items(); });
    PipelineStages<ImportedItem> stages = importStages(run, source, items, std::nullopt, true);
    const ReportBatch batch(run);
    stages.write = [&](ImportedItem& slot) {
        run.progressPosition(static_cast<int>(slot.k));
        const std::u16string progress = itemLabel(mailboxName, slot.k, count);
        reportNotAttached(run, slot.message, progress);
        if (!slot.readable) return run.failed(progress);
        const bool saved = callGuarded(slot.item, [](library::Item& i) { return i.save(); }) && slot.imported;
        if (saved)
            ledger.saved(progress);
        else
            ledger.failed(progress);
    };
    runPipeline(count, exportThreadCount(), stages);
    run.progressPosition(static_cast<int>(count));
}

void exportSeparatePst(ExportRun& run, std::u16string destination) {
    if (run.selection.treeHasItems) {
        run.log(kSavingStarted);
        forEachCheckedMailbox(run, [&](const CheckedMailbox& mailbox) {
            destination = platform::withTrailingSeparator(destination);
            const std::u16string pstPath = claimNumberedFile(destination, mailbox.name + kPstExtension);
            auto store = openStore(run, pstPath);
            SaveLedger ledger(run, store, pstPath);
            writeMailbox(run, store, folderPath(store), mailbox, ledger);
            store.reset();
            if (g_attachToOutlook == 1) attachToProfile(run, pstPath);
            callGuarded(run.pstSession, [](library::Session& s) { s.logOff(); });
            ledger.settle();  // logging off completed the file, or found it could not be
        });
    }
    finishPstRun(run, destination);
}

void exportSinglePst(ExportRun& run, std::u16string destination) {
    if (run.selection.treeHasItems) {
        run.log(kSavingStarted);
        destination = platform::withTrailingSeparator(destination);
        const std::u16string pstPath = claimNumberedFile(destination, kSinglePstName);
        auto store = openStore(run, pstPath);
        SaveLedger ledger(run, store, pstPath);
        const std::u16string topPath = folderPath(store);
        forEachCheckedMailbox(run, [&](const CheckedMailbox& mailbox) { writeMailbox(run, store, topPath, mailbox, ledger); });
        store.reset();
        if (g_attachToOutlook == 1) attachToProfile(run, pstPath);
        callGuarded(run.pstSession, [](library::Session& s) { s.logOff(); });
        ledger.settle();  // logging off completed the file, or found it could not be
    }
    finishPstRun(run, destination);
}

}  // namespace exporter
