#include "gui/main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QDockWidget>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QSettings>
#include <QStatusBar>
#include <QTabWidget>
#include <QTextDocument>
#include <QUrl>
#include <QVBoxLayout>

#include "app/settings.h"
#include "gui/file_viewer_widget.h"
#include "gui/looks.h"
#include "gui/mailbox_tree_widget.h"
#include "gui/message_list_view.h"
#include "gui/pictures.h"
#include "gui/qt_host.h"
#include "gui/qt_text.h"
#include "gui/ribbon_bar.h"

namespace gui {

CKelvaMainWindow::CKelvaMainWindow(app::CMainFrame& frame, QSettings* settings)
    : frame_(frame), settings_(settings) {
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(toQ(ui::kApplicationTitle));
    setWindowIcon(pictures::applicationIcon());
    setDockOptions(QMainWindow::AnimatedDocks | QMainWindow::AllowTabbedDocks);
    setAcceptDrops(true);

    auto* top = new QWidget;
    auto* topLayout = new QVBoxLayout(top);
    topLayout->setContentsMargins(0, 0, 0, 0);
    topLayout->setSpacing(0);
    ribbon_ = new CRibbonBar;
    topLayout->addWidget(ribbon_);
    topLayout->addWidget(createCaptionBar());
    setMenuWidget(top);
    ribbon_->onCommand = [this](int command) { runCommand(command); };

    list_ = new CMessageListView(frame_.messageList);
    filter_ = new QLineEdit;
    filter_->setObjectName(QStringLiteral("messageFilter"));
    filter_->setPlaceholderText(QStringLiteral("Filter by To, From or Subject (Ctrl+F)"));
    filter_->setClearButtonEnabled(true);
    connect(filter_, &QLineEdit::textChanged, list_, &CMessageListView::setFilterText);
    auto* centre = new QWidget;
    auto* centreLayout = new QVBoxLayout(centre);
    centreLayout->setContentsMargins(0, 0, 0, 0);
    centreLayout->setSpacing(2);
    centreLayout->addWidget(filter_);
    centreLayout->addWidget(list_, 1);
    setCentralWidget(centre);
    createPanes();

    auto* title = new QLabel(toQ(ui::kApplicationTitle));
    title->setContentsMargins(6, 0, 6, 0);
    statusBar()->addPermanentWidget(title);
    statusBar()->setSizeGripEnabled(true);
    progress_ = new QProgressBar(statusBar());
    progress_->setObjectName(QStringLiteral("statusProgress"));
    progress_->setTextVisible(false);
    statusBar()->installEventFilter(this);
    statusBar()->setMinimumHeight(24);

    bindControls();
    logBatch_.setSingleShot(true);
    logBatch_.setInterval(50);
    connect(&logBatch_, &QTimer::timeout, this, [this] { flushLog(); });
    repaintBatch_.setSingleShot(true);
    repaintBatch_.setInterval(30);
    connect(&repaintBatch_, &QTimer::timeout, this, [this] { showCaptionAndProgress(); });
    busyPoll_.setInterval(100);
    connect(&busyPoll_, &QTimer::timeout, this, [this] { ribbon_->setStopEnabled(frame_.IsStopEnabled()); });
    busyPoll_.start();
    applyLook(frame_.applicationLook);
    createViewMenu();
    createShortcuts();
    // Tab goes from the tree to the list and on to the viewer.
    setTabOrder(tree_, filter_);
    setTabOrder(filter_, list_);
    setTabOrder(list_, viewer_->browser());
    restoreLayout();
    frame_.onFilesOpened = [this](const std::vector<std::u16string>& files) {
        QStringList opened;
        for (const std::u16string& file : files) opened << toQ(file);
        addRecent(opened);
    };
}

CKelvaMainWindow::~CKelvaMainWindow() {
    frame_.onFilesOpened = nullptr;
    unbindControls();
}

void CKelvaMainWindow::createShortcuts() {
    struct Key {
        QKeySequence keys;
        std::function<void()> run;
    };
    const Key keys[] = {
        {QKeySequence(Qt::CTRL | Qt::Key_O), [this] { runCommand(app::ID_OPEN); }},
        {QKeySequence(Qt::CTRL | Qt::Key_S), [this] { runCommand(app::ID_SAVE); }},
        {QKeySequence(Qt::Key_F1), [this] { runCommand(app::ID_HELP); }},
        {QKeySequence(Qt::CTRL | Qt::Key_Q), [this] { close(); }},
        {QKeySequence(Qt::CTRL | Qt::Key_F),
         [this] {
             filter_->setFocus(Qt::ShortcutFocusReason);
             filter_->selectAll();
         }},
        {QKeySequence(Qt::Key_Escape),
         [this] {
             if (frame_.IsStopEnabled())
                 runCommand(app::ID_STOP);
             else if (filter_->hasFocus())
                 filter_->clear();
         }},
    };
    for (const Key& key : keys) {
        auto* action = new QAction(this);
        action->setShortcut(key.keys);
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, key.run);
        addAction(action);
    }
}

