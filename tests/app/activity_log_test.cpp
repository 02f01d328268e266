#include <gtest/gtest.h>

#include "app/activity_log.h"
#include "platform/paths.h"
#include "support/test_support.h"

namespace {

std::tm at(int year, int month, int day, int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return t;
}

std::string utf16le(std::string_view ascii) {
    std::string out;
    for (char c : ascii) {
        out.push_back(c);
        out.push_back('\0');
    }
    return out;
}

TEST(ActivityLog, TimestampAndFileNameFollowTheirPatterns) {
    struct Case {
        std::tm time;
        std::u16string stamp;
        std::u16string name;
    } cases[] = {
        {at(2026, 12, 8, 21, 39, 6), u"Dec-08-2026(09-39-06-PM)", u"KelvaMbox2PSTConv_log_8-12-2026-21-39-6.txt"},
        {at(2027, 1, 31, 0, 5, 59), u"Jan-31-2027(12-05-59-AM)", u"KelvaMbox2PSTConv_log_31-1-2027-0-5-59.txt"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(app::timestampText(c.time), c.stamp);
        EXPECT_EQ(app::logFileName(c.time), c.name);
    }
}

TEST(ActivityLog, AFreshFileHoldsTheMarkAndTheBannerAndLinesAddTwoBytesPerCharacterPlusFour) {
    testing_support::TempDir dir;
    app::CActivityLog log;
    ASSERT_TRUE(log.create(platform::fromNativePath(dir.path().string()), at(2026, 12, 8, 21, 39, 6)));
    std::filesystem::path file = dir / "KelvaMbox2PSTConv_log_8-12-2026-21-39-6.txt";
    EXPECT_EQ(platform::nativePath(log.path()), file.string());
    const std::string fresh = "\xFF\xFE" + utf16le(std::string(149, '*') + "\r\n");
    EXPECT_EQ(testing_support::readFile(file), fresh);

    ASSERT_TRUE(log.writeLine(u"abc"));
    EXPECT_EQ(testing_support::readFile(file).size(), fresh.size() + 2 * 3 + 4);
}

TEST(ActivityLog, ASecondStartInTheSameSecondAppendsANewBannerWithoutAMark) {
    testing_support::TempDir dir;
    std::u16string folder = platform::fromNativePath(dir.path().string());
    {
        app::CActivityLog first;
        ASSERT_TRUE(first.create(folder, at(2026, 1, 2, 3, 4, 5)));
        first.writeLine(u"one");
    }
    app::CActivityLog second;
    ASSERT_TRUE(second.create(folder, at(2026, 1, 2, 3, 4, 5)));
    std::string banner = utf16le(std::string(149, '*') + "\r\n");
    EXPECT_EQ(testing_support::readFile(platform::nativePath(second.path())),
              "\xFF\xFE" + banner + utf16le("one\r\n") + banner);
}

TEST(ActivityLog, AFolderThatCannotHoldTheFileLeavesTheLogClosed) {
    testing_support::TempDir dir;
    app::CActivityLog log;
    EXPECT_FALSE(log.create(platform::fromNativePath((dir / "missing").string()), at(2026, 1, 1, 0, 0, 0)));
    EXPECT_FALSE(log.isOpen());
    EXPECT_FALSE(log.writeLine(u"x"));
}

}  // namespace
