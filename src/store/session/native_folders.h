#pragma once
// The store side of the session object model: store, folder, subfolder collection and item
// collection over a StoreBackend. Folder paths read "\\Personal Folders\Inbox": two backslashes, the
// store's display name, then the folder names below "Top of Personal Folders".
#include <memory>

#include "store/library/library_interface.h"
#include "store/session/store_backend.h"

namespace store::session {

class NativeFolder : public library::Folder {
public:
    NativeFolder(std::shared_ptr<StoreBackend> store, FolderRef folder) : store_(std::move(store)), folder_(folder) {}

    std::u16string path() override;
    std::shared_ptr<library::Folders> subfolders() override;
    std::shared_ptr<library::Items> items() override;
    // Deletes every message of the folder (the export purges Deleted Items with it).
    void purge(bool all) override;

private:
    std::shared_ptr<StoreBackend> store_;
    FolderRef folder_;
};

class NativeFolders : public library::Folders {
public:
    NativeFolders(std::shared_ptr<StoreBackend> store, FolderRef parent) : store_(std::move(store)), parent_(parent) {}

    std::shared_ptr<library::Folder> find(const std::u16string& name) override;
    // Throws when a subfolder of that name exists already.
    std::shared_ptr<library::Folder> add(const std::u16string& name) override;

private:
    std::shared_ptr<StoreBackend> store_;
    FolderRef parent_;
};

class NativeItems : public library::Items {
public:
    NativeItems(std::shared_ptr<StoreBackend> store, FolderRef folder) : store_(std::move(store)), folder_(folder) {}

    // A new, empty item that belongs to the folder once it is saved.
    std::shared_ptr<library::Item> add() override;

private:
    std::shared_ptr<StoreBackend> store_;
    FolderRef folder_;
};

class NativeStore : public library::Store {
public:
    explicit NativeStore(std::shared_ptr<StoreBackend> store) : store_(std::move(store)) {}
    std::shared_ptr<library::Folder> topFolder() override;
    library::SaveStatus saveStatus() override { return store_->saveStatus(); }

private:
    std::shared_ptr<StoreBackend> store_;
};

// The folder path as described above.
std::u16string folderPath(const StoreBackend& store, FolderRef folder);
// The folder a path names in the store, or nothing. Folder names may hold backslashes: at each level
// the longest name that matches the path is taken.
std::optional<FolderRef> folderAtPath(const StoreBackend& store, std::u16string_view path);

}  // namespace store::session
