// The main window driven through its widgets: the ribbon buttons, the tree, the message list, the
// file viewer and the dialogs, with message boxes and file pickers answered by scripts.
#include <QApplication>
#include <QCheckBox>
#include <QDateTime>
#include <QDialog>
#include <QDir>
#include <QDirIterator>
#include <QDockWidget>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QToolButton>
#include <QToolTip>
#include <QUrl>
#include <atomic>
#include <map>
#include <memory>
#include <thread>

#include "app/settings.h"
#include "gui/attachment_actions.h"
#include "gui/background_renderer.h"
#include "gui/file_viewer_widget.h"
#include "gui/looks.h"
#include "gui/gui_session.h"
#include "gui/mailbox_tree_widget.h"
#include "gui/message_list_view.h"
#include "gui/qt_text.h"
#include "gui/ribbon_bar.h"
#include "export/save_dialog.h"
#include "scan/frame_context.h"

using gui::fromQ;
using gui::toQ;

namespace {

constexpr int kWait = 30000;  // generous: the sanitizer build is slow

const QString kInbox = QStringLiteral(KELVA_SOURCE_DIR "/samples/inbox.mbox");
constexpr int kInboxMessages = 6;  // a body line starting with "From " counts as a boundary

// Sets the flag when it goes out of scope, so a failing test never leaves a job waiting.
struct Release {
    std::shared_ptr<std::atomic<bool>> flag = std::make_shared<std::atomic<bool>>(false);
    ~Release() { *flag = true; }
};

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void openThroughTheDialogListsAndPreviews();
    void checkBoxClickTogglesWithoutListing();
    void stopAnsweredNoAndCloseWhileBusy();
    void emlSaveThroughTheSaveDialog();
    void snapshotSaveAndLoad();
    void closeWhenIdleEndsTheProcess();
    void helpAboutAndLooks();
    void secondInstanceIsRefused();
    void browserLoadsOnlyInlinedData();
    void longPagesAreCutForTheViewer();
    void stopDuringASaveEndsItAfterTheCurrentMessage();
    void keysOpenSaveHelpStopAndPreviewByArrows();
    void droppedFilesAndFoldersAreOpened();
    void layoutRecentListAndSaveChoicesAreRemembered();
    void headerClickSortsAndTheFilterNarrows();
    void panesStayDockedAndComeBackFromView();
    void previewShowsTwentyBodyLines_data();
    void previewShowsTwentyBodyLines();
    void systemLookIsOfferedAndRemembered();
    void safeAttachmentNames_data();
    void safeAttachmentNames();
    void attachmentsAreSavedOrOpenedByEnterAndDoubleClick();
    void immAttachmentsComeFromTheAttachmentsFolder();
    void helpFallsBackToItsOwnWindowThenSaysSo();
    void moreSaveOptionsReachTheExportAndAreRemembered();
    void contentLengthChoiceAppliesToTheNextScan();

  private:
    app::CMainFrame& frame() { return session->frame(); }
    gui::CKelvaMainWindow& window() { return session->window(); }
    void clickRibbon(int command) { QTest::mouseClick(window().ribbon().button(command), Qt::LeftButton); }
    bool waitIdle() { return QTest::qWaitFor([this] { return session->idle(); }, kWait); }
    bool boxShown(const QString& text) const {
        for (const auto& shown : session->host().boxTexts)
            if (toQ(shown) == text) return true;
        return false;
    }
    QTreeWidgetItem* mailboxItem() {
        QTreeWidgetItem* root = window().tree().topLevelItem(0);
        return root ? root->child(0) : nullptr;
    }
    void clickTree(const QPoint& point) { QTest::mouseClick(window().tree().viewport(), Qt::LeftButton, {}, point); }
    void openInbox();
    void listInbox(int rows = kInboxMessages);
    void startSession();

    std::unique_ptr<QTemporaryDir> scratch;
    std::unique_ptr<gui::CGuiSession> session;
    std::map<QString, frame::BoxAnswer> answers;  // the other boxes get their default answer
};

void MainWindowTest::init() {
    scratch = std::make_unique<QTemporaryDir>();
    QDir(scratch->path()).mkpath(QStringLiteral("tmp"));
    QDir(scratch->path()).mkpath(QStringLiteral("logs"));
    qputenv("TMPDIR", (scratch->path() + QStringLiteral("/tmp")).toUtf8());
    answers.clear();
    startSession();
}

void MainWindowTest::startSession() {
    session = std::make_unique<gui::CGuiSession>();
    session->host().automation.answerBox = [this](const ui::MessageBoxRequest& request) {
        auto it = answers.find(toQ(request.text));
        return it != answers.end() ? it->second : ui::defaultAnswer(request.buttons);
    };
    session->host().automation.openHelp = [] {};
    session->host().automation.endProcess = [](int) {};
    gui::SessionOptions options;
    options.singleInstance = false;
    options.settingsPath = fromQ(scratch->filePath(QStringLiteral("settings.conf")));
    options.logFolder = fromQ(scratch->filePath(QStringLiteral("logs")));
    QVERIFY(session->start(options));
    window().resize(1280, 800);
    window().show();
    QVERIFY(QTest::qWaitForWindowExposed(&window()));
}

void MainWindowTest::cleanup() {
    session.reset();
    scratch.reset();
}

void MainWindowTest::openInbox() {
    session->openFiles({fromQ(kInbox)});
    QVERIFY(waitIdle());
    QTRY_VERIFY_WITH_TIMEOUT(mailboxItem() != nullptr, kWait);
}

void MainWindowTest::listInbox(int rows) {
    clickTree(window().tree().labelRect(mailboxItem()).center());
    QVERIFY(waitIdle());
    QTRY_COMPARE_WITH_TIMEOUT(window().messageList().model()->rowCount(), rows, kWait);
}

