#pragma once
// The "Save output" dialog's window, bound to CKelvaSaveRecDataDlg: every click goes to its handlers
// and every button's check and enabled state is read back from it. Controls sit where the dialog's
// template puts them, in dialog units of the window's font.
#include <QDialog>
#include <QSettings>
#include <map>

#include "export/save_dialog.h"

class QAbstractButton;
class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;

namespace gui {

class CQtHost;

class CSaveOutputDialog : public QDialog {
public:
    CSaveOutputDialog(CQtHost& host, QWidget* parent);

    exporter::CKelvaSaveRecDataDlg& logic() { return logic_; }
    void accept() override;
    // Chooses the save mode and folder as the user's clicks and typing would.
    void preset(int mode, const QString& folder);
    // The remembered choices of the check boxes and of "More options" (keys as in the settings file).
    void presetChoices(const QSettings& settings);
    void rememberChoices(QSettings& settings) const;
    // Shows or hides the "More options" group below the buttons.
    void showMoreOptions(bool shown);

  private:
    // Places a control at its template position; growToText widens it to show its whole text.
    void place(QWidget* widget, int x, int y, int w, int h, bool growToText = true);
    void refresh();
    void createMoreOptions();
    // Validates the hierarchy root; false (with a message) when it is not a folder.
    bool acceptHierarchyRoot();
    void applyMoreOptions() const;

    exporter::CKelvaSaveRecDataDlg logic_;
    std::map<int, QAbstractButton*> buttons_;
    QLineEdit* folder_;
    double xUnit_, yUnit_;
    CQtHost& host_;
    QPushButton* moreButton_;
    QGroupBox* more_;
    QCheckBox* firstLabelOnly_;
    QCheckBox* unescapeFrom_;
    QCheckBox* contentLength_;
    QLineEdit* hierarchyRoot_;
    QPushButton* hierarchyRootBrowse_;
    QString acceptedRoot_;
};

// Runs the dialog modally; true when it ended with OK (the export options are then written).
bool runSaveOutputDialog(CQtHost& host);
// The remembered choice that applies to scans (Content-Length), set when the program starts.
void applyRememberedScanChoices(const QSettings& settings);

}  // namespace gui
