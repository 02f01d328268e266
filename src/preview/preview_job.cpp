#include "preview/preview_job.h"

#include "platform/file_output.h"
#include "preview/attachment_files.h"
#include "mime/message_render.h"
#include "platform/paths.h"
#include "scan/message_reader.h"
#include "scan/message_summary.h"
#include "scan/temp_files.h"

namespace preview {
namespace {

std::vector<AttachmentItem> attachmentItems(const std::u16string& nameList, const scan::CMboxFile& mbox, bool isImm) {
    std::vector<AttachmentItem> items;
    if (isImm) {
        for (const std::u16string& marker : mbox.imAttachmentNames) {
            std::u16string name = marker;
            std::size_t start = name.find_first_not_of(u'-');
            name = start == std::u16string::npos ? std::u16string() : name.substr(start);
            std::size_t cut = name.find_last_of(u"/\\");
            if (cut != std::u16string::npos) name = name.substr(cut + 1);
            items.push_back({name, false, imAttachmentPath(mbox.attachmentsFolder, marker)});
        }
        return items;
    }
    for (std::size_t start = 0; !nameList.empty() && start <= nameList.size();) {
        std::size_t comma = nameList.find(u',', start);
        if (comma == std::u16string::npos) comma = nameList.size();
        items.push_back({nameList.substr(start, comma - start), true, {}});
        start = comma + 1;
    }
    return items;
}

}  // namespace

std::optional<PreviewedMessage> writePreview(scan::CMboxFile& mbox, std::uint64_t k, bool isImm) {
    PreviewedMessage result;
    result.previewFile = scan::tempFileName(u".mht");
    std::optional<std::string> bytes = scan::readMessage(mbox, k, true);
    if (!bytes) return std::nullopt;
    if (!isImm) mime::ForceHtmlContentType(*bytes);
    // The file holds the message with CR LF line ends, as the viewer reads it.
    std::string fileBytes = *bytes;
    std::string_view text(fileBytes.data(), std::min(fileBytes.size(), std::string_view(fileBytes).find('\0')));
    if (!scan::hasCrLf(text)) scan::normalizeLineEnds(fileBytes);
    if (!scan::writeTempFile(result.previewFile, fileBytes)) return std::nullopt;
    if (isImm) scan::collectImAttachmentNames(*bytes, mbox);

    result.summary = scan::summarizeMessage(*bytes, isImm, mbox);
    result.attachments = attachmentItems(mime::ListAttachmentNamesOf(fileBytes), mbox, isImm);
    mbox.imAttachmentNames.clear();
    return result;
}

int PreviewJob(scan::FrameContext& frame, PreviewViewer& viewer) {
    struct ClearBusy {
        ~ClearBusy() { frame::g_busy = 0; }
    } clearBusy;
    scan::CMboxFile* mbox = frame.currentMbox.load();
    const std::uint64_t k = frame.listControl().GetItemData(frame.selectedMessageRow);
    if (mbox) mbox->imAttachmentNames.clear();

    frame.showPreview(scan::writeBlankPreviewPage());
    frame.sendMessage(platform::UM_SHOW_TAB, 1, 0);
    viewer.invalidate();
    scan::emptyFolder(scan::tempFolderPath());
    if (!mbox) return 1;

    std::optional<PreviewedMessage> preview = writePreview(*mbox, k, frame.currentIsImm);
    if (!preview) return 1;
    viewer.setHeaderTexts(preview->summary);
    frame.showPreview(preview->previewFile);
    for (const AttachmentItem& item : preview->attachments) viewer.addAttachment(item);
    viewer.invalidate();
    return 1;
}

}  // namespace preview
