#include <gtest/gtest.h>

#include "app/instance_lock.h"
#include "app/settings.h"
#include "platform/paths.h"
#include "support/test_support.h"

namespace {

TEST(Settings, TheLookDefaultsTo215AndIsStoredBesideOtherSettings) {
    testing_support::TempDir dir;
    auto path = dir / "sub" / "KelvaMBOXConvtFullx64v7.0.conf";
    app::CSettings settings(platform::fromNativePath(path.string()));
    EXPECT_EQ(settings.applicationLook(), 215);
    ASSERT_TRUE(settings.setApplicationLook(217));
    EXPECT_EQ(settings.applicationLook(), 217);
    EXPECT_FALSE(settings.setApplicationLook(209));
    EXPECT_EQ(settings.applicationLook(), 217);

    testing_support::writeFile(path, "[Window]\nwidth=3\n[General]\nApplicationLook=999\nother=1\n");
    EXPECT_EQ(settings.applicationLook(), 215);  // out of range
    ASSERT_TRUE(settings.setApplicationLook(210));
    EXPECT_EQ(testing_support::readFile(path), "[Window]\nwidth=3\n[General]\nApplicationLook=210\nother=1\n");
}

TEST(Settings, TheDefaultFileLivesInTheConfigFolder) {
    std::u16string path = app::CSettings::defaultPath();
    EXPECT_NE(path.find(u"/KelvaTools/KelvaMBOXConvtFullx64v7.0.conf"), std::u16string::npos);
}

TEST(InstanceLock, ASecondInstanceFindsTheFirstRunning) {
    testing_support::TempDir dir;
    std::u16string folder = platform::fromNativePath(dir.path().string());
    auto first = std::make_unique<app::CInstanceLock>(folder);
    EXPECT_TRUE(first->held());
    EXPECT_FALSE(first->alreadyRunning());
    app::CInstanceLock second(folder);
    EXPECT_TRUE(second.alreadyRunning());
    first.reset();
    app::CInstanceLock third(folder);
    EXPECT_FALSE(third.alreadyRunning());
}

}  // namespace
