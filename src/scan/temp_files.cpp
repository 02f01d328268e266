#include "scan/temp_files.h"

#include <atomic>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <unistd.h>

#include "platform/codepage.h"
#include "platform/folders.h"
#include "platform/paths.h"

namespace scan {

std::u16string g_tempBase;

namespace {

constexpr char16_t kTempFolderName[] = u"KelvaMbox2PSTCon";

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

}  // namespace

std::u16string tempFolderPath() {
    std::u16string base = g_tempBase.empty() ? platform::tempBaseFolder() : g_tempBase;
    std::u16string folder = platform::withTrailingSeparator(platform::joinPath(base, kTempFolderName));
    platform::createFolders(folder);
    return folder;
}

void emptyFolder(const std::u16string& folder) {
    std::error_code ec;
    std::filesystem::path root(platform::nativePath(folder));
    std::vector<std::filesystem::path> children;
    for (auto it = std::filesystem::directory_iterator(root, ec); !ec && it != std::filesystem::directory_iterator();
         it.increment(ec))
        children.push_back(it->path());
    for (const auto& child : children) {
        std::error_code ignored;
        // A link is removed itself and never followed, so nothing outside the folder is touched.
        std::filesystem::remove_all(child, ignored);
    }
}

std::u16string tempFileName(const std::u16string& extension) {
    std::u16string folder = tempFolderPath();
    for (int attempt = 0; attempt < 1000; ++attempt) {
        std::u16string path = folder + uniqueStem() + extension;
        // Reserve the name atomically, then release it: the caller creates the file itself.
        int fd = ::open(platform::nativePath(path).c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return path;  // the folder is unusable; the caller's create will fail and say so
        }
        ::close(fd);
        ::unlink(platform::nativePath(path).c_str());
        return path;
    }
    return folder + uniqueStem() + extension;
}

std::u16string writeBlankPreviewPage() {
    std::u16string path = tempFileName(u".html");
    std::ofstream out(platform::nativePath(path), std::ios::binary | std::ios::trunc);
    if (out) {
        out.write("\xFF\xFE", 2);
        for (char c : std::string_view("<html><head><title></title></head><body></body></html>")) {
            out.put(c);
            out.put('\0');
        }
    }
    return path;
}

}  // namespace scan
