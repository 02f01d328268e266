#include "cli/convert_command.h"

#include <filesystem>
#include <map>

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
    exporter::g_hierarchyRoot =
        request.hierarchyRoot.empty() ? std::u16string() : platform::fromNativePath(absolutePath(request.hierarchyRoot));
}

// Plays the dialog as a user would: the format, the check boxes, the folder typed in, OK.
bool playSaveDialog(const ConvertRequest& request, scan::FrameContext& frame) {
    CKelvaSaveRecDataDlg dialog({nullptr, [&frame](const std::u16string& text) {
                                     frame.messageBox(text, scan::BoxIcon::Information, scan::BoxButtons::Ok);
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
    CliSession session(options, out, err);
    if (!session.start()) return 1;
    session.fillCatalogue(request.files);
    scan::FrameContext& frame = session.frame();
    session.save([&] { return playSaveDialog(request, frame); });
    session.close();
    return session.failed() ? 1 : 0;
}

}  // namespace cli
