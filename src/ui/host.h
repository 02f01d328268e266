#pragma once
// What the toolkit provides to the controller and its dialogs: message boxes, the modal dialogs, the
// file and folder pickers, the help page, the About box and the end of the process. Every call is made
// on the user-interface thread.
#include <optional>
#include <string>
#include <vector>

#include "frame/controls.h"

namespace ui {

class CSelectFilesDlg;

inline constexpr char16_t kApplicationTitle[] = u"KelvaTools MBOX to PST Converter";
inline constexpr char16_t kApplicationShortName[] = u"MBOX to PST";

struct MessageBoxRequest {
    std::u16string text;
    std::u16string caption = kApplicationTitle;
    frame::BoxIcon icon = frame::BoxIcon::Information;
    frame::BoxButtons buttons = frame::BoxButtons::Ok;
    bool ownedByMainWindow = true;
};

// The answer a box gets when nobody chooses: its first button.
inline frame::BoxAnswer defaultAnswer(frame::BoxButtons buttons) {
    return buttons == frame::BoxButtons::YesNo ? frame::BoxAnswer::Yes : frame::BoxAnswer::Ok;
}

struct FileDialogRequest {
    std::u16string filter;            // as the dialog lists it, e.g. ".KelvaMBOX2PST Files (*.MBOX2PSTKLV)"
    std::u16string defaultExtension;  // save dialogs: appended when the name has none
    bool overwritePrompt = false;
    bool ownedByMainWindow = true;
    std::u16string defaultPath;       // the folder and name the dialog starts with; empty: none
};

class IHost {
public:
    virtual ~IHost() = default;
    virtual frame::BoxAnswer messageBox(const MessageBoxRequest& request) = 0;
    // Runs the file selection dialog modally until it ends (CSelectFilesDlg::EndDialog) or is closed.
    virtual void runSelectFilesDialog(CSelectFilesDlg& dialog) = 0;
    // The multi-selection open dialog of Add Files; nothing when cancelled.
    virtual std::optional<std::vector<std::u16string>> pickFiles() = 0;
    // The folder browser; nothing when cancelled.
    virtual std::optional<std::u16string> browseFolder(const std::u16string& title) = 0;
    virtual std::optional<std::u16string> chooseSaveFile(const FileDialogRequest& request) = 0;
    virtual std::optional<std::u16string> chooseOpenFile(const FileDialogRequest& request) = 0;
    virtual void setWaitCursor(bool wait) = 0;
    virtual void openHelp() = 0;
    virtual void showAbout() = 0;
    // The close command ends the process with this code.
    virtual void endProcess(int code) = 0;
};

}  // namespace ui
