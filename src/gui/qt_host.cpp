#include "gui/qt_host.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QSettings>
#include <QTextBrowser>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include "gui/about_dialog.h"
#include "gui/qt_text.h"
#include "gui/select_files_dialog.h"
#include "platform/paths.h"
#include "ui/select_files_dlg.h"

namespace gui {

CQtHost::~CQtHost() {
    while (waitCursors_-- > 0) QApplication::restoreOverrideCursor();
}

int CQtHost::execDialog(QDialog& dialog) {
    if (automation.dialogShown) {
        QPointer<QDialog> guard(&dialog);
        QTimer::singleShot(0, &dialog, [this, guard] {
            if (guard && automation.dialogShown) automation.dialogShown(*guard);
        });
    }
    return dialog.exec();
}

QString CQtHost::guidePath() {
    const QString installed = QCoreApplication::applicationDirPath() + QStringLiteral("/../share/doc/") +
                              QStringLiteral(KELVA_GUIDE_RELATIVE);
    if (QFileInfo::exists(installed)) return QFileInfo(installed).canonicalFilePath();
    if (QFileInfo::exists(QStringLiteral(KELVA_GUIDE_INSTALLED))) return QStringLiteral(KELVA_GUIDE_INSTALLED);
    return QStringLiteral(KELVA_GUIDE_SOURCE);
}

frame::BoxAnswer CQtHost::messageBox(const ui::MessageBoxRequest& request) {
    boxTexts.push_back(request.text);
    if (automation.answerBox)
        if (std::optional<frame::BoxAnswer> answer = automation.answerBox(request)) return *answer;
    const bool yesNo = request.buttons == frame::BoxButtons::YesNo;
    QMessageBox box(request.icon == frame::BoxIcon::Question ? QMessageBox::Question : QMessageBox::Information,
                    toQ(request.caption), toQ(request.text),
                    yesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok,
                    request.ownedByMainWindow ? mainWindow_.data() : nullptr);
    int result = execDialog(box);
    if (!yesNo) return frame::BoxAnswer::Ok;
    return result == QMessageBox::Yes ? frame::BoxAnswer::Yes : frame::BoxAnswer::No;
}

void CQtHost::runSelectFilesDialog(ui::CSelectFilesDlg& dialog) {
    if (automation.selectFiles) {
        auto script = std::move(automation.selectFiles);
        automation.selectFiles = nullptr;
        script(dialog);
        return;
    }
    CSelectFilesDialog window(dialog, *this, mainWindow_);
    execDialog(window);
}

std::optional<std::vector<std::u16string>> CQtHost::pickFiles() {
    if (automation.pickFiles) return automation.pickFiles();
    const QString start =
        settings ? settings->value(QStringLiteral("Files/lastFolder")).toString() : QString();
    QStringList names = QFileDialog::getOpenFileNames(mainWindow_, QString(), start, QStringLiteral("*.*"));
    if (names.isEmpty()) return std::nullopt;
    if (settings)
        settings->setValue(QStringLiteral("Files/lastFolder"), QFileInfo(names.front()).absolutePath());
    std::vector<std::u16string> files;
    for (const QString& name : names) files.push_back(platform::recoverPath(fromQ(name)));
    return files;
}

std::optional<std::u16string> CQtHost::browseFolder(const std::u16string& title) {
    if (automation.browseFolder) return automation.browseFolder(title);
    const QString start =
        settings ? settings->value(QStringLiteral("Files/lastFolder")).toString() : QString();
    QString folder = QFileDialog::getExistingDirectory(mainWindow_, toQ(title), start);
    if (folder.isEmpty()) return std::nullopt;
    return platform::recoverPath(fromQ(folder));
}

std::optional<std::u16string> CQtHost::chooseFile(const ui::FileDialogRequest& request, bool save) {
    if (automation.chooseFile) return automation.chooseFile(request, save);
    QFileDialog dialog(request.ownedByMainWindow ? mainWindow_.data() : nullptr);
    dialog.setNameFilter(toQ(request.filter));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (!request.defaultExtension.empty()) dialog.setDefaultSuffix(toQ(request.defaultExtension));
    if (!request.defaultPath.empty()) {
        const QFileInfo start(toQ(request.defaultPath));
        dialog.setDirectory(start.absolutePath());
        dialog.selectFile(start.fileName());
    }
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.overwritePrompt);
    if (execDialog(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return platform::recoverPath(fromQ(dialog.selectedFiles().front()));
}

std::optional<std::u16string> CQtHost::chooseSaveFile(const ui::FileDialogRequest& request) {
    return chooseFile(request, true);
}

std::optional<std::u16string> CQtHost::chooseOpenFile(const ui::FileDialogRequest& request) {
    return chooseFile(request, false);
}

void CQtHost::setWaitCursor(bool wait) {
    if (wait) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        ++waitCursors_;
    } else if (waitCursors_ > 0) {
        QApplication::restoreOverrideCursor();
        --waitCursors_;
    }
}

void CQtHost::openHelp() {
    if (automation.openHelp) {
        automation.openHelp();
        return;
    }
    if (!showGuide()) {
        ui::MessageBoxRequest request;
        request.text = u"The help guide could not be shown: no web browser could be started and the guide " +
                       fromQ(guideFile.isEmpty() ? guidePath() : guideFile) + u" could not be read.";
        messageBox(request);
    }
}

bool CQtHost::openUrl(const QUrl& url) {
    return automation.openUrl ? automation.openUrl(url) : QDesktopServices::openUrl(url);
}

bool CQtHost::showGuide() {
    const QString path = guideFile.isEmpty() ? guidePath() : guideFile;
    if (QFileInfo::exists(path) && openUrl(QUrl::fromLocalFile(path))) return true;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    // No browser: the guide in a window of the program (links to other pages open nothing).
    auto* window = new QDialog(mainWindow_);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setObjectName(QStringLiteral("guideWindow"));
    window->setWindowTitle(QStringLiteral("Help"));
    auto* text = new QTextBrowser(window);
    text->setOpenLinks(false);
    text->setHtml(QString::fromUtf8(file.readAll()));
    auto* layout = new QVBoxLayout(window);
    layout->addWidget(text);
    window->resize(900, 700);
    window->show();
    return true;
}

void CQtHost::showAbout() {
    CAboutDialog about(mainWindow_);
    execDialog(about);
}

void CQtHost::endProcess(int code) {
    endedWith = code;
    if (automation.endProcess) {
        automation.endProcess(code);
        return;
    }
    QCoreApplication::exit(code);
}

}  // namespace gui
