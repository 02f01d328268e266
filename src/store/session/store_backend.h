#pragma once
// What the session object model needs of a message store: a folder tree under "Top of Personal
// Folders" with a "Deleted Items" folder, and messages saved into folders, deleted and purged. Two
// backends implement it: MemoryStore (the file export's staging store) and PstStore (a PST file).
// Every call that cannot be carried out throws StoreError.
#include <compare>
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "store/library/library_interface.h"
#include "store/mapi/message.h"
#include "store/stop_request.h"

namespace store::session {

class StoreError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct FolderRef {
    std::uint64_t id = 0;
    friend auto operator<=>(const FolderRef&, const FolderRef&) = default;
};

struct MessageRef {
    std::uint64_t id = 0;
    friend auto operator<=>(const MessageRef&, const MessageRef&) = default;
};

class StoreBackend {
public:
    virtual ~StoreBackend() = default;

    virtual std::u16string displayName() const = 0;
    virtual FolderRef topFolder() const = 0;
    virtual FolderRef deletedItems() const = 0;

    virtual std::optional<FolderRef> findFolder(FolderRef parent, std::u16string_view name) const = 0;
    virtual FolderRef createFolder(FolderRef parent, std::u16string_view name) = 0;
    virtual std::vector<FolderRef> subfolders(FolderRef folder) const = 0;
    virtual std::u16string folderName(FolderRef folder) const = 0;
    virtual std::optional<FolderRef> parentOf(FolderRef folder) const = 0;

    virtual MessageRef saveMessage(FolderRef folder, std::shared_ptr<const mapi::Message> message) = 0;
    // The part of saveMessage a backend can do ahead of time: called on any thread, also while other
    // messages are saved; nothing when there is none (or not for this message).
    struct PreparedSave {
        virtual ~PreparedSave() = default;
    };
    virtual std::unique_ptr<PreparedSave> prepareSave(const mapi::Message& message) const {
        (void)message;
        return nullptr;
    }
    // saveMessage with what prepareSave made of the same message; the result is the same. The caller
    // keeps what is left of `prepared` and gives it back.
    virtual MessageRef savePrepared(FolderRef folder, std::shared_ptr<const mapi::Message> message,
                                    PreparedSave* prepared) {
        (void)prepared;
        return saveMessage(folder, std::move(message));
    }
    virtual void deleteMessage(MessageRef message) = 0;
    // Moves the message into Deleted Items (a backend that cannot move deletes it).
    virtual void moveToDeletedItems(MessageRef message) = 0;
    // Deletes every message of the folder; its subfolders stay.
    virtual void emptyFolder(FolderRef folder) = 0;
    virtual std::size_t messageCount(FolderRef folder) const = 0;

    // Makes what was saved durable; close() also ends the store (later calls throw).
    virtual void flush() = 0;
    virtual void close() = 0;
    // Which saved messages the store holds for good (also after close()); a store that holds each
    // message as it is saved need not count.
    virtual library::SaveStatus saveStatus() const { return {}; }

    // The stop request of the session, polled by the work on one message (its import, its writing
    // into this store or as a file); that work then fails with StopError.
    void setStopRequest(StopRequest stop) { stop_ = std::move(stop); }
    const StopRequest& stopRequest() const { return stop_; }

private:
    StopRequest stop_;
};

}  // namespace store::session