void MainWindowTest::openThroughTheDialogListsAndPreviews() {
    gui::HostAutomation& automation = session->host().automation;
    const QString temp = scratch->filePath(QStringLiteral("tmp"));
    automation.browseFolder = [&](const std::u16string&) { return std::optional(fromQ(temp)); };
    automation.pickFiles = [] { return std::optional(std::vector<std::u16string>{fromQ(kInbox)}); };
    bool played = false;
    automation.dialogShown = [&](QDialog& dialog) {
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Select File"));
        auto* list = dialog.findChild<QTableWidget*>(QStringLiteral("fileList"));
        auto* status = dialog.findChild<QLabel*>(QStringLiteral("status"));
        QCOMPARE(status->text(), QStringLiteral("Add files to continue the process."));
        QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("browseTemp")), Qt::LeftButton);
        QCOMPARE(dialog.findChild<QLineEdit*>(QStringLiteral("tempFolder"))->text(), temp);
        QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("addFiles")), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(list->rowCount(), 1, kWait);
        QTRY_COMPARE_WITH_TIMEOUT(status->text(), QStringLiteral("Total number of files: [1]"), kWait);
        QCOMPARE(list->item(0, 0)->text(), kInbox);
        played = true;
        QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("ok")), Qt::LeftButton);
    };
    clickRibbon(app::ID_OPEN);
    QVERIFY(played);
    QVERIFY(waitIdle());
    QTRY_VERIFY_WITH_TIMEOUT(mailboxItem() != nullptr, kWait);
    QCOMPARE(window().tree().topLevelItem(0)->text(0), kInbox);
    QVERIFY(mailboxItem()->text(0).startsWith(QStringLiteral("inbox.mbox")));
    QTRY_COMPARE_WITH_TIMEOUT(window().captionLabel().text(), kInbox, kWait);
    QVERIFY(window().logView().count() >= 2);

    // A click on the label lists the mailbox.
    listInbox();
    if (QTest::currentTestFailed()) return;
    auto* model = window().messageList().model();
    QCOMPARE(model->data(model->index(2, 4)).toString(), QStringLiteral("Quarterly report"));
    QCOMPARE(model->data(model->index(2, 4), Qt::ToolTipRole).toString(), QStringLiteral("Quarterly report"));
    QVERIFY(!model->data(model->index(2, 1), Qt::DecorationRole).isNull());  // the paperclip
    QVERIFY(model->data(model->index(0, 1), Qt::DecorationRole).isNull());
    QHeaderView* header = window().messageList().horizontalHeader();
    // Up to their own 300 pixels, the text columns leave the date in view.
    QVERIFY(header->sectionSize(2) <= 300 && header->sectionSize(2) >= 80);
    QVERIFY(header->sectionViewportPosition(5) + 150 <= window().messageList().viewport()->width());
    QCOMPARE(header->sectionResizeMode(2), QHeaderView::Fixed);        // "To"
    QCOMPARE(header->sectionResizeMode(3), QHeaderView::Interactive);  // "From"

    // A click on a row previews that message in the file viewer.
    gui::CMessageListView& list = window().messageList();
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.visualRect(model->index(2, 4)).center());
    QVERIFY(waitIdle());
    QTRY_COMPARE_WITH_TIMEOUT(window().outputTabs().currentIndex(), 1, kWait);
    const ui::CKelvaStaticViewer& viewer = frame().previewBrowser;
    QCOMPARE(toQ(viewer.subjectText), QStringLiteral("Quarterly report"));
    QVERIFY(toQ(viewer.fromText).contains(QStringLiteral("Carol")));
    QVERIFY(toQ(viewer.toText).contains(QStringLiteral("bob@example.com")));
    QListWidget* attachments = window().fileViewer().attachmentList();
    QTRY_COMPARE_WITH_TIMEOUT(attachments->count(), 1, kWait);
    QCOMPARE(attachments->item(0)->text(), QStringLiteral("report.pdf"));
    QVERIFY(!attachments->item(0)->icon().isNull());
    QTRY_VERIFY_WITH_TIMEOUT(window().fileViewer().browser()->toPlainText().contains(QStringLiteral("report")), kWait);

    // A click below the last row previews nothing.
    const int before = window().logView().count();
    window().resize(1280, 1000);
    QTest::qWait(50);
    const int below = list.visualRect(model->index(kInboxMessages - 1, 4)).bottom() + 4;
    QVERIFY(below < list.viewport()->height());
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, QPoint(100, below));
    QVERIFY(session->idle());
    QCOMPARE(window().logView().count(), before);
}

void MainWindowTest::checkBoxClickTogglesWithoutListing() {
    openInbox();
    if (QTest::currentTestFailed()) return;
    QTreeWidgetItem* child = mailboxItem();
    QTreeWidgetItem* root = window().tree().topLevelItem(0);
    const Qt::CheckState was = child->checkState(0);
    const int logRows = window().logView().count();
    const QRect box = window().tree().checkBoxRect(child);
    QVERIFY(box.isValid());
    clickTree(box.center());
    QVERIFY(child->checkState(0) != was);
    QCOMPARE(root->checkState(0), child->checkState(0));  // the root follows its only child
    QVERIFY(session->idle());
    QCOMPARE(window().messageList().model()->rowCount(), 0);
    QCOMPARE(window().logView().count(), logRows);
    clickTree(box.center());
    QCOMPARE(child->checkState(0), was);

    // A label cut off at the pane's edge shows itself in a tip; one that fits does not.
    gui::CMailboxTreeWidget& tree = window().tree();
    auto tipAt = [&](QTreeWidgetItem* item) {
        QToolTip::hideText();
        const QPoint at = tree.labelRect(item).topLeft() + QPoint(4, 4);
        QHelpEvent help(QEvent::ToolTip, at, tree.viewport()->mapToGlobal(at));
        QCoreApplication::sendEvent(tree.viewport(), &help);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    window().resizeDocks({&window().treePane()}, {120}, Qt::Horizontal);
    QTRY_VERIFY_WITH_TIMEOUT(tree.viewport()->width() < tree.labelRect(root).right(), kWait);
    QCOMPARE(tipAt(root), kInbox);
    window().resizeDocks({&window().treePane()}, {900}, Qt::Horizontal);
    QTRY_VERIFY_WITH_TIMEOUT(tree.viewport()->width() > tree.labelRect(root).right() + 3, kWait);
    tipAt(root);
    QTRY_VERIFY_WITH_TIMEOUT(!QToolTip::isVisible(), kWait);
}

void MainWindowTest::stopAnsweredNoAndCloseWhileBusy() {
    openInbox();
    if (QTest::currentTestFailed()) return;
    listInbox();
    if (QTest::currentTestFailed()) return;
    // A preview that runs until it is released keeps the window busy.
    Release done;
    frame().previewJob = [release = done.flag](scan::FrameContext&) {
        while (!*release) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return 1;
    };
    gui::CMessageListView& list = window().messageList();
    QToolButton* stop = window().ribbon().button(app::ID_STOP);
    QTRY_VERIFY_WITH_TIMEOUT(!stop->isEnabled(), kWait);
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.visualRect(list.model()->index(0, 3)).center());
    QTRY_VERIFY_WITH_TIMEOUT(stop->isEnabled(), kWait);

    answers[QStringLiteral("Are you sure to stop the running process?")] = frame::BoxAnswer::No;
    QTest::mouseClick(stop, Qt::LeftButton);
    QVERIFY(boxShown(QStringLiteral("Are you sure to stop the running process?")));
    QCOMPARE(frame::g_busy.load(), 1);
    QVERIFY(frame().workerRunning());

    // Another command is refused; closing is refused and the window stays.
    clickRibbon(app::ID_OPEN);
    QVERIFY(boxShown(QStringLiteral("Please stop the running process to continue the process.")));
    window().close();
    QVERIFY(boxShown(QStringLiteral("Please stop the running process to close the application.")));
    QVERIFY(window().isVisible());
    QVERIFY(!session->host().endedWith);

    *done.flag = true;
    QVERIFY(waitIdle());
    QTRY_VERIFY_WITH_TIMEOUT(!stop->isEnabled(), kWait);
}

