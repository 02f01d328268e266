#include <gtest/gtest.h>

#include "support/test_support.h"
#include "ui/registered_messages.h"
#include "ui/xhtml_tree.h"

namespace {

using frame::TreeItem;

class XHtmlTreeTest : public ::testing::Test {
protected:
    XHtmlTreeTest() : tree(&parent) {
        tree.SetUpCheckTree();
        tree.m_propagateChecks = true;
        tree.m_clickTarget = &mainWindow;
    }
    TreeItem root(const std::u16string& text) { return tree.InsertItem({frame::TVI_ROOT, frame::TVI_LAST, text, 1, 1}); }
    TreeItem child(TreeItem parentItem, const std::u16string& text) {
        return tree.InsertItem({parentItem, frame::TVI_LAST, text, 0, 0});
    }
    std::vector<testing_support::RecordedMessage> sent(unsigned message) const {
        std::vector<testing_support::RecordedMessage> found;
        for (const auto& m : parent.messages)
            if (m.message == message) found.push_back(m);
        return found;
    }

    testing_support::RecordingTarget parent;
    testing_support::RecordingTarget mainWindow;
    ui::CXHtmlTree tree;
};

TEST_F(XHtmlTreeTest, ACheckedRootBecomesUncheckedWhenAnUncheckedChildArrivesAndCheckedWithIt) {
    TreeItem a = root(u"/mail/a.mbox");
    tree.SetCheck(a, true);
    EXPECT_TRUE(tree.GetCheck(a));
    EXPECT_EQ(tree.GetStateImage(a), 2);

    TreeItem c = child(a, u"a.mbox(3)");
    EXPECT_FALSE(tree.GetCheck(a));
    EXPECT_EQ(tree.GetStateImage(a), 1);
    EXPECT_EQ(tree.GetItemRecord(a)->descendantCount, 1);

    tree.SetCheck(c, true);
    EXPECT_TRUE(tree.GetCheck(a));
    EXPECT_EQ(tree.GetItemRecord(a)->checkedDescendantCount, 1);
    EXPECT_EQ(tree.CheckedItemCount(), 2);

    tree.SetCheck(a, false);  // unchecking the root unchecks both
    EXPECT_FALSE(tree.GetCheck(c));
    EXPECT_EQ(tree.CheckedItemCount(), 0);
}

TEST_F(XHtmlTreeTest, OneCheckedChildOfThreeShowsTheTriStateAndTheRootIsNotChecked) {
    TreeItem a = root(u"/a");
    TreeItem c1 = child(a, u"1");
    child(a, u"2");
    child(a, u"3");
    tree.SetCheck(c1, true);
    EXPECT_EQ(tree.GetStateImage(a), 3);
    EXPECT_FALSE(tree.GetCheck(a));
    EXPECT_EQ(tree.CheckedItemCount(), 1);
}

TEST_F(XHtmlTreeTest, DeltasPassThroughSeveralLevels) {
    TreeItem a = root(u"/a");
    TreeItem b = child(a, u"b");
    TreeItem c = child(b, u"c");
    TreeItem d = child(b, u"d");
    tree.SetCheck(a, true);
    EXPECT_EQ(tree.GetItemRecord(a)->checkedDescendantCount, 3);
    tree.SetCheck(c, false);
    EXPECT_EQ(tree.GetItemRecord(a)->checkedDescendantCount, 1);  // c and b lost
    EXPECT_EQ(tree.GetStateImage(a), 3);
    EXPECT_EQ(tree.GetStateImage(b), 3);
    tree.SetCheck(c, true);
    EXPECT_EQ(tree.GetItemRecord(a)->checkedDescendantCount, 3);
    EXPECT_TRUE(tree.GetCheck(a));
    EXPECT_TRUE(tree.GetCheck(d));
}

TEST_F(XHtmlTreeTest, ARootWithoutChildrenFollowsItsOwnCheck) {
    TreeItem a = root(u"/missing.mbox");
    EXPECT_FALSE(tree.GetCheck(a));
    tree.SetCheck(a, true);
    EXPECT_TRUE(tree.GetCheck(a));
    EXPECT_EQ(tree.FirstCheckedItem(), a);
}

TEST_F(XHtmlTreeTest, EverySetCheckNotifiesTheParentAndExpansionChangesToo) {
    TreeItem a = root(u"/a");
    TreeItem c = child(a, u"c");
    tree.SetCheck(c, true);
    tree.SetCheck(c, true);  // unchanged value: still notified
    auto checks = sent(ui::WM_XHTMLTREE_CHECKBOX_CLICKED());
    ASSERT_EQ(checks.size(), 2u);
    EXPECT_EQ(checks[0].lParam, 1);

    tree.Expand(a, frame::ExpandCode::Expand);
    tree.Expand(a, frame::ExpandCode::Expand);  // no change, no notification
    auto expanded = sent(ui::WM_XHTMLTREE_ITEM_EXPANDED());
    ASSERT_EQ(expanded.size(), 1u);
    EXPECT_EQ(expanded[0].lParam, 1);
    EXPECT_EQ(tree.GetItemRecord(a)->wasExpanded, 1);
    EXPECT_TRUE(tree.GetItemState(a) & ui::TVIS_EXPANDED);
}

TEST_F(XHtmlTreeTest, PreOrderVisitsRootChildNextRootNextChild) {
    TreeItem a = root(u"/a");
    TreeItem ac = child(a, u"ac");
    TreeItem b = root(u"/b");
    TreeItem bc = child(b, u"bc");
    tree.SetCheck(a, true);
    tree.SetCheck(b, true);
    std::vector<TreeItem> order;
    for (TreeItem i = tree.FirstCheckedItem(); i; i = tree.NextItemInOrder(i)) order.push_back(i);
    EXPECT_EQ(order, (std::vector<TreeItem>{a, ac, b, bc}));
}

TEST_F(XHtmlTreeTest, InsertFirstPutsTheChildBeforeItsSiblings) {
    TreeItem a = root(u"/a");
    TreeItem later = child(a, u"later");
    TreeItem first = tree.InsertItem({a, frame::TVI_FIRST, u"first", 0, 0});
    EXPECT_EQ(tree.GetChildItem(a), first);
    EXPECT_EQ(tree.GetNextSiblingItem(first), later);
    EXPECT_EQ(tree.InsertItem({9999, frame::TVI_LAST, u"orphan", 0, 0}), 0u);
}

TEST_F(XHtmlTreeTest, ALabelClickSendsTheMailboxClickAndACheckBoxClickTogglesWithoutIt) {
    TreeItem a = root(u"/a");
    TreeItem c = child(a, u"c");
    tree.Click(c, frame::TVHT_ONITEMLABEL);
    ASSERT_EQ(mainWindow.messages.size(), 1u);
    EXPECT_EQ(mainWindow.messages[0].message, platform::UM_MAILBOX_CLICKED);
    EXPECT_EQ(mainWindow.messages[0].wParam, 4u);
    EXPECT_EQ(static_cast<TreeItem>(mainWindow.messages[0].lParam), c);
    EXPECT_EQ(tree.GetSelectedItem(), c);
    EXPECT_EQ(tree.GetDropHilightItem(), c);

    for (unsigned flags : {frame::TVHT_ONITEMSTATEICON, frame::TVHT_ONITEMICON, frame::TVHT_ONITEMBUTTON,
                           frame::TVHT_ONITEMINDENT})
        tree.Click(a, flags);
    EXPECT_EQ(mainWindow.messages.size(), 1u);
    EXPECT_TRUE(tree.GetCheck(a));  // toggled once, by the state-icon click
    EXPECT_TRUE(tree.GetCheck(c));
    EXPECT_EQ(tree.GetStateImage(a), 10);  // checked, hot
}

TEST_F(XHtmlTreeTest, SelectItemNotifiesOnlyOnChange) {
    TreeItem a = root(u"/a");
    tree.SelectItem(a);
    tree.SelectItem(a);
    auto notes = sent(ui::WM_NOTIFY);
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].wParam, static_cast<platform::WParam>(ui::CXHtmlTree::kControlId));
}

TEST_F(XHtmlTreeTest, DeleteAllItemsLeavesNoRecordAndNoCheck) {
    TreeItem a = root(u"/a");
    child(a, u"c");
    tree.SetCheck(a, true);
    tree.Expand(a, frame::ExpandCode::Expand);
    ASSERT_TRUE(tree.DeleteAllItems());
    EXPECT_EQ(tree.GetCount(), 0u);
    EXPECT_EQ(tree.GetItemRecord(a), nullptr);
    EXPECT_EQ(tree.CheckedItemCount(), 0);
    EXPECT_EQ(tree.GetRootItem(), 0u);
}

TEST_F(XHtmlTreeTest, LockedChecksIgnoreClicksAndTooltipsAreCut) {
    TreeItem a = root(std::u16string(100, u'x'));
    tree.m_checksLocked = true;
    tree.OnStateIconClick(a);
    EXPECT_FALSE(tree.GetCheck(a));
    EXPECT_EQ(tree.TooltipText(a).size(), ui::CXHtmlTree::kTooltipLength);
}

}  // namespace
