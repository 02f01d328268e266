#pragma once
// The main window: the ribbon and caption bar on top, the message list in the middle, the
// "MBOX File View" and "Output" panes docked around it (on any side), and the status bar with the
// application title and the progress bar. It draws CMainFrame's controls and forwards every command,
// click and close request to it; jobs run on the frame's workers, never on this thread.
#include <QLabel>
#include <QMainWindow>
#include <QTimer>

#include "app/main_frame.h"

class QDockWidget;
class QListWidget;
class QProgressBar;
class QTabWidget;

namespace gui {

class CQtHost;
class CMailboxTreeWidget;
class CMessageListView;
class CFileViewerWidget;
class CRibbonBar;

class CKelvaMainWindow : public QMainWindow {
public:
    CKelvaMainWindow(app::CMainFrame& frame, CQtHost& host);
    ~CKelvaMainWindow() override;

    CRibbonBar& ribbon() const { return *ribbon_; }
    CMailboxTreeWidget& tree() const { return *tree_; }
    CMessageListView& messageList() const { return *list_; }
    CFileViewerWidget& fileViewer() const { return *viewer_; }
    // The log list with every line logged so far.
    QListWidget& logView();
    QTabWidget& outputTabs() const { return *tabs_; }
    QLabel& captionLabel() const { return *caption_; }
    QProgressBar& progressBar() const { return *progress_; }
    QDockWidget& treePane() const { return *treePane_; }
    QDockWidget& outputPane() const { return *outputPane_; }

    // Runs a command as the ribbon does (the looks included).
    void runCommand(int command);
    void applyLook(int look);
    // Places the progress bar in the status bar: x 250, y 3, the status bar's width less 560, 17 high.
    void placeProgressBar();
    // Shows the caption bar's text and the progress bar's state now (they are otherwise batched).
    void showCaptionAndProgress();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* createCaptionBar();
    void createPanes();
    void bindControls();
    void unbindControls();
    void flushLog();

    app::CMainFrame& frame_;
    CQtHost& host_;
    CRibbonBar* ribbon_;
    QLabel* caption_;
    CMessageListView* list_;
    CMailboxTreeWidget* tree_;
    CFileViewerWidget* viewer_;
    QListWidget* log_;
    QTabWidget* tabs_;
    QDockWidget* treePane_;
    QDockWidget* outputPane_;
    QProgressBar* progress_;
    QTimer busyPoll_;
    QTimer repaintBatch_;
    QTimer logBatch_;
    QStringList pendingLog_;
};

}  // namespace gui