void MainWindowTest::emlSaveThroughTheSaveDialog() {
    openInbox();
    if (QTest::currentTestFailed()) return;
    const QString out = scratch->filePath(QStringLiteral("out"));
    QVERIFY(QDir().mkpath(out));
    bool played = false;
    session->host().automation.dialogShown = [&](QDialog& dialog) {
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Save output"));
        auto button = [&](int id) { return dialog.findChild<QAbstractButton*>(QStringLiteral("button%1").arg(id)); };
        QVERIFY(button(exporter::IDC_SAVE_EML)->isChecked());
        QVERIFY(!button(exporter::IDC_SEPARATE_PST)->isEnabled());
        // PST preselects the separate-file variant; EML again disables the PST choices.
        QTest::mouseClick(button(exporter::IDC_SAVE_PST), Qt::LeftButton);
        QVERIFY(button(exporter::IDC_SEPARATE_PST)->isChecked());
        QVERIFY(!button(exporter::IDC_SAVE_EML)->isChecked());
        QTest::mouseClick(button(exporter::IDC_SAVE_EML), Qt::LeftButton);
        QVERIFY(!button(exporter::IDC_SAVE_PST)->isChecked());
        QVERIFY(!button(exporter::IDC_SEPARATE_PST)->isEnabled());
        // OK without a folder is refused and the dialog stays.
        QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("ok")), Qt::LeftButton);
        QVERIFY(boxShown(QStringLiteral("Please select valid folder path to save the recovered files.")));
        QVERIFY(dialog.isVisible());
        QTest::keyClicks(dialog.findChild<QLineEdit*>(QStringLiteral("folder")), out);
        played = true;
        QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("ok")), Qt::LeftButton);
    };
    clickRibbon(app::ID_SAVE);
    QVERIFY(played);
    QVERIFY(waitIdle());
    int written = 0;
    for (QDirIterator it(out, {QStringLiteral("*.eml")}, QDir::Files, QDirIterator::Subdirectories); it.hasNext(); it.next())
        ++written;
    QCOMPARE(written, kInboxMessages);
}

void MainWindowTest::snapshotSaveAndLoad() {
    openInbox();
    if (QTest::currentTestFailed()) return;
    const QString snapshot = scratch->filePath(QStringLiteral("state.MBOX2PSTKLV"));
    std::vector<bool> asked;
    session->host().automation.chooseFile = [&](const ui::FileDialogRequest& request, bool save) {
        asked.push_back(save);
        if (!toQ(request.filter).contains(QStringLiteral("*.MBOX2PSTKLV"))) return std::optional<std::u16string>();
        return std::optional(fromQ(snapshot));
    };
    clickRibbon(app::ID_SAVE_SNAPSHOT);
    QVERIFY(waitIdle());
    QVERIFY(QFileInfo(snapshot).size() > 0);

    const QString child = mailboxItem()->text(0);
    clickRibbon(app::ID_LOAD_SNAPSHOT);
    QVERIFY(waitIdle());
    QCOMPARE(asked, (std::vector<bool>{true, false}));
    QCOMPARE(window().tree().topLevelItemCount(), 1);
    QCOMPARE(window().tree().topLevelItem(0)->text(0), kInbox);
    QTRY_VERIFY_WITH_TIMEOUT(mailboxItem() != nullptr, kWait);
    QCOMPARE(mailboxItem()->text(0), child);
    listInbox();  // the loaded mailbox lists as the scanned one did
}

void MainWindowTest::closeWhenIdleEndsTheProcess() {
    std::optional<int> ended;
    session->host().automation.endProcess = [&](int code) { ended = code; };
    answers[QStringLiteral("Do you want to close the application?")] = frame::BoxAnswer::No;
    window().close();
    QVERIFY(!ended);
    answers[QStringLiteral("Do you want to close the application?")] = frame::BoxAnswer::Yes;
    window().close();
    QCOMPARE(ended, std::optional<int>(-1));
    QVERIFY(boxShown(QStringLiteral("Log file path is : ") + toQ(frame::g_logFilePath)));
    QCOMPARE(window().logView().item(window().logView().count() - 1)->text(), QStringLiteral("Application has been closed."));
}

void MainWindowTest::helpAboutAndLooks() {
    int helpOpened = 0;
    session->host().automation.openHelp = [&] { ++helpOpened; };
    clickRibbon(app::ID_HELP);
    QCOMPARE(helpOpened, 1);
    QVERIFY(QFileInfo::exists(gui::CQtHost::guidePath()));

    QStringList tips;
    session->host().automation.dialogShown = [&](QDialog& dialog) {
        QCOMPARE(dialog.windowTitle(), toQ(ui::kApplicationTitle));
        for (QLabel* label : dialog.findChildren<QLabel*>())
            if (!label->toolTip().isEmpty()) tips << label->toolTip();
        QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("ok")), Qt::LeftButton);
    };
    clickRibbon(app::ID_ABOUT);
    QCOMPARE(tips, (QStringList{QStringLiteral("Company website"), QStringLiteral("Support email address"),
                                QStringLiteral("Sales email address")}));

    // A look is applied at once and kept in the settings file.
    QCOMPARE(frame().applicationLook, 215);
    window().runCommand(216);
    QCOMPARE(QApplication::palette().color(QPalette::Window), gui::lookPalette(216).color(QPalette::Window));
    QCOMPARE(app::CSettings(fromQ(scratch->filePath(QStringLiteral("settings.conf")))).applicationLook(), 216);
    window().runCommand(215);
}

