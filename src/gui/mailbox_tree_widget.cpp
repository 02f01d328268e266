#include "gui/mailbox_tree_widget.h"

#include <QHeaderView>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QToolTip>

#include "gui/pictures.h"
#include "gui/qt_text.h"

namespace gui {
namespace {

constexpr int kItemRole = Qt::UserRole + 1;
constexpr unsigned kOnItemRight = 0x0020;
constexpr unsigned kNowhere = 0x0001;

}  // namespace

CMailboxTreeWidget::CMailboxTreeWidget(ui::CXHtmlTree& tree, QWidget* parent) : QTreeWidget(parent), tree_(tree) {
    setObjectName(QStringLiteral("mailboxTree"));
    setColumnCount(1);
    header()->hide();
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    setSelectionMode(QAbstractItemView::MultiSelection);  // the caret and the drop highlight
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setIconSize(QSize(16, 16));
    setUniformRowHeights(true);
    setExpandsOnDoubleClick(false);
    setTextElideMode(Qt::ElideNone);
    tree_.listener = [this](ui::TreeEvent event, ui::TreeItem item) { onTreeEvent(event, item); };
    for (ui::TreeItem i = tree_.GetRootItem(); i; i = tree_.NextItemInOrder(i)) insert(i);
}

CMailboxTreeWidget::~CMailboxTreeWidget() { tree_.listener = nullptr; }

QTreeWidgetItem* CMailboxTreeWidget::widgetItem(ui::TreeItem item) const {
    auto it = items_.find(item);
    return it == items_.end() ? nullptr : it->second;
}

void CMailboxTreeWidget::onTreeEvent(ui::TreeEvent event, ui::TreeItem item) {
    switch (event) {
        case ui::TreeEvent::Inserted: insert(item); break;
        case ui::TreeEvent::Changed: update(item); break;
        case ui::TreeEvent::Cleared:
            clear();
            items_.clear();
            break;
        case ui::TreeEvent::SelectionChanged:
            if (QTreeWidgetItem* w = widgetItem(item)) setCurrentItem(w, 0, QItemSelectionModel::NoUpdate);
            break;
    }
}

void CMailboxTreeWidget::insert(ui::TreeItem item) {
    if (items_.count(item)) return;
    ui::TreeItem parent = tree_.GetParentItem(item);
    QTreeWidgetItem* parentWidget = parent ? widgetItem(parent) : nullptr;
    // The item's place among its siblings, as the control orders them.
    int index = 0;
    for (ui::TreeItem i = parent ? tree_.GetChildItem(parent) : tree_.GetRootItem(); i && i != item;
         i = tree_.GetNextSiblingItem(i))
        if (items_.count(i)) ++index;
    auto* w = new QTreeWidgetItem;
    w->setData(0, kItemRole, QVariant::fromValue<qulonglong>(item));
    w->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);  // the control toggles the check boxes itself
    if (parentWidget) parentWidget->insertChild(index, w);
    else insertTopLevelItem(index, w);
    items_[item] = w;
    update(item);
}

void CMailboxTreeWidget::update(ui::TreeItem item) {
    QTreeWidgetItem* w = widgetItem(item);
    if (!w) return;
    const unsigned state = tree_.GetItemState(item);
    w->setText(0, toShownQ(tree_.GetItemText(item)));
    switch (tree_.GetStateImage(item) & 7) {
        case 1: w->setCheckState(0, Qt::Unchecked); break;
        case 2: w->setCheckState(0, Qt::Checked); break;
        case 3: w->setCheckState(0, Qt::PartiallyChecked); break;
        default: w->setData(0, Qt::CheckStateRole, QVariant()); break;
    }
    int image = -1, selectedImage = -1;
    if (tree_.m_showImages && tree_.GetItemImage(item, image, selectedImage)) {
        const bool selected = state & ui::TVIS_SELECTED;
        w->setIcon(0, pictures::treeImage(selected ? selectedImage : image));
    }
    w->setSelected(state & (ui::TVIS_SELECTED | ui::TVIS_DROPHILITED));
    w->setExpanded(state & ui::TVIS_EXPANDED);
}

