#pragma once
// CKelvaToolsTopListCtrl: the message list as a toolkit-free control. Rows carry the mailbox name and
// picture, the attachment picture, To, From, Subject, Date and the message index as item data. With
// retainRows off (the command line) rows go to the listener and only their item data is kept, so the
// memory a listing needs does not grow with the messages' texts.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "frame/controls.h"
#include "platform/window_message.h"

namespace ui {

struct ListColumn {
    int headerImage;  // -1: a text header
    const char16_t* header;
    int width;
    bool resizable;
};

inline constexpr ListColumn kMessageListColumns[] = {
    {2, u"", 24, false},   {0, u"", 24, false},        {-1, u"To", 300, false},
    {-1, u"From", 300, true}, {-1, u"Subject", 300, true}, {-1, u"Arrival Date/Time", 200, true},
};

class CKelvaToolsTopListCtrl : public frame::MessageListControl {
public:
    static constexpr int kControlId = 331;

    explicit CKelvaToolsTopListCtrl(bool retainRows = true) : retainRows_(retainRows) {}

    void SetMainWindow(platform::MessageTarget* mainWindow) { mainWindow_ = mainWindow; }

    bool DeleteAllItems() override;
    int GetItemCount() override { return static_cast<int>(data_.size()); }
    int AppendRow(const frame::ListRow& row) override;
    std::uint64_t GetItemData(int row) override;
    bool EnsureVisible(int row) override;

    // Rows kept for drawing (empty when rows are not retained).
    const std::vector<frame::ListRow>& rows() const { return rows_; }
    // The text of a cell (columns 0 and 2 to 5), which is also its info tip.
    std::u16string GetItemText(int row, int column) const;
    int ensuredVisibleRow() const { return ensuredVisible_; }

    // Left click at a row (-1 below the last row); a hit on the row's state icon sends nothing.
    void OnLButtonDown(int row, bool onStateIcon = false);
    // Dragging the divider of columns 0 to 2 is refused.
    static bool CanResizeColumn(int column);

    std::function<void(int row, const frame::ListRow& data)> onRowAdded;
    std::function<void()> onCleared;

private:
    bool retainRows_;
    std::vector<frame::ListRow> rows_;
    std::vector<std::uint64_t> data_;
    int ensuredVisible_ = -1;
    platform::MessageTarget* mainWindow_ = nullptr;
};

}  // namespace ui
