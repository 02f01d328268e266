#pragma once
// A message store held in memory: the staging store of the file export. Saved messages are shared
// with the items that saved them, not copied; deleting a message and purging Deleted Items frees it.
#include <map>

#include "store/session/store_backend.h"

namespace store::session {

class MemoryStore : public StoreBackend {
public:
    explicit MemoryStore(std::u16string displayName);

    std::u16string displayName() const override { return displayName_; }
    FolderRef topFolder() const override { return kTop; }
    FolderRef deletedItems() const override { return kDeletedItems; }

    std::optional<FolderRef> findFolder(FolderRef parent, std::u16string_view name) const override;
    FolderRef createFolder(FolderRef parent, std::u16string_view name) override;
    std::vector<FolderRef> subfolders(FolderRef folder) const override;
    std::u16string folderName(FolderRef folder) const override;
    std::optional<FolderRef> parentOf(FolderRef folder) const override;

    MessageRef saveMessage(FolderRef folder, std::shared_ptr<const mapi::Message> message) override;
    void deleteMessage(MessageRef message) override;
    void moveToDeletedItems(MessageRef message) override;
    void emptyFolder(FolderRef folder) override;
    std::size_t messageCount(FolderRef folder) const override;

    void flush() override {}
    void close() override {}

    // Messages held in all folders.
    std::size_t heldMessages() const { return messages_.size(); }

private:
    struct Folder {
        std::u16string name;
        FolderRef parent;
        std::vector<FolderRef> children;
    };
    struct Stored {
        FolderRef folder;
        std::shared_ptr<const mapi::Message> message;
    };

    static constexpr FolderRef kTop{1};
    static constexpr FolderRef kDeletedItems{2};

    const Folder& folder(FolderRef ref) const;

    std::u16string displayName_;
    std::map<FolderRef, Folder> folders_;
    std::map<MessageRef, Stored> messages_;
    std::uint64_t nextFolder_ = 3;
    std::uint64_t nextMessage_ = 1;
};

}  // namespace store::session