void MainWindowTest::secondInstanceIsRefused() {
    gui::SessionOptions options;
    options.lockFolder = fromQ(scratch->path());
    options.settingsPath = fromQ(scratch->filePath(QStringLiteral("settings.conf")));
    options.logFolder = fromQ(scratch->filePath(QStringLiteral("logs")));
    auto answerAll = [](const ui::MessageBoxRequest& request) { return std::optional(ui::defaultAnswer(request.buttons)); };
    session.reset();
    gui::CGuiSession first;
    first.host().automation.answerBox = answerAll;
    QVERIFY(first.start(options));
    {
        gui::CGuiSession second;
        second.host().automation.answerBox = answerAll;
        QVERIFY(!second.start(options));
        QCOMPARE(second.host().boxTexts,
                 (std::vector<std::u16string>{u"Another instance of application is already running"}));
    }
    QVERIFY(first.window().isEnabled());
}

void MainWindowTest::browserLoadsOnlyInlinedData() {
    gui::CSafeBrowser& browser = *window().fileViewer().browser();
    QCOMPARE(browser.contextMenuPolicy(), Qt::NoContextMenu);
    QCOMPARE(browser.loadResource(QTextDocument::ImageResource, QUrl(QStringLiteral("data:image/png;base64,SGVsbG8="))),
             QVariant(QByteArray("Hello")));
    for (const char* remote : {"http://example.com/a.png", "https://example.com/a.css", "file:///etc/passwd", "a.png"})
        QVERIFY(!browser.loadResource(QTextDocument::ImageResource, QUrl(QString::fromLatin1(remote))).isValid());
}

// A page too long to show is cut at a line or tag end and says so; CR LF line ends become single breaks.
void MainWindowTest::longPagesAreCutForTheViewer() {
    QCOMPARE(gui::CBackgroundRenderer::preparePage("<p>a\r\nb</p>"), std::string("<p>a\nb</p>"));
    QCOMPARE(gui::CBackgroundRenderer::preparePage("<p>one</p>\n<p>two three</p>", 16),
             std::string("<p>one</p>\n<p><p><i>The rest of this message is not shown in the preview.</i></p>"));
    QCOMPARE(gui::CBackgroundRenderer::preparePage("<p>short</p>", 16), std::string("<p>short</p>"));
}

// A mailbox of n short messages, each with its own subject, sender and date.
static QString writeMailbox(const QString& path, int n, int bodyLines = 3) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return {};
    for (int i = 0; i < n; ++i) {
        QByteArray m = "From sender@example.com Mon Mar  2 09:15:00 2026\n";
        m += "From: Sender " + QByteArray::number(i % 7) + " <s" + QByteArray::number(i) + "@example.com>\n";
        m += "To: Receiver <r@example.com>\n";
        m += "Subject: Message " + QByteArray::number(i) + (i % 2 ? " odd" : " even") + "\n";
        m += "Date: " +
             QDateTime(QDate(2026, 3, 1 + (n - i) % 28), QTime(9, 0)).toString(Qt::RFC2822Date).toLatin1() +
             "\n\n";
        for (int l = 0; l < bodyLines; ++l) m += "Body line " + QByteArray::number(l + 1) + "\n";
        m += "\n";
        file.write(m);
    }
    return path;
}

void MainWindowTest::stopDuringASaveEndsItAfterTheCurrentMessage() {
    const QString box = writeMailbox(scratch->filePath(QStringLiteral("many.mbox")), 3000);
    session->openFiles({fromQ(box)});
    QVERIFY(waitIdle());
    const QString out = scratch->filePath(QStringLiteral("out"));
    QVERIFY(QDir().mkpath(out));
    session->host().automation.dialogShown = [&](QDialog& dialog) {
        dialog.findChild<QLineEdit*>(QStringLiteral("folder"))->setText(out);
        dialog.findChild<QPushButton*>(QStringLiteral("ok"))->click();
    };
    answers[QStringLiteral("Are you sure to stop the running process?")] = frame::BoxAnswer::Yes;
    QElapsedTimer asked;
    session->host().automation.answerBox = [&](const ui::MessageBoxRequest& request) {
        if (toQ(request.text) == QStringLiteral("Are you sure to stop the running process?")) asked.start();
        auto it = answers.find(toQ(request.text));
        return it != answers.end() ? it->second : ui::defaultAnswer(request.buttons);
    };
    // The save runs on its worker: the window takes the Stop click (Esc) while it runs.
    clickRibbon(app::ID_SAVE);
    QTRY_VERIFY_WITH_TIMEOUT(window().logView().count() > 20, kWait);
    QVERIFY(frame().IsStopEnabled());
    clickRibbon(app::ID_STOP);
    QVERIFY(boxShown(QStringLiteral("Are you sure to stop the running process?")));
    QVERIFY(QTest::qWaitFor([this] { return session->idle(); }, 1000));
    QVERIFY(asked.elapsed() < 1000);
    int written = 0;
    for (QDirIterator it(out, {QStringLiteral("*.eml")}, QDir::Files, QDirIterator::Subdirectories);
         it.hasNext(); it.next())
        ++written;
    QVERIFY(written > 0 && written < 3000);
    bool logged = false;
    for (int i = 0; i < window().logView().count(); ++i)
        logged |= window().logView().item(i)->text().startsWith(
            QStringLiteral("Saving Process Stopped. %1 ").arg(written));
    QVERIFY(logged);
}

void MainWindowTest::keysOpenSaveHelpStopAndPreviewByArrows() {
    int helps = 0;
    session->host().automation.openHelp = [&] { ++helps; };
    QTest::keyClick(&window(), Qt::Key_F1);
    QCOMPARE(helps, 1);
    QTest::keyClick(&window(), Qt::Key_S, Qt::ControlModifier);
    QVERIFY(boxShown(QStringLiteral("Please select Mbox file to save data.")));
    bool dialogRan = false;
    session->host().automation.selectFiles = [&](ui::CSelectFilesDlg& dlg) {
        dialogRan = true;
        dlg.OnCancel();
    };
    QTest::keyClick(&window(), Qt::Key_O, Qt::ControlModifier);
    QVERIFY(dialogRan);

    openInbox();
    if (QTest::currentTestFailed()) return;
    listInbox();
    if (QTest::currentTestFailed()) return;
    gui::CMessageListView& list = window().messageList();
    list.previewRow(0);
    QVERIFY(waitIdle());
    QTRY_COMPARE_WITH_TIMEOUT(toQ(frame().previewBrowser.subjectText), QStringLiteral("Lunch on Friday"),
                              kWait);
    list.setFocus();
    QTest::keyClick(&list, Qt::Key_Down);
    QVERIFY(waitIdle());
    QTRY_COMPARE_WITH_TIMEOUT(toQ(frame().previewBrowser.subjectText), QStringLiteral("Re: Lunch on Friday"),
                              kWait);

    // Tab runs from the tree through the filter to the list and the viewer.
    QCOMPARE(window().tree().nextInFocusChain() != nullptr, true);
    QWidget* afterList = list.nextInFocusChain();
    while (afterList && afterList->focusPolicy() == Qt::NoFocus) afterList = afterList->nextInFocusChain();
    QCOMPARE(afterList, static_cast<QWidget*>(window().fileViewer().browser()));

    // Ctrl+Q asks the close question.
    answers[QStringLiteral("Do you want to close the application?")] = frame::BoxAnswer::No;
    QTest::keyClick(&window(), Qt::Key_Q, Qt::ControlModifier);
    QVERIFY(boxShown(QStringLiteral("Do you want to close the application?")));
    QVERIFY(window().isVisible());
    QCOMPARE(window().ribbon().button(app::ID_OPEN)->text(), QStringLiteral("&Open"));
}

