#pragma once
// The controls the jobs and commands drive: the mailbox tree, the message list, the viewer and message
// boxes. Toolkit-free interfaces; ui/ implements them, gui/ draws them, the jobs call them through the
// frame.
#include <cstdint>
#include <string>

namespace frame {

// ---- Tree items ---------------------------------------------------------------------------------

using TreeItem = std::uintptr_t;  // 0 is "no item"
inline constexpr TreeItem TVI_ROOT = static_cast<TreeItem>(-0x10000);
inline constexpr TreeItem TVI_FIRST = static_cast<TreeItem>(-0x0FFFF);
inline constexpr TreeItem TVI_LAST = static_cast<TreeItem>(-0x0FFFE);

enum class ExpandCode { Collapse = 1, Expand = 2, Toggle = 3 };

// Hit-test flags of a tree click; a click on the label alone is TVHT_ONITEMLABEL.
inline constexpr unsigned TVHT_ONITEMICON = 0x0002;
inline constexpr unsigned TVHT_ONITEMLABEL = 0x0004;
inline constexpr unsigned TVHT_ONITEMINDENT = 0x0008;
inline constexpr unsigned TVHT_ONITEMBUTTON = 0x0010;
inline constexpr unsigned TVHT_ONITEMSTATEICON = 0x0040;

struct TreeInsert {
    TreeItem parent = TVI_ROOT;
    TreeItem insertAfter = TVI_LAST;
    std::u16string text;
    int image = 0;
    int selectedImage = 0;
};

// The mailbox tree's operations that the jobs and commands use.
class TreeControl {
  public:
    virtual ~TreeControl() = default;
    virtual TreeItem InsertItem(const TreeInsert& insert) = 0;
    virtual bool SetItemData(TreeItem item, std::uintptr_t data) = 0;
    virtual std::uintptr_t GetItemData(TreeItem item) = 0;
    virtual std::u16string GetItemText(TreeItem item) = 0;
    virtual TreeItem GetParentItem(TreeItem item) = 0;
    virtual TreeItem GetRootItem() = 0;
    virtual TreeItem GetChildItem(TreeItem item) = 0;
    virtual TreeItem GetNextSiblingItem(TreeItem item) = 0;
    virtual bool ItemHasChildren(TreeItem item) = 0;
    virtual unsigned GetCount() = 0;
    virtual bool SetCheck(TreeItem item, bool checked) = 0;
    virtual bool GetCheck(TreeItem item) = 0;
    virtual bool Expand(TreeItem item, ExpandCode code) = 0;
    virtual bool DeleteAllItems() = 0;
    virtual TreeItem FirstCheckedItem() = 0;
    virtual TreeItem NextItemInOrder(TreeItem item) = 0;
    virtual int CheckedItemCount() = 0;
};

// ---- Message list and viewer ----------------------------------------------------------------------

inline constexpr int kMailboxImage = 38;     // column 0 of every listed message
inline constexpr int kAttachmentImage = 56;  // column 1 of a message with attachments

// One listed message: column 0 text and image, the attachment picture of column 1 (-1 for none), the
// texts of columns 2 to 5, and the item data (the message index).
struct ListRow {
    std::u16string name;
    int image = kMailboxImage;
    int attachmentImage = -1;
    std::u16string to, from, subject, date;
    std::uint64_t data = 0;
};

class MessageListControl {
  public:
    virtual ~MessageListControl() = default;
    virtual bool DeleteAllItems() = 0;
    virtual int GetItemCount() = 0;
    // Inserts the row at the end with all its cells and its item data; returns its index.
    virtual int AppendRow(const ListRow& row) = 0;
    virtual std::uint64_t GetItemData(int row) = 0;
    virtual bool EnsureVisible(int row) = 0;
};

class ViewerControl {
  public:
    virtual ~ViewerControl() = default;
    virtual void ClearView() = 0;
};

// ---- Message boxes --------------------------------------------------------------------------------

enum class BoxIcon { Information, Question };
enum class BoxButtons { Ok, YesNo };
enum class BoxAnswer { Ok, Yes, No, Cancel };

}  // namespace frame
