#include "platform/file_output.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <mutex>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "platform/paths.h"

namespace platform {

// A folder this thread holds open (HeldOutputFolder), by native path without a trailing separator.
struct HeldFolder {
    std::string native;
    std::optional<OutputFolder> folder;  // opened when first needed, once it exists
};

namespace {

std::mutex g_rootsMutex;
std::vector<std::string> g_roots;  // native, without a trailing separator ("" for "/")

std::string withoutTrailingSeparators(std::string path) {
    while (!path.empty() && path.back() == '/') path.pop_back();
    return path;
}

// The longest registered root that holds the path below it.
std::optional<std::string> rootOf(const std::string& native) {
    std::lock_guard lock(g_rootsMutex);
    std::optional<std::string> best;
    for (const std::string& root : g_roots)
        if (native.size() > root.size() + 1 && native.compare(0, root.size(), root) == 0 && native[root.size()] == '/' &&
            (!best || root.size() > best->size()))
            best = root;
    return best;
}

bool isRoot(const std::string& native) {
    std::lock_guard lock(g_rootsMutex);
    return std::find(g_roots.begin(), g_roots.end(), native) != g_roots.end();
}

std::vector<std::string> partsOf(std::string_view relative) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= relative.size()) {
        std::size_t end = std::min(relative.find('/', start), relative.size());
        std::string_view part = relative.substr(start, end - start);
        if (!part.empty() && part != ".") parts.emplace_back(part);
        start = end + 1;
    }
    return parts;
}

// The folder that holds the path's last part, opened from the root without following links below it,
// and that last part. Folders on the way are created when `makeFolders`.
struct Parent {
    Descriptor folder;  // none when the folder is one held open (folderFd)
    std::string name;
    int noFollow = O_NOFOLLOW;  // below a root the last part is never followed either
    int folderFd = -1;
    int fd() const { return folder ? folder.get() : folderFd; }
};

thread_local std::vector<HeldFolder*> t_heldFolders;

// The held folder that directly contains the path, opened; null when there is none.
const OutputFolder* heldParentOf(const std::string& native, std::string_view name) {
    if (t_heldFolders.empty() || name.empty() || name == "." || name == "..") return nullptr;
    const std::string_view parent = std::string_view(native).substr(0, native.size() - name.size() - 1);
    for (HeldFolder* held : t_heldFolders) {
        if (held->native != parent) continue;
        if (!held->folder || !*held->folder) held->folder.emplace(fromNativePath(held->native));
        return *held->folder ? &*held->folder : nullptr;
    }
    return nullptr;
}

std::optional<Parent> openParent(const std::string& native, bool makeFolders) {
    std::optional<std::string> root = rootOf(native);
    if (root) {
        const std::size_t slash = native.rfind('/');
        if (const OutputFolder* held = heldParentOf(native, std::string_view(native).substr(slash + 1)))
            return Parent{Descriptor(), native.substr(slash + 1), O_NOFOLLOW, held->descriptor()};
    }
    if (!root) {
        // Outside every root: the folder is opened as named.
        const std::size_t slash = native.rfind('/');
        const std::string folder = slash == std::string::npos ? std::string(".")
                                   : slash == 0                ? std::string("/")
                                                               : native.substr(0, slash);
        if (makeFolders && !createFolders(fromNativePath(folder))) return std::nullopt;
        Descriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!fd) return std::nullopt;
        return Parent{std::move(fd), native.substr(slash + 1), 0};
    }
    std::vector<std::string> parts = partsOf(std::string_view(native).substr(root->size()));
    if (parts.empty() || std::find(parts.begin(), parts.end(), "..") != parts.end()) {
        errno = EINVAL;
        return std::nullopt;
    }
    Descriptor folder(::open(root->empty() ? "/" : root->c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    for (std::size_t i = 0; folder && i + 1 < parts.size(); ++i) {
        const char* name = parts[i].c_str();
        if (makeFolders && ::mkdirat(folder.get(), name, 0777) != 0 && errno != EEXIST) return std::nullopt;
        folder.reset(::openat(folder.get(), name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    }
    if (!folder) return std::nullopt;
    return Parent{std::move(folder), parts.back()};
}

// Writes the bytes through a descriptor opened with flags, then closes it; a failed file is removed.
bool writeThrough(const std::u16string& path, std::string_view bytes, int flags, bool cutAfter) {
    int fd = openOutputFile(path, O_WRONLY | O_CREAT | flags, 0644);
    if (fd < 0) return false;
    bool ok = writeAll(fd, bytes);
    if (ok && cutAfter) ok = ::ftruncate(fd, static_cast<off_t>(bytes.size())) == 0;
    if (::close(fd) != 0) ok = false;
    if (!ok) {
        const int reason = errno;
        removeOutputFile(path);
        errno = reason;
    }
    return ok;
}

}  // namespace

Descriptor& Descriptor::operator=(Descriptor&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
}

int Descriptor::release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
}

void Descriptor::reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
}

