#pragma once
// The ribbon-style command bar: one category labelled with the short name, three panels ("MBOX to
// PST", "Save & Log Snapshot", "About MBOX to PST") with seven large buttons, and on the category row
// the "&Application Look" menu and a "View" menu. The buttons' labels carry mnemonics (Alt+O ...).
#include <QWidget>
#include <functional>
#include <map>

class QAction;
class QMenu;
class QToolButton;

namespace gui {

class CRibbonBar : public QWidget {
public:
    explicit CRibbonBar(QWidget* parent = nullptr);

    QToolButton* button(int command) const;
    QMenu* lookMenu() const { return lookMenu_; }
    // The panes' show/hide entries and the recent mailboxes, beside the look menu.
    QMenu* viewMenu() const { return viewMenu_; }
    void setLook(int look);
    void setStopEnabled(bool enabled);

    std::function<void(int command)> onCommand;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QWidget* panel(const QString& label, std::initializer_list<int> commands);

    std::map<int, QToolButton*> buttons_;
    std::map<int, QAction*> lookActions_;
    QMenu* lookMenu_;
    QMenu* viewMenu_;
    int look_ = 215;
};

}  // namespace gui
