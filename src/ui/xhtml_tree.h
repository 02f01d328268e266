#pragma once
// CXHtmlTree: the check-box mailbox tree as a toolkit-free control. It holds the items (label, images,
// item data, state bits), one XHTMLTREEDATA record per item, propagates check changes between an item,
// its descendants and its ancestors, and turns clicks into notifications. A widget only draws it and
// forwards clicks. All calls belong to the user-interface thread.
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>

#include "frame/controls.h"
#include "platform/window_message.h"

namespace ui {

using frame::TreeItem;

struct XHTMLTREEDATA {
    int isChecked = 0;
    int isEnabled = 1;
    int isExpanded = 0;
    int wasExpanded = 0;
    int descendantCount = 0;
    int checkedDescendantCount = 0;
    int labelRight = 0;
};

// The header of every tree notification (its wParam points at one).
struct XHTMLTREEMSGDATA {
    const void* tree = nullptr;
    int controlId = 0;
    TreeItem item = 0;
};

// The wParam-less part of a selection-changed WM_NOTIFY (lParam points at one).
struct NMTREEVIEW {
    int controlId = 0;
    int code = 0;
    TreeItem itemNew = 0;
};

// Item state bits, as the framework keeps them.
inline constexpr unsigned TVIS_SELECTED = 0x0002;
inline constexpr unsigned TVIS_DROPHILITED = 0x0008;
inline constexpr unsigned TVIS_EXPANDED = 0x0020;
inline constexpr unsigned TVIS_STATEIMAGEMASK = 0xF000;

unsigned WM_XHTMLTREE_CHECKBOX_CLICKED();
unsigned WM_XHTMLTREE_ITEM_EXPANDED();
unsigned WM_XHTMLTREE_DISPLAY_TOOLTIP();
unsigned WM_XHTMLTREE_INIT_TOOLTIP();

enum class TreeEvent { Inserted, Changed, Cleared, SelectionChanged };

class CXHtmlTree : public frame::TreeControl {
public:
    static constexpr int kControlId = 328;
    static constexpr std::size_t kTooltipLength = 78;

    explicit CXHtmlTree(platform::MessageTarget* parent = nullptr) : parent_(parent) {}

    // ---- options ----
    bool m_withCheckBoxes = false;
    bool m_propagateChecks = false;
    bool m_checksLocked = false;
    bool m_selectOnCheck = true;
    bool m_ownTooltips = false;
    bool m_showImages = true;
    platform::MessageTarget* m_clickTarget = nullptr;

    void SetParent(platform::MessageTarget* parent) { parent_ = parent; }
    // Deletes all items and switches the check boxes on (propagation off until the owner enables it).
    void SetUpCheckTree();

    // ---- TreeControl ----
    TreeItem InsertItem(const frame::TreeInsert& insert) override;
    bool SetItemData(TreeItem item, std::uintptr_t data) override;
    std::uintptr_t GetItemData(TreeItem item) override;
    std::u16string GetItemText(TreeItem item) override;
    TreeItem GetParentItem(TreeItem item) override;
    TreeItem GetRootItem() override { return firstRoot_; }
    TreeItem GetChildItem(TreeItem item) override;
    TreeItem GetNextSiblingItem(TreeItem item) override;
    bool ItemHasChildren(TreeItem item) override { return GetChildItem(item) != 0; }
    unsigned GetCount() override { return static_cast<unsigned>(nodes_.size()); }
    bool SetCheck(TreeItem item, bool checked) override;
    bool GetCheck(TreeItem item) override;
    bool Expand(TreeItem item, frame::ExpandCode code) override;
    bool DeleteAllItems() override;
    TreeItem FirstCheckedItem() override;
    TreeItem NextItemInOrder(TreeItem item) override;
    int CheckedItemCount() override;

    // ---- more of the control ----
    void SelectItem(TreeItem item);
    TreeItem GetSelectedItem() const { return caret_; }
    TreeItem GetDropHilightItem() const { return dropHilite_; }
    void SelectDropTarget(TreeItem item);
    unsigned GetItemState(TreeItem item) const;
    void SetItemState(TreeItem item, unsigned state, unsigned mask);
    int GetStateImage(TreeItem item) const { return static_cast<int>((GetItemState(item) & TVIS_STATEIMAGEMASK) >> 12); }
    bool GetItemImage(TreeItem item, int& image, int& selectedImage) const;
    const XHTMLTREEDATA* GetItemRecord(TreeItem item) const;
    // The state image an item's record calls for: 1 unchecked, 2 checked, 3 tri-state.
    int StateImageIndex(const XHTMLTREEDATA& record) const;
    // The tooltip of an item: its label, cut to the first 78 characters.
    std::u16string TooltipText(TreeItem item);

    // ---- input, with the hit-test result the widget found ----
    void OnLButtonDown(TreeItem item, unsigned hitFlags);
    // The reflected click on an item's check box.
    void OnStateIconClick(TreeItem item);
    // A whole left click as the control sees it: button down, then the check-box click when the hit
    // was on the state image.
    void Click(TreeItem item, unsigned hitFlags);
    void OnRButtonDown(TreeItem item);
    void OnLButtonDblClk(TreeItem item);

    // Told of every change, for the widget that draws the tree.
    std::function<void(TreeEvent, TreeItem)> listener;

private:
    struct Node {
        TreeItem parent = 0;
        TreeItem firstChild = 0;
        TreeItem nextSibling = 0;
        std::u16string text;
        int image = -1;
        int selectedImage = -1;
        std::uintptr_t data = 0;
        unsigned state = 0;
    };

    Node* node(TreeItem item);
    const Node* node(TreeItem item) const;
    XHTMLTREEDATA* record(TreeItem item);
    bool link(TreeItem item, TreeItem parent, TreeItem insertAfter);
    void setStateImage(TreeItem item, int index);
    void refreshStateImage(TreeItem item);
    void setSubtree(TreeItem item, bool checked);
    // Adds delta to each ancestor's checked count and passes the ancestors' own changes upwards.
    void updateAncestors(TreeItem item, int delta);
    void collapseAll(TreeItem item);
    void frameworkExpand(TreeItem item, frame::ExpandCode code);
    void notify(unsigned message, TreeItem item, platform::LParam value);
    void changed(TreeEvent event, TreeItem item);

    platform::MessageTarget* parent_;
    std::unordered_map<TreeItem, Node> nodes_;
    std::unordered_map<TreeItem, XHTMLTREEDATA> records_;
    TreeItem firstRoot_ = 0;
    TreeItem nextHandle_ = 1;
    TreeItem caret_ = 0;
    TreeItem dropHilite_ = 0;
    bool m_clearing = false;
};

}  // namespace ui
