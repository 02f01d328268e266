// kelva-mbox2pst: the desktop program.
//   FILE...           mailboxes to open at start (what a file manager's "Open with" passes)
//   --open FILE...    the same
//   --screenshot PNG  once the work started by the files is done (the first mailbox listed and its first
//                     message previewed), saves the window as PNG and exits
//   --listing-screenshot PNG  the window a tenth of a second into that listing
//   --save-to DIR     then saves the mailboxes as one PST file into DIR and exits
//   --measure         prints the longest time the window held back input in each step
//   --size WxH        the window's size for those runs (default 1280x800)
//   --log-dir DIR     writes the activity log there instead of the desktop folder
#include <unistd.h>
#include <QApplication>
#include <QFileInfo>
#include <QTimer>
#include <cstdio>

#include "gui/gui_session.h"
#include "gui/qt_text.h"
#include "gui/scripted_run.h"
#include "platform/paths.h"
#include "scan/temp_files.h"

namespace {

constexpr char kUsage[] =
    "usage: kelva-mbox2pst [FILE...] [--open FILE...] [--log-dir DIR]\n"
    "                      [--screenshot PNG] [--save-to DIR] [--measure] [--size WxH]\n"
    "Opens the mailbox files (mbox or .imm) given, lists and previews their messages and saves them\n"
    "as PST, EML, MSG, RTF or HTML files.\n"
    "  --help       shows this text\n"
    "  --version    shows the program's version\n"
    "  --log-dir    writes the activity log into DIR instead of the desktop folder\n"
    "  --screenshot after listing the first mailbox and previewing its first message, saves the\n"
    "               window as PNG and exits\n"
    "  --listing-screenshot PNG  saves the window a tenth of a second into the listing of the first mailbox\n"
    "  --save-to    after that preview, saves the mailboxes as one PST file into DIR and exits\n"
    "  --measure    prints the longest time the window held back input in each step\n";

struct Arguments {
    std::vector<std::u16string> open;
    gui::ScriptedRunOptions run;
    QString logDir;
    QSize size{1280, 800};
    bool ok = true;
    bool done = false;  // --help or --version answered
};

bool takesValue(const QString& a) {
    return a == QStringLiteral("--screenshot") || a == QStringLiteral("--listing-screenshot") ||
           a == QStringLiteral("--log-dir") || a == QStringLiteral("--save-to") ||
           a == QStringLiteral("--size");
}

Arguments parse(const QStringList& args) {
    Arguments result;
    bool filesOnly = false;
    for (qsizetype i = 1; i < args.size() && result.ok && !result.done; ++i) {
        const QString& a = args[i];
        if (filesOnly || !a.startsWith(QStringLiteral("-"))) {
            result.open.push_back(gui::fromQ(QFileInfo(a).absoluteFilePath()));
        } else if (a == QStringLiteral("--")) {
            filesOnly = true;
        } else if (a == QStringLiteral("--help") || a == QStringLiteral("-h")) {
            std::fputs(kUsage, stdout);
            result.done = true;
        } else if (a == QStringLiteral("--version")) {
            std::printf("kelva-mbox2pst %s\n", KELVA_VERSION);
            result.done = true;
        } else if (a == QStringLiteral("--measure")) {
            result.run.measure = true;
        } else if (a == QStringLiteral("--open")) {
            while (i + 1 < args.size() && !args[i + 1].startsWith(QStringLiteral("--")))
                result.open.push_back(gui::fromQ(QFileInfo(args[++i]).absoluteFilePath()));
        } else if (takesValue(a) && i + 1 < args.size()) {
            const QString value = args[++i];
            if (a == QStringLiteral("--screenshot"))
                result.run.screenshot = value;
            else if (a == QStringLiteral("--listing-screenshot"))
                result.run.listingShot = value;
            else if (a == QStringLiteral("--save-to"))
                result.run.saveTo = QFileInfo(value).absoluteFilePath();
            else if (a == QStringLiteral("--log-dir"))
                result.logDir = value;
            else {
                const QStringList wh = value.split(u'x');
                result.size = wh.size() == 2 ? QSize(wh[0].toInt(), wh[1].toInt()) : QSize();
                result.ok = result.size.width() >= 320 && result.size.height() >= 240;
                if (!result.ok)
                    std::fprintf(stderr, "kelva-mbox2pst: --size wants WIDTHxHEIGHT, not %s\n",
                                 qPrintable(value));
            }
        } else {
            std::fprintf(stderr, "kelva-mbox2pst: unknown argument %s\n", qPrintable(a));
            result.ok = false;
        }
    }
    if (!result.ok) std::fputs(kUsage, stderr);
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    // --help and --version answer without a display; the other arguments are read once Qt has taken
    // its own (-platform, -style ...).
    for (int i = 1; i < argc; ++i) {
        const QString a = QString::fromLocal8Bit(argv[i]);
        if (a == QStringLiteral("--")) break;
        if (a == QStringLiteral("--help") || a == QStringLiteral("-h") || a == QStringLiteral("--version"))
            return parse({QString(), a}).done ? 0 : 2;
    }
    QApplication application(argc, argv);
    Arguments args = parse(QApplication::arguments());
    if (!args.ok) return 2;
    QApplication::setApplicationName(QStringLiteral("kelva-mbox2pst"));
    QApplication::setApplicationDisplayName(QStringLiteral("KelvaTools MBOX to PST Converter"));
    QApplication::setDesktopFileName(QStringLiteral("kelva-mbox2pst"));
    // The window's close command ends the program with its own exit status.
    QApplication::setQuitOnLastWindowClosed(false);
    const bool scripted = !args.run.screenshot.isEmpty() || !args.run.listingShot.isEmpty() ||
                          !args.run.saveTo.isEmpty() || args.run.measure;
    gui::SessionOptions options;
    options.singleInstance = !scripted;  // documentation runs beside a running instance
    options.logFolder = gui::fromQ(args.logDir);
    gui::CGuiSession session;
    if (scripted) {
        // Nobody is there to answer: every box takes its default answer.
        session.host().automation.answerBox = [](const ui::MessageBoxRequest& request) {
            return std::optional(ui::defaultAnswer(request.buttons));
        };
    }
    if (!session.start(options)) return 1;

    gui::CKelvaMainWindow& window = session.window();
    if (scripted) {
        window.resize(args.size);
        window.show();
    } else {
        window.showMaximized();
    }
    if (!args.open.empty()) {
        QStringList paths;
        for (const std::u16string& path : args.open) paths << gui::toQ(path);
        QTimer::singleShot(0, [&window, paths] { window.openPaths(paths); });
    }
    std::unique_ptr<gui::CScriptedRun> run;
    if (scripted) run = std::make_unique<gui::CScriptedRun>(session, args.run);
    int code = QApplication::exec();
    if (scripted) {
        // The window was not closed through its close command: leave no temporary files behind.
        std::u16string folder = scan::tempFolderPath();
        scan::emptyFolder(folder);
        ::rmdir(platform::nativePath(folder).c_str());
    }
    return code;
}
