#include "gui/message_list_view.h"

#include <QHeaderView>
#include <QMouseEvent>

#include "gui/pictures.h"
#include "gui/qt_text.h"

namespace gui {

CMessageListModel::CMessageListModel(ui::CKelvaToolsTopListCtrl& list, QObject* parent)
    : QAbstractTableModel(parent), list_(list) {
    batch_.setSingleShot(true);
    batch_.setInterval(15);
    connect(&batch_, &QTimer::timeout, this, &CMessageListModel::flush);
    list_.onRowAdded = [this](int, const scan::ListRow&) {
        if (!batch_.isActive()) batch_.start();
    };
    list_.onCleared = [this] {
        batch_.stop();
        beginResetModel();
        shown_ = 0;
        endResetModel();
    };
    shown_ = static_cast<int>(list_.rows().size());
}

CMessageListModel::~CMessageListModel() {
    list_.onRowAdded = nullptr;
    list_.onCleared = nullptr;
}

void CMessageListModel::flush() {
    const int total = static_cast<int>(list_.rows().size());
    if (total <= shown_) return;
    beginInsertRows({}, shown_, total - 1);
    shown_ = total;
    endInsertRows();
}

int CMessageListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : shown_; }

int CMessageListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(std::size(ui::kMessageListColumns));
}

QVariant CMessageListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= shown_) return {};
    const scan::ListRow& row = list_.rows()[static_cast<std::size_t>(index.row())];
    const int column = index.column();
    switch (role) {
        case Qt::DisplayRole:
            return column == 0 || column == 1 ? QVariant() : toShownQ(list_.GetItemText(index.row(), column));
        case Qt::ToolTipRole: {
            QString text = toShownQ(list_.GetItemText(index.row(), column));
            return text.isEmpty() ? QVariant() : text;
        }
        case Qt::DecorationRole:
            if (column == 0) return pictures::listImage(row.image);
            if (column == 1 && row.attachmentImage >= 0) return pictures::listImage(row.attachmentImage);
            return {};
        case Qt::TextAlignmentRole:
            return column <= 1 ? QVariant(Qt::AlignCenter) : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
        default:
            return {};
    }
}

QVariant CMessageListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount()) return {};
    const ui::ListColumn& column = ui::kMessageListColumns[section];
    if (role == Qt::DisplayRole && column.headerImage < 0) return QString::fromUtf16(column.header);
    if (role == Qt::DecorationRole && column.headerImage >= 0) return pictures::headerImage(column.headerImage);
    return {};
}

CMessageListView::CMessageListView(ui::CKelvaToolsTopListCtrl& list, QWidget* parent)
    : QTableView(parent), list_(list), model_(list) {
    setObjectName(QStringLiteral("messageList"));
    setModel(&model_);
    setShowGrid(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    setIconSize(QSize(16, 16));
    setMouseTracking(true);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    QHeaderView* header = horizontalHeader();
    header->setHighlightSections(false);
    header->setStretchLastSection(false);
    header->setMinimumSectionSize(20);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    for (int c = 0; c < model_.columnCount(); ++c) {
        header->setSectionResizeMode(c, ui::CKelvaToolsTopListCtrl::CanResizeColumn(c) ? QHeaderView::Interactive
                                                                                       : QHeaderView::Fixed);
        header->resizeSection(c, ui::kMessageListColumns[c].width);
    }
    connect(&model_, &QAbstractItemModel::rowsInserted, this, [this] {
        const int row = list_.ensuredVisibleRow();
        if (row >= 0 && row < model_.rowCount()) scrollTo(model_.index(row, 0));
    });
}

void CMessageListView::previewRow(int row) {
    if (row < 0 || row >= model_.rowCount()) return;
    clicking_ = true;
    selectRow(row);
    clicking_ = false;
    list_.OnLButtonDown(row);
}

void CMessageListView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    if (clicking_ || !current.isValid() || current.row() == previous.row()) return;
    list_.OnLButtonDown(current.row());
}

void CMessageListView::mousePressEvent(QMouseEvent* event) {
    clicking_ = true;
    QTableView::mousePressEvent(event);  // the selection first
    clicking_ = false;
    if (event->button() != Qt::LeftButton) return;
    const QModelIndex index = indexAt(event->position().toPoint());
    if (index.isValid()) list_.OnLButtonDown(index.row());
}

}  // namespace gui
