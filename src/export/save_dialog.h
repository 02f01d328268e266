#pragma once
// The logic of the "Save output" dialog: which format buttons are checked and enabled after each
// click, the folder browse and the OK validation that writes the export options. A toolkit binds its
// widgets to this state; the folder browser and the message boxes are the host's.
#include <functional>
#include <map>
#include <optional>
#include <string>

namespace exporter {

enum SaveDialogControl : int {
    IDC_HIERARCHY = 1000,
    IDC_ATTACH_OUTLOOK = 1001,
    IDC_BROWSE = 1013,
    IDC_SINGLE_PST = 1021,
    IDC_SEPARATE_PST = 1023,
    IDC_SAVE_EML = 1024,
    IDC_SAVE_MSG = 1025,
    IDC_SAVE_PST = 1027,
    IDC_SAVE_RTF = 1028,
    IDC_SAVE_HTML = 1029,
    IDC_FOLDER_EDIT = 1051,
    IDC_LABEL_FOLDERS = 1060,  // Gmail labels as folders
    IDC_MESSAGE_STATE = 1061,  // read, replied and flagged state from the mailbox
};

inline constexpr char16_t kSaveDialogTitle[] = u"Save output";
inline constexpr char16_t kBrowseTitle[] = u"Select location to select file(s).";
inline constexpr char16_t kInvalidBrowsedFolder[] = u"Please select valid folder path.";
inline constexpr char16_t kInvalidDestination[] = u"Please select valid folder path to save the recovered files.";

struct ButtonState {
    bool checked = false;
    bool enabled = true;
};

class CKelvaSaveRecDataDlg {
public:
    struct Host {
        // The system folder browser; nothing when it was cancelled.
        std::function<std::optional<std::u16string>(const std::u16string& title)> browseFolder;
        // An information box captioned with the application title.
        std::function<void(const std::u16string& text)> messageBox;
    };

    explicit CKelvaSaveRecDataDlg(Host host);

    // Starts every opening in the EML state with an empty folder and both check boxes cleared.
    void OnInitDialog();
    // A click on a format button, a check box or the browse button.
    void OnClicked(int control);
    void OnBrowse();
    // Validates the folder and writes the export options; false keeps the dialog open.
    bool OnOK();

    const ButtonState& button(int control) const { return buttons_.at(control); }
    void setChecked(int control, bool checked) { buttons_[control].checked = checked; }
    std::u16string folderText;  // the edit box, as typed

private:
    void apply(std::initializer_list<int> check, std::initializer_list<int> uncheck, std::initializer_list<int> enable,
               std::initializer_list<int> disable);
    Host host_;
    std::map<int, ButtonState> buttons_;
};

}  // namespace exporter
