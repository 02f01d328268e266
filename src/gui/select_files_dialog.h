#pragma once
// The "Select File" dialog's window, drawn from CSelectFilesDlg's state and forwarding every button to
// its handlers.
#include <QDialog>

#include "ui/select_files_dlg.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableWidget;

namespace gui {

class CQtHost;

class CSelectFilesDialog : public QDialog {
public:
    CSelectFilesDialog(ui::CSelectFilesDlg& logic, CQtHost& host, QWidget* parent);
    ~CSelectFilesDialog() override;

    void reject() override;

private:
    void refresh();
    void syncRows();
    void selectionToLogic();

    ui::CSelectFilesDlg& logic_;
    QLineEdit* tempEdit_;
    QTableWidget* list_;
    QProgressBar* progress_;
    QPushButton* stop_;
    QLabel* status_;
    bool syncing_ = false;
    bool closing_ = false;
};

}  // namespace gui
