#include <gtest/gtest.h>

#include "support/test_support.h"
#include "ui/message_list.h"
#include "ui/static_viewer.h"

namespace {

TEST(MessageList, ClicksOnRowsSendTheRowAndClicksBelowOrOnTheStateIconSendNothing) {
    testing_support::RecordingTarget mainWindow;
    ui::CKelvaToolsTopListCtrl list;
    list.SetMainWindow(&mainWindow);
    frame::ListRow row;
    row.data = 42;
    EXPECT_EQ(list.AppendRow(row), 0);
    list.OnLButtonDown(-1);
    list.OnLButtonDown(1);
    list.OnLButtonDown(0, true);
    list.OnLButtonDown(0);
    ASSERT_EQ(mainWindow.messages.size(), 1u);
    EXPECT_EQ(mainWindow.messages[0].message, platform::UM_MESSAGE_CLICKED);
    EXPECT_EQ(mainWindow.messages[0].wParam, 0u);
    EXPECT_EQ(list.GetItemData(0), 42u);
}

TEST(MessageList, WithoutRetainedRowsOnlyTheItemDataStaysAndTheListenerSeesEveryRow) {
    ui::CKelvaToolsTopListCtrl list(false);
    std::vector<std::u16string> seen;
    list.onRowAdded = [&](int, const frame::ListRow& r) { seen.push_back(r.subject); };
    for (int i = 0; i < 3; ++i) {
        frame::ListRow row;
        row.subject = u"s";
        row.data = static_cast<std::uint64_t>(i) * 10;
        list.AppendRow(row);
    }
    EXPECT_EQ(list.GetItemCount(), 3);
    EXPECT_TRUE(list.rows().empty());
    EXPECT_EQ(list.GetItemData(2), 20u);
    EXPECT_EQ(seen.size(), 3u);
}

TEST(MessageList, OnlyTheLastThreeColumnsResize) {
    for (int column = 0; column < 6; ++column)
        EXPECT_EQ(ui::CKelvaToolsTopListCtrl::CanResizeColumn(column), column >= 3) << column;
}

TEST(Viewer, ClearViewEmptiesTheTextsAndSwitchesToTheHeaderLayout) {
    ui::CKelvaStaticViewer viewer;
    EXPECT_EQ(viewer.Layout(400, 300).browser, (ui::ViewerRect{10, 10, 380, 280}));
    viewer.subjectText = u"s";
    viewer.attachments.push_back({u"a.pdf", 1, {}});
    viewer.ClearView();
    EXPECT_TRUE(viewer.subjectText.empty());
    EXPECT_TRUE(viewer.attachments.empty());
    EXPECT_EQ(viewer.Layout(400, 300).browser, (ui::ViewerRect{10, 125, 380, 155}));
    EXPECT_EQ(viewer.Layout(400, 300).attachments, (ui::ViewerRect{120, 75, 270, 40}));
    EXPECT_TRUE(ui::CKelvaStaticViewer::SwallowsMessage(0x204));
    EXPECT_FALSE(ui::CKelvaStaticViewer::SwallowsMessage(0x201));
}

}  // namespace
