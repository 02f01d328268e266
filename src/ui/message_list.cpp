#include "ui/message_list.h"

namespace ui {

bool CKelvaToolsTopListCtrl::DeleteAllItems() {
    rows_.clear();
    data_.clear();
    ensuredVisible_ = -1;
    if (onCleared) onCleared();
    return true;
}

int CKelvaToolsTopListCtrl::AppendRow(const frame::ListRow& row) {
    int index = static_cast<int>(data_.size());
    data_.push_back(row.data);
    if (retainRows_) rows_.push_back(row);
    if (onRowAdded) onRowAdded(index, row);
    return index;
}

std::uint64_t CKelvaToolsTopListCtrl::GetItemData(int row) {
    if (row < 0 || static_cast<std::size_t>(row) >= data_.size()) return 0;
    return data_[static_cast<std::size_t>(row)];
}

bool CKelvaToolsTopListCtrl::EnsureVisible(int row) {
    if (row < 0 || row >= GetItemCount()) return false;
    ensuredVisible_ = row;
    return true;
}

std::u16string CKelvaToolsTopListCtrl::GetItemText(int row, int column) const {
    if (row < 0 || static_cast<std::size_t>(row) >= rows_.size()) return {};
    const frame::ListRow& r = rows_[static_cast<std::size_t>(row)];
    switch (column) {
        case 0: return r.name;
        case 2: return r.to;
        case 3: return r.from;
        case 4: return r.subject;
        case 5: return r.date;
        default: return {};
    }
}

void CKelvaToolsTopListCtrl::OnLButtonDown(int row, bool onStateIcon) {
    if (row < 0 || row >= GetItemCount() || onStateIcon || !mainWindow_) return;
    mainWindow_->sendMessage(platform::UM_MESSAGE_CLICKED, static_cast<platform::WParam>(row), 0);
}

bool CKelvaToolsTopListCtrl::CanResizeColumn(int column) { return column >= 3; }

}  // namespace ui
