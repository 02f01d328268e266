#pragma once
// The Qt host: message boxes, the modal dialogs, the file and folder pickers, the help page, the About
// box and the end of the process, all on the user-interface thread. Automation hooks let tests and
// --open play the user's part while the real widgets run.
#include <QPointer>
#include <QWidget>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ui/host.h"

class QDialog;
class QSettings;
class QUrl;

namespace gui {

struct HostAutomation {
    // Answers a box without showing it; nothing shows it.
    std::function<std::optional<frame::BoxAnswer>(const ui::MessageBoxRequest&)> answerBox;
    // Plays the file selection dialog's logic without showing the dialog (used once, then dropped).
    std::function<void(ui::CSelectFilesDlg&)> selectFiles;
    // Told of every modal dialog once it is shown (the dialog is still running).
    std::function<void(QDialog&)> dialogShown;
    std::function<std::optional<std::vector<std::u16string>>()> pickFiles;
    std::function<std::optional<std::u16string>(const std::u16string& title)> browseFolder;
    std::function<std::optional<std::u16string>(const ui::FileDialogRequest&, bool save)> chooseFile;
    std::function<void()> openHelp;
    // Replaces the desktop's launcher of URLs (the browser, the default applications); true when started.
    std::function<bool(const QUrl&)> openUrl;
    // Replaces the end of the process.
    std::function<void(int code)> endProcess;
};

class CQtHost : public ui::IHost {
public:
    CQtHost() = default;
    ~CQtHost() override;

    void setMainWindow(QWidget* window) { mainWindow_ = window; }
    HostAutomation automation;
    // Every box's text, in order.
    std::vector<std::u16string> boxTexts;
    std::optional<int> endedWith;

    // Runs a modal dialog owned by the main window, telling automation.dialogShown once it runs.
    int execDialog(QDialog& dialog);
    // The bundled user guide: installed beside the program, else the one in the source tree.
    static QString guidePath();
    // The guide Help shows; empty: guidePath().
    QString guideFile;
    // Opens the URL with the desktop's application for it; false when none could be started.
    bool openUrl(const QUrl& url);

    frame::BoxAnswer messageBox(const ui::MessageBoxRequest& request) override;
    void runSelectFilesDialog(ui::CSelectFilesDlg& dialog) override;
    std::optional<std::vector<std::u16string>> pickFiles() override;
    std::optional<std::u16string> browseFolder(const std::u16string& title) override;
    std::optional<std::u16string> chooseSaveFile(const ui::FileDialogRequest& request) override;
    std::optional<std::u16string> chooseOpenFile(const ui::FileDialogRequest& request) override;
    void setWaitCursor(bool wait) override;
    void openHelp() override;
    void showAbout() override;
    void endProcess(int code) override;

    QWidget* mainWindow() const { return mainWindow_; }
    // Where the file pickers start and what they remember (the program's settings file); may be null.
    QSettings* settings = nullptr;
    // Help: the guide in the desktop's browser, else in a window of the program; false when neither
    // could show it (the caller says so).
    bool showGuide();

  private:
    std::optional<std::u16string> chooseFile(const ui::FileDialogRequest& request, bool save);
    QPointer<QWidget> mainWindow_;
    int waitCursors_ = 0;
};

}  // namespace gui
