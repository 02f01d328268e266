#include "export/output_paths.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "export/folder_chain.h"
#include "platform/codepage.h"
#include "platform/file_output.h"
#include "platform/paths.h"
#include "scan/mailbox_kinds.h"
#include "scan/message_reader.h"

namespace exporter {
namespace {

std::u16string numberText(long long n) {
    std::string digits = std::to_string(n);
    return std::u16string(digits.begin(), digits.end());
}

// The numbered-name rule with an atomic claim: the first candidate that can be created is ours, one
// that exists (file, folder or link) passes to the next number.
std::u16string claimNumbered(const std::u16string& destination, const std::u16string& name,
                             platform::Claim (*claim)(const std::u16string&)) {
    std::u16string candidate = destination + name;
    for (long long counter = 0; claim(candidate) == platform::Claim::Taken; ++counter)
        candidate = destination + numberText(counter) + name;
    return candidate;
}

constexpr std::size_t kMaxNameBytes = 255;

// "stem (n).ext", the stem cut so that the name fits the file system.
std::u16string numbered(const std::u16string& name, int number) {
    const auto dot = name.rfind(u'.');
    const bool hasExtension = dot != std::u16string::npos && dot > 0;
    std::u16string stem = hasExtension ? name.substr(0, dot) : name;
    const std::u16string extension = hasExtension ? name.substr(dot) : std::u16string();
    const std::string digits = " (" + std::to_string(number) + ")";
    const std::u16string suffix(digits.begin(), digits.end());
    while (!stem.empty() && platform::utf16ToUtf8(stem + suffix + extension).size() > kMaxNameBytes) {
        stem.pop_back();
        if (!stem.empty() && stem.back() >= 0xD800 && stem.back() <= 0xDBFF) stem.pop_back();  // whole pairs only
    }
    return stem + suffix + extension;
}

}  // namespace

std::u16string claimUniqueFile(const std::u16string& folder, const std::u16string& name) {
    const std::u16string base = platform::withTrailingSeparator(folder);
    std::u16string candidate = base + name;
    for (int number = 2; platform::claimOutputFile(candidate) == platform::Claim::Taken; ++number)
        candidate = base + numbered(name, number);
    return candidate;
}

std::u16string claimNumberedFile(const std::u16string& destination, const std::u16string& name) {
    platform::addOutputRoot(destination);
    return claimNumbered(destination, name, platform::claimOutputFile);
}

std::u16string claimNumberedFolder(const std::u16string& destination, const std::u16string& name) {
    platform::addOutputRoot(destination);
    return claimNumbered(destination, name, platform::claimOutputFolder);
}

std::vector<std::u16string> hierarchyParts(const std::u16string& mailboxPath) {
    if (auto shaped = shapedHierarchyParts(mailboxPath)) return *shaped;
    if (!platform::isAbsolute(mailboxPath)) return {};
    return splitResolved(platform::relativeToRoot(mailboxPath));
}

std::u16string createOutputFolder(const std::u16string& destination, const std::u16string& mailboxPath,
                                  bool inHierarchy) {
    platform::addOutputRoot(destination);
    std::vector<std::u16string> parts = hierarchyParts(mailboxPath);
    if (inHierarchy && !platform::isAbsolute(mailboxPath)) return platform::withTrailingSeparator(destination);
    if (inHierarchy && hierarchyRooted() && !parts.empty()) return rootedOutputFolder(destination, parts);
    if (!inHierarchy || parts.size() <= 1)
        return platform::withTrailingSeparator(claimNumberedFolder(destination, scan::mailboxDisplayName(mailboxPath)));
    // The mirrored chain is shared; the mailbox's own folder is claimed like a flat one, so that a
    // second run never writes into the first one's folder.
    std::u16string parent = destination;
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) parent = platform::joinPath(parent, parts[i]);
    platform::makeOutputFolders(parent);
    return platform::withTrailingSeparator(
        claimNumbered(platform::withTrailingSeparator(parent), parts.back(), platform::claimOutputFolder));
}

bool normalizeFileLineEnds(const std::u16string& path) {
    const std::string native = platform::nativePath(path);
    std::string bytes;
    if (!platform::readWholeFile(path, bytes)) return false;
    // Text that already has CR LF pairs is left alone: the second pass would double its line breaks.
    if (scan::hasCrLf(bytes)) return true;
    std::string normalized = bytes;
    scan::normalizeLineEnds(normalized);
    if (normalized == bytes) return true;
    // Written beside the file and moved over it, so a failed write leaves the original.
    const std::string temporary = native + ".crlf";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(normalized.data(), static_cast<std::streamsize>(normalized.size()));
        if (!out.flush()) {
            std::error_code ignored;
            std::filesystem::remove(temporary, ignored);
            return false;
        }
    }
    std::error_code ec;
    std::filesystem::rename(temporary, native, ec);
    if (ec) std::filesystem::remove(temporary, ec);
    return !ec;
}

}  // namespace exporter
