#pragma once
// A PST message store: the store object, the name-to-id map, the root folder with "Top of Personal
// Folders", "Deleted Items" and "Search Root", folders in any hierarchy and the messages in them.
// Saving a message writes it to the file at once; folders, their tables, the maps and the header are
// completed by commit() and close(). A store this engine wrote can be opened again and appended to.
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <vector>

#include "store/mapi/message.h"
#include "store/mapi/named_property.h"
#include "store/pst/messaging/entry_id.h"
#include "store/pst/messaging/folder.h"
#include "store/pst/messaging/message_writer.h"
#include "store/pst/ndb/node_database.h"
#include "store/stop_request.h"

namespace store::pst {

struct FolderId {
    Nid nid;
    friend auto operator<=>(const FolderId&, const FolderId&) = default;
};

struct MessageId {
    Nid nid;
    friend auto operator<=>(const MessageId&, const MessageId&) = default;
};

// A message encoded into blocks ahead of saveMessage, away from the file (see prepareMessage).
struct PreparedMessage {
    BlockRecorder blocks;
    WrittenMessage written;  // its block ids are the recorder's; no properties (they are in row)
    ContentsRow row;         // for the folder's contents table, without the message's id
};

inline constexpr std::u16string_view kDefaultStoreName = u"Personal Folders";

class MessageStore {
public:
    // A new store at the path (an existing file is replaced).
    static Result<std::unique_ptr<MessageStore>> create(const std::u16string& path,
                                                        std::u16string_view displayName);
    // A store written earlier (by this engine, or any unencoded Unicode PST with the usual folders).
    static Result<std::unique_ptr<MessageStore>> open(const std::u16string& path);

    ~MessageStore();
    MessageStore(const MessageStore&) = delete;
    MessageStore& operator=(const MessageStore&) = delete;

    const std::u16string& displayName() const { return displayName_; }
    FolderId rootFolder() const { return {nids::RootFolder}; }
    FolderId topOfPersonalFolders() const { return {ipmSubtree_}; }
    FolderId deletedItems() const { return {deletedItems_}; }

    // --- folders ---------------------------------------------------------------------------------
    FolderId createFolder(FolderId parent, std::u16string_view name, std::u16string_view containerClass = u"IPF.Note");
    std::optional<FolderId> findFolder(FolderId parent, std::u16string_view name) const;
    std::vector<FolderId> subfolders(FolderId folder) const;
    std::u16string folderName(FolderId folder) const;
    std::optional<FolderId> parentOf(FolderId folder) const;
    bool exists(FolderId folder) const { return folders_.count(folder.nid.value()) != 0; }

    // --- messages ----------------------------------------------------------------------------------
    // Writes the message into the folder; fails when the folder is unknown, the file failed (the
    // file's failure) or the message holds more than the format can (the store goes on). The
    // message is in the file for good once the next commit succeeds (see keptCount()).
    // Throws StopError when `stop` answers true while the message is written (see MessageWriter).
    // With `prepared` (made by prepareMessage from the same message) the blocks made ahead are written;
    // the file is the same as without.
    Result<MessageId> saveMessage(FolderId folder, const mapi::Message& message, const StopRequest& stop = {},
                                  PreparedMessage* prepared = nullptr);
    // Encodes the message for saveMessage ahead of time; may run on other threads while this store
    // saves other messages. Nothing when saveMessage is better left to do the work: a named property
    // of the message has no id in the store yet (ids are handed out in the order messages are
    // saved), the message is large (its blocks then go to the file as they are made) or more than
    // the format holds. Throws StopError when `stop` answers true.
    std::unique_ptr<PreparedMessage> prepareMessage(const mapi::Message& message, const StopRequest& stop = {}) const;
    std::vector<MessageId> messages(FolderId folder) const;
    std::size_t messageCount(FolderId folder) const;
    bool deleteMessage(MessageId message);
    // Deletes every message of the folder (its subfolders stay).
    void emptyFolder(FolderId folder);
    // The stored properties of a message (named properties under the store's ids).
    std::optional<PropertyList> messageProperties(MessageId message);

    // Completes the file on disk; the store stays open for more.
    bool commit();
    // Saving commits by itself once this many bytes were written since the last commit, or a few
    // seconds passed, provided at least four times what the last commit wrote was written since; so
    // a process that dies leaves a readable file with (nearly) every message saved until then, at a
    // bounded cost. 0 turns it off.
    void setCheckpointInterval(std::uint64_t bytes) { checkpointBytes_ = bytes; }
    bool close();
    bool failed() const { return db_->failed(); }
    // Why writing stopped; empty while the file works. Still answers after close().
    const std::optional<StoreFailure>& failure() const { return db_ ? db_->failure() : closeFailure_; }
    // Messages saved since the store was opened, and how many of the first of them the last
    // successful commit holds. Once the store has failed, the rest will never be in the file.
    std::uint64_t savedCount() const { return savedCount_; }
    std::uint64_t keptCount() const { return keptCount_; }
    std::uint64_t fileBytes() const { return db_->dataBytesWritten(); }

private:
    explicit MessageStore(std::unique_ptr<NodeDatabase> db);
    void initialise(std::u16string_view displayName);
    bool writeChanges();
    void keepWhatWasSavedBefore(std::size_t blockMark);
    void checkpointIfDue();
    Result<void> load();
    FolderRecord* folder(FolderId id);
    const FolderRecord* folder(FolderId id) const;
    FolderId addFolder(Nid nid, Nid parent, std::u16string_view name, std::u16string_view containerClass);
    void writeStoreNode();
    void writeInternalNodes();
    void writeFolder(FolderRecord& record);
    void writeTableNode(Nid nid, const std::vector<std::uint32_t>& columns, const std::vector<TableRow>& rows);
    void writePropertyNode(Nid nid, Nid parent, const PropertyList& props);
    NamedIds namesForSaving();

    std::unique_ptr<NodeDatabase> db_;
    mapi::NamedPropertyMap names_;
    // prepareMessage reads names_ on other threads; ids are added under the exclusive lock.
    mutable std::shared_mutex namesMutex_;
    std::size_t namesWritten_ = 0;
    StoreUid uid_{};
    std::u16string displayName_;
    Nid ipmSubtree_;
    Nid deletedItems_;
    Nid searchRoot_;
    std::map<std::uint32_t, FolderRecord> folders_;
    std::optional<StoreFailure> closeFailure_;
    std::uint64_t savedCount_ = 0;
    std::uint64_t keptCount_ = 0;
    // Each commit rewrites the folders' tables and both B-trees whole, at a cost that grows with the
    // store; on fast storage the few seconds pass rarely, and this bounds how often that cost is paid.
    std::uint64_t checkpointBytes_ = 256ull << 20;
    std::uint64_t allocatedAtCommit_ = 0;
    std::uint64_t lastCommitBytes_ = 0;
    std::chrono::steady_clock::time_point lastCommitTime_ = std::chrono::steady_clock::now();
};

}  // namespace store::pst