void CKelvaMainWindow::createViewMenu() {
    QMenu* menu = ribbon_->viewMenu();
    for (QDockWidget* pane : {treePane_, outputPane_}) {
        QAction* toggle = pane->toggleViewAction();
        menu->addAction(toggle);
    }
    QAction* reset = menu->addAction(QStringLiteral("&Reset Panes"));
    connect(reset, &QAction::triggered, this, [this] {
        for (QDockWidget* pane : {treePane_, outputPane_}) {
            pane->setFloating(false);
            pane->show();
        }
        addDockWidget(Qt::LeftDockWidgetArea, treePane_);
        addDockWidget(Qt::BottomDockWidgetArea, outputPane_);
        resizeDocks({treePane_}, {280}, Qt::Horizontal);
        sizeOutputPaneForBody();
    });
    menu->addSeparator();
    recentMenu_ = menu->addMenu(QStringLiteral("Recent &Mailboxes"));
    recentMenu_->setObjectName(QStringLiteral("recentMenu"));
    rebuildRecentMenu();
}

void CKelvaMainWindow::rebuildRecentMenu() {
    recentMenu_->clear();
    const QStringList recent =
        settings_ ? settings_->value(QStringLiteral("Files/recent")).toStringList() : QStringList();
    for (const QString& path : recent) {
        QAction* action = recentMenu_->addAction(path);
        connect(action, &QAction::triggered, this, [this, path] { openPaths({path}); });
    }
    recentMenu_->setEnabled(!recent.isEmpty());
}

void CKelvaMainWindow::addRecent(const QStringList& files) {
    if (!settings_) return;
    QStringList recent = settings_->value(QStringLiteral("Files/recent")).toStringList();
    for (auto it = files.rbegin(); it != files.rend(); ++it) {
        recent.removeAll(*it);
        recent.prepend(*it);
    }
    while (recent.size() > kRecentCount) recent.removeLast();
    settings_->setValue(QStringLiteral("Files/recent"), recent);
    rebuildRecentMenu();
}

void CKelvaMainWindow::openPaths(const QStringList& paths) {
    if (paths.isEmpty() || !openFiles) return;
    if (frame_.IsStopEnabled()) {  // busy: the same refusal as the Open button
        runCommand(app::ID_OPEN);
        return;
    }
    std::vector<std::u16string> files;
    std::vector<std::u16string> folders;
    for (const QString& path : paths) {
        const QFileInfo info(path);
        if (info.isDir())
            folders.push_back(fromQ(info.absoluteFilePath()));
        else
            files.push_back(fromQ(info.absoluteFilePath()));
    }
    if (settings_)
        settings_->setValue(QStringLiteral("Files/lastFolder"), QFileInfo(paths.front()).absolutePath());
    openFiles(files, folders);
}

void CKelvaMainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void CKelvaMainWindow::dropEvent(QDropEvent* event) {
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) paths << url.toLocalFile();
    if (paths.isEmpty()) return;
    event->acceptProposedAction();
    // Opened once the drop has ended, so that the source application is not kept waiting.
    QTimer::singleShot(0, this, [this, paths] { openPaths(paths); });
}

