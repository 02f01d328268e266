#include "scan/temp_files.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <random>
#include <unistd.h>

#include "platform/codepage.h"
#include "platform/folders.h"
#include "platform/paths.h"

namespace scan {

std::u16string g_tempBase;

namespace {

constexpr char kTempFolderName[] = "KelvaMbox2PSTCon";
// Any create below it fails: /dev/null is not a folder.
constexpr char16_t kUnusableFolder[] = u"/dev/null/KelvaMbox2PSTCon/";

// The private folder of this process and the base it was made under; removed at exit.
struct TempArea {
    std::mutex mutex;
    std::u16string base;
    platform::PrivateFolder folder;
};

TempArea& area() {
    static TempArea instance;
    return instance;
}

// The chosen base with one trailing separator, so "/work" and "/work/" are the same base.
std::u16string currentBase() {
    std::u16string base = g_tempBase.empty() ? platform::tempBaseFolder() : g_tempBase;
    while (base.size() > 1 && base.back() == platform::kSeparator) base.pop_back();
    return platform::withTrailingSeparator(base);
}

// The private folder for the current base, made anew when the base changed or the folder was tampered with.
bool preparePrivateFolder(TempArea& a) {
    const std::u16string base = currentBase();
    if (!a.folder.ok() || a.base != base || !a.folder.intact()) {
        a.folder = platform::PrivateFolder(platform::nativePath(base));
        a.base = base;
    }
    return a.folder.ok();
}

// A short unique hex stem like the original "Tmp1A2B": process id, a counter and a random part.
std::u16string uniqueStem() {
    static std::atomic<unsigned> counter{0};
    static const unsigned seed = std::random_device{}();
    unsigned value = (seed ^ (static_cast<unsigned>(::getpid()) << 16)) + counter++ * 2654435761u;
    const char* hex = "0123456789ABCDEF";
    std::u16string stem = u"Tmp";
    for (int shift = 28; shift >= 0; shift -= 4) stem.push_back(static_cast<char16_t>(hex[(value >> shift) & 0xF]));
    return stem;
}

std::string nativeNameOf(const std::u16string& path) { return platform::nativePath(platform::fileNameOf(path)); }

}  // namespace

std::u16string tempFolderPath() {
    TempArea& a = area();
    std::lock_guard lock(a.mutex);
    if (!preparePrivateFolder(a)) return kUnusableFolder;
    platform::Descriptor inner(platform::openPrivateFolderAt(a.folder.descriptor(), kTempFolderName));
    if (!inner) return kUnusableFolder;
    return platform::fromNativePath(a.folder.path() + "/" + kTempFolderName + "/");
}

bool tempFolderUsable() { return tempFolderPath() != kUnusableFolder; }

void removeTempFolder() {
    TempArea& a = area();
    std::lock_guard lock(a.mutex);
    a.folder.remove();
    a.base.clear();
}

void emptyFolder(const std::u16string& folder) {
    std::string native = platform::nativePath(folder);
    while (native.size() > 1 && native.back() == '/') native.pop_back();
    platform::Descriptor fd(::open(native.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (fd) platform::emptyFolderAt(fd.get());
}

platform::Descriptor openPrivateFolderOf(const std::u16string& path) {
    const std::string folder = platform::nativePath(platform::folderOf(path));
    platform::Descriptor fd(
        ::open(folder.empty() ? "/" : folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (fd && !platform::isPrivateFolder(fd.get())) fd.reset();
    return fd;
}

std::u16string tempFileName(const std::u16string& extension) {
    std::u16string folder = tempFolderPath();
    platform::Descriptor fd = openPrivateFolderOf(folder);
    for (int attempt = 0; fd && attempt < 1000; ++attempt) {
        std::u16string path = folder + uniqueStem() + extension;
        // Reserve the name atomically, then release it: the caller creates the file itself.
        const std::string name = nativeNameOf(path);
        int file = ::openat(fd.get(), name.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (file < 0) {
            if (errno == EEXIST) continue;
            return path;  // the folder is unusable; the caller's create will fail and say so
        }
        ::close(file);
        ::unlinkat(fd.get(), name.c_str(), 0);
        return path;
    }
    return folder + uniqueStem() + extension;
}

bool writeTempFile(const std::u16string& path, std::string_view bytes) {
    platform::Descriptor folder = openPrivateFolderOf(path);
    if (!folder) return false;
    const std::string name = nativeNameOf(path);
    platform::Descriptor file(
        ::openat(folder.get(), name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!file) return false;
    bool ok = platform::writeAll(file.get(), bytes);
    if (::close(file.release()) != 0) ok = false;
    if (!ok) ::unlinkat(folder.get(), name.c_str(), 0);
    return ok;
}

std::u16string writeBlankPreviewPage() {
    std::u16string path = tempFileName(u".html");
    std::string page = "\xFF\xFE";
    for (char c : std::string_view("<html><head><title></title></head><body></body></html>")) {
        page.push_back(c);
        page.push_back('\0');
    }
    writeTempFile(path, page);
    return path;
}

}  // namespace scan
