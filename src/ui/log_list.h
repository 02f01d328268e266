#pragma once
// CKelvaListCtrl: the log list, one row per activity-log line; rows are only added, and only Open
// empties it. With retainRows off the lines only go to the listener.
#include <functional>
#include <string>
#include <vector>

namespace ui {

class CKelvaListCtrl {
public:
    static constexpr int kControlId = 323;
    static constexpr int kColumnWidth = 2000;

    explicit CKelvaListCtrl(bool retainRows = true) : retainRows_(retainRows) {}

    void AppendLine(const std::u16string& line) {
        ++count_;
        if (retainRows_) rows_.push_back(line);
        if (onLineAdded) onLineAdded(line);
    }
    void DeleteAllItems() {
        rows_.clear();
        count_ = 0;
        if (onCleared) onCleared();
    }
    int GetItemCount() const { return count_; }
    const std::vector<std::u16string>& rows() const { return rows_; }

    std::function<void(const std::u16string&)> onLineAdded;
    std::function<void()> onCleared;

private:
    bool retainRows_;
    int count_ = 0;
    std::vector<std::u16string> rows_;
};

}  // namespace ui
