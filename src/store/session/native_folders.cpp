#include "store/session/native_folders.h"

#include "store/session/native_item.h"

namespace store::session {

std::u16string folderPath(const StoreBackend& store, FolderRef folder) {
    std::u16string below;
    const FolderRef top = store.topFolder();
    for (std::optional<FolderRef> f = folder; f && *f != top; f = store.parentOf(*f)) {
        below = u"\\" + store.folderName(*f) + below;
    }
    return u"\\\\" + store.displayName() + below;
}

std::optional<FolderRef> folderAtPath(const StoreBackend& store, std::u16string_view path) {
    while (!path.empty() && path.front() == u'\\') path.remove_prefix(1);
    const std::u16string name = store.displayName();
    if (!path.starts_with(name)) return std::nullopt;
    path.remove_prefix(name.size());
    FolderRef folder = store.topFolder();
    while (!path.empty()) {
        if (path.front() != u'\\') return std::nullopt;
        path.remove_prefix(1);
        std::optional<FolderRef> best;
        std::size_t bestLength = 0;
        for (FolderRef child : store.subfolders(folder)) {
            const std::u16string childName = store.folderName(child);
            const bool matches = path.starts_with(childName) && (path.size() == childName.size() || path[childName.size()] == u'\\');
            if (matches && (!best || childName.size() > bestLength)) {
                best = child;
                bestLength = childName.size();
            }
        }
        if (!best) return std::nullopt;
        folder = *best;
        path.remove_prefix(bestLength);
    }
    return folder;
}

std::u16string NativeFolder::path() { return folderPath(*store_, folder_); }

std::shared_ptr<library::Folders> NativeFolder::subfolders() {
    store_->folderName(folder_);  // throws for a folder that is gone
    return std::make_shared<NativeFolders>(store_, folder_);
}

std::shared_ptr<library::Items> NativeFolder::items() {
    store_->folderName(folder_);
    return std::make_shared<NativeItems>(store_, folder_);
}

void NativeFolder::purge(bool) { store_->emptyFolder(folder_); }

std::shared_ptr<library::Folder> NativeFolders::find(const std::u16string& name) {
    auto found = store_->findFolder(parent_, name);
    if (!found) return nullptr;
    return std::make_shared<NativeFolder>(store_, *found);
}

std::shared_ptr<library::Folder> NativeFolders::add(const std::u16string& name) {
    if (name.empty()) throw StoreError("a folder needs a name");
    if (store_->findFolder(parent_, name)) throw StoreError("a folder of that name exists");
    return std::make_shared<NativeFolder>(store_, store_->createFolder(parent_, name));
}

std::shared_ptr<library::Item> NativeItems::add() {
    store_->folderName(folder_);
    return std::make_shared<NativeItem>(store_, folder_);
}

std::shared_ptr<library::Folder> NativeStore::topFolder() {
    return std::make_shared<NativeFolder>(store_, store_->topFolder());
}

}  // namespace store::session
