#pragma once
// The stages the library exports share: each message gets a new item of the target folder (on the
// writer's thread, in order), and a worker reads the message and imports its bytes into the item,
// marked sent and read. The writer then saves the item.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "export/eml_export.h"
#include "export/export_run.h"
#include "export/ordered_pipeline.h"

namespace exporter {

struct ImportedItem {
    std::uint64_t k = 0;
    std::shared_ptr<library::Item> item;
    ExportedMessage message;  // its bytes are released once imported
    std::string header;       // the message's header block, kept when labels or state need it
    bool readable = false;
    bool imported = false;
};

// The start, prepare and keepGoing (the run is not stopped) stages; the caller adds write. With a
// save-as format the worker also converts the item for it ahead (Item::prepareSaveAs); with
// prepareSave it encodes the item for its store ahead of Item::save (Item::prepareSave).
PipelineStages<ImportedItem> importStages(ExportRun& run, const MailboxSource& source,
                                          std::shared_ptr<library::Items> items, std::optional<int> saveAsFormat = {},
                                          bool prepareSave = false);

}  // namespace exporter
