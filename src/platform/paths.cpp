#include "platform/paths.h"

#include <dirent.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <system_error>

#include "platform/codepage.h"

namespace platform {

std::u16string fileNameOf(std::u16string_view path) {
    auto pos = path.rfind(kSeparator);
    if (pos == std::u16string_view::npos) return {};
    return std::u16string(path.substr(pos + 1));
}

std::u16string folderOf(std::u16string_view path) {
    auto pos = path.rfind(kSeparator);
    if (pos == std::u16string_view::npos) return {};
    return std::u16string(path.substr(0, pos));
}

bool isAbsolute(std::u16string_view path) { return !path.empty() && path.front() == kSeparator; }

std::u16string relativeToRoot(std::u16string_view path) {
    std::size_t start = 0;
    while (start < path.size() && path[start] == kSeparator) ++start;
    return std::u16string(path.substr(start));
}

std::u16string withTrailingSeparator(std::u16string_view folder) {
    std::u16string out(folder);
    if (out.empty() || out.back() != kSeparator) out.push_back(kSeparator);
    return out;
}

std::u16string joinPath(std::u16string_view folder, std::u16string_view name) {
    if (folder.empty()) return std::u16string(name);
    std::size_t start = 0;
    while (start < name.size() && name[start] == kSeparator) ++start;
    return withTrailingSeparator(folder) + std::u16string(name.substr(start));
}

std::string nativePath(std::u16string_view path) { return utf16ToUtf8Lossless(path); }
std::u16string fromNativePath(std::string_view path) { return utf8ToUtf16Lossless(path); }

namespace {

constexpr char16_t kReplacementMark = 0xFFFD;

// The name with every run of replacement marks and undecodable bytes written as one mark.
std::u16string blurred(std::u16string_view name) {
    std::u16string out;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const bool lost = name[i] == kReplacementMark || isEscapedByteAt(name, i);
        if (!lost) out.push_back(name[i]);
        else if (out.empty() || out.back() != kReplacementMark) out.push_back(kReplacementMark);
    }
    return out;
}

std::optional<std::u16string> onlyMatchingEntry(const std::u16string& folder, const std::u16string& part) {
    DIR* dir = ::opendir(nativePath(folder).c_str());
    if (!dir) return std::nullopt;
    const std::u16string wanted = blurred(part);
    std::optional<std::u16string> match;
    int matches = 0;
    while (dirent* entry = ::readdir(dir)) {
        std::u16string name = fromNativePath(entry->d_name);
        if (blurred(name) != wanted) continue;
        ++matches;
        match = std::move(name);
    }
    ::closedir(dir);
    return matches == 1 ? match : std::nullopt;
}

}  // namespace

std::u16string recoverPath(std::u16string_view path) {
    if (path.find(kReplacementMark) == std::u16string_view::npos) return std::u16string(path);
    std::u16string out;
    for (std::size_t start = 0;;) {
        const std::size_t end = std::min(path.find(kSeparator, start), path.size());
        std::u16string part(path.substr(start, end - start));
        if (part.find(kReplacementMark) != std::u16string::npos && !std::filesystem::exists(nativePath(out + part))) {
            if (auto found = onlyMatchingEntry(out.empty() ? u"." : out, part)) part = std::move(*found);
        }
        out += part;
        if (end == path.size()) return out;
        out.push_back(kSeparator);
        start = end + 1;
    }
}

bool fileExists(std::u16string_view path) {
    std::error_code ec;
    auto st = std::filesystem::status(nativePath(path), ec);
    return !ec && std::filesystem::exists(st) && !std::filesystem::is_directory(st);
}

bool folderExists(std::u16string_view path) {
    std::error_code ec;
    return std::filesystem::is_directory(nativePath(path), ec);
}

bool createFolders(std::u16string_view path) {
    std::error_code ec;
    std::filesystem::create_directories(nativePath(path), ec);
    return folderExists(path);
}

}  // namespace platform
