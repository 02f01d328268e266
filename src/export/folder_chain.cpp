#include "export/folder_chain.h"

#include <mutex>
#include <set>

#include "export/output_paths.h"
#include "export/save_options.h"
#include "platform/file_output.h"
#include "platform/paths.h"
#include "scan/mailbox_kinds.h"

namespace exporter {
namespace {

constexpr char16_t kThunderbirdSubfolders[] = u".sbd";

std::mutex g_chainsMutex;
std::set<std::u16string> g_chainsMadeThisRun;

std::u16string normalizedRoot() {
    std::u16string root = g_hierarchyRoot;
    while (root.size() > 1 && root.back() == platform::kSeparator) root.pop_back();
    return root;
}

// The path below root, or nothing when it is not below it.
std::optional<std::u16string> belowRoot(const std::u16string& path, const std::u16string& root) {
    if (root.empty() || !platform::isAbsolute(root)) return std::nullopt;
    const std::u16string prefix = root == u"/" ? root : root + platform::kSeparator;
    if (!path.starts_with(prefix)) return std::nullopt;
    return path.substr(prefix.size());
}

std::u16string withoutSbd(const std::u16string& name) {
    const std::u16string_view suffix = kThunderbirdSubfolders;
    if (name.size() > suffix.size() && name.ends_with(suffix))
        return name.substr(0, name.size() - suffix.size());
    return name;
}

}  // namespace

std::vector<std::u16string> splitResolved(const std::u16string& relative) {
    std::vector<std::u16string> parts;
    std::size_t start = 0;
    while (start <= relative.size()) {
        std::size_t end = relative.find(platform::kSeparator, start);
        if (end == std::u16string::npos) end = relative.size();
        std::u16string part = relative.substr(start, end - start);
        if (part == u"..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != u".") {
            parts.push_back(std::move(part));
        }
        start = end + 1;
    }
    return parts;
}

bool hierarchyRooted() {
    return !normalizedRoot().empty();
}

std::optional<std::u16string> outsideRootNotice(const std::u16string& mailboxPath) {
    const std::u16string root = normalizedRoot();
    if (root.empty() || !platform::isAbsolute(mailboxPath) || belowRoot(mailboxPath, root))
        return std::nullopt;
    return u"The mailbox " + mailboxPath + u" is not inside the hierarchy root " + root +
           u": its folders follow its full path.";
}

std::optional<std::vector<std::u16string>> shapedHierarchyParts(const std::u16string& mailboxPath) {
    if (!platform::isAbsolute(mailboxPath)) return std::nullopt;
    const std::optional<std::u16string> relative = belowRoot(mailboxPath, normalizedRoot());
    const bool bundle = scan::isAppleMailBundleFile(mailboxPath);
    if (!relative && !bundle) return std::nullopt;
    std::vector<std::u16string> parts =
        splitResolved(relative ? *relative : platform::relativeToRoot(mailboxPath));
    if (bundle && parts.size() > 1) parts.pop_back();  // the bundle folder is the mailbox
    if (relative)
        for (std::size_t i = 0; i + 1 < parts.size(); ++i) parts[i] = withoutSbd(parts[i]);
    return parts;
}

std::u16string rootedOutputFolder(const std::u16string& destination,
                                  const std::vector<std::u16string>& parts) {
    std::lock_guard lock(g_chainsMutex);
    std::u16string parent = platform::withTrailingSeparator(destination);
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
        const std::u16string folder = platform::joinPath(parent, parts[i]);
        if (!platform::folderExists(folder) && platform::makeOutputFolders(folder))
            g_chainsMadeThisRun.insert(folder);
        parent = platform::withTrailingSeparator(folder);
    }
    const std::u16string own = platform::joinPath(parent, parts.back());
    if (g_chainsMadeThisRun.erase(own) > 0)
        return platform::withTrailingSeparator(own);  // ours, and only once
    return platform::withTrailingSeparator(claimNumberedFolder(parent, parts.back()));
}

void startOutputChains() {
    std::lock_guard lock(g_chainsMutex);
    g_chainsMadeThisRun.clear();
}

}  // namespace exporter
