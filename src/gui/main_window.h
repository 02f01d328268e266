#pragma once
// The main window: the ribbon and caption bar on top, the message list in the middle, the
// "MBOX File View" and "Output" panes docked around it (on any side), and the status bar with the
// application title and the progress bar. It draws CMainFrame's controls and forwards every command,
// click and close request to it; jobs run on the frame's workers, never on this thread.
#include <QLabel>
#include <QMainWindow>
#include <QTimer>
#include <functional>
#include <vector>

#include "app/main_frame.h"

class QDockWidget;
class QLineEdit;
class QSettings;
class QListWidget;
class QProgressBar;
class QTabWidget;

namespace gui {

class CMailboxTreeWidget;
class CMessageListView;
class CFileViewerWidget;
class CRibbonBar;

class CKelvaMainWindow : public QMainWindow {
public:
  // settings: the program's settings file (window geometry, panes, columns, recent mailboxes); may be null.
  CKelvaMainWindow(app::CMainFrame& frame, QSettings* settings = nullptr);
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
  QLineEdit& filterBox() const { return *filter_; }
  QMenu& recentMenu() const { return *recentMenu_; }

  // Opens these mailbox files, and the mailboxes found in these folders, as Open does with the files
  // chosen in its dialog (used by drag and drop, the recent list and the command line).
  std::function<void(const std::vector<std::u16string>& files, const std::vector<std::u16string>& folders)>
      openFiles;
  // Files and folders as dropped or passed: the folders searched as "Search File" does.
  void openPaths(const QStringList& paths);
  // Remembers a mailbox in the recent list (newest first, at most kRecentCount).
  void addRecent(const QStringList& files);
  static constexpr int kRecentCount = 8;
  // Window geometry, dock layout and the message list's columns into the settings file.
  void saveLayout();
  // The Output pane's first height: the message body gets at least 20 lines when the window allows.
  void sizeOutputPaneForBody();

  // Runs a command as the ribbon does (the looks included).
  void runCommand(int command);
  void applyLook(int look);
  // Places the progress bar in the status bar: x 250, y 3, the status bar's width less 560, 17 high.
  void placeProgressBar();
  // Shows the caption bar's text and the progress bar's state now (they are otherwise batched).
  void showCaptionAndProgress();

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* createCaptionBar();
    void createPanes();
    void bindControls();
    void unbindControls();
    void createShortcuts();
    void createViewMenu();
    void rebuildRecentMenu();
    void restoreLayout();
    void flushLog();

    app::CMainFrame& frame_;
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
    QLineEdit* filter_;
    QMenu* recentMenu_ = nullptr;
    QSettings* settings_;
    bool firstShow_ = true;
    QTimer busyPoll_;
    QTimer repaintBatch_;
    QTimer logBatch_;
    QStringList pendingLog_;
};

}  // namespace gui
