#include "export/eml_export.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include "export/mailbox_walk.h"
#include "export/output_paths.h"
#include "export/save_options.h"
#include "mime/message_render.h"
#include "platform/paths.h"
#include "scan/message_reader.h"

namespace exporter {

bool writeWholeFile(const std::u16string& path, std::string_view bytes) {
    const std::string native = platform::nativePath(path);
    int fd = ::open(native.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    bool ok = done == bytes.size();
    if (::close(fd) != 0) ok = false;
    if (!ok) ::unlink(native.c_str());
    return ok;
}

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
        if (!bytes || !writeWholeFile(path, *bytes)) {
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
