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

class CMarshalledTree : public scan::TreeControl {
public:
    CMarshalledTree(ui::CDispatcher& dispatcher, scan::TreeControl& tree) : d_(dispatcher), t_(tree) {}
    scan::TreeItem InsertItem(const scan::TreeInsert& insert) override {
        return onUiThread(d_, [&] { return t_.InsertItem(insert); });
    }
    bool SetItemData(scan::TreeItem item, std::uintptr_t data) override {
        return onUiThread(d_, [&] { return t_.SetItemData(item, data); });
    }
    std::uintptr_t GetItemData(scan::TreeItem item) override {
        return onUiThread(d_, [&] { return t_.GetItemData(item); });
    }
    std::u16string GetItemText(scan::TreeItem item) override {
        return onUiThread(d_, [&] { return t_.GetItemText(item); });
    }
    scan::TreeItem GetParentItem(scan::TreeItem item) override {
        return onUiThread(d_, [&] { return t_.GetParentItem(item); });
    }
    scan::TreeItem GetRootItem() override {
        return onUiThread(d_, [&] { return t_.GetRootItem(); });
    }
    scan::TreeItem GetChildItem(scan::TreeItem item) override {
        return onUiThread(d_, [&] { return t_.GetChildItem(item); });
    }
    scan::TreeItem GetNextSiblingItem(scan::TreeItem item) override {
        return onUiThread(d_, [&] { return t_.GetNextSiblingItem(item); });
    }
    bool ItemHasChildren(scan::TreeItem item) override {
        return onUiThread(d_, [&] { return t_.ItemHasChildren(item); });
    }
    unsigned GetCount() override {
        return onUiThread(d_, [&] { return t_.GetCount(); });
    }
    bool SetCheck(scan::TreeItem item, bool checked) override {
        return onUiThread(d_, [&] { return t_.SetCheck(item, checked); });
    }
    bool GetCheck(scan::TreeItem item) override {
        return onUiThread(d_, [&] { return t_.GetCheck(item); });
    }
    bool Expand(scan::TreeItem item, scan::ExpandCode code) override {
        return onUiThread(d_, [&] { return t_.Expand(item, code); });
    }
    bool DeleteAllItems() override {
        return onUiThread(d_, [&] { return t_.DeleteAllItems(); });
    }
    scan::TreeItem FirstCheckedItem() override {
        return onUiThread(d_, [&] { return t_.FirstCheckedItem(); });
    }
    scan::TreeItem NextItemInOrder(scan::TreeItem item) override {
        return onUiThread(d_, [&] { return t_.NextItemInOrder(item); });
    }
    int CheckedItemCount() override {
        return onUiThread(d_, [&] { return t_.CheckedItemCount(); });
    }

private:
    ui::CDispatcher& d_;
    scan::TreeControl& t_;
};

class CMarshalledList : public scan::MessageListControl {
public:
    CMarshalledList(ui::CDispatcher& dispatcher, scan::MessageListControl& list) : d_(dispatcher), l_(list) {}
    bool DeleteAllItems() override {
        return onUiThread(d_, [&] { return l_.DeleteAllItems(); });
    }
    int GetItemCount() override {
        return onUiThread(d_, [&] { return l_.GetItemCount(); });
    }
    int AppendRow(const scan::ListRow& row) override {
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
    scan::MessageListControl& l_;
};

class CMarshalledViewer : public scan::ViewerControl {
public:
    CMarshalledViewer(ui::CDispatcher& dispatcher, scan::ViewerControl& viewer) : d_(dispatcher), v_(viewer) {}
    void ClearView() override {
        onUiThread(d_, [&] { v_.ClearView(); });
    }

private:
    ui::CDispatcher& d_;
    scan::ViewerControl& v_;
};

}  // namespace app
