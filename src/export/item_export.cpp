#include "export/item_export.h"

#include "export/eml_export.h"
#include "export/label_targets.h"
#include "export/mailbox_walk.h"
#include "export/output_paths.h"
#include "export/item_import.h"
#include "export/ordered_pipeline.h"
#include "export/save_options.h"
#include "mime/text_util.h"
#include "platform/file_output.h"
#include "scan/temp_files.h"
#include "store/library/library_calls.h"

namespace exporter {
namespace {

using library::callGuarded;

int saveAsFormat(const std::u16string& extension) {
    std::string ascii;
    for (char16_t c : extension) ascii.push_back(static_cast<char>(c < 0x80 ? c : '?'));
    if (mime::EqualsNoCase(ascii, ".rtf")) return library::kSaveAsRtf;
    if (mime::EqualsNoCase(ascii, ".html")) return library::kSaveAsHtml;
    return library::kSaveAsMsg;
}

void openStagingStore(ExportRun& run) {
    const std::u16string staging = scan::tempFolderPath() + kStagingStoreName;
    if (callGuarded(run.pstSession, [](library::Session& s) { return s.loggedOn(); }))
        callGuarded(run.pstSession, [](library::Session& s) { s.logOff(); });
    callGuarded(run.pstSession, [&](library::Session& s) { return s.openStore(staging, std::nullopt, std::nullopt); });
}

// Saves the item's attachments into the mailbox's attachment folder, made with the first of them;
// false when one could not be saved.
bool saveAttachments(const std::shared_ptr<library::Item>& item, const std::u16string& folder, bool& folderMade) {
    auto attachments = callGuarded(item, [](library::Item& i) { return i.attachments(); });
    int count = callGuarded(attachments, [](library::Attachments& a) { return a.count(); });
    if (count <= 0) return true;
    if (!folderMade) folderMade = platform::makeOutputFolders(folder);
    bool allSaved = true;
    for (int i = 1; i <= count; ++i) {
        auto attachment = callGuarded(attachments, [&](library::Attachments& a) { return a.item(i); });
        std::u16string name = callGuarded(attachment, [](library::Attachment& a) { return a.fileName(); });
        // A name that an earlier attachment of the mailbox has is numbered, never overwritten.
        std::u16string path = claimUniqueFile(folder, safeAttachmentName(name, i));
        allSaved = callGuarded(attachment, [&](library::Attachment& a) { return a.saveFile(path); }) && allSaved;
    }
    if (!allSaved) folderMade = false;  // made again for the next message, should it have gone
    return allSaved;
}

}  // namespace

std::u16string safeAttachmentName(const std::u16string& name, int number) {
    std::u16string last = name;
    std::size_t cut = last.find_last_of(u"/\\");
    if (cut != std::u16string::npos) last = last.substr(cut + 1);
    for (char16_t& c : last)
        if (c < 0x20 || c == 0x7F || c == u':' || c == u'*' || c == u'?' || c == u'"' || c == u'<' || c == u'>' || c == u'|')
            c = u'_';
    while (!last.empty() && (last.back() == u' ' || last.back() == u'.')) last.pop_back();
    while (!last.empty() && last.front() == u'.') last.erase(0, 1);  // no hidden files, no "." or ".."
    if (last.empty()) last = u"attachment" + decimal(number);
    return last;
}

void writeMailboxItems(ExportRun& run, const std::u16string& outputFolder, const std::u16string& mailboxName,
                       const std::u16string& extension) {
    const MailboxSource source = run.source;
    const std::uint64_t count = source.count();
    auto importFolder = callGuarded(run.pstSession, [](library::Session& s) { return s.defaultFolder(library::kDefaultFolderImport); });
    auto items = callGuarded(importFolder, [](library::Folder& f) { return f.items(); });
    run.progressRange(static_cast<int>(count));
    const int format = saveAsFormat(extension);
    const std::u16string attachmentFolder = outputFolder + mailboxName + kAttachmentFolderSuffix + u"/";
    PipelineStages<ImportedItem> stages = importStages(run, source, items, format);
    // The writer reaches the item files and the attachment files from their folders held open.
    const platform::HeldOutputFolder heldItems(outputFolder), heldAttachments(attachmentFolder);
    const ReportBatch batch(run);
    bool attachmentFolderMade = false;
    stages.write = [&](ImportedItem& slot) {
        run.progressPosition(static_cast<int>(slot.k));
        const std::u16string name = decimal(static_cast<long long>(slot.k + 1)) + extension;
        const std::u16string outputPath = outputFolder + name;
        reportNotAttached(run, slot.message, outputPath);
        if (!slot.readable) return run.failed(outputPath);
        const std::shared_ptr<library::Item>& item = slot.item;
        bool saved = callGuarded(item, [](library::Item& i) { return i.save(); }) && slot.imported;
        // Attachments first, so that the item names the files actually written.
        if (format != library::kSaveAsMsg) saved = saveAttachments(item, attachmentFolder, attachmentFolderMade) && saved;
        const std::vector<std::u16string> paths = labelOutputPaths(outputFolder, name, slot.header);
        for (const std::u16string& path : paths)
            saved = callGuarded(item, [&](library::Item& i) { return i.saveAs(path, format); }) && saved;
        if (saved)
            run.savedItem(paths.front());
        else
            run.failed(paths.front());
        callGuarded(item, [](library::Item& i) { i.remove(1); });
        auto deleted = callGuarded(run.pstSession, [](library::Session& s) { return s.defaultFolder(library::kDefaultFolderDeletedItems); });
        callGuarded(deleted, [](library::Folder& f) { f.purge(true); });
    };
    runPipeline(count, exportThreadCount(), stages);
    run.progressPosition(static_cast<int>(count));
    if (run.running()) run.log(kSavingCompletedIn + outputFolder);
}

void exportItemFiles(ExportRun& run, std::u16string destination, const std::u16string& extension) {
    forEachMailboxFolder(run, destination, [&](const CheckedMailbox& mailbox, const std::u16string& folder) {
        openStagingStore(run);
        writeMailboxItems(run, folder, mailbox.name, extension);
    });
}

}  // namespace exporter
