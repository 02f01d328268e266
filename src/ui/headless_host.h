#pragma once
// A host without windows: message boxes take a scripted answer (tests) or their default answer, and
// are reported to an observer (the command line prints them); the dialogs and pickers take their
// answers from scripts. It records what it was asked, for tests.
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ui/host.h"

namespace ui {

class CHeadlessHost : public IHost {
public:
    struct ShownBox {
        MessageBoxRequest request;
        frame::BoxAnswer answer;
    };

    // ---- scripts ----
    std::deque<frame::BoxAnswer> boxAnswers;  // consumed in order; the default answer when empty
    // Consulted first; nothing means "use boxAnswers or the default".
    std::function<std::optional<frame::BoxAnswer>(const MessageBoxRequest&)> answerBox;
    std::function<void(const ShownBox&)> onBox;  // told of every box after it was answered
    // Plays the file selection dialog; without one the dialog is cancelled.
    std::function<void(CSelectFilesDlg&)> selectFilesScript;
    std::deque<std::optional<std::vector<std::u16string>>> pickedFiles;  // empty deque: cancelled
    std::deque<std::optional<std::u16string>> folderChoices;
    std::deque<std::optional<std::u16string>> saveChoices;
    std::deque<std::optional<std::u16string>> openChoices;

    // ---- records ----
    std::vector<ShownBox> boxes;
    std::vector<std::u16string> folderBrowserTitles;
    std::vector<FileDialogRequest> fileDialogs;
    int helpOpened = 0;
    int aboutShown = 0;
    std::optional<int> endedWith;

    // Texts of the recorded boxes, in order.
    std::vector<std::u16string> boxTexts() const;

    frame::BoxAnswer messageBox(const MessageBoxRequest& request) override;
    void runSelectFilesDialog(CSelectFilesDlg& dialog) override;
    std::optional<std::vector<std::u16string>> pickFiles() override;
    std::optional<std::u16string> browseFolder(const std::u16string& title) override;
    std::optional<std::u16string> chooseSaveFile(const FileDialogRequest& request) override;
    std::optional<std::u16string> chooseOpenFile(const FileDialogRequest& request) override;
    void setWaitCursor(bool) override {}
    void openHelp() override { ++helpOpened; }
    void showAbout() override { ++aboutShown; }
    void endProcess(int code) override { endedWith = code; }
};

}  // namespace ui
