#include "store/session/memory_store.h"

#include <algorithm>

namespace store::session {

MemoryStore::MemoryStore(std::u16string displayName) : displayName_(std::move(displayName)) {
    folders_[kTop] = Folder{u"Top of Personal Folders", {}, {kDeletedItems}};
    folders_[kDeletedItems] = Folder{u"Deleted Items", kTop, {}};
}

const MemoryStore::Folder& MemoryStore::folder(FolderRef ref) const {
    auto it = folders_.find(ref);
    if (it == folders_.end()) throw StoreError("no such folder");
    return it->second;
}

std::optional<FolderRef> MemoryStore::findFolder(FolderRef parent, std::u16string_view name) const {
    for (FolderRef child : folder(parent).children) {
        if (folders_.at(child).name == name) return child;
    }
    return std::nullopt;
}

FolderRef MemoryStore::createFolder(FolderRef parent, std::u16string_view name) {
    folder(parent);
    const FolderRef ref{nextFolder_++};
    folders_[ref] = Folder{std::u16string(name), parent, {}};
    folders_[parent].children.push_back(ref);
    return ref;
}

std::vector<FolderRef> MemoryStore::subfolders(FolderRef ref) const { return folder(ref).children; }

std::u16string MemoryStore::folderName(FolderRef ref) const { return folder(ref).name; }

std::optional<FolderRef> MemoryStore::parentOf(FolderRef ref) const {
    if (ref == kTop) return std::nullopt;
    return folder(ref).parent;
}

MessageRef MemoryStore::saveMessage(FolderRef ref, std::shared_ptr<const mapi::Message> message) {
    folder(ref);
    const MessageRef id{nextMessage_++};
    messages_[id] = Stored{ref, std::move(message)};
    return id;
}

void MemoryStore::deleteMessage(MessageRef message) {
    if (messages_.erase(message) == 0) throw StoreError("no such message");
}

void MemoryStore::moveToDeletedItems(MessageRef message) {
    auto it = messages_.find(message);
    if (it == messages_.end()) throw StoreError("no such message");
    it->second.folder = kDeletedItems;
}

void MemoryStore::emptyFolder(FolderRef ref) {
    folder(ref);
    std::erase_if(messages_, [&](const auto& entry) { return entry.second.folder == ref; });
}

std::size_t MemoryStore::messageCount(FolderRef ref) const {
    folder(ref);
    return static_cast<std::size_t>(
        std::count_if(messages_.begin(), messages_.end(), [&](const auto& entry) { return entry.second.folder == ref; }));
}

}  // namespace store::session