void MainWindowTest::droppedFilesAndFoldersAreOpened() {
    const QString folder = scratch->filePath(QStringLiteral("dropped"));
    QVERIFY(QDir().mkpath(folder + QStringLiteral("/inner")));
    writeMailbox(folder + QStringLiteral("/inner/a.mbox"), 2);
    auto drop = [&](const QList<QUrl>& urls) {
        QMimeData data;
        data.setUrls(urls);
        QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(&window(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent dropped(QPointF(50, 50), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(&window(), &dropped);
    };
    drop({QUrl::fromLocalFile(kInbox), QUrl::fromLocalFile(folder)});
    QTRY_COMPARE_WITH_TIMEOUT(window().tree().topLevelItemCount(), 2, kWait);
    QVERIFY(waitIdle());
    QCOMPARE(window().tree().topLevelItem(0)->text(0), kInbox);
    QVERIFY(window().tree().topLevelItem(1)->text(0).endsWith(QStringLiteral("/inner/a.mbox")));
}

void MainWindowTest::layoutRecentListAndSaveChoicesAreRemembered() {
    openInbox();
    if (QTest::currentTestFailed()) return;
    QCOMPARE(window().recentMenu().actions().size(), 1);
    QCOMPARE(window().recentMenu().actions().front()->text(), kInbox);
    const QString out = scratch->filePath(QStringLiteral("out"));
    QVERIFY(QDir().mkpath(out));
    session->host().automation.dialogShown = [&](QDialog& dialog) {
        dialog.findChild<QAbstractButton*>(QStringLiteral("button%1").arg(exporter::IDC_SAVE_HTML))->click();
        dialog.findChild<QLineEdit*>(QStringLiteral("folder"))->setText(out);
        dialog.findChild<QPushButton*>(QStringLiteral("ok"))->click();
    };
    clickRibbon(app::ID_SAVE);
    QVERIFY(waitIdle());
    window().resize(1111, 777);
    window().messageList().horizontalHeader()->resizeSection(3, 123);
    window().saveLayout();
    session.reset();
    startSession();
    QVERIFY(!session->settings().value(QStringLiteral("Window/geometry")).isNull());
    QCOMPARE(window().messageList().horizontalHeader()->sectionSize(3), 123);
    QCOMPARE(window().recentMenu().actions().front()->text(), kInbox);
    bool checked = false;
    session->host().automation.dialogShown = [&](QDialog& dialog) {
        checked = dialog.findChild<QAbstractButton*>(QStringLiteral("button%1").arg(exporter::IDC_SAVE_HTML))
                      ->isChecked();
        QVERIFY(dialog.findChild<QLineEdit*>(QStringLiteral("folder"))->text().startsWith(out));
        dialog.reject();
    };
    openInbox();
    clickRibbon(app::ID_SAVE);
    QVERIFY(checked);
}

void MainWindowTest::headerClickSortsAndTheFilterNarrows() {
    const QString box = writeMailbox(scratch->filePath(QStringLiteral("ten.mbox")), 12);
    session->openFiles({fromQ(box)});
    QVERIFY(waitIdle());
    listInbox(12);
    gui::CMessageListView& list = window().messageList();
    list.listModel().flush();
    QAbstractItemModel* model = list.model();
    QCOMPARE(model->rowCount(), 12);
    // The dates fall as the messages go on; by time, not text, the last comes first.
    QHeaderView* header = list.horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(5) + 20, header->height() / 2));
    QCOMPARE(model->index(0, 4).data().toString(), QStringLiteral("Message 11 odd"));
    QCOMPARE(model->index(11, 4).data().toString(), QStringLiteral("Message 0 even"));
    QTest::keyClicks(&window().filterBox(), QStringLiteral("ODD sender 3"));
    QCOMPARE(model->rowCount(), 1);  // messages 3 and 10 have sender 3; only 3 is odd
    // A click on the filtered row previews that message, not the mailbox's first.
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.visualRect(model->index(0, 4)).center());
    QVERIFY(waitIdle());
    QTRY_COMPARE_WITH_TIMEOUT(toQ(frame().previewBrowser.subjectText), QStringLiteral("Message 3 odd"),
                              kWait);
}

void MainWindowTest::panesStayDockedAndComeBackFromView() {
    for (QDockWidget* pane : {&window().treePane(), &window().outputPane()}) {
        QVERIFY(!(pane->features() & QDockWidget::DockWidgetFloatable));
        pane->close();
        QVERIFY(!pane->isVisible());
        QAction* toggle = nullptr;
        for (QAction* action : window().ribbon().viewMenu()->actions())
            if (action->text() == pane->windowTitle()) toggle = action;
        QVERIFY(toggle);
        toggle->trigger();
        QVERIFY(pane->isVisible());
        QVERIFY(!pane->isFloating());
    }
}

void MainWindowTest::previewShowsTwentyBodyLines_data() {
    QTest::addColumn<QSize>("size");
    QTest::newRow("1400x900") << QSize(1400, 900);
    QTest::newRow("1024x768") << QSize(1024, 768);
}

void MainWindowTest::previewShowsTwentyBodyLines() {
    QFETCH(QSize, size);
    cleanup();
    init();
    window().resize(size);
    window().sizeOutputPaneForBody();
    const QString box = writeMailbox(scratch->filePath(QStringLiteral("long.mbox")), 1, 40);
    session->openFiles({fromQ(box)});
    QVERIFY(waitIdle());
    listInbox(1);
    window().messageList().previewRow(0);
    QVERIFY(waitIdle());
    QTRY_VERIFY_WITH_TIMEOUT(!window().fileViewer().rendering(), kWait);
    QTRY_VERIFY_WITH_TIMEOUT(
        window().fileViewer().browser()->toPlainText().contains(QStringLiteral("Body line 40")), kWait);
    QTextBrowser* browser = window().fileViewer().browser();
    const QTextCursor bottom = browser->cursorForPosition(QPoint(10, browser->viewport()->height() - 4));
    const QString lastShown = bottom.block().text();
    QVERIFY2(lastShown.startsWith(QStringLiteral("Body line ")), qPrintable(lastShown));
    QVERIFY2(lastShown.mid(10).toInt() >= 20, qPrintable(lastShown));
}

