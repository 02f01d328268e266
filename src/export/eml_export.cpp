#include "export/eml_export.h"

#include "export/label_targets.h"
#include "export/mailbox_walk.h"
#include "export/output_paths.h"
#include "export/save_options.h"
#include "mime/message_render.h"
#include "platform/file_output.h"
#include "platform/paths.h"
#include "scan/mbox_variants.h"
#include "scan/message_reader.h"
#include "scan/message_summary.h"

namespace exporter {

std::optional<std::string> exportedMessageBytes(scan::FrameContext& frame, std::uint64_t k) {
    scan::CMboxFile* mbox = frame.currentMbox.load();
    if (!mbox) return std::nullopt;
    std::optional<std::string> bytes = scan::readMessage(*mbox, k, true);
    if (!bytes) return std::nullopt;
    if (g_unescapeFrom != 0 && !frame.currentIsImm) scan::unescapeFromLines(*bytes);
    if (!frame.currentIsImm) mime::ForceHtmlContentTypeForExport(*bytes);
    std::string_view text(bytes->data(), std::min(bytes->size(), std::string_view(*bytes).find('\0')));
    if (!scan::hasCrLf(text)) scan::normalizeLineEnds(*bytes);
    return bytes;
}

bool attachImFiles(ExportRun& run, std::string& bytes, const std::u16string& item) {
    scan::CMboxFile* mbox = run.frame.currentMbox.load();
    if (!run.frame.currentIsImm || !mbox) return true;
    const std::vector<std::u16string> names = scan::imAttachmentNames(bytes);
    if (names.empty()) return true;
    mime::RebuiltImMessage rebuilt = mime::RebuildImMessageBytes(names, mbox->attachmentsFolder, bytes);
    bytes = std::move(rebuilt.bytes);
    for (const std::u16string& name : rebuilt.notAttached) run.failed(item, kAttachmentNotRead + name);
    return rebuilt.notAttached.empty();
}

void writeMailboxEml(ExportRun& run, const std::u16string& outputFolder) {
    scan::CMboxFile* mbox = run.frame.currentMbox.load();
    const std::uint64_t count = mbox ? mbox->messageCount() : 0;
    run.progressRange(static_cast<int>(count));
    for (std::uint64_t k = 0; k < count && run.running(); ++k) {
        run.progressPosition(static_cast<int>(k));
        const std::u16string name = decimal(static_cast<long long>(k + 1)) + u".eml";
        const std::u16string path = outputFolder + name;
        std::optional<std::string> bytes = exportedMessageBytes(run.frame, k);
        if (bytes) attachImFiles(run, *bytes, path);
        const std::vector<std::u16string> paths =
            bytes ? labelOutputPaths(outputFolder, name, *bytes) : std::vector<std::u16string>{path};
        bool written = bytes.has_value();
        for (const std::u16string& target : paths) written = written && platform::writeWholeFile(target, *bytes);
        if (!written) {
            run.failed(paths.front());
            continue;
        }
        run.savedItem(paths.front());
    }
    if (run.running()) run.log(kSavingCompletedIn + outputFolder);
    run.progressPosition(static_cast<int>(count));
}

void exportEmlFiles(ExportRun& run, std::u16string destination) {
    if (run.frame.treeControl().GetCount() == 0) return;
    run.log(kSavingStarted);
    forEachCheckedMailbox(run, [&](const CheckedMailbox& mailbox) {
        destination = platform::withTrailingSeparator(destination);
        run.log(mailbox.path + kFileSelected);
        std::u16string folder = createOutputFolder(destination, mailbox.path, g_saveInHierarchy != 0);
        writeMailboxEml(run, folder);
    });
}

}  // namespace exporter
