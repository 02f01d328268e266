#include "export/label_targets.h"

#include "export/message_state.h"
#include "export/save_options.h"
#include "platform/file_output.h"
#include "platform/paths.h"
#include "store/library/library_calls.h"

namespace exporter {
namespace {

using library::callGuarded;

LabelFolders labelMode() {
    return static_cast<LabelFolders>(g_labelFolders.load());
}

std::shared_ptr<library::Folder> findOrAddFolder(const std::shared_ptr<library::Folder>& parent,
                                                 const std::u16string& name) {
    auto folders = callGuarded(parent, [](library::Folder& f) { return f.subfolders(); });
    auto found = callGuarded(folders, [&](library::Folders& f) { return f.find(name); });
    if (found) return found;
    return callGuarded(folders, [&](library::Folders& f) { return f.add(name); });
}

}  // namespace

LabelTargets::LabelTargets(std::shared_ptr<library::Folder> mailboxFolder)
    : mailboxFolder_(std::move(mailboxFolder)) {}

std::shared_ptr<library::Items> LabelTargets::itemsAt(const FolderPath& path) {
    auto known = items_.find(path);
    if (known != items_.end()) return known->second;
    std::shared_ptr<library::Folder> folder = mailboxFolder_;
    for (const std::u16string& name : path) folder = findOrAddFolder(folder, name);
    auto items = callGuarded(folder, [](library::Folder& f) { return f.items(); });
    items_.emplace(path, items);
    return items;
}

std::vector<std::shared_ptr<library::Items>> LabelTargets::itemsFor(std::string_view message) {
    std::vector<std::shared_ptr<library::Items>> targets;
    for (const FolderPath& path : labelFolderPaths(message, labelMode())) targets.push_back(itemsAt(path));
    return targets;
}

void applyMessageState(const std::shared_ptr<library::Item>& item, std::string_view message) {
    if (g_keepMessageState == 0) return;
    const library::MessageState state = messageStateOf(message);
    callGuarded(item, [&](library::Item& i) { i.applyState(state); });
}

bool importItem(const std::shared_ptr<library::Items>& items, std::string_view message) {
    auto item = callGuarded(items, [](library::Items& i) { return i.add(); });
    bool saved = callGuarded(
        item, [&](library::Item& i) { return i.importBytes(std::string(message), library::kImportRfc822); });
    callGuarded(item, [](library::Item& i) { i.markSentAndRead(); });
    applyMessageState(item, message);
    return callGuarded(item, [](library::Item& i) { return i.save(); }) && saved;
}

std::vector<std::u16string> labelOutputPaths(const std::u16string& outputFolder, const std::u16string& name,
                                             std::string_view message) {
    std::vector<std::u16string> paths;
    for (const FolderPath& path : labelFolderPaths(message, labelMode())) {
        std::u16string folder = outputFolder;
        for (const std::u16string& part : path) folder = platform::joinPath(folder, part);
        if (!path.empty()) {
            platform::makeOutputFolders(folder);
            folder = platform::withTrailingSeparator(folder);
        }
        paths.push_back(folder + name);
    }
    return paths;
}

}  // namespace exporter