void MainWindowTest::systemLookIsOfferedAndRemembered() {
    QAction* system = nullptr;
    for (QAction* action : window().ribbon().lookMenu()->actions())
        if (action->text() == QStringLiteral("S&ystem")) system = action;
    QVERIFY(system);
    system->trigger();
    QCOMPARE(frame().applicationLook, app::kSystemLook);
    QCOMPARE(app::CSettings(fromQ(scratch->filePath(QStringLiteral("settings.conf")))).applicationLook(),
             app::kSystemLook);
    window().runCommand(215);
}

void MainWindowTest::safeAttachmentNames_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("safe");
    QTest::newRow("plain") << QStringLiteral("report.pdf") << QStringLiteral("report.pdf");
    QTest::newRow("parent folder") << QStringLiteral("../x") << QStringLiteral("x");
    QTest::newRow("absolute") << QStringLiteral("/etc/passwd") << QStringLiteral("passwd");
    QTest::newRow("backslashes") << QStringLiteral("..\\..\\win.ini") << QStringLiteral("win.ini");
    QTest::newRow("dots only") << QStringLiteral("..") << QStringLiteral("attachment");
    QTest::newRow("trailing slash") << QStringLiteral("dir/") << QStringLiteral("attachment");
    QTest::newRow("hidden") << QStringLiteral(".bashrc") << QStringLiteral("bashrc");
    QTest::newRow("controls") << QString::fromUtf8("a\x01\tb\x1b\x7f.txt") << QStringLiteral("ab.txt");
    QTest::newRow("bidi override") << QString::fromUtf8("invoice\u202Efdp.exe") << QStringLiteral("invoicefdp.exe");
    QTest::newRow("blanks") << QStringLiteral("  \n ") << QStringLiteral("attachment");
}

void MainWindowTest::safeAttachmentNames() {
    QFETCH(QString, name);
    QFETCH(QString, safe);
    QCOMPARE(gui::safeAttachmentName(name), safe);
    // Long names are cut to what a Linux file system takes, whole characters and the extension kept.
    const QString longName = gui::safeAttachmentName(QString(300, QChar(0x00e9)) + name);
    QVERIFY(longName.toUtf8().size() <= 255);
    if (safe.contains(u'.')) QVERIFY(longName.endsWith(safe.mid(safe.lastIndexOf(u'.'))));
}

// One message whose attachments carry binary bytes, a text file sent as an attachment and hostile names.
static QString writeAttachmentMailbox(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return {};
    file.write("From a@example.com Mon Mar  2 09:15:00 2026\n"
               "From: Ann <a@example.com>\nTo: b@example.com\nSubject: Files\n"
               "Content-Type: multipart/mixed; boundary=b\n\n"
               "--b\nContent-Type: text/plain\n\nsee attached\n"
               "--b\nContent-Type: application/pdf; name=\"a.pdf\"\nContent-Transfer-Encoding: base64\n\n"
               "JVBERi0xLjQK/wABAg==\n"
               "--b\nContent-Type: text/plain\nContent-Disposition: attachment; filename=\"notes.txt\"\n\nnote\n"
               "--b\nContent-Type: application/octet-stream; name=\"../x\"\n\nup\n"
               "--b\nContent-Type: application/octet-stream; name=\"/etc/passwd\"\n\nroot\n"
               "--b\nContent-Type: application/octet-stream; name=\"c\x01tl\x1b.bin\"\n\nctl\n"
               "--b\nContent-Type: application/octet-stream; name=\"" + QByteArray(300, 'L') + ".bin\"\n\nlong\n"
               "--b--\n");
    return path;
}

void MainWindowTest::attachmentsAreSavedOrOpenedByEnterAndDoubleClick() {
    const QString box = writeAttachmentMailbox(scratch->filePath(QStringLiteral("files.mbox")));
    session->openFiles({fromQ(box)});
    QVERIFY(waitIdle());
    listInbox(1);
    if (QTest::currentTestFailed()) return;
    window().messageList().previewRow(0);
    QVERIFY(waitIdle());
    QListWidget* list = window().fileViewer().attachmentList();
    QTRY_COMPARE_WITH_TIMEOUT(list->count(), 6, kWait);
    QCOMPARE(list->item(1)->text(), QStringLiteral("notes.txt"));

    const QString out = scratch->filePath(QStringLiteral("saved"));
    QVERIFY(QDir().mkpath(out));
    session->settings().setValue(QStringLiteral("Files/attachmentFolder"), out);
    QString choice = QStringLiteral("save");
    session->host().automation.dialogShown = [&](QDialog& dialog) {
        QCOMPARE(dialog.objectName(), QStringLiteral("attachmentChoice"));
        dialog.findChild<QPushButton*>(choice)->click();
    };
    std::vector<ui::FileDialogRequest> asked;
    session->host().automation.chooseFile = [&](const ui::FileDialogRequest& request, bool save) {
        asked.push_back(request);
        return save ? std::optional(request.defaultPath) : std::nullopt;  // the user keeps the offered name
    };
    // Enter on one row, a double-click on the next.
    for (int row = 0; row < list->count(); ++row) {
        list->setCurrentRow(row);
        list->setFocus();
        const QPoint at = list->visualItemRect(list->item(row)).center();
        if (row % 2) {  // a double-click is a click, then a press that the system reports as a double-click
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
        } else
            QTest::keyClick(list, Qt::Key_Return);
        QCOMPARE(asked.size(), static_cast<std::size_t>(row + 1));
    }
    for (const ui::FileDialogRequest& request : asked) {
        QVERIFY(request.overwritePrompt);  // an existing file is replaced only when the dialog confirms
        QCOMPARE(QFileInfo(toQ(request.defaultPath)).absolutePath(), out);
    }
    QStringList saved = QDir(out).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    QCOMPARE(saved.size(), 6);
    QCOMPARE(QDir(out).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList());
    QVERIFY(!QFileInfo::exists(scratch->filePath(QStringLiteral("x"))));
    auto bytesOf = [](const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("unreadable");
    };
    QCOMPARE(bytesOf(out + QStringLiteral("/a.pdf")), QByteArray("%PDF-1.4\n\xff\x00\x01\x02", 13));
    QCOMPARE(bytesOf(out + QStringLiteral("/notes.txt")), QByteArray("note"));
    QCOMPARE(bytesOf(out + QStringLiteral("/x")), QByteArray("up"));
    QCOMPARE(bytesOf(out + QStringLiteral("/passwd")), QByteArray("root"));
    QCOMPARE(bytesOf(out + QStringLiteral("/ctl.bin")), QByteArray("ctl"));

    // Open: a copy in a private folder, handed to the desktop, removed when the program ends.
    choice = QStringLiteral("open");
    QList<QUrl> opened;
    session->host().automation.openUrl = [&](const QUrl& url) {
        opened << url;
        return true;
    };
    list->setCurrentRow(0);
    QTest::keyClick(list, Qt::Key_Return);
    list->setCurrentRow(2);
    QTest::keyClick(list, Qt::Key_Return);
    QCOMPARE(opened.size(), 2);
    const QString folder = session->attachments().openFolder();
    QVERIFY(!folder.isEmpty());
    QCOMPARE(QFileInfo(folder).permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther), QFileDevice::Permissions());
    QVERIFY(opened[0].toLocalFile().startsWith(folder + u'/'));
    QVERIFY(opened[1].toLocalFile().startsWith(folder + u'/'));
    QCOMPARE(QFileInfo(opened[1].toLocalFile()).fileName(), QStringLiteral("x"));
    QCOMPARE(bytesOf(opened[0].toLocalFile()), QByteArray("%PDF-1.4\n\xff\x00\x01\x02", 13));

    // No application for the file: the user is told.
    session->host().automation.openUrl = [](const QUrl&) { return false; };
    QTest::keyClick(list, Qt::Key_Return);
    QVERIFY(boxShown(QStringLiteral("No application could be started to open ../x.")));
    session.reset();
    QVERIFY(!QFileInfo::exists(folder));
    startSession();
}

