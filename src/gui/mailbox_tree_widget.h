#pragma once
// The "MBOX File View" tree: draws CXHtmlTree's items (check boxes in the Qt style's unchecked,
// checked and tri-state pictures, the two folder images, selection and drop highlight) and hands each
// click to the control with the hit-test result, so a click on a check box toggles it and a click on
// a label asks the main window to list that mailbox.
#include <QTreeWidget>
#include <unordered_map>

#include "ui/xhtml_tree.h"

namespace gui {

class CMailboxTreeWidget : public QTreeWidget {
public:
    CMailboxTreeWidget(ui::CXHtmlTree& tree, QWidget* parent = nullptr);
    ~CMailboxTreeWidget() override;

    QTreeWidgetItem* widgetItem(ui::TreeItem item) const;
    // The hit-test flags of a point of the viewport and the item under it.
    unsigned hitTest(const QPoint& point, ui::TreeItem& item) const;
    // Where an item's check box, picture and label are drawn (viewport coordinates).
    QRect checkBoxRect(QTreeWidgetItem* item) const;
    QRect labelRect(QTreeWidgetItem* item) const;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    bool viewportEvent(QEvent* event) override;

private:
    void onTreeEvent(ui::TreeEvent event, ui::TreeItem item);
    void insert(ui::TreeItem item);
    void update(ui::TreeItem item);
    QStyleOptionViewItem optionFor(QTreeWidgetItem* item) const;

    ui::CXHtmlTree& tree_;
    std::unordered_map<ui::TreeItem, QTreeWidgetItem*> items_;
};

}  // namespace gui
