#include "store/session/native_session.h"

#include "store/session/memory_store.h"
#include "store/session/native_folders.h"
#include "store/session/profile_list.h"
#include "store/session/pst_store.h"

namespace store::session {
namespace {

constexpr char16_t kDefaultDisplayName[] = u"Personal Folders";
constexpr char16_t kInboxName[] = u"Inbox";

class NativeLogonSource : public library::LogonSource {
public:
    explicit NativeLogonSource(std::u16string profile) : profile_(std::move(profile)) {}
    std::u16string logonText() override { return profile_; }

private:
    std::u16string profile_;
};

class NativeStores : public library::Stores {
public:
    explicit NativeStores(std::u16string listPath) : list_(std::move(listPath)) {}
    void addPst(const std::u16string& path, int, const std::u16string& displayName) override {
        list_.add(path, displayName.empty() ? std::u16string(kDefaultDisplayName) : displayName);
    }

private:
    ProfileList list_;
};

}  // namespace

NativeSession::NativeSession(NativeSessionOptions options) : options_(std::move(options)), profile_(options_.profileName) {
    if (options_.profileListPath.empty()) options_.profileListPath = ProfileList::defaultPath();
}

NativeSession::~NativeSession() {
    try {
        logOff();
    } catch (...) {
        // A store that cannot be completed at the end has nobody left to tell.
    }
}

StoreBackend& NativeSession::current() const {
    if (!current_) throw StoreError("not logged on to a store");
    return *current_;
}

std::shared_ptr<library::LogonSource> NativeSession::logonSource() { return std::make_shared<NativeLogonSource>(profile_); }

std::shared_ptr<library::Store> NativeSession::openStore(const std::u16string& path, std::optional<int> type,
                                                         std::optional<std::u16string> displayName) {
    if (path.empty()) throw StoreError("a store needs a path");
    if (current_ && currentPath_ == path) return std::make_shared<NativeStore>(current_);
    const std::u16string name = displayName && !displayName->empty() ? *displayName : std::u16string(kDefaultDisplayName);
    std::shared_ptr<StoreBackend> store;
    if (type) {
        store = openPstStore(path, name);
    } else {
        auto& staging = stagingStores_[path];
        if (!staging) staging = std::make_shared<MemoryStore>(name);
        store = staging;
    }
    if (current_) logOff();
    store->setStopRequest(options_.stopRequest);
    current_ = std::move(store);
    currentPath_ = path;
    loggedOn_ = true;
    return std::make_shared<NativeStore>(current_);
}

void NativeSession::logOff() {
    loggedOn_ = false;
    std::shared_ptr<StoreBackend> store = std::move(current_);
    auto staging = stagingStores_.find(currentPath_);
    const bool kept = staging != stagingStores_.end() && staging->second == store;
    current_.reset();
    currentPath_.clear();
    if (store && !kept) store->close();  // a PST file is completed; a staging store stays for reuse
}

void NativeSession::logOn(const std::u16string& logonText) {
    if (!logonText.empty()) profile_ = logonText;
    loggedOn_ = true;
}

std::shared_ptr<library::Stores> NativeSession::stores() { return std::make_shared<NativeStores>(options_.profileListPath); }

std::shared_ptr<library::Folder> NativeSession::folderByPath(const std::u16string& path) {
    StoreBackend& store = current();
    auto folder = folderAtPath(store, path);
    if (!folder) throw StoreError("no folder at that path");
    return std::make_shared<NativeFolder>(current_, *folder);
}

std::shared_ptr<library::Folder> NativeSession::defaultFolder(int number) {
    StoreBackend& store = current();
    switch (number) {
    case library::kDefaultFolderDeletedItems:
        return std::make_shared<NativeFolder>(current_, store.deletedItems());
    case library::kDefaultFolderImport: {
        auto inbox = store.findFolder(store.topFolder(), kInboxName);
        if (!inbox) inbox = store.createFolder(store.topFolder(), kInboxName);
        return std::make_shared<NativeFolder>(current_, *inbox);
    }
    default:
        throw StoreError("unknown default folder");
    }
}

}  // namespace store::session