void MainWindowTest::immAttachmentsComeFromTheAttachmentsFolder() {
    const QString imm = QStringLiteral(KELVA_SOURCE_DIR "/samples/imm/Mailbox.imm");
    session->openFiles({fromQ(imm)});
    QVERIFY(waitIdle());
    listInbox(3);
    if (QTest::currentTestFailed()) return;
    window().messageList().previewRow(1);  // "Re: Budget figures": report.pdf and budget.csv
    QVERIFY(waitIdle());
    QListWidget* list = window().fileViewer().attachmentList();
    QTRY_COMPARE_WITH_TIMEOUT(list->count(), 2, kWait);
    const QString out = scratch->filePath(QStringLiteral("saved"));
    QVERIFY(QDir().mkpath(out));
    session->settings().setValue(QStringLiteral("Files/attachmentFolder"), out);
    session->host().automation.dialogShown = [](QDialog& dialog) {
        dialog.findChild<QPushButton*>(QStringLiteral("save"))->click();
    };
    session->host().automation.chooseFile = [](const ui::FileDialogRequest& request, bool) {
        return std::optional(request.defaultPath);
    };
    list->setCurrentRow(0);
    QTest::keyClick(list, Qt::Key_Return);
    QFile saved(out + QStringLiteral("/report.pdf"));
    QFile original(QStringLiteral(KELVA_SOURCE_DIR "/samples/imm/Attachments/report.pdf"));
    QVERIFY(saved.open(QIODevice::ReadOnly) && original.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), original.readAll());
}

void MainWindowTest::helpFallsBackToItsOwnWindowThenSaysSo() {
    gui::CQtHost& host = session->host();
    host.automation.openHelp = nullptr;
    QList<QUrl> tried;
    host.automation.openUrl = [&](const QUrl& url) {
        tried << url;
        return false;  // no web browser can be started
    };
    clickRibbon(app::ID_HELP);
    QCOMPARE(tried, QList<QUrl>{QUrl::fromLocalFile(gui::CQtHost::guidePath())});
    auto* guide = window().findChild<QDialog*>(QStringLiteral("guideWindow"));
    QVERIFY(guide && guide->isVisible());
    QVERIFY(guide->findChild<QTextBrowser*>()->toPlainText().contains(QStringLiteral("Save")));
    guide->close();

    const QString missing = scratch->filePath(QStringLiteral("no-guide.html"));
    host.guideFile = missing;
    clickRibbon(app::ID_HELP);
    QVERIFY(boxShown(QStringLiteral("The help guide could not be shown: no web browser could be started and the guide ") +
                     missing + QStringLiteral(" could not be read.")));
    QVERIFY(!window().findChild<QDialog*>(QStringLiteral("guideWindow")) ||
            !window().findChild<QDialog*>(QStringLiteral("guideWindow"))->isVisible());
}

// The .eml files below the folder, as paths relative to it.
static QStringList emlFilesBelow(const QString& folder) {
    QStringList files;
    for (QDirIterator it(folder, {QStringLiteral("*.eml")}, QDir::Files, QDirIterator::Subdirectories); it.hasNext();)
        files << QDir(folder).relativeFilePath(it.next());
    files.sort();
    return files;
}

static QByteArray allBytesBelow(const QString& folder) {
    QByteArray all;
    for (const QString& name : emlFilesBelow(folder)) {
        QFile file(folder + u'/' + name);
        if (file.open(QIODevice::ReadOnly)) all += file.readAll();
    }
    return all;
}

