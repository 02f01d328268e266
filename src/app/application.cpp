#include "app/application.h"

#include "app/frame_jobs.h"

#include "scan/temp_files.h"

namespace app {

CKelvaHaldenApp::CKelvaHaldenApp(ui::CDispatcher& dispatcher, ui::IHost& host) : dispatcher_(dispatcher), host_(host) {
    frame::g_busy = 0;
    frame::g_stopRequested = false;
    frame::g_currentMboxPath.clear();
    scan::g_tempBase.clear();
    frame::g_logFilePath.clear();
    frame::g_logFileFailed = false;
    frame::g_selectedFiles.clear();
}

CKelvaHaldenApp::~CKelvaHaldenApp() = default;

bool CKelvaHaldenApp::InitInstance(StartOptions options) {
    if (options.singleInstance) {
        lock_ = std::make_unique<CInstanceLock>(options.lockFolder);
        if (lock_->alreadyRunning()) {
            ui::MessageBoxRequest request;
            request.text = u"Another instance of application is already running";
            request.ownedByMainWindow = false;
            host_.messageBox(request);
            return false;
        }
    }
    settings_ = std::make_unique<CSettings>(options.settingsPath.empty() ? CSettings::defaultPath()
                                                                         : options.settingsPath);
    options.frame.settings = settings_.get();
    frame_ = std::make_unique<CMainFrame>(dispatcher_, host_, options.frame);
    installFrameJobs(*frame_, std::move(options.runSaveDialog));
    logFileOpen_ = frame_->OnCreate();
    return true;
}

}  // namespace app
