#pragma once
// The session of the native engine. One store at a time is logged on to: openStore() with a type
// opens (or creates) a PST file; without a type it opens the memory-backed staging store of that path,
// which the session keeps for the next log-on (the file export reopens it for every mailbox, and
// deleting and purging its items keeps it small). logOff() completes and closes a PST file.
// Default folder 6 is the store's "Inbox" and 3 its "Deleted Items", created when missing. The
// profile (stores().addPst) is a list file in the settings folder.
#include <map>
#include <memory>

#include "store/library/library_interface.h"
#include "store/session/store_backend.h"

namespace store::session {

inline constexpr char16_t kEngineName[] = u"KelvaTools Store Engine 1.0";

struct NativeSessionOptions {
    std::u16string profileName = u"Outlook";
    // The profile list; empty means ProfileList::defaultPath().
    std::u16string profileListPath;
    // Polled while a message is imported or written; when it answers true that call fails promptly.
    StopRequest stopRequest;
};

class NativeSession : public library::Session {
public:
    explicit NativeSession(NativeSessionOptions options = {});
    ~NativeSession() override;

    std::u16string outlookCheck() override { return kEngineName; }
    std::shared_ptr<library::LogonSource> logonSource() override;
    std::shared_ptr<library::Store> openStore(const std::u16string& path, std::optional<int> type,
                                              std::optional<std::u16string> displayName) override;
    bool loggedOn() override { return loggedOn_; }
    void logOff() override;
    void logOn(const std::u16string& logonText) override;
    std::shared_ptr<library::Stores> stores() override;
    std::shared_ptr<library::Folder> folderByPath(const std::u16string& path) override;
    std::shared_ptr<library::Folder> defaultFolder(int number) override;

    // The backend of the store logged on to (null when none); for tests and diagnostics.
    std::shared_ptr<StoreBackend> currentStore() const { return current_; }

private:
    StoreBackend& current() const;

    NativeSessionOptions options_;
    bool loggedOn_ = false;
    std::u16string profile_;
    std::shared_ptr<StoreBackend> current_;
    std::u16string currentPath_;
    std::map<std::u16string, std::shared_ptr<StoreBackend>> stagingStores_;
};

}  // namespace store::session