void MainWindowTest::moreSaveOptionsReachTheExportAndAreRemembered() {
    // A Gmail-style mailbox in a Thunderbird-shaped tree: Local/Inbox.sbd/Gmail.
    const QString tree = scratch->filePath(QStringLiteral("Local"));
    QVERIFY(QDir().mkpath(tree + QStringLiteral("/Inbox.sbd")));
    const QString box = tree + QStringLiteral("/Inbox.sbd/Gmail");
    {
        QFile file(box);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("From a@example.com Mon Mar  2 09:15:00 2026\nX-Gmail-Labels: Inbox,Work\nSubject: one\n\nfirst\n\n"
                   "From b@example.com Mon Mar  2 09:16:00 2026\nX-Gmail-Labels: Work/Project,Opened\nSubject: two\n\n"
                   ">From the escaped line\n\n");
    }
    session->openFiles({fromQ(box)});
    QVERIFY(waitIdle());

    struct Choices {
        bool labels, firstOnly, unescape, hierarchy;
        QString root;
    };
    auto save = [&](const Choices& c, const QString& out) {
        QVERIFY(QDir().mkpath(out));
        session->host().automation.dialogShown = [&](QDialog& dialog) {
            auto button = [&](int id) { return dialog.findChild<QAbstractButton*>(QStringLiteral("button%1").arg(id)); };
            auto child = [&](const char* name) { return dialog.findChild<QWidget*>(QString::fromLatin1(name)); };
            auto set = [](QAbstractButton* b, bool on) {
                if (b->isChecked() != on) QTest::mouseClick(b, Qt::LeftButton);
            };
            QVERIFY(!child("moreOptionsGroup")->isVisible());
            QTest::mouseClick(static_cast<QAbstractButton*>(child("moreOptions")), Qt::LeftButton);
            QVERIFY(child("moreOptionsGroup")->isVisible());
            QTest::mouseClick(button(exporter::IDC_SAVE_EML), Qt::LeftButton);
            set(button(exporter::IDC_LABEL_FOLDERS), c.labels);
            set(button(exporter::IDC_HIERARCHY), c.hierarchy);
            // "First label only" goes with the labels, the root with the hierarchy.
            QCOMPARE(child("firstLabelOnly")->isEnabled(), c.labels);
            QCOMPARE(child("hierarchyRoot")->isEnabled(), c.hierarchy);
            QCOMPARE(child("hierarchyRootBrowse")->isEnabled(), c.hierarchy);
            if (c.labels) set(static_cast<QAbstractButton*>(child("firstLabelOnly")), c.firstOnly);
            set(static_cast<QAbstractButton*>(child("unescapeFrom")), c.unescape);
            if (c.hierarchy) static_cast<QLineEdit*>(child("hierarchyRoot"))->setText(c.root);
            dialog.findChild<QLineEdit*>(QStringLiteral("folder"))->setText(out);
            QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("ok")), Qt::LeftButton);
            if (dialog.isVisible()) dialog.reject();
        };
        clickRibbon(app::ID_SAVE);
        QVERIFY(waitIdle());
    };

    struct Case {
        const char* name;
        Choices choices;
        QStringList files;  // relative to the destination
        bool unescaped;
    };
    const Case cases[] = {
        {"every label", {true, false, false, false, {}},
         {QStringLiteral("Gmail/Inbox/"), QStringLiteral("Gmail/Work/"), QStringLiteral("Gmail/Work/Project/")}, false},
        {"first label only: each message once", {true, true, true, false, {}},
         {QStringLiteral("Gmail/Inbox/"), QStringLiteral("Gmail/Work/Project/")}, true},
        {"hierarchy below the root", {false, false, false, true, tree},
         {QStringLiteral("Inbox/Gmail/"), QStringLiteral("Inbox/Gmail/")}, false},
    };
    int run = 0;
    for (const Case& c : cases) {
        const QString out = scratch->filePath(QStringLiteral("out%1").arg(++run));
        save(c.choices, out);
        if (QTest::currentTestFailed()) return;
        const QStringList files = emlFilesBelow(out);
        QStringList folders;
        for (const QString& file : files) folders << file.left(file.lastIndexOf(u'/') + 1);
        QVERIFY2(folders == c.files, qPrintable(QString::fromLatin1(c.name) + QStringLiteral(": ") + files.join(u' ')));
        QCOMPARE(allBytesBelow(out).contains("\n>From the escaped line"), !c.unescaped);
    }

    // A root that is no folder keeps the dialog open and says so.
    const QString missing = scratch->filePath(QStringLiteral("no-such-root"));
    save({false, false, false, true, missing}, scratch->filePath(QStringLiteral("refused")));
    QVERIFY(boxShown(QStringLiteral("The hierarchy root is not a folder: ") + missing));
    QVERIFY(emlFilesBelow(scratch->filePath(QStringLiteral("refused"))).isEmpty());

    // The last confirmed choices come back in the next session.
    session.reset();
    startSession();
    session->openFiles({fromQ(box)});
    QVERIFY(waitIdle());
    std::map<QString, bool> checked;
    QString root;
    session->host().automation.dialogShown = [&](QDialog& dialog) {
        for (auto* button : dialog.findChildren<QAbstractButton*>())
            checked[button->objectName()] = button->isChecked() && button->isEnabled();
        root = dialog.findChild<QLineEdit*>(QStringLiteral("hierarchyRoot"))->text();
        dialog.reject();
    };
    clickRibbon(app::ID_SAVE);
    QVERIFY(checked[QStringLiteral("button%1").arg(exporter::IDC_HIERARCHY)]);
    QVERIFY(!checked[QStringLiteral("button%1").arg(exporter::IDC_LABEL_FOLDERS)]);
    QVERIFY(!checked[QStringLiteral("firstLabelOnly")]);  // kept, but off without the labels
    QVERIFY(!checked[QStringLiteral("unescapeFrom")]);
    QCOMPARE(root, tree);
}

void MainWindowTest::contentLengthChoiceAppliesToTheNextScan() {
    // A Content-Length message whose body holds a "From " line, then one more message.
    const QString box = scratch->filePath(QStringLiteral("cl.mbox"));
    {
        QFile file(box);
        QVERIFY(file.open(QIODevice::WriteOnly));
        const QByteArray body = "one\nFrom here on\nlast\n";
        file.write("From a@example.com Mon Mar  2 09:15:00 2026\nSubject: a\nContent-Length: " +
                   QByteArray::number(body.size()) + "\n\n" + body + "\n" +
                   "From b@example.com Mon Mar  2 09:16:00 2026\nSubject: b\nContent-Length: 2\n\nx\n\n");
    }
    session->openFiles({fromQ(box)});
    QVERIFY(waitIdle());
    listInbox(3);  // split at the "From " line of the body
    const QString out = scratch->filePath(QStringLiteral("out"));
    QVERIFY(QDir().mkpath(out));
    session->host().automation.dialogShown = [&](QDialog& dialog) {
        dialog.findChild<QPushButton*>(QStringLiteral("moreOptions"))->click();
        dialog.findChild<QCheckBox*>(QStringLiteral("contentLength"))->click();
        dialog.findChild<QLineEdit*>(QStringLiteral("folder"))->setText(out);
        dialog.findChild<QPushButton*>(QStringLiteral("ok"))->click();
    };
    clickRibbon(app::ID_SAVE);
    QVERIFY(waitIdle());
    // The mailbox opened next, in this session or the next one, keeps the body whole.
    session->openFiles({fromQ(box)});
    QVERIFY(waitIdle());
    listInbox(2);
    session.reset();
    startSession();
    session->openFiles({fromQ(box)});
    QVERIFY(waitIdle());
    listInbox(2);
}

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
