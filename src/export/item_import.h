#pragma once
// The stages the library exports share: each message gets a new item of the target folder (on the
// writer's thread, in order), and a worker reads the message and imports its bytes into the item,
// marked sent and read. The writer then saves the item.
#include <cstdint>
#include <memory>

#include "export/eml_export.h"
#include "export/export_run.h"
#include "export/ordered_pipeline.h"

namespace exporter {

struct ImportedItem {
    std::uint64_t k = 0;
    std::shared_ptr<library::Item> item;
    ExportedMessage message;  // its bytes are released once imported
    bool readable = false;
    bool imported = false;
};

// The start and prepare stages; the caller adds keepGoing's default (the run is not stopped) and write.
PipelineStages<ImportedItem> importStages(ExportRun& run, const MailboxSource& source,
                                          std::shared_ptr<library::Items> items);

}  // namespace exporter
