#pragma once
// Well-known folders: the temporary base, the desktop (for the activity log) and the settings folder;
// and private folders for temporary files, handled through descriptors so that no symbolic link is
// ever followed inside them.
#include <string>
#include <sys/types.h>

namespace platform {

// $XDG_RUNTIME_DIR when it names a folder, else $TMPDIR when set and non-empty, else "/tmp/"; always
// ends with a separator.
std::u16string tempBaseFolder();
// XDG_DESKTOP_DIR from the user-dirs file, else ~/Desktop; created if missing. No trailing separator.
std::u16string desktopFolder();
// $XDG_CONFIG_HOME, else ~/.config. No trailing separator.
std::u16string configFolder();
// The home folder ($HOME, else the password database).
std::u16string homeFolder();

// A folder private to this user and process: made fresh with mkdtemp (mode 0700) under a base folder
// and checked with lstat before use. It is removed with everything in it when the object goes (only
// by the process that made it).
class PrivateFolder {
public:
    PrivateFolder() = default;
    // Makes "<base>/kelva-XXXXXX"; ok() tells whether it worked.
    explicit PrivateFolder(const std::string& nativeBase);
    ~PrivateFolder();
    PrivateFolder(PrivateFolder&& other) noexcept;
    PrivateFolder& operator=(PrivateFolder&& other) noexcept;
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;

    bool ok() const { return fd_ >= 0; }
    int descriptor() const { return fd_; }
    const std::string& path() const { return path_; }  // native, without a trailing separator
    // True while the path still names this very folder, owned by this user, closed to everyone else.
    bool intact() const;
    // Removes the folder with everything in it now.
    void remove();

private:
    std::string path_;
    int fd_ = -1;
    pid_t maker_ = 0;
};

// True when the folder described by the descriptor belongs to this user and others have no access.
bool isPrivateFolder(int folderFd);
// Opens the folder `name` inside the open folder `parentFd`, making it with mode 0700 when missing,
// without following a symbolic link. -1 unless it is a private folder of this user.
int openPrivateFolderAt(int parentFd, const std::string& name);
// Deletes everything inside the open folder; a symbolic link is removed itself, never followed.
// False when something could not be deleted.
bool emptyFolderAt(int folderFd);

}  // namespace platform
