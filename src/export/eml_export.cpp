#include "export/eml_export.h"

#include "export/mailbox_walk.h"
#include "export/output_paths.h"
#include "export/save_options.h"
#include "mime/message_render.h"
#include "platform/file_output.h"
#include "platform/paths.h"
#include "scan/message_reader.h"

namespace exporter {

std::optional<std::string> exportedMessageBytes(scan::FrameContext& frame, std::uint64_t k) {
    scan::CMboxFile* mbox = frame.currentMbox.load();
    if (!mbox) return std::nullopt;
    std::optional<std::string> bytes = scan::readMessage(*mbox, k, true);
    if (!bytes) return std::nullopt;
    if (!frame.currentIsImm) mime::ForceHtmlContentTypeForExport(*bytes);
    std::string_view text(bytes->data(), std::min(bytes->size(), std::string_view(*bytes).find('\0')));
    if (!scan::hasCrLf(text)) scan::normalizeLineEnds(*bytes);
    return bytes;
}

void writeMailboxEml(ExportRun& run, const std::u16string& outputFolder) {
    scan::CMboxFile* mbox = run.frame.currentMbox.load();
    const std::uint64_t count = mbox ? mbox->messageCount() : 0;
    run.progressRange(static_cast<int>(count));
    for (std::uint64_t k = 0; k < count && run.running(); ++k) {
        run.progressPosition(static_cast<int>(k));
        const std::u16string path = outputFolder + decimal(static_cast<long long>(k + 1)) + u".eml";
        std::optional<std::string> bytes = exportedMessageBytes(run.frame, k);
        if (!bytes || !platform::writeWholeFile(path, *bytes)) {
            run.failed(path);
            continue;
        }
        run.log(kSavingPrefix + path);
    }
    run.log(kSavingCompletedIn + outputFolder);
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
