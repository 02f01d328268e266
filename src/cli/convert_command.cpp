#include "cli/convert_command.h"

#include "app/main_frame.h"
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <sys/stat.h>

#include "cli/convert_summary.h"
#include "export/gmail_labels.h"
#include "export/save_dialog.h"
#include "export/save_options.h"
#include "platform/paths.h"

namespace cli {
namespace {

using exporter::CKelvaSaveRecDataDlg;

// The format buttons clicked in the "Save output" dialog for each format.
const std::map<std::string, std::vector<int>>& formatClicks() {
    static const std::map<std::string, std::vector<int>> clicks = {
        {"pst", {exporter::IDC_SAVE_PST}},
        {"single-pst", {exporter::IDC_SAVE_PST, exporter::IDC_SINGLE_PST}},
        {"eml", {exporter::IDC_SAVE_EML}},
        {"msg", {exporter::IDC_SAVE_MSG}},
        {"rtf", {exporter::IDC_SAVE_RTF}},
        {"html", {exporter::IDC_SAVE_HTML}},
    };
    return clicks;
}

bool isPst(const std::string& format) { return format == "pst" || format == "single-pst"; }

// The options the dialog does not show.
void applyMailboxShapeOptions(const ConvertRequest& request) {
    if (request.labels == "first") exporter::g_labelFolders = static_cast<int>(exporter::LabelFolders::First);
    exporter::g_unescapeFrom = request.unescapeFrom ? 1 : 0;
    exporter::g_exportThreads = request.threads;
    exporter::g_hierarchyRoot =
        request.hierarchyRoot.empty() ? std::u16string() : platform::fromNativePath(absolutePath(request.hierarchyRoot));
}

// Plays the dialog as a user would: the format, the check boxes, the folder typed in, OK.
bool playSaveDialog(const ConvertRequest& request, scan::FrameContext& frame) {
    CKelvaSaveRecDataDlg dialog({nullptr, [&frame](const std::u16string& text) {
                                     frame.messageBox(text, frame::BoxIcon::Information, frame::BoxButtons::Ok);
                                 }});
    dialog.OnInitDialog();
    for (int control : formatClicks().at(request.format)) dialog.OnClicked(control);
    if (request.hierarchy || !request.hierarchyRoot.empty()) dialog.OnClicked(exporter::IDC_HIERARCHY);
    if (request.attach) dialog.OnClicked(exporter::IDC_ATTACH_OUTLOOK);
    if (!request.labels.empty()) dialog.OnClicked(exporter::IDC_LABEL_FOLDERS);
    if (request.messageState) dialog.OnClicked(exporter::IDC_MESSAGE_STATE);
    dialog.folderText = platform::fromNativePath(absolutePath(request.destination));
    if (!dialog.OnOK()) return false;
    applyMailboxShapeOptions(request);
    return true;
}

namespace fs = std::filesystem;

struct FileState {
    std::uintmax_t size = 0;
    std::int64_t modifiedSeconds = 0;
    long modifiedNanoseconds = 0;
    bool operator==(const FileState&) const = default;
};

// The regular files below a folder (links not followed), by path relative to it. One stat per file:
// the entries' paths are the folder's own spelling plus their names, so the relative path is what
// follows that prefix (resolving it again would cost a readlink per part of every path).
std::map<std::string, FileState> fileStates(const std::string& folder) {
    std::map<std::string, FileState> states;
    std::error_code ec;
    fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (!it->is_regular_file(typeError)) continue;
        const std::string path = it->path().string();
        struct stat info {};
        if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
        std::string relative = path.substr(std::min(folder.size(), path.size()));
        relative.erase(0, relative.find_first_not_of('/'));
        states[relative] = FileState{static_cast<std::uintmax_t>(info.st_size), info.st_mtim.tv_sec, info.st_mtim.tv_nsec};
    }
    return states;
}

// The files that are new or changed since `before`, and their size.
void collectWrittenFiles(const std::map<std::string, FileState>& before, ConvertSummary& summary) {
    for (const auto& [path, state] : fileStates(summary.destination)) {
        auto old = before.find(path);
        if (old != before.end() && old->second == state) continue;
        summary.files.push_back(path);
        summary.bytes += state.size;
    }
}

// Makes a missing destination folder and says so; false (with the reason) when it cannot be made.
bool prepareDestination(const std::string& folder, const GlobalOptions& options, std::ostream& err) {
    std::error_code ec;
    if (fs::is_directory(folder, ec)) return true;
    if (fs::exists(folder, ec)) {
        err << "mbox2pst: the destination is not a folder: " << folder << '\n';
        return false;
    }
    if (!fs::create_directories(folder, ec) || ec) {
        err << "mbox2pst: cannot create the destination folder " << folder << ": " << ec.message() << '\n';
        return false;
    }
    if (options.verbosity != Verbosity::Quiet) err << "Created the destination folder " << folder << '\n';
    return true;
}

// The mailboxes the run read (those open) and their messages.
void countMailboxes(const app::CMainFrame& frame, ConvertSummary& summary) {
    for (const scan::MboxEntry& row : frame.catalogue)
        if (row.mbox->file.isOpen()) {
            ++summary.mailboxes;
            summary.messages += static_cast<long long>(row.mbox->messageCount());
        }
}

}  // namespace

const std::vector<std::string>& convertFormats() {
    static const std::vector<std::string> formats = {"pst", "single-pst", "eml", "msg", "rtf", "html"};
    return formats;
}

std::optional<std::string> convertUsageError(const ConvertRequest& request) {
    if (!formatClicks().contains(request.format)) return "convert: --to must be one of pst, single-pst, eml, msg, rtf, html";
    if (request.attach && !isPst(request.format)) return "convert: --attach applies to pst and single-pst only";
    if (!request.labels.empty() && request.labels != "every" && request.labels != "first")
        return "convert: --labels takes no value or =first";
    if (!request.hierarchyRoot.empty() && !std::filesystem::is_directory(request.hierarchyRoot))
        return "convert: --hierarchy-root: not a folder: " + request.hierarchyRoot;
    return std::nullopt;
}

int runConvert(const ConvertRequest& request, const GlobalOptions& options, std::ostream& out, std::ostream& err) {
    ConvertSummary summary;
    summary.format = request.format;
    summary.destination = absolutePath(request.destination);
    if (!prepareDestination(summary.destination, options, err)) return 1;
    const auto before = fileStates(summary.destination);
    const auto started = std::chrono::steady_clock::now();

    // With --json the summary is the only thing on the output; the log lines go with the messages.
    CliSession session(options, request.json ? err : out, err);
    if (!session.start()) return 1;
    session.fillCatalogue(request.files);
    scan::FrameContext& frame = session.frame();
    std::optional<exporter::ExportResult> result = session.save([&] { return playSaveDialog(request, frame); });
    countMailboxes(session.frame(), summary);
    session.close();

    summary.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    summary.ran = result.has_value();
    if (result) {
        summary.saved = result->saved;
        summary.failed = result->failed;
        summary.stopped = result->stopped;
    }
    for (const std::string& line : session.failureLines()) summary.failures.push_back(failedMessageOf(line));
    collectWrittenFiles(before, summary);
    if (request.json)
        out << summaryJson(summary) << '\n';
    else if (result && options.verbosity != Verbosity::Quiet)
        out << summaryLine(summary) << '\n';
    out.flush();
    return session.failed() ? 1 : 0;
}

}  // namespace cli
