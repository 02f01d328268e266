#include "export/item_import.h"

#include "export/label_targets.h"
#include "export/mail_headers.h"
#include "export/save_options.h"
#include "store/library/library_calls.h"

namespace exporter {

using library::callGuarded;

PipelineStages<ImportedItem> importStages(ExportRun& run, const MailboxSource& source,
                                          std::shared_ptr<library::Items> items, std::optional<int> saveAsFormat,
                                          bool prepareSave) {
    PipelineStages<ImportedItem> stages;
    stages.start = [items = std::move(items)](std::uint64_t k) {
        return ImportedItem{k, callGuarded(items, [](library::Items& i) { return i.add(); }), {}, {}, false, false};
    };
    stages.prepare = [source, saveAsFormat, prepareSave](ImportedItem& slot) {
        slot.message = exportedMessage(source, slot.k, true);
        slot.readable = slot.message.bytes.has_value();
        if (!slot.readable) return;
        if (g_labelFolders != 0 || g_keepMessageState != 0) slot.header = std::string(headerBlockOf(*slot.message.bytes));
        // The item takes the bytes, so that a large message is not held twice; a retry reads them again.
        bool first = true;
        slot.imported = callGuarded(slot.item, [&](library::Item& i) {
            std::optional<std::string> bytes = first ? std::move(slot.message.bytes) : exportedMessage(source, slot.k, true).bytes;
            slot.message.bytes.reset();
            first = false;
            return bytes && i.importBytes(std::move(*bytes), library::kImportRfc822);
        });
        callGuarded(slot.item, [](library::Item& i) { i.markSentAndRead(); });
        applyMessageState(slot.item, slot.header);
        if (saveAsFormat) callGuarded(slot.item, [&](library::Item& i) { i.prepareSaveAs(*saveAsFormat); });
        if (prepareSave && slot.imported) callGuarded(slot.item, [](library::Item& i) { i.prepareSave(); });
    };
    stages.keepGoing = [&run] { return run.running(); };
    stages.weight = [source](std::uint64_t k) { return source.messageBytes(k); };
    return stages;
}

}  // namespace exporter
