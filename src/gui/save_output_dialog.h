#pragma once
// The "Save output" dialog's window, bound to CKelvaSaveRecDataDlg: every click goes to its handlers
// and every button's check and enabled state is read back from it. Controls sit where the dialog's
// template puts them, in dialog units of the window's font.
#include <QDialog>
#include <map>

#include "export/save_dialog.h"

class QAbstractButton;
class QLineEdit;

namespace gui {

class CQtHost;

class CSaveOutputDialog : public QDialog {
public:
    CSaveOutputDialog(CQtHost& host, QWidget* parent);

    exporter::CKelvaSaveRecDataDlg& logic() { return logic_; }
    void accept() override;
    // Chooses the save mode and folder as the user's clicks and typing would.
    void preset(int mode, const QString& folder);

  private:
    // Places a control at its template position; growToText widens it to show its whole text.
    void place(QWidget* widget, int x, int y, int w, int h, bool growToText = true);
    void refresh();

    exporter::CKelvaSaveRecDataDlg logic_;
    std::map<int, QAbstractButton*> buttons_;
    QLineEdit* folder_;
    double xUnit_, yUnit_;
};

// Runs the dialog modally; true when it ended with OK (the export options are then written).
bool runSaveOutputDialog(CQtHost& host);

}  // namespace gui
