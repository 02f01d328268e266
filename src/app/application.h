#pragma once
// CKelvaHaldenApp: start-up. Sets the process-wide state to its initial values, reads the settings,
// refuses a second instance of the desktop program, and creates the main window (whose creation
// writes the activity log's banner).
#include <functional>
#include <memory>
#include <string>

#include "app/instance_lock.h"
#include "app/main_frame.h"
#include "app/settings.h"
#include "ui/dispatcher.h"
#include "ui/host.h"

namespace app {

struct StartOptions {
    bool singleInstance = false;       // the desktop program; the command line runs beside it
    std::u16string lockFolder = u"/tmp";
    std::u16string settingsPath;       // empty: CSettings::defaultPath()
    FrameOptions frame;
    // Shows the "Save output" dialog; true when it ended with OK, having written the export options.
    std::function<bool()> runSaveDialog;
};

class CKelvaHaldenApp {
public:
    CKelvaHaldenApp(ui::CDispatcher& dispatcher, ui::IHost& host);
    ~CKelvaHaldenApp();

    // False when the program must end without a window (another instance runs).
    bool InitInstance(StartOptions options);

    CMainFrame* mainFrame() { return frame_.get(); }
    CSettings* settings() { return settings_.get(); }
    // False when the activity log file could not be created (the window runs without it).
    bool logFileOpen() const { return logFileOpen_; }

private:
    ui::CDispatcher& dispatcher_;
    ui::IHost& host_;
    std::unique_ptr<CInstanceLock> lock_;
    std::unique_ptr<CSettings> settings_;
    std::unique_ptr<CMainFrame> frame_;
    bool logFileOpen_ = false;
};

}  // namespace app
