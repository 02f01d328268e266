#include "platform/folders.h"

#include <cstdlib>
#include <gtest/gtest.h>

#include "platform/paths.h"
#include "support/test_support.h"

using namespace platform;

namespace {
// Sets an environment variable for the life of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};
}  // namespace

TEST(Folders, TempBaseComesFromTmpdirWithATrailingSeparator) {
    {
        ScopedEnv tmp("TMPDIR", "/var/tmp");
        EXPECT_EQ(tempBaseFolder(), u"/var/tmp/");
    }
    ScopedEnv tmp("TMPDIR", "");
    EXPECT_EQ(tempBaseFolder(), u"/tmp/");
}

TEST(Folders, DesktopComesFromUserDirsElseHomeDesktopAndIsCreated) {
    testing_support::TempDir home;
    ScopedEnv homeVar("HOME", home.path().string());
    ScopedEnv config("XDG_CONFIG_HOME", (home / "cfg").string());
    EXPECT_EQ(desktopFolder(), fromNativePath((home / "Desktop").string()));
    EXPECT_TRUE(folderExists(desktopFolder()));

    std::filesystem::create_directories(home / "cfg");
    testing_support::writeFile(home / "cfg" / "user-dirs.dirs", "# c\nXDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n");
    EXPECT_EQ(desktopFolder(), fromNativePath((home / "Schreibtisch").string()));
    EXPECT_TRUE(std::filesystem::is_directory(home / "Schreibtisch"));
}
