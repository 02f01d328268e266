#pragma once
// The preview of one message: it is cut from its mailbox, written as a web archive (.mht) in the
// temporary folder with its content type repaired, summarised for the viewer's header texts, and its
// attachment names listed.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "scan/frame_context.h"
#include "scan/mbox_file.h"

namespace preview {

struct AttachmentItem {
    std::u16string name;
    bool withIcon = true;  // ordinary mailboxes show the file type's icon; .imm names have none
    std::u16string file;   // .imm: the attachment file inside the attachments folder (empty when it leads outside)
};

struct PreviewedMessage {
    scan::MessageSummary summary;
    std::vector<AttachmentItem> attachments;
    std::u16string previewFile;
};

// Writes the preview file of message k into the (already emptied) temporary folder. Nothing when
// the file cannot be created or the message not read. imAttachmentNames of the mailbox is used and
// emptied again.
std::optional<PreviewedMessage> writePreview(scan::CMboxFile& mbox, std::uint64_t k, bool isImm);

// What the preview job does to the file viewer, from its worker thread; every call is carried out on
// the user-interface thread before it returns.
class PreviewViewer {
public:
    virtual ~PreviewViewer() = default;
    virtual void setHeaderTexts(const scan::MessageSummary& summary) = 0;
    virtual void addAttachment(const AttachmentItem& item) = 0;
    virtual void invalidate() = 0;
};

// The preview job for the frame's selectedMessageRow; g_busy is cleared when it returns. Returns 1.
int PreviewJob(scan::FrameContext& frame, PreviewViewer& viewer);

}  // namespace preview