QStyleOptionViewItem CMailboxTreeWidget::optionFor(QTreeWidgetItem* item) const {
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    QModelIndex index = indexFromItem(item);
    option.rect = visualRect(index);
    option.text = item->text(0);
    option.features |= QStyleOptionViewItem::HasDisplay;
    if (item->data(0, Qt::CheckStateRole).isValid()) {
        option.features |= QStyleOptionViewItem::HasCheckIndicator;
        option.checkState = item->checkState(0);
    }
    if (!item->icon(0).isNull()) {
        option.features |= QStyleOptionViewItem::HasDecoration;
        option.icon = item->icon(0);
        option.decorationSize = iconSize();
    }
    return option;
}

QRect CMailboxTreeWidget::checkBoxRect(QTreeWidgetItem* item) const {
    QStyleOptionViewItem option = optionFor(item);
    if (!(option.features & QStyleOptionViewItem::HasCheckIndicator)) return {};
    return style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, this);
}

QRect CMailboxTreeWidget::labelRect(QTreeWidgetItem* item) const {
    QStyleOptionViewItem option = optionFor(item);
    QRect text = style()->subElementRect(QStyle::SE_ItemViewItemText, &option, this);
    const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
    text.setWidth(fontMetrics().horizontalAdvance(option.text) + 2 * margin);
    return text;
}

unsigned CMailboxTreeWidget::hitTest(const QPoint& point, ui::TreeItem& item) const {
    item = 0;
    QTreeWidgetItem* w = itemAt(point);
    if (!w) return kNowhere;
    item = static_cast<ui::TreeItem>(w->data(0, kItemRole).toULongLong());
    const QRect row = visualRect(indexFromItem(w));
    if (point.x() < row.left()) {
        // The indentation; its last step holds the expand button of an item with children.
        const bool onButton = w->childCount() > 0 && point.x() >= row.left() - indentation();
        return onButton ? frame::TVHT_ONITEMBUTTON : frame::TVHT_ONITEMINDENT;
    }
    if (checkBoxRect(w).contains(point)) return frame::TVHT_ONITEMSTATEICON;
    QStyleOptionViewItem option = optionFor(w);
    if ((option.features & QStyleOptionViewItem::HasDecoration) &&
        style()->subElementRect(QStyle::SE_ItemViewItemDecoration, &option, this).contains(point))
        return frame::TVHT_ONITEMICON;
    if (point.x() <= labelRect(w).right()) return frame::TVHT_ONITEMLABEL;
    return kOnItemRight;
}

void CMailboxTreeWidget::mousePressEvent(QMouseEvent* event) {
    ui::TreeItem item = 0;
    const unsigned flags = hitTest(event->position().toPoint(), item);
    if (event->button() == Qt::LeftButton) tree_.Click(item, flags);
    else if (event->button() == Qt::RightButton) tree_.OnRButtonDown(item);
    event->accept();
}

void CMailboxTreeWidget::mouseReleaseEvent(QMouseEvent* event) { event->accept(); }

void CMailboxTreeWidget::mouseMoveEvent(QMouseEvent* event) { event->accept(); }

void CMailboxTreeWidget::mouseDoubleClickEvent(QMouseEvent* event) {
    ui::TreeItem item = 0;
    const unsigned flags = hitTest(event->position().toPoint(), item);
    if (item && event->button() == Qt::LeftButton && flags != frame::TVHT_ONITEMSTATEICON) tree_.OnLButtonDblClk(item);
    event->accept();
}

bool CMailboxTreeWidget::viewportEvent(QEvent* event) {
    if (event->type() != QEvent::ToolTip) return QTreeWidget::viewportEvent(event);
    auto* help = static_cast<QHelpEvent*>(event);
    ui::TreeItem item = 0;
    const unsigned flags = hitTest(help->pos(), item);
    QTreeWidgetItem* w = widgetItem(item);
    const bool onItem = flags & (frame::TVHT_ONITEMLABEL | frame::TVHT_ONITEMICON | frame::TVHT_ONITEMSTATEICON);
    // Only labels cut off at the right edge get a tip.
    if (w && onItem && labelRect(w).right() > viewport()->width() - 3) {
        QToolTip::showText(help->globalPos(), toQ(tree_.TooltipText(item)), viewport());
    } else {
        QToolTip::hideText();
        event->ignore();
    }
    return true;
}

}  // namespace gui
