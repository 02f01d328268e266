#include "ui/xhtml_tree.h"

#include <algorithm>

#include "ui/registered_messages.h"

namespace ui {

unsigned WM_XHTMLTREE_CHECKBOX_CLICKED() {
    static const unsigned number = registerWindowMessage(u"WM_XHTMLTREE_CHECKBOX_CLICKED");
    return number;
}
unsigned WM_XHTMLTREE_ITEM_EXPANDED() {
    static const unsigned number = registerWindowMessage(u"WM_XHTMLTREE_ITEM_EXPANDED");
    return number;
}
unsigned WM_XHTMLTREE_DISPLAY_TOOLTIP() {
    static const unsigned number = registerWindowMessage(u"WM_XHTMLTREE_DISPLAY_TOOLTIP");
    return number;
}
unsigned WM_XHTMLTREE_INIT_TOOLTIP() {
    static const unsigned number = registerWindowMessage(u"WM_XHTMLTREE_INIT_TOOLTIP");
    return number;
}

// ---- items ------------------------------------------------------------------------------------------

CXHtmlTree::Node* CXHtmlTree::node(TreeItem item) {
    auto it = nodes_.find(item);
    return it == nodes_.end() ? nullptr : &it->second;
}

const CXHtmlTree::Node* CXHtmlTree::node(TreeItem item) const {
    auto it = nodes_.find(item);
    return it == nodes_.end() ? nullptr : &it->second;
}

XHTMLTREEDATA* CXHtmlTree::record(TreeItem item) {
    if (m_clearing) return nullptr;
    auto it = records_.find(item);
    return it == records_.end() ? nullptr : &it->second;
}

const XHTMLTREEDATA* CXHtmlTree::GetItemRecord(TreeItem item) const {
    if (m_clearing) return nullptr;
    auto it = records_.find(item);
    return it == records_.end() ? nullptr : &it->second;
}

void CXHtmlTree::changed(TreeEvent event, TreeItem item) {
    if (listener) listener(event, item);
}

void CXHtmlTree::notify(unsigned message, TreeItem item, platform::LParam value) {
    if (!parent_) return;
    XHTMLTREEMSGDATA header{this, kControlId, item};
    parent_->sendMessage(message, reinterpret_cast<platform::WParam>(&header), value);
}

// Links a new item under parent after insertAfter (TVI_FIRST, TVI_LAST or a sibling).
bool CXHtmlTree::link(TreeItem item, TreeItem parent, TreeItem insertAfter) {
    TreeItem* head = &firstRoot_;
    if (parent != frame::TVI_ROOT && parent != 0) {
        Node* parentNode = node(parent);
        if (!parentNode) return false;
        head = &parentNode->firstChild;
    }
    Node& added = nodes_.at(item);
    added.parent = parent == frame::TVI_ROOT ? 0 : parent;
    if (insertAfter == frame::TVI_FIRST || *head == 0) {
        added.nextSibling = *head;
        *head = item;
        return true;
    }
    TreeItem after = *head;
    while (true) {
        Node* current = node(after);
        if (after == insertAfter || current->nextSibling == 0) break;
        after = current->nextSibling;
    }
    Node* previous = node(after);
    added.nextSibling = previous->nextSibling;
    previous->nextSibling = item;
    return true;
}

TreeItem CXHtmlTree::InsertItem(const frame::TreeInsert& insert) {
    XHTMLTREEDATA data;
    TreeItem item = nextHandle_++;
    Node added;
    added.text = insert.text;
    if (m_showImages) {
        added.image = insert.image;
        added.selectedImage = insert.selectedImage;
    }
    added.state = 1u << 12;  // a new item is unchecked
    nodes_.emplace(item, std::move(added));
    if (!link(item, insert.parent, insert.insertAfter)) {
        nodes_.erase(item);
        return 0;
    }
    records_.emplace(item, data);
    if (m_propagateChecks) {
        for (TreeItem up = GetParentItem(item); up; up = GetParentItem(up))
            if (XHTMLTREEDATA* ancestor = record(up)) ++ancestor->descendantCount;
        updateAncestors(item, 0);
    }
    changed(TreeEvent::Inserted, item);
    return item;
}

bool CXHtmlTree::SetItemData(TreeItem item, std::uintptr_t data) {
    Node* target = node(item);
    if (!target) return false;
    target->data = data;
    return true;
}

std::uintptr_t CXHtmlTree::GetItemData(TreeItem item) {
    const Node* target = node(item);
    return target ? target->data : 0;
}

std::u16string CXHtmlTree::GetItemText(TreeItem item) {
    const Node* target = node(item);
    return target ? target->text : std::u16string();
}

TreeItem CXHtmlTree::GetParentItem(TreeItem item) {
    const Node* target = node(item);
    return target ? target->parent : 0;
}

TreeItem CXHtmlTree::GetChildItem(TreeItem item) {
    const Node* target = node(item);
    return target ? target->firstChild : 0;
}

TreeItem CXHtmlTree::GetNextSiblingItem(TreeItem item) {
    const Node* target = node(item);
    return target ? target->nextSibling : 0;
}

bool CXHtmlTree::GetItemImage(TreeItem item, int& image, int& selectedImage) const {
    const Node* target = node(item);
    if (!target) return false;
    image = target->image;
    selectedImage = target->selectedImage;
    return true;
}

unsigned CXHtmlTree::GetItemState(TreeItem item) const {
    const Node* target = node(item);
    return target ? target->state : 0;
}

void CXHtmlTree::SetItemState(TreeItem item, unsigned state, unsigned mask) {
    Node* target = node(item);
    if (!target) return;
    target->state = (target->state & ~mask) | (state & mask);
    changed(TreeEvent::Changed, item);
}

// ---- check logic --------------------------------------------------------------------------------------

int CXHtmlTree::StateImageIndex(const XHTMLTREEDATA& data) const {
    if (m_propagateChecks && data.descendantCount > 0) {
        if (data.checkedDescendantCount == 0) return 1;
        return data.checkedDescendantCount == data.descendantCount ? 2 : 3;
    }
    return data.isChecked ? 2 : 1;
}

void CXHtmlTree::setStateImage(TreeItem item, int index) {
    SetItemState(item, static_cast<unsigned>(index) << 12, TVIS_STATEIMAGEMASK);
}

void CXHtmlTree::refreshStateImage(TreeItem item) {
    if (const XHTMLTREEDATA* data = record(item)) setStateImage(item, StateImageIndex(*data));
}

bool CXHtmlTree::GetCheck(TreeItem item) {
    const XHTMLTREEDATA* data = m_withCheckBoxes ? record(item) : nullptr;
    if (!data) return false;
    if (!m_propagateChecks) return data->isChecked != 0;
    if (data->descendantCount > 0)
        return data->checkedDescendantCount > 0 && data->checkedDescendantCount == data->descendantCount;
    return data->isChecked != 0;
}

void CXHtmlTree::setSubtree(TreeItem item, bool checked) {
    if (XHTMLTREEDATA* data = record(item)) {
        data->isChecked = checked ? 1 : 0;
        data->checkedDescendantCount = checked ? data->descendantCount : 0;
        int extras = GetStateImage(item) & 0xC;  // keep the disabled (+4) and hot (+8) looks
        setStateImage(item, (checked ? 2 : 1) + extras);
    }
    for (TreeItem child = GetChildItem(item); child; child = GetNextSiblingItem(child)) setSubtree(child, checked);
}

void CXHtmlTree::updateAncestors(TreeItem item, int delta) {
    for (TreeItem up = GetParentItem(item); up; up = GetParentItem(up)) {
        XHTMLTREEDATA* data = record(up);
        if (!data) break;
        data->checkedDescendantCount = std::max(0, data->checkedDescendantCount + delta);
        int wasChecked = data->isChecked;
        data->isChecked = data->checkedDescendantCount == data->descendantCount ? 1 : 0;
        refreshStateImage(up);
        if (data->isChecked != wasChecked) delta += data->isChecked ? 1 : -1;
    }
}

bool CXHtmlTree::SetCheck(TreeItem item, bool checked) {
    if (!item || !m_withCheckBoxes || m_clearing) return false;
    XHTMLTREEDATA* data = record(item);
    if (!data) return false;
    const int old = data->isChecked;
    data->isChecked = checked ? 1 : 0;
    refreshStateImage(item);
    if (m_propagateChecks && old != data->isChecked) {
        int delta = checked ? data->descendantCount - data->checkedDescendantCount + 1
                            : -(data->checkedDescendantCount + 1);
        setSubtree(item, checked);
        updateAncestors(item, delta);
    }
    notify(WM_XHTMLTREE_CHECKBOX_CLICKED(), item, checked ? 1 : 0);
    return true;
}

TreeItem CXHtmlTree::NextItemInOrder(TreeItem item) {
    if (TreeItem child = GetChildItem(item)) return child;
    for (TreeItem at = item; at; at = GetParentItem(at))
        if (TreeItem next = GetNextSiblingItem(at)) return next;
    return 0;
}

TreeItem CXHtmlTree::FirstCheckedItem() {
    if (!m_withCheckBoxes) return 0;
    for (TreeItem item = firstRoot_; item; item = NextItemInOrder(item))
        if (GetCheck(item)) return item;
    return 0;
}

int CXHtmlTree::CheckedItemCount() {
    if (!m_withCheckBoxes) return 0;
    int count = 0;
    for (TreeItem item = firstRoot_; item; item = NextItemInOrder(item))
        if (GetCheck(item)) ++count;
    return count;
}

// ---- expansion, deletion, selection ----------------------------------------------------------------

void CXHtmlTree::frameworkExpand(TreeItem item, frame::ExpandCode code) {
    Node* target = node(item);
    if (!target || !target->firstChild) return;
    bool expanded = target->state & TVIS_EXPANDED;
    if (code == frame::ExpandCode::Expand) expanded = true;
    if (code == frame::ExpandCode::Collapse) expanded = false;
    if (code == frame::ExpandCode::Toggle) expanded = !expanded;
    SetItemState(item, expanded ? TVIS_EXPANDED : 0, TVIS_EXPANDED);
}

bool CXHtmlTree::Expand(TreeItem item, frame::ExpandCode code) {
    XHTMLTREEDATA* data = record(item);
    if (data && ItemHasChildren(item)) {
        int old = data->isExpanded;
        if (code == frame::ExpandCode::Collapse) data->isExpanded = 0;
        if (code == frame::ExpandCode::Expand) data->isExpanded = 1;
        if (code == frame::ExpandCode::Toggle) data->isExpanded = data->isExpanded ? 0 : 1;
        if (data->isExpanded) data->wasExpanded = 1;
        if (data->isExpanded != old) notify(WM_XHTMLTREE_ITEM_EXPANDED(), item, data->isExpanded);
    }
    frameworkExpand(item, code);
    return node(item) != nullptr;
}

void CXHtmlTree::collapseAll(TreeItem item) {
    for (; item; item = GetNextSiblingItem(item)) {
        Expand(item, frame::ExpandCode::Collapse);
        collapseAll(GetChildItem(item));
    }
}

bool CXHtmlTree::DeleteAllItems() {
    collapseAll(firstRoot_);
    caret_ = firstRoot_;
    m_clearing = true;
    nodes_.clear();
    records_.clear();
    firstRoot_ = 0;
    caret_ = 0;
    dropHilite_ = 0;
    m_clearing = false;
    changed(TreeEvent::Cleared, 0);
    return true;
}

void CXHtmlTree::SetUpCheckTree() {
    m_clearing = true;
    nodes_.clear();
    records_.clear();
    firstRoot_ = caret_ = dropHilite_ = 0;
    m_clearing = false;
    m_withCheckBoxes = true;
    m_ownTooltips = true;
    m_propagateChecks = false;
    m_selectOnCheck = true;
    changed(TreeEvent::Cleared, 0);
}

void CXHtmlTree::SelectItem(TreeItem item) {
    if (item == caret_) return;
    if (!record(item)) return;  // the current selection stays
    if (parent_) {
        NMTREEVIEW change{kControlId, TVN_SELCHANGED, item};
        parent_->sendMessage(WM_NOTIFY, static_cast<platform::WParam>(kControlId),
                             reinterpret_cast<platform::LParam>(&change));
    }
    caret_ = item;
    changed(TreeEvent::SelectionChanged, item);
}

void CXHtmlTree::SelectDropTarget(TreeItem item) {
    if (dropHilite_) SetItemState(dropHilite_, 0, TVIS_DROPHILITED);
    dropHilite_ = node(item) ? item : 0;
    if (dropHilite_) SetItemState(dropHilite_, TVIS_DROPHILITED, TVIS_DROPHILITED);
}

std::u16string CXHtmlTree::TooltipText(TreeItem item) {
    std::u16string text = GetItemText(item);
    if (text.size() > kTooltipLength) text.resize(kTooltipLength);
    return text;
}

// ---- input --------------------------------------------------------------------------------------------

void CXHtmlTree::OnLButtonDown(TreeItem item, unsigned hitFlags) {
    if (caret_) SetItemState(caret_, 0, TVIS_SELECTED);
    if (item && (hitFlags & frame::TVHT_ONITEMBUTTON)) Expand(item, frame::ExpandCode::Toggle);
    if (!node(item)) return;
    SelectItem(item);
    SelectDropTarget(item);
    SetItemState(item, TVIS_SELECTED, TVIS_SELECTED);
    if (hitFlags == frame::TVHT_ONITEMLABEL && m_clickTarget)
        m_clickTarget->sendMessage(platform::UM_MAILBOX_CLICKED, hitFlags, static_cast<platform::LParam>(item));
}

void CXHtmlTree::OnStateIconClick(TreeItem item) {
    XHTMLTREEDATA* data = record(item);
    if (!data || m_checksLocked) return;
    SetCheck(item, data->isChecked == 0);
    if (m_selectOnCheck) SelectItem(item);
    int index = GetStateImage(item);
    if (index < 8) setStateImage(item, index + 8);
}

void CXHtmlTree::Click(TreeItem item, unsigned hitFlags) {
    OnLButtonDown(item, hitFlags);
    if (item && (hitFlags & frame::TVHT_ONITEMSTATEICON)) OnStateIconClick(item);
}

void CXHtmlTree::OnRButtonDown(TreeItem item) {
    if (nodes_.empty()) return;
    if (GetItemState(firstRoot_) & TVIS_SELECTED) SetItemState(firstRoot_, 0, TVIS_SELECTED);
    if (!node(item)) return;
    SelectItem(item);
    SelectDropTarget(item);
    SetItemState(item, TVIS_SELECTED, TVIS_SELECTED);
}

void CXHtmlTree::OnLButtonDblClk(TreeItem item) {
    XHTMLTREEDATA* data = record(item);
    if (!data || !ItemHasChildren(item)) return;
    data->isExpanded = data->isExpanded ? 0 : 1;
    data->wasExpanded = 1;
    notify(WM_XHTMLTREE_ITEM_EXPANDED(), item, data->isExpanded);
    frameworkExpand(item, frame::ExpandCode::Toggle);
}

}  // namespace ui
