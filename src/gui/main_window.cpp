#include "gui/main_window.h"

#include <QCloseEvent>
#include <QDockWidget>
#include <QHBoxLayout>
#include <QListWidget>
#include <QProgressBar>
#include <QStatusBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "gui/file_viewer_widget.h"
#include "gui/looks.h"
#include "gui/mailbox_tree_widget.h"
#include "gui/message_list_view.h"
#include "gui/pictures.h"
#include "gui/qt_host.h"
#include "gui/qt_text.h"
#include "gui/ribbon_bar.h"

namespace gui {

CKelvaMainWindow::CKelvaMainWindow(app::CMainFrame& frame, CQtHost& host) : frame_(frame), host_(host) {
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(toQ(ui::kApplicationTitle));
    setWindowIcon(pictures::applicationIcon());
    setDockOptions(QMainWindow::AnimatedDocks | QMainWindow::AllowTabbedDocks);

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
    setCentralWidget(list_);
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
}

CKelvaMainWindow::~CKelvaMainWindow() { unbindControls(); }

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
    if (command >= 210 && command <= 218) applyLook(frame_.applicationLook);
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
    if (frame_.OnClose()) event->accept();
    else event->ignore();
}

}  // namespace gui
