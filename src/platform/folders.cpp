#include "platform/folders.h"

#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include "platform/file_output.h"
#include "platform/paths.h"

namespace platform {
namespace {

std::string envText(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

// Reads XDG_DESKTOP_DIR="$HOME/Desktop" style lines of user-dirs.dirs.
std::string desktopFromUserDirs(const std::string& configDir, const std::string& home) {
    std::ifstream in(configDir + "/user-dirs.dirs");
    std::string line;
    const std::string key = "XDG_DESKTOP_DIR=";
    while (std::getline(in, line)) {
        if (line.rfind(key, 0) != 0) continue;
        std::string value = line.substr(key.size());
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
        if (value.rfind("$HOME", 0) == 0) value = home + value.substr(5);
        if (!value.empty() && value.front() == '/') return value;
    }
    return {};
}

constexpr int kMaxDepth = 64;

bool sameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

bool isPrivate(const struct stat& st) {
    return S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & 077) == 0;
}

std::vector<std::string> entryNames(int folderFd) {
    std::vector<std::string> names;
    int copy = ::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (copy < 0) return names;
    DIR* dir = ::fdopendir(copy);
    if (!dir) {
        ::close(copy);
        return names;
    }
    while (const dirent* entry = ::readdir(dir)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(std::move(name));
    }
    ::closedir(dir);
    return names;
}

bool emptyFolderAt(int folderFd, int depth) {
    bool all = true;
    for (const std::string& name : entryNames(folderFd)) {
        // unlinkat removes a file or a symbolic link itself; only a real folder is entered.
        if (::unlinkat(folderFd, name.c_str(), 0) == 0) continue;
        if (errno != EISDIR || depth >= kMaxDepth) {
            all = false;
            continue;
        }
        Descriptor sub(::openat(folderFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!sub || !emptyFolderAt(sub.get(), depth + 1) || ::unlinkat(folderFd, name.c_str(), AT_REMOVEDIR) != 0)
            all = false;
    }
    return all;
}

}  // namespace

bool isPrivateFolder(int folderFd) {
    struct stat st {};
    return ::fstat(folderFd, &st) == 0 && isPrivate(st);
}

int openPrivateFolderAt(int parentFd, const std::string& name) {
    if (::mkdirat(parentFd, name.c_str(), 0700) != 0 && errno != EEXIST) return -1;
    Descriptor folder(::openat(parentFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!folder || !isPrivateFolder(folder.get())) return -1;
    return folder.release();
}

bool emptyFolderAt(int folderFd) { return emptyFolderAt(folderFd, 0); }

PrivateFolder::PrivateFolder(const std::string& nativeBase) {
    std::string pattern = nativeBase;
    while (pattern.size() > 1 && pattern.back() == '/') pattern.pop_back();
    pattern += pattern == "/" ? "kelva-XXXXXX" : "/kelva-XXXXXX";
    if (!::mkdtemp(pattern.data())) return;
    struct stat before {};
    Descriptor folder(::open(pattern.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat opened {};
    // What was made must still be there: our own folder, closed to others, and the one we opened.
    if (!folder || ::lstat(pattern.c_str(), &before) != 0 || !isPrivate(before) || ::fstat(folder.get(), &opened) != 0 ||
        !sameFile(before, opened)) {
        ::rmdir(pattern.c_str());
        return;
    }
    path_ = std::move(pattern);
    fd_ = folder.release();
    maker_ = ::getpid();
}

PrivateFolder::~PrivateFolder() { remove(); }

PrivateFolder::PrivateFolder(PrivateFolder&& other) noexcept
    : path_(std::move(other.path_)), fd_(std::exchange(other.fd_, -1)), maker_(other.maker_) {}

PrivateFolder& PrivateFolder::operator=(PrivateFolder&& other) noexcept {
    if (this != &other) {
        remove();
        path_ = std::move(other.path_);
        fd_ = std::exchange(other.fd_, -1);
        maker_ = other.maker_;
    }
    return *this;
}

bool PrivateFolder::intact() const {
    struct stat named {};
    struct stat opened {};
    return fd_ >= 0 && ::lstat(path_.c_str(), &named) == 0 && isPrivate(named) && ::fstat(fd_, &opened) == 0 &&
           sameFile(named, opened);
}

void PrivateFolder::remove() {
    if (fd_ < 0) return;
    // A child process never removes its parent's folder.
    if (::getpid() == maker_) {
        emptyFolderAt(fd_);
        if (intact()) ::rmdir(path_.c_str());
    }
    ::close(fd_);
    fd_ = -1;
    path_.clear();
}

// Each answer is returned as a new string: assigning a literal to a string that may hold text makes
// GCC 12 warn about an overlapping copy it cannot rule out (-Wrestrict at -O3).
std::string homeText() {
    if (std::string home = envText("HOME"); !home.empty()) return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir && *pw->pw_dir) return pw->pw_dir;
    return "/";
}

std::u16string homeFolder() { return fromNativePath(homeText()); }

std::u16string tempBaseFolder() {
    // The runtime folder belongs to the user alone and lives in memory.
    std::string base = envText("XDG_RUNTIME_DIR");
    struct stat st {};
    if (base.empty() || base.front() != '/' || ::stat(base.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) base.clear();
    if (base.empty()) base = envText("TMPDIR");
    if (base.empty()) base = "/tmp/";
    return withTrailingSeparator(fromNativePath(base));
}

std::u16string configFolder() {
    std::string config = envText("XDG_CONFIG_HOME");
    if (config.empty() || config.front() != '/') config = nativePath(homeFolder()) + "/.config";
    return fromNativePath(config);
}

std::u16string desktopFolder() {
    std::string home = nativePath(homeFolder());
    std::string desktop = desktopFromUserDirs(nativePath(configFolder()), home);
    if (desktop.empty()) desktop = home + "/Desktop";
    while (desktop.size() > 1 && desktop.back() == '/') desktop.pop_back();
    std::u16string folder = fromNativePath(desktop);
    createFolders(folder);
    return folder;
}

}  // namespace platform
