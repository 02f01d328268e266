#include "gui/gui_session.h"

#include "frame/process_state.h"
#include "app/settings.h"
#include "gui/file_viewer_widget.h"
#include "gui/qt_text.h"
#include "gui/save_output_dialog.h"
#include "scan/frame_context.h"
#include "scan/temp_files.h"
#include "store/session/native_library.h"
#include "ui/select_files_dlg.h"

namespace gui {

CGuiSession::CGuiSession() : bridge_(std::make_unique<CDispatcherBridge>(dispatcher_)) {}

CGuiSession::~CGuiSession() {
    window_.reset();
    attachments_.reset();  // removes the opened copies
    host_.settings = nullptr;
    application_.reset();  // the frame stops a running job and waits for it

    bridge_.reset();
}

bool CGuiSession::start(const SessionOptions& options) {
    // Stop sets the stop flag: the engine then abandons the message it is working on.
    store::session::NativeSessionOptions engine;
    engine.stopRequest = [] { return frame::g_stopRequested.load(); };
    store::registerNativeLibrary(engine);
    application_ = std::make_unique<app::CKelvaHaldenApp>(dispatcher_, host_);
    app::StartOptions start;
    start.singleInstance = options.singleInstance;
    start.lockFolder = options.lockFolder;
    start.settingsPath = options.settingsPath;
    start.frame.logFolder = options.logFolder;
    start.runSaveDialog = [this] { return runSaveOutputDialog(host_); };
    if (!application_->InitInstance(start)) return false;
    const std::u16string settingsPath =
        options.settingsPath.empty() ? app::CSettings::defaultPath() : options.settingsPath;
    settings_ = std::make_unique<QSettings>(toQ(settingsPath), QSettings::IniFormat);
    host_.settings = settings_.get();
    applyRememberedScanChoices(*settings_);
    window_ = std::make_unique<CKelvaMainWindow>(frame(), settings_.get());
    window_->openFiles = [this](const std::vector<std::u16string>& files,
                                const std::vector<std::u16string>& folders) { openFiles(files, folders); };
    host_.setMainWindow(window_.get());
    attachments_ = std::make_unique<CAttachmentActions>(host_);
    window_->fileViewer().onAttachmentActivated = [this](int row) { attachments_->activate(frame().previewBrowser, row); };
    return true;
}

bool CGuiSession::idle() { return !frame::g_busy && !frame().workerRunning(); }

void CGuiSession::openFiles(const std::vector<std::u16string>& files,
                            const std::vector<std::u16string>& folders) {
    host_.automation.selectFiles = [this, files, folders](ui::CSelectFilesDlg& dlg) {
        auto picker = std::move(host_.automation.pickFiles);
        auto browser = std::move(host_.automation.browseFolder);
        if (!files.empty()) {
            host_.automation.pickFiles = [files]() -> std::optional<std::vector<std::u16string>> {
                return files;
            };
            dlg.OnAddFiles();
            dlg.WaitForWorkers();
        }
        for (const std::u16string& folder : folders) {
            host_.automation.browseFolder = [folder](const std::u16string&) -> std::optional<std::u16string> {
                return folder;
            };
            dlg.OnSearchFile();
            dlg.WaitForWorkers();
        }
        host_.automation.pickFiles = std::move(picker);
        host_.automation.browseFolder = std::move(browser);
        dlg.OnOK();
    };
    window_->runCommand(app::ID_OPEN);
}

}  // namespace gui
