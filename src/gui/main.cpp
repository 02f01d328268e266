// kelva-mbox2pst: the desktop program.
//   --open FILE...    opens those files at start, as the Open command does
//   --screenshot PNG  once the work started by --open is done (the first mailbox listed and its first
//                     message previewed), saves the 1280 x 800 window as PNG and exits
//   --log-dir DIR     writes the activity log there instead of the desktop folder
#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <unistd.h>

#include "gui/file_viewer_widget.h"
#include "gui/gui_session.h"
#include "gui/mailbox_tree_widget.h"
#include "gui/message_list_view.h"
#include "gui/qt_text.h"
#include "platform/paths.h"
#include "scan/temp_files.h"

namespace {

struct Arguments {
    std::vector<std::u16string> open;
    QString screenshot;
    QString logDir;
    bool ok = true;
};

Arguments parse(const QStringList& args) {
    Arguments result;
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QStringLiteral("--open")) {
            while (i + 1 < args.size() && !args[i + 1].startsWith(QStringLiteral("--")))
                result.open.push_back(gui::fromQ(QFileInfo(args[++i]).absoluteFilePath()));
        } else if (a == QStringLiteral("--screenshot") && i + 1 < args.size()) {
            result.screenshot = args[++i];
        } else if (a == QStringLiteral("--log-dir") && i + 1 < args.size()) {
            result.logDir = args[++i];
        } else {
            std::fprintf(stderr, "kelva-mbox2pst: unknown argument %s\n"
                                 "usage: kelva-mbox2pst [--open FILE...] [--screenshot PNG] [--log-dir DIR]\n",
                         qPrintable(a));
            result.ok = false;
        }
    }
    return result;
}

// Lists the first mailbox, previews its first message, then saves the window and ends the loop.
class ScreenshotRun {
public:
    ScreenshotRun(gui::CGuiSession& session, QString path) : session_(session), path_(std::move(path)) {
        poll_.setInterval(50);
        QObject::connect(&poll_, &QTimer::timeout, [this] { step(); });
        poll_.start();
        deadline_.start();
    }

private:
    void step() {
        if (!session_.idle() && deadline_.elapsed() < 120000) return;
        app::CMainFrame& frame = session_.frame();
        if (stage_ == 0) {
            stage_ = 1;
            frame::TreeItem child = frame.mailboxTree.GetChildItem(frame.mailboxTree.GetRootItem());
            if (child) frame.mailboxTree.Click(child, frame::TVHT_ONITEMLABEL);
        } else if (stage_ == 1) {
            stage_ = 2;
            session_.window().messageList().listModel().flush();
            if (frame.messageList.GetItemCount() > 0) {
                session_.window().messageList().selectRow(0);
                frame.messageList.OnLButtonDown(0);
            }
        } else if (stage_ == 2) {
            if (session_.window().fileViewer().rendering() && deadline_.elapsed() < 120000) return;
            stage_ = 3;
            QTimer::singleShot(400, [this] { save(); });
        }
    }
    void save() {
        poll_.stop();
        const bool saved = session_.window().grab().save(path_, "PNG");
        if (!saved) std::fprintf(stderr, "kelva-mbox2pst: cannot write %s\n", qPrintable(path_));
        QCoreApplication::exit(saved ? 0 : 1);
    }

    gui::CGuiSession& session_;
    QString path_;
    QTimer poll_;
    QElapsedTimer deadline_;
    int stage_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kelva-mbox2pst"));
    QApplication::setApplicationDisplayName(QStringLiteral("KelvaTools MBOX to PST Converter"));
    QApplication::setDesktopFileName(QStringLiteral("kelva-mbox2pst"));
    // The window's close command ends the program with its own exit status.
    QApplication::setQuitOnLastWindowClosed(false);
    Arguments args = parse(QApplication::arguments());
    if (!args.ok) return 2;

    const bool screenshot = !args.screenshot.isEmpty();
    gui::SessionOptions options;
    options.singleInstance = !screenshot;  // documentation runs beside a running instance
    options.logFolder = gui::fromQ(args.logDir);
    gui::CGuiSession session;
    if (screenshot) {
        // Nobody is there to answer: every box takes its default answer.
        session.host().automation.answerBox = [](const ui::MessageBoxRequest& request) {
            return std::optional(ui::defaultAnswer(request.buttons));
        };
    }
    if (!session.start(options)) return 1;

    gui::CKelvaMainWindow& window = session.window();
    if (screenshot) {
        window.resize(1280, 800);
        window.show();
    } else {
        window.showMaximized();
    }
    if (!args.open.empty()) QTimer::singleShot(0, [&] { session.openFiles(args.open); });
    std::unique_ptr<ScreenshotRun> run;
    if (screenshot) run = std::make_unique<ScreenshotRun>(session, args.screenshot);
    int code = QApplication::exec();
    if (screenshot) {
        // The window was not closed through its close command: leave no temporary files behind.
        std::u16string folder = scan::tempFolderPath();
        scan::emptyFolder(folder);
        ::rmdir(platform::nativePath(folder).c_str());
    }
    return code;
}
