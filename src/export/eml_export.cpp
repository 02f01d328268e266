#include "export/eml_export.h"

#include "export/label_targets.h"
#include "export/mailbox_walk.h"
#include "export/ordered_pipeline.h"
#include "export/save_options.h"
#include "mime/message_render.h"
#include "platform/file_output.h"
#include "platform/paths.h"
#include "scan/mbox_variants.h"
#include "scan/message_reader.h"
#include "scan/message_summary.h"

namespace exporter {
namespace {

std::optional<std::string> exportedBytes(const MailboxSource& source, std::uint64_t k, bool storedLineEnds) {
    if (!source.mbox) return std::nullopt;
    std::optional<std::string> bytes = scan::readMessage(*source.mbox, k, true);
    if (!bytes) return std::nullopt;
    if (g_unescapeFrom != 0 && !source.isImm) scan::unescapeFromLines(*bytes);
    if (!source.isImm) mime::ForceHtmlContentTypeForExport(*bytes);
    std::string_view text(bytes->data(), std::min(bytes->size(), std::string_view(*bytes).find('\0')));
    if (!storedLineEnds && !scan::hasCrLf(text)) scan::normalizeLineEnds(*bytes);
    return bytes;
}

std::vector<std::u16string> attachImFiles(const MailboxSource& source, std::string& bytes) {
    if (!source.isImm || !source.mbox) return {};
    const std::vector<std::u16string> names = scan::imAttachmentNames(bytes);
    if (names.empty()) return {};
    mime::RebuiltImMessage rebuilt = mime::RebuildImMessageBytes(names, source.mbox->attachmentsFolder, bytes);
    bytes = std::move(rebuilt.bytes);
    return std::move(rebuilt.notAttached);
}

struct EmlSlot {
    std::uint64_t k = 0;
    ExportedMessage message;
};

}  // namespace

ExportedMessage exportedMessage(const MailboxSource& source, std::uint64_t k, bool storedLineEnds) {
    ExportedMessage message;
    message.bytes = exportedBytes(source, k, storedLineEnds && !source.isImm);
    if (message.bytes) message.notAttached = attachImFiles(source, *message.bytes);
    return message;
}

bool reportNotAttached(ExportRun& run, const ExportedMessage& message, const std::u16string& item) {
    for (const std::u16string& name : message.notAttached) run.failed(item, kAttachmentNotRead + name);
    return message.notAttached.empty();
}

void writeMailboxEml(ExportRun& run, const std::u16string& outputFolder) {
    const MailboxSource source = run.source;
    const std::uint64_t count = source.count();
    run.progressRange(static_cast<int>(count));
    PipelineStages<EmlSlot> stages;
    stages.start = [](std::uint64_t k) { return EmlSlot{k, {}}; };
    stages.prepare = [&source](EmlSlot& slot) { slot.message = exportedMessage(source, slot.k); };
    stages.keepGoing = [&run] { return run.running(); };
    stages.weight = [&source](std::uint64_t k) { return source.messageBytes(k); };
    // The mailbox's folder is opened once: each message then costs the opening of its own file only.
    platform::OutputFolder folder(outputFolder);
    auto writeFile = [&](const std::u16string& target, const std::u16string& name, const std::string& bytes) {
        if (folder && target == outputFolder + name) return folder.writeWholeFile(platform::nativePath(name), bytes);
        return platform::writeWholeFile(target, bytes);
    };
    const ReportBatch batch(run);
    stages.write = [&](EmlSlot& slot) {
        run.progressPosition(static_cast<int>(slot.k));
        const std::u16string name = decimal(static_cast<long long>(slot.k + 1)) + u".eml";
        const std::u16string path = outputFolder + name;
        reportNotAttached(run, slot.message, path);
        const std::optional<std::string>& bytes = slot.message.bytes;
        const std::vector<std::u16string> paths =
            bytes ? labelOutputPaths(outputFolder, name, *bytes) : std::vector<std::u16string>{path};
        bool written = bytes.has_value();
        for (const std::u16string& target : paths) written = written && writeFile(target, name, *bytes);
        if (!written) return run.failed(paths.front());
        run.savedItem(paths.front());
    };
    runPipeline(count, exportThreadCount(), stages);
    if (run.running()) run.log(kSavingCompletedIn + outputFolder);
    run.progressPosition(static_cast<int>(count));
}

void exportEmlFiles(ExportRun& run, std::u16string destination) {
    forEachMailboxFolder(run, destination,
                         [&](const CheckedMailbox&, const std::u16string& folder) { writeMailboxEml(run, folder); });
}

}  // namespace exporter
