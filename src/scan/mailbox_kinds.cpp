#include "scan/mailbox_kinds.h"

#include <sys/stat.h>
#include <string_view>

#include "platform/cfile.h"
#include "platform/paths.h"
#include "scan/mbox_file.h"

namespace scan {
namespace {

constexpr std::size_t kSniffBytes = 64 * 1024;
constexpr char16_t kBundleFile[] = u"mbox";
constexpr char16_t kBundleSuffix[] = u".mbox";

bool isRegularFile(const std::u16string& path) {
    struct stat st {};
    return ::stat(platform::nativePath(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool endsWith(const std::u16string& text, std::u16string_view suffix) {
    return text.size() > suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

bool looksLikeMailbox(const std::u16string& path) {
    if (isImmPath(path)) return true;
    platform::CFile file;
    if (!file.open(path)) return false;
    std::string bytes(kSniffBytes, '\0');
    bytes.resize(file.readAt(0, bytes.data(), bytes.size()));
    const std::size_t first = bytes.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return false;
    const std::size_t lineStart = bytes.find_last_of("\r\n", first);
    return std::string_view(bytes)
        .substr(lineStart == std::string::npos ? 0 : lineStart + 1)
        .starts_with("From ");
}

std::optional<std::u16string> appleMailBundleFile(const std::u16string& folder) {
    std::u16string trimmed = folder;
    while (trimmed.size() > 1 && trimmed.back() == platform::kSeparator) trimmed.pop_back();
    if (!endsWith(platform::fileNameOf(trimmed), kBundleSuffix)) return std::nullopt;
    std::u16string file = platform::joinPath(trimmed, kBundleFile);
    if (!isRegularFile(file)) return std::nullopt;
    return file;
}

bool searchTakes(const std::u16string& path, bool mailboxesOnly) {
    if (platform::fileNameOf(path) != kBundleFile && appleMailBundleFile(platform::folderOf(path)))
        return false;
    return !mailboxesOnly || looksLikeMailbox(path);
}

bool isAppleMailBundleFile(const std::u16string& path) {
    return platform::fileNameOf(path) == kBundleFile &&
           endsWith(platform::fileNameOf(platform::folderOf(path)), kBundleSuffix);
}

std::u16string mailboxDisplayName(const std::u16string& path) {
    if (isAppleMailBundleFile(path)) return platform::fileNameOf(platform::folderOf(path));
    return platform::fileNameOf(path);
}

}  // namespace scan