void CKelvaMainWindow::restoreLayout() {
    if (!settings_) return;
    restoreGeometry(settings_->value(QStringLiteral("Window/geometry")).toByteArray());
    if (restoreState(settings_->value(QStringLiteral("Window/state")).toByteArray())) firstShow_ = false;
    list_->restoreColumns(settings_->value(QStringLiteral("Window/messageColumns")).toByteArray());
}

void CKelvaMainWindow::saveLayout() {
    if (!settings_) return;
    settings_->setValue(QStringLiteral("Window/geometry"), saveGeometry());
    settings_->setValue(QStringLiteral("Window/state"), saveState());
    settings_->setValue(QStringLiteral("Window/messageColumns"), list_->saveColumns());
    settings_->sync();
}

void CKelvaMainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!firstShow_) return;
    firstShow_ = false;
    QTimer::singleShot(0, this, [this] { sizeOutputPaneForBody(); });
}

void CKelvaMainWindow::sizeOutputPaneForBody() {
    // 20 lines of the viewer's text, the viewer's header zone (125 above the body, 20 below) and the
    // pane's tab bar and title; at most what leaves the message list its header and three rows.
    const int line = viewer_->browser()->fontMetrics().lineSpacing();
    const int body = 20 * line + 2 * static_cast<int>(viewer_->browser()->document()->documentMargin()) + 8;
    const int chrome = outputPane_->height() - viewer_->height();
    const int wanted = body + 145 + std::max(chrome, 40);
    const int rowHeight = std::max(list_->verticalHeader()->defaultSectionSize(), 1);
    const int leave = filter_->sizeHint().height() + list_->horizontalHeader()->height() + 3 * rowHeight + 24;
    const int available = outputPane_->height() + centralWidget()->height() - leave;
    resizeDocks({outputPane_}, {std::max(200, std::min(wanted, available))}, Qt::Vertical);
}

QWidget* CKelvaMainWindow::createCaptionBar() {
    auto* bar = new QFrame;
    bar->setObjectName(QStringLiteral("captionBar"));
    bar->setFrameShape(QFrame::StyledPanel);
    bar->setAutoFillBackground(true);
    bar->setBackgroundRole(QPalette::ToolTipBase);
    auto* icon = new QLabel;
    icon->setPixmap(pictures::informationPicture(16));
    caption_ = new QLabel;
    caption_->setObjectName(QStringLiteral("captionText"));
    caption_->setForegroundRole(QPalette::ToolTipText);
    // Plain text that never resizes the bar: jobs may change it for every message.
    caption_->setTextFormat(Qt::PlainText);
    caption_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    auto* layout = new QHBoxLayout(bar);
    layout->setContentsMargins(8, 3, 8, 3);
    layout->addWidget(icon);
    layout->addWidget(caption_, 1);
    return bar;
}

void CKelvaMainWindow::createPanes() {
    tree_ = new CMailboxTreeWidget(frame_.mailboxTree);
    treePane_ = new QDockWidget(QStringLiteral("MBOX File View"), this);
    treePane_->setObjectName(QStringLiteral("fileViewPane"));
    treePane_->setWidget(tree_);
    treePane_->setAllowedAreas(Qt::AllDockWidgetAreas);
    // Docked unless the user asks: no tear-off by a slipped drag; closed panes come back from View.
    treePane_->setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable);
    addDockWidget(Qt::LeftDockWidgetArea, treePane_);

    log_ = new QListWidget;
    log_->setObjectName(QStringLiteral("logList"));
    log_->setSelectionMode(QAbstractItemView::SingleSelection);
    log_->setUniformItemSizes(true);
    // A save logs a line per message: the rows are laid out a batch at a time between input events.
    log_->setLayoutMode(QListView::Batched);
    log_->setBatchSize(500);
    log_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    log_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    viewer_ = new CFileViewerWidget(frame_.previewBrowser);
    tabs_ = new QTabWidget;
    tabs_->setObjectName(QStringLiteral("outputTabs"));
    tabs_->setTabPosition(QTabWidget::South);
    tabs_->setDocumentMode(true);
    tabs_->addTab(log_, QStringLiteral("Log Viewer"));
    tabs_->addTab(viewer_, QStringLiteral("File Viewer"));
    outputPane_ = new QDockWidget(QStringLiteral("Output"), this);
    outputPane_->setObjectName(QStringLiteral("outputPane"));
    outputPane_->setWidget(tabs_);
    outputPane_->setAllowedAreas(Qt::AllDockWidgetAreas);
    outputPane_->setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable);
    addDockWidget(Qt::BottomDockWidgetArea, outputPane_);
    // The panes start at a size that shows a previewed message, not at the bare minimum.
    resizeDocks({treePane_}, {280}, Qt::Horizontal);
    resizeDocks({outputPane_}, {330}, Qt::Vertical);
    connect(tabs_, &QTabWidget::currentChanged, this, [this](int index) {
        if (frame_.outputPane.activeTab() != index) frame_.outputPane.SetActiveTab(index);
    });
    connect(outputPane_, &QDockWidget::dockLocationChanged, viewer_, [this] { viewer_->update(); });
}

