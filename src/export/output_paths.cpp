#include "export/output_paths.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/file_output.h"
#include "platform/paths.h"
#include "scan/message_reader.h"

namespace exporter {
namespace {

bool nameTaken(const std::u16string& path) { return platform::fileExists(path) || platform::folderExists(path); }

std::u16string numberText(long long n) {
    std::string digits = std::to_string(n);
    return std::u16string(digits.begin(), digits.end());
}

}  // namespace

std::u16string numberedName(const std::u16string& destination, const std::u16string& name) {
    std::u16string candidate = destination + name;
    for (long long counter = 0; nameTaken(candidate); ++counter) candidate = destination + numberText(counter) + name;
    return candidate;
}

std::vector<std::u16string> hierarchyParts(const std::u16string& mailboxPath) {
    std::vector<std::u16string> parts;
    if (!platform::isAbsolute(mailboxPath)) return parts;
    std::u16string relative = platform::relativeToRoot(mailboxPath);
    std::size_t start = 0;
    while (start <= relative.size()) {
        std::size_t end = relative.find(platform::kSeparator, start);
        if (end == std::u16string::npos) end = relative.size();
        std::u16string part = relative.substr(start, end - start);
        // Resolved as the file system would, so that the chain never climbs out of the destination.
        if (part == u"..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != u".") {
            parts.push_back(std::move(part));
        }
        start = end + 1;
    }
    return parts;
}

std::u16string createOutputFolder(const std::u16string& destination, const std::u16string& mailboxPath,
                                  bool inHierarchy) {
    std::u16string folder;
    std::vector<std::u16string> parts = hierarchyParts(mailboxPath);
    if (inHierarchy && !platform::isAbsolute(mailboxPath)) {
        folder = destination;
    } else if (!inHierarchy || parts.size() <= 1) {
        folder = numberedName(destination, platform::fileNameOf(mailboxPath));
        platform::createFolders(folder);
    } else {
        folder = destination;
        for (const std::u16string& part : parts) {
            folder = platform::joinPath(folder, part);
            platform::createFolders(folder);
        }
    }
    return platform::withTrailingSeparator(folder);
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
