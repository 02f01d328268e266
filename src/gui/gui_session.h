#pragma once
// One run of the desktop program: the dispatcher and its bridge to the Qt loop, the Qt host, the
// application object with its main frame, and the main window. Destruction goes in the safe order:
// the window first, then the frame (which waits for its workers), then the bridge.
#include <QSettings>
#include <memory>
#include <string>

#include "app/application.h"
#include "gui/attachment_actions.h"
#include "gui/dispatcher_bridge.h"
#include "gui/main_window.h"
#include "gui/qt_host.h"
#include "ui/dispatcher.h"

namespace gui {

struct SessionOptions {
    bool singleInstance = true;
    std::u16string lockFolder = u"/tmp";
    std::u16string settingsPath;  // empty: the user's settings file
    std::u16string logFolder;     // empty: the desktop folder
};

class CGuiSession {
public:
    CGuiSession();
    ~CGuiSession();

    // False when the program must end without a window (another instance runs).
    bool start(const SessionOptions& options);

    CQtHost& host() { return host_; }
    ui::CDispatcher& dispatcher() { return dispatcher_; }
    app::CMainFrame& frame() { return *application_->mainFrame(); }
    CKelvaMainWindow& window() { return *window_; }
    // True when no job runs and none is finishing.
    bool idle();
    // Plays an Open of these files, and of the mailboxes that "Search File" finds in these folders,
    // through the file-selection dialog's own steps (the dialog is not shown).
    void openFiles(const std::vector<std::u16string>& files, const std::vector<std::u16string>& folders = {});
    QSettings& settings() { return *settings_; }
    CAttachmentActions& attachments() { return *attachments_; }

  private:
    ui::CDispatcher dispatcher_;
    CQtHost host_;
    std::unique_ptr<CDispatcherBridge> bridge_;
    std::unique_ptr<app::CKelvaHaldenApp> application_;
    std::unique_ptr<QSettings> settings_;
    std::unique_ptr<CKelvaMainWindow> window_;
    std::unique_ptr<CAttachmentActions> attachments_;
};

}  // namespace gui