void addOutputRoot(const std::u16string& folder) {
    createFolders(folder);
    std::string native = withoutTrailingSeparators(nativePath(folder));
    std::lock_guard lock(g_rootsMutex);
    if (std::find(g_roots.begin(), g_roots.end(), native) == g_roots.end()) g_roots.push_back(std::move(native));
}

int openOutputFile(const std::u16string& path, int flags, mode_t mode) {
    return openOutputFile(nativePath(path), flags, mode);
}

int openOutputFile(const std::string& native, int flags, mode_t mode) {
    std::optional<Parent> parent = openParent(native, false);
    if (!parent) return -1;
    return ::openat(parent->fd(), parent->name.c_str(), flags | parent->noFollow | O_CLOEXEC, mode);
}

bool makeOutputFolders(const std::u16string& path) {
    std::string native = withoutTrailingSeparators(nativePath(path));
    if (native.empty()) return true;
    std::optional<Parent> parent = openParent(native, true);
    if (!parent) return false;
    if (::mkdirat(parent->fd(), parent->name.c_str(), 0777) != 0 && errno != EEXIST) return false;
    Descriptor folder(
        ::openat(parent->fd(), parent->name.c_str(), O_RDONLY | O_DIRECTORY | parent->noFollow | O_CLOEXEC));
    return static_cast<bool>(folder);
}

bool removeOutputFile(const std::u16string& path) { return removeOutputFile(nativePath(path)); }

bool removeOutputFile(const std::string& native) {
    std::optional<Parent> parent = openParent(native, false);
    return parent && ::unlinkat(parent->fd(), parent->name.c_str(), 0) == 0;
}

Claim claimOutputFolder(const std::u16string& path) {
    std::optional<Parent> parent = openParent(withoutTrailingSeparators(nativePath(path)), true);
    if (!parent) return Claim::Failed;
    if (::mkdirat(parent->fd(), parent->name.c_str(), 0777) == 0) return Claim::Claimed;
    return errno == EEXIST ? Claim::Taken : Claim::Failed;
}

Claim claimOutputFile(const std::u16string& path) {
    std::optional<Parent> parent = openParent(nativePath(path), true);
    if (!parent) return Claim::Failed;
    int fd = ::openat(parent->fd(), parent->name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                      0644);
    if (fd < 0) return errno == EEXIST ? Claim::Taken : Claim::Failed;
    ::close(fd);
    return Claim::Claimed;
}

bool writeAll(int fd, std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    return done == bytes.size();
}

bool writeWholeFile(const std::u16string& path, std::string_view bytes) {
    return writeThrough(path, bytes, O_TRUNC, false);
}

bool rewriteFileInPlace(const std::u16string& path, std::string_view bytes) {
    return writeThrough(path, bytes, 0, true);
}

OutputFolder::OutputFolder(const std::u16string& folder) {
    const std::string native = withoutTrailingSeparators(nativePath(folder));
    if (isRoot(native)) {  // a root is opened as given, as for the files below it
        fd_.reset(::open(native.empty() ? "/" : native.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        return;
    }
    std::optional<Parent> parent = openParent(native, false);
    if (!parent) return;
    fd_.reset(::openat(parent->fd(), parent->name.c_str(), O_RDONLY | O_DIRECTORY | parent->noFollow | O_CLOEXEC));
}

bool OutputFolder::writeWholeFile(const std::string& name, std::string_view bytes) {
    if (!fd_ || name.empty() || name.find('/') != std::string::npos || name == "." || name == "..") {
        errno = EINVAL;
        return false;
    }
    const int fd = ::openat(fd_.get(), name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    bool ok = writeAll(fd, bytes);
    if (::close(fd) != 0) ok = false;
    if (!ok) {
        const int reason = errno;
        ::unlinkat(fd_.get(), name.c_str(), 0);
        errno = reason;
    }
    return ok;
}

HeldOutputFolder::HeldOutputFolder(const std::u16string& folder)
    : held_(std::make_unique<HeldFolder>(HeldFolder{withoutTrailingSeparators(nativePath(folder)), std::nullopt})) {
    t_heldFolders.push_back(held_.get());
}

HeldOutputFolder::~HeldOutputFolder() { std::erase(t_heldFolders, held_.get()); }

bool readWholeFile(const std::u16string& path, std::string& bytes) {
    std::ifstream in(nativePath(path), std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

}  // namespace platform
