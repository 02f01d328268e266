#include "export/save_dialog.h"

#include "export/folder_chain.h"
#include "export/save_options.h"
#include "platform/paths.h"

namespace exporter {
namespace {

std::u16string trimmed(const std::u16string& text) {
    auto isBlank = [](char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; };
    std::size_t start = 0, end = text.size();
    while (start < end && isBlank(text[start])) ++start;
    while (end > start && isBlank(text[end - 1])) --end;
    return text.substr(start, end - start);
}

}  // namespace

CKelvaSaveRecDataDlg::CKelvaSaveRecDataDlg(Host host) : host_(std::move(host)) {
    for (int id : {IDC_HIERARCHY, IDC_ATTACH_OUTLOOK, IDC_LABEL_FOLDERS, IDC_MESSAGE_STATE, IDC_SINGLE_PST, IDC_SEPARATE_PST, IDC_SAVE_EML, IDC_SAVE_MSG,
                   IDC_SAVE_PST, IDC_SAVE_RTF, IDC_SAVE_HTML, IDC_FOLDER_EDIT, IDC_BROWSE})
        buttons_[id] = {};
}

void CKelvaSaveRecDataDlg::apply(std::initializer_list<int> check, std::initializer_list<int> uncheck,
                                 std::initializer_list<int> enable, std::initializer_list<int> disable) {
    for (int id : check) buttons_[id].checked = true;
    for (int id : uncheck) buttons_[id].checked = false;
    for (int id : enable) buttons_[id].enabled = true;
    for (int id : disable) buttons_[id].enabled = false;
}

void CKelvaSaveRecDataDlg::OnInitDialog() {
    folderText.clear();
    buttons_[IDC_HIERARCHY].checked = false;
    buttons_[IDC_ATTACH_OUTLOOK].checked = false;
    buttons_[IDC_LABEL_FOLDERS].checked = false;
    buttons_[IDC_MESSAGE_STATE].checked = false;
    buttons_[IDC_SAVE_EML].checked = true;
    OnClicked(IDC_SAVE_EML);
}

void CKelvaSaveRecDataDlg::OnClicked(int control) {
    switch (control) {
        case IDC_SAVE_EML:
            apply({IDC_SAVE_EML}, {IDC_SAVE_MSG, IDC_SAVE_RTF, IDC_SAVE_HTML, IDC_SAVE_PST, IDC_SEPARATE_PST, IDC_SINGLE_PST},
                  {}, {IDC_SEPARATE_PST, IDC_SINGLE_PST, IDC_ATTACH_OUTLOOK});
            break;
        case IDC_SAVE_MSG:
            apply({IDC_SAVE_MSG}, {IDC_SAVE_EML, IDC_SAVE_PST, IDC_SAVE_RTF, IDC_SAVE_HTML, IDC_SEPARATE_PST, IDC_SINGLE_PST},
                  {}, {IDC_SEPARATE_PST, IDC_SINGLE_PST, IDC_ATTACH_OUTLOOK});
            break;
        case IDC_SAVE_RTF:
            apply({IDC_SAVE_RTF}, {IDC_SAVE_EML, IDC_SAVE_MSG, IDC_SAVE_PST, IDC_SEPARATE_PST, IDC_SINGLE_PST, IDC_SAVE_HTML},
                  {}, {IDC_SEPARATE_PST, IDC_SINGLE_PST, IDC_ATTACH_OUTLOOK});
            break;
        case IDC_SAVE_HTML:
            apply({IDC_SAVE_HTML}, {IDC_SAVE_EML, IDC_SAVE_MSG, IDC_SAVE_PST, IDC_SEPARATE_PST, IDC_SINGLE_PST, IDC_SAVE_RTF},
                  {}, {IDC_SEPARATE_PST, IDC_SINGLE_PST, IDC_ATTACH_OUTLOOK});
            break;
        case IDC_SAVE_PST:
            apply({IDC_SAVE_PST, IDC_SEPARATE_PST}, {IDC_SAVE_EML, IDC_SAVE_MSG, IDC_SAVE_RTF, IDC_SAVE_HTML, IDC_SINGLE_PST},
                  {IDC_SEPARATE_PST, IDC_SINGLE_PST, IDC_ATTACH_OUTLOOK, IDC_FOLDER_EDIT, IDC_BROWSE}, {});
            break;
        case IDC_SEPARATE_PST:
            apply({IDC_SEPARATE_PST}, {IDC_SINGLE_PST, IDC_SAVE_EML, IDC_SAVE_MSG, IDC_SAVE_RTF, IDC_SAVE_HTML},
                  {IDC_ATTACH_OUTLOOK}, {});
            break;
        case IDC_SINGLE_PST:
            apply({IDC_SINGLE_PST}, {IDC_SEPARATE_PST, IDC_SAVE_EML, IDC_SAVE_MSG, IDC_SAVE_RTF, IDC_SAVE_HTML},
                  {IDC_ATTACH_OUTLOOK}, {});
            break;
        case IDC_HIERARCHY:
        case IDC_ATTACH_OUTLOOK:
        case IDC_LABEL_FOLDERS:
        case IDC_MESSAGE_STATE:
            buttons_[control].checked = !buttons_[control].checked;
            break;
        case IDC_BROWSE:
            OnBrowse();
            break;
        default:
            break;
    }
}

void CKelvaSaveRecDataDlg::OnBrowse() {
    std::u16string path;
    if (host_.browseFolder) {
        if (auto chosen = host_.browseFolder(kBrowseTitle)) path = trimmed(*chosen);
    }
    if (!path.empty() && platform::folderExists(path)) folderText = path;
    if (path.empty() || !(platform::folderExists(path) || platform::fileExists(path))) {
        if (host_.messageBox) host_.messageBox(kInvalidBrowsedFolder);
    }
}

bool CKelvaSaveRecDataDlg::OnOK() {
    const std::u16string typed = folderText;
    if (typed.empty() || !(platform::folderExists(typed) || platform::fileExists(typed))) {
        if (host_.messageBox) host_.messageBox(kInvalidDestination);
        return false;
    }
    g_destinationFolder = platform::withTrailingSeparator(typed);
    int mode = g_saveMode;
    if (buttons_[IDC_SAVE_EML].checked) mode = SaveEml;
    if (buttons_[IDC_SINGLE_PST].checked) mode = SaveSinglePst;
    if (buttons_[IDC_SEPARATE_PST].checked) mode = SaveSeparatePst;
    if (buttons_[IDC_SAVE_MSG].checked) mode = SaveMsg;
    if (buttons_[IDC_SAVE_RTF].checked) mode = SaveRtf;
    if (buttons_[IDC_SAVE_HTML].checked) mode = SaveHtml;
    g_saveMode = mode;
    g_attachToOutlook = buttons_[IDC_ATTACH_OUTLOOK].checked ? 1 : 0;
    g_saveInHierarchy = buttons_[IDC_HIERARCHY].checked ? 1 : 0;
    g_labelFolders = buttons_[IDC_LABEL_FOLDERS].checked ? 1 : 0;
    g_keepMessageState = buttons_[IDC_MESSAGE_STATE].checked ? 1 : 0;
    startOutputChains();
    return true;
}

}  // namespace exporter
