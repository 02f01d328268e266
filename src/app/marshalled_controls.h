#pragma once
// The controls as the jobs see them: every call is carried out on the user-interface thread through
// the dispatcher and returns when it is done, so no control state is touched from a worker.
#include "scan/frame_context.h"
#include "ui/dispatcher.h"

namespace app {

// Runs f on the UI thread and hands back its result.
template <typename F>
auto onUiThread(ui::CDispatcher& dispatcher, F&& f) {
    using Result = decltype(f());
    if constexpr (std::is_void_v<Result>) {
        dispatcher.invoke(f);
    } else {
        Result result{};
        dispatcher.invoke([&] { result = f(); });
        return result;
    }
}

class CMarshalledTree : public frame::TreeControl {
public:
    CMarshalledTree(ui::CDispatcher& dispatcher, frame::TreeControl& tree) : d_(dispatcher), t_(tree) {}
    frame::TreeItem InsertItem(const frame::TreeInsert& insert) override {
        return onUiThread(d_, [&] { return t_.InsertItem(insert); });
    }
    bool SetItemData(frame::TreeItem item, std::uintptr_t data) override {
        return onUiThread(d_, [&] { return t_.SetItemData(item, data); });
    }
    std::uintptr_t GetItemData(frame::TreeItem item) override {
        return onUiThread(d_, [&] { return t_.GetItemData(item); });
    }
    std::u16string GetItemText(frame::TreeItem item) override {
        return onUiThread(d_, [&] { return t_.GetItemText(item); });
    }
    frame::TreeItem GetParentItem(frame::TreeItem item) override {
        return onUiThread(d_, [&] { return t_.GetParentItem(item); });
    }
    frame::TreeItem GetRootItem() override {
        return onUiThread(d_, [&] { return t_.GetRootItem(); });
    }
    frame::TreeItem GetChildItem(frame::TreeItem item) override {
        return onUiThread(d_, [&] { return t_.GetChildItem(item); });
    }
    frame::TreeItem GetNextSiblingItem(frame::TreeItem item) override {
        return onUiThread(d_, [&] { return t_.GetNextSiblingItem(item); });
    }
    bool ItemHasChildren(frame::TreeItem item) override {
        return onUiThread(d_, [&] { return t_.ItemHasChildren(item); });
    }
    unsigned GetCount() override {
        return onUiThread(d_, [&] { return t_.GetCount(); });
    }
    bool SetCheck(frame::TreeItem item, bool checked) override {
        return onUiThread(d_, [&] { return t_.SetCheck(item, checked); });
    }
    bool GetCheck(frame::TreeItem item) override {
        return onUiThread(d_, [&] { return t_.GetCheck(item); });
    }
    bool Expand(frame::TreeItem item, frame::ExpandCode code) override {
        return onUiThread(d_, [&] { return t_.Expand(item, code); });
    }
    bool DeleteAllItems() override {
        return onUiThread(d_, [&] { return t_.DeleteAllItems(); });
    }
    frame::TreeItem FirstCheckedItem() override {
        return onUiThread(d_, [&] { return t_.FirstCheckedItem(); });
    }
    frame::TreeItem NextItemInOrder(frame::TreeItem item) override {
        return onUiThread(d_, [&] { return t_.NextItemInOrder(item); });
    }
    int CheckedItemCount() override {
        return onUiThread(d_, [&] { return t_.CheckedItemCount(); });
    }

private:
    ui::CDispatcher& d_;
    frame::TreeControl& t_;
};

class CMarshalledList : public frame::MessageListControl {
public:
    CMarshalledList(ui::CDispatcher& dispatcher, frame::MessageListControl& list) : d_(dispatcher), l_(list) {}
    bool DeleteAllItems() override {
        return onUiThread(d_, [&] { return l_.DeleteAllItems(); });
    }
    int GetItemCount() override {
        return onUiThread(d_, [&] { return l_.GetItemCount(); });
    }
    int AppendRow(const frame::ListRow& row) override {
        return onUiThread(d_, [&] { return l_.AppendRow(row); });
    }
    std::uint64_t GetItemData(int row) override {
        return onUiThread(d_, [&] { return l_.GetItemData(row); });
    }
    bool EnsureVisible(int row) override {
        return onUiThread(d_, [&] { return l_.EnsureVisible(row); });
    }

private:
    ui::CDispatcher& d_;
    frame::MessageListControl& l_;
};

class CMarshalledViewer : public frame::ViewerControl {
public:
    CMarshalledViewer(ui::CDispatcher& dispatcher, frame::ViewerControl& viewer) : d_(dispatcher), v_(viewer) {}
    void ClearView() override {
        onUiThread(d_, [&] { v_.ClearView(); });
    }

private:
    ui::CDispatcher& d_;
    frame::ViewerControl& v_;
};

}  // namespace app
