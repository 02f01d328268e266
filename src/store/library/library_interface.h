#pragma once
// The message-store library as the export sees it: one operation per role the export uses (session,
// stores, store, folder, subfolders, items, item, attachments, attachment). An implementation signals
// a failed call by throwing; callers never call these directly but through the guarded wrappers of
// library_calls.h, which retry once and then yield nothing.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "store/library/message_state.h"

namespace library {

class Folder;

class Attachment {
public:
    virtual ~Attachment() = default;
    virtual std::u16string fileName() = 0;
    virtual bool saveFile(const std::u16string& path) = 0;
};

class Attachments {
public:
    virtual ~Attachments() = default;
    virtual int count() = 0;
    virtual std::shared_ptr<Attachment> item(int oneBasedIndex) = 0;
};

// Import types and save-as formats the export uses.
inline constexpr int kImportRfc822 = 1024;
inline constexpr int kSaveAsRtf = 1;
inline constexpr int kSaveAsHtml = 5;
inline constexpr int kSaveAsMsg = 9;

class Item {
public:
    virtual ~Item() = default;
    // Replaces the item's content with the message in the file (kImportRfc822).
    virtual bool importFile(const std::u16string& path, int type) = 0;
    // The same for a message held in memory, whose bytes the item takes (a caller that retries the call
    // hands the bytes again).
    virtual bool importBytes(std::string bytes, int type) = 0;
    // The two item flags the export sets: the message is sent (not a draft) and read.
    virtual void markSentAndRead() = 0;
    // The state the mailbox gave the message (after markSentAndRead); ignored where not supported.
    virtual void applyState(const MessageState& state) { (void)state; }
    virtual bool save() = 0;
    virtual bool saveAs(const std::u16string& path, int format) = 0;
    // May convert the item for a later saveAs in that format ahead of time, on another thread than the
    // one that saves it; saveAs writes the same file either way.
    virtual void prepareSaveAs(int format) { (void)format; }
    // May do the work of a later save() ahead of time, on another thread than the one that saves it
    // (while no other call is made on the item); save() stores the same either way.
    virtual void prepareSave() {}
    virtual std::shared_ptr<Attachments> attachments() = 0;
    virtual void remove(int mode) = 0;
};

class Items {
public:
    virtual ~Items() = default;
    virtual std::shared_ptr<Item> add() = 0;
};

class Folders {
public:
    virtual ~Folders() = default;
    // The subfolder of that name, or null when there is none.
    virtual std::shared_ptr<Folder> find(const std::u16string& name) = 0;
    virtual std::shared_ptr<Folder> add(const std::u16string& name) = 0;
};

class Folder {
public:
    virtual ~Folder() = default;
    // The folder's path from the store's root, parts separated by '\'.
    virtual std::u16string path() = 0;
    virtual std::shared_ptr<Folders> subfolders() = 0;
    virtual std::shared_ptr<Items> items() = 0;
    virtual void purge(bool all) = 0;
};

// How the messages saved through a store fared. A store that writes a file holds a message for good
// only once it has committed it; after writing failed, the saved messages it did not keep are lost.
struct SaveStatus {
    std::uint64_t saved = 0;  // messages saved through the store since it was opened (0: not counted)
    std::uint64_t kept = 0;   // the first `kept` of them are in the store for good
    std::u16string failure;   // why writing stopped; empty while the store works
};

class Store {
public:
    virtual ~Store() = default;
    virtual std::shared_ptr<Folder> topFolder() = 0;
    // Still answers after the store was closed (by logging off), with the outcome of the close.
    virtual SaveStatus saveStatus() { return {}; }
};

class Stores {
public:
    virtual ~Stores() = default;
    // Records the PST in the user's profile.
    virtual void addPst(const std::u16string& path, int type, const std::u16string& displayName) = 0;
};

class LogonSource {
public:
    virtual ~LogonSource() = default;
    virtual std::u16string logonText() = 0;
};

// Default folder numbers the export asks for.
inline constexpr int kDefaultFolderDeletedItems = 3;
inline constexpr int kDefaultFolderImport = 6;

class Session {
public:
    virtual ~Session() = default;
    // Non-empty when the library can write stores (its name and version).
    virtual std::u16string outlookCheck() = 0;
    virtual std::shared_ptr<LogonSource> logonSource() = 0;
    // Logs on to the PST at path, creating it when absent; type and displayName may be missing.
    virtual std::shared_ptr<Store> openStore(const std::u16string& path, std::optional<int> type,
                                             std::optional<std::u16string> displayName) = 0;
    virtual bool loggedOn() = 0;
    virtual void logOff() = 0;
    virtual void logOn(const std::u16string& logonText) = 0;
    virtual std::shared_ptr<Stores> stores() = 0;
    virtual std::shared_ptr<Folder> folderByPath(const std::u16string& path) = 0;
    virtual std::shared_ptr<Folder> defaultFolder(int number) = 0;
};

}  // namespace library
