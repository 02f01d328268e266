#include "platform/folders.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/stat.h>

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

TEST(Folders, TempBaseIsTheRuntimeFolderElseTmpdirWithATrailingSeparator) {
    testing_support::TempDir runtime;
    {
        ScopedEnv xdg("XDG_RUNTIME_DIR", runtime.path().string());
        ScopedEnv tmp("TMPDIR", "/var/tmp");
        EXPECT_EQ(tempBaseFolder(), fromNativePath(runtime.path().string() + "/"));
    }
    for (const char* unusable : {"", "relative", "/nonexistent-runtime"}) {
        ScopedEnv xdg("XDG_RUNTIME_DIR", unusable);
        {
            ScopedEnv tmp("TMPDIR", "/var/tmp");
            EXPECT_EQ(tempBaseFolder(), u"/var/tmp/");
        }
        ScopedEnv tmp("TMPDIR", "");
        EXPECT_EQ(tempBaseFolder(), u"/tmp/");
    }
}

TEST(Folders, PrivateFolderIsMadeFreshCheckedAndRemovedWithoutFollowingLinks) {
    testing_support::TempDir base, outside;
    testing_support::writeFile(outside / "keep.txt", "keep");
    std::string path;
    {
        PrivateFolder folder(base.path().string());
        ASSERT_TRUE(folder.ok());
        path = folder.path();
        EXPECT_EQ(path.rfind(base.path().string() + "/kelva-", 0), 0u);
        EXPECT_TRUE(folder.intact());
        EXPECT_EQ(std::filesystem::status(path).permissions(), std::filesystem::perms::owner_all);
        std::filesystem::create_directory_symlink(outside.path(), std::filesystem::path(path) / "link");
        testing_support::writeFile(std::filesystem::path(path) / "file", "x");
        ASSERT_EQ(::chmod(path.c_str(), 0755), 0);
        EXPECT_FALSE(folder.intact());  // others may enter now
        ASSERT_EQ(::chmod(path.c_str(), 0700), 0);
    }
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_TRUE(std::filesystem::exists(outside / "keep.txt"));
    EXPECT_FALSE(PrivateFolder("/nonexistent-base").ok());
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
