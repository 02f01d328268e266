#include "cli/show_command.h"

#include "platform/codepage.h"
#include "platform/file_output.h"
#include "platform/paths.h"
#include "preview/preview_job.h"
#include "preview/web_archive.h"
#include "store/import/message_import.h"
#include "store/items/message_text.h"

namespace cli {
namespace {

std::string utf8(const std::u16string& text) { return platform::utf16ToUtf8(text); }

bool writeOutput(const std::string& path, std::string_view bytes, std::ostream& err) {
    if (platform::writeWholeFile(platform::fromNativePath(path), bytes)) return true;
    err << "mbox2pst: cannot write " << path << '\n';
    return false;
}

void printViewer(const preview::PreviewedMessage& message, std::ostream& out) {
    out << "From: " << utf8(message.summary.from) << '\n'
        << "To: " << utf8(message.summary.to) << '\n'
        << "Subject: " << utf8(message.summary.subject) << '\n'
        << "Date: " << utf8(message.summary.date) << '\n';
    for (const preview::AttachmentItem& item : message.attachments) out << "Attachment: " << utf8(item.name) << '\n';
}

// The body as the item writers show it (the plain body, else the HTML body as text), with LF line ends.
std::string bodyText(const std::u16string& previewFile) {
    std::string bytes;
    if (!platform::readWholeFile(previewFile, bytes)) return {};
    std::string text = utf8(store::items::plainTextOf(store::import::importMessage(bytes)));
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out += text[i];
    if (!out.empty() && out.back() != '\n') out += '\n';
    return out;
}

}  // namespace

std::string indexRangeError(long long index, std::uint64_t count) {
    if (index >= 0 && static_cast<std::uint64_t>(index) < count) return {};
    if (count == 0) return "show: INDEX " + std::to_string(index) + " is out of range: the mailbox has no messages";
    return "show: INDEX " + std::to_string(index) + " is out of range: give 0 to " + std::to_string(count - 1) +
           " (the mailbox has " + std::to_string(count) + (count == 1 ? " message)" : " messages)");
}

int runShow(const ShowRequest& request, const GlobalOptions& options, std::ostream& out, std::ostream& err) {
    // The log lines of the scan go with the messages; the output is the message alone.
    CliSession session(options, err, err);
    if (!session.start()) return 1;
    session.fillCatalogue({request.file});
    int row = session.findRow(request.file);
    const scan::MboxEntry* entry = row < 0 ? nullptr : &session.frame().catalogue[static_cast<std::size_t>(row)];
    scan::CMboxFile* mbox = entry ? entry->mbox.get() : nullptr;
    if (!mbox || !mbox->file.isOpen()) {
        if (row < 0 && !options.snapshot.empty()) err << "mbox2pst: " << request.file << " is not in the snapshot\n";
        session.markFailed();
        session.close();
        return 1;
    }
    if (std::string problem = indexRangeError(request.index, mbox->messageCount()); !problem.empty()) {
        err << "mbox2pst: " << problem << "\nRun with --help for more information.\n";
        session.close();
        return 2;
    }
    std::optional<preview::PreviewedMessage> message =
        preview::writePreview(*mbox, static_cast<std::uint64_t>(request.index), entry->isImm);
    if (!message) {
        err << "mbox2pst: message " << request.index << " could not be read\n";
        session.markFailed();
    } else {
        printViewer(*message, out);
        if (request.text) out << '\n' << bodyText(message->previewFile);
        out.flush();
        std::string bytes;
        if (!request.mhtOut.empty() && !(platform::readWholeFile(message->previewFile, bytes) &&
                                         writeOutput(request.mhtOut, bytes, err)))
            session.markFailed();
        if (!request.htmlOut.empty() &&
            !writeOutput(request.htmlOut, preview::renderFileForViewer(message->previewFile), err))
            session.markFailed();
    }
    session.close();
    return session.failed() ? 1 : 0;
}

}  // namespace cli
