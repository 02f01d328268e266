#include "gui/message_list_view.h"

#include <QDateTime>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>

#include "gui/pictures.h"
#include "gui/qt_text.h"

namespace gui {

CMessageListModel::CMessageListModel(ui::CKelvaToolsTopListCtrl& list, QObject* parent)
    : QAbstractTableModel(parent), list_(list) {
    batch_.setSingleShot(true);
    batch_.setInterval(15);
    connect(&batch_, &QTimer::timeout, this, &CMessageListModel::flush);
    list_.onRowAdded = [this](int, const frame::ListRow&) {
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
    const frame::ListRow& row = list_.rows()[static_cast<std::size_t>(index.row())];
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
        case CMessageSortFilter::kSortRole: {
            const QString text = toShownQ(list_.GetItemText(index.row(), column));
            if (column == 5) {
                // The date column sorts by the moment, whatever the zone; an unreadable date sorts first.
                QDateTime when = QDateTime::fromString(text.simplified(), Qt::RFC2822Date);
                return when.isValid() ? QVariant(when.toMSecsSinceEpoch()) : QVariant(qint64(-1) << 62);
            }
            return text.toCaseFolded();
        }
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

CMessageSortFilter::CMessageSortFilter(QObject* parent) : QSortFilterProxyModel(parent) {
    setSortRole(kSortRole);
    setDynamicSortFilter(true);
}

void CMessageSortFilter::setWords(const QString& text) {
    words_ = text.simplified().split(u' ', Qt::SkipEmptyParts);
    invalidateFilter();
}

bool CMessageSortFilter::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const {
    if (words_.isEmpty()) return true;
    QString text;
    for (int column : {2, 3, 4})
        text +=
            sourceModel()->index(sourceRow, column, sourceParent).data(Qt::DisplayRole).toString() + u'\n';
    for (const QString& word : words_)
        if (!text.contains(word, Qt::CaseInsensitive)) return false;
    return true;
}

CMessageListView::CMessageListView(ui::CKelvaToolsTopListCtrl& list, QWidget* parent)
    : QTableView(parent), list_(list), model_(list) {
    setObjectName(QStringLiteral("messageList"));
    proxy_.setSourceModel(&model_);
    setModel(&proxy_);
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
    header->setSortIndicator(-1, Qt::AscendingOrder);  // the order of the mailbox until a header click
    header->setSortIndicatorShown(true);
    setSortingEnabled(true);
    connect(header, &QHeaderView::sectionResized, this, [this] {
        if (!fitting_) userSized_ = true;
    });
    connect(&model_, &QAbstractItemModel::rowsInserted, this, [this] {
        const int row = list_.ensuredVisibleRow();
        if (row >= 0 && row < model_.rowCount()) scrollTo(viewIndex(row));
    });
}

int CMessageListView::sourceRow(const QModelIndex& index) const {
    return index.isValid() ? proxy_.mapToSource(index).row() : -1;
}

QModelIndex CMessageListView::viewIndex(int sourceRow, int column) const {
    return proxy_.mapFromSource(model_.index(sourceRow, column));
}

void CMessageListView::setFilterText(const QString& text) {
    proxy_.setWords(text);
}

QByteArray CMessageListView::saveColumns() const {
    // Only widths the user chose are worth keeping; fitted ones are worked out again.
    return userSized_ ? horizontalHeader()->saveState() : QByteArray();
}

void CMessageListView::restoreColumns(const QByteArray& state) {
    if (state.isEmpty()) return;
    fitting_ = true;
    userSized_ = horizontalHeader()->restoreState(state);
    horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    fitting_ = false;
}

void CMessageListView::resizeEvent(QResizeEvent* event) {
    QTableView::resizeEvent(event);
    if (!userSized_) fitColumns();
}

void CMessageListView::fitColumns() {
    // The three text columns share what the picture columns and the date leave, up to their own
    // widths, so that the date stays in view on a narrow window.
    QHeaderView* header = horizontalHeader();
    const int fixed = ui::kMessageListColumns[0].width + ui::kMessageListColumns[1].width;
    const int date = ui::kMessageListColumns[5].width;
    const int share = std::max(80, (viewport()->width() - fixed - date) / 3);
    fitting_ = true;
    for (int c : {2, 3, 4}) header->resizeSection(c, std::min(share, ui::kMessageListColumns[c].width));
    header->resizeSection(5, std::max(date, viewport()->width() - fixed -
                                                3 * std::min(share, ui::kMessageListColumns[2].width)));
    fitting_ = false;
}

void CMessageListView::keyPressEvent(QKeyEvent* event) {
    // Enter previews the current row again (as a click on it does).
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && currentIndex().isValid()) {
        list_.OnLButtonDown(sourceRow(currentIndex()));
        return;
    }
    QTableView::keyPressEvent(event);
}

void CMessageListView::previewRow(int row) {
    if (row < 0 || row >= model_.rowCount()) return;
    clicking_ = true;
    const QModelIndex index = viewIndex(row);
    if (index.isValid()) selectRow(index.row());
    clicking_ = false;
    list_.OnLButtonDown(row);
}

void CMessageListView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    if (clicking_ || !current.isValid() || current.row() == previous.row()) return;
    list_.OnLButtonDown(sourceRow(current));
}

void CMessageListView::mousePressEvent(QMouseEvent* event) {
    clicking_ = true;
    QTableView::mousePressEvent(event);  // the selection first
    clicking_ = false;
    if (event->button() != Qt::LeftButton) return;
    const QModelIndex index = indexAt(event->position().toPoint());
    if (index.isValid()) list_.OnLButtonDown(sourceRow(index));
}

}  // namespace gui