void CKelvaMainWindow::bindControls() {
    // Caption and progress changes come as fast as a job makes them; the widgets show the latest
    // state a few times a second.
    frame_.captionBar.onChanged = [this] {
        if (!repaintBatch_.isActive()) repaintBatch_.start();
    };
    frame_.progressBar.onChanged = frame_.captionBar.onChanged;
    frame_.outputPane.onChanged = [this] { tabs_->setCurrentIndex(frame_.outputPane.activeTab()); };
    // Lines are added in batches a few times a second, each batch scrolled into view once.
    frame_.logList.onLineAdded = [this](const std::u16string& line) {
        pendingLog_ << toQ(line);
        if (!logBatch_.isActive()) logBatch_.start();
    };
    frame_.logList.onCleared = [this] {
        pendingLog_.clear();
        log_->clear();
    };
    for (const std::u16string& line : frame_.logList.rows()) log_->addItem(toQ(line));
    showCaptionAndProgress();
    frame_.outputPane.onChanged();
}

QListWidget& CKelvaMainWindow::logView() {
    flushLog();
    return *log_;
}

void CKelvaMainWindow::flushLog() {
    logBatch_.stop();
    if (pendingLog_.isEmpty()) return;
    log_->addItems(pendingLog_);
    pendingLog_.clear();
    log_->scrollToBottom();
}

void CKelvaMainWindow::showCaptionAndProgress() {
    repaintBatch_.stop();
    const QString caption = toQ(frame_.captionBar.text());
    if (caption_->text() != caption) caption_->setText(caption);
    const ui::CProgressBar& bar = frame_.progressBar;
    const int high = std::max(bar.low(), bar.high());
    if (progress_->minimum() != bar.low() || progress_->maximum() != high) progress_->setRange(bar.low(), high);
    progress_->setValue(std::clamp(bar.position(), bar.low(), high));
    if (progress_->isHidden() == bar.visible()) progress_->setVisible(bar.visible());
}

void CKelvaMainWindow::unbindControls() {
    frame_.captionBar.onChanged = nullptr;
    frame_.progressBar.onChanged = nullptr;
    frame_.outputPane.onChanged = nullptr;
    frame_.logList.onLineAdded = nullptr;
    frame_.logList.onCleared = nullptr;
}

void CKelvaMainWindow::runCommand(int command) {
    frame_.OnCommand(command);
    if (command >= app::kFirstLook && command <= app::kLastLook) applyLook(frame_.applicationLook);
    ribbon_->setStopEnabled(frame_.IsStopEnabled());
}

void CKelvaMainWindow::applyLook(int look) {
    gui::applyLook(look);
    ribbon_->setLook(look);
}

void CKelvaMainWindow::placeProgressBar() {
    progress_->setGeometry(250, 3, std::max(0, statusBar()->width() - 560), 17);
}

bool CKelvaMainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == statusBar() && (event->type() == QEvent::Resize || event->type() == QEvent::Show)) placeProgressBar();
    return QMainWindow::eventFilter(watched, event);
}

void CKelvaMainWindow::closeEvent(QCloseEvent* event) {
    saveLayout();
    if (frame_.OnClose()) event->accept();
    else event->ignore();
}

}  // namespace gui
