#include "store/session/pst_store.h"

#include <filesystem>

#include "platform/codepage.h"
#include "platform/paths.h"
#include "store/pst/messaging/message_store.h"

namespace store::session {
namespace {

pst::FolderId folderId(FolderRef ref) { return {pst::Nid(static_cast<std::uint32_t>(ref.id))}; }
FolderRef folderRef(pst::FolderId id) { return {id.nid.value()}; }

struct PreparedPstMessage : StoreBackend::PreparedSave {
    std::unique_ptr<pst::PreparedMessage> message;
};

class PstStore : public StoreBackend {
public:
    explicit PstStore(std::unique_ptr<pst::MessageStore> store) : store_(std::move(store)) {}
    ~PstStore() override {
        if (store_) store_->close();
    }

    std::u16string displayName() const override { return store().displayName(); }
    FolderRef topFolder() const override { return folderRef(store().topOfPersonalFolders()); }
    FolderRef deletedItems() const override { return folderRef(store().deletedItems()); }

    std::optional<FolderRef> findFolder(FolderRef parent, std::u16string_view name) const override {
        checkFolder(parent);
        auto found = store().findFolder(folderId(parent), name);
        return found ? std::optional<FolderRef>(folderRef(*found)) : std::nullopt;
    }
    FolderRef createFolder(FolderRef parent, std::u16string_view name) override {
        checkFolder(parent);
        return folderRef(store().createFolder(folderId(parent), name));
    }
    std::vector<FolderRef> subfolders(FolderRef folder) const override {
        checkFolder(folder);
        std::vector<FolderRef> out;
        for (pst::FolderId id : store().subfolders(folderId(folder))) out.push_back(folderRef(id));
        return out;
    }
    std::u16string folderName(FolderRef folder) const override {
        checkFolder(folder);
        return store().folderName(folderId(folder));
    }
    std::optional<FolderRef> parentOf(FolderRef folder) const override {
        checkFolder(folder);
        if (folder == topFolder()) return std::nullopt;
        auto parent = store().parentOf(folderId(folder));
        return parent ? std::optional<FolderRef>(folderRef(*parent)) : std::nullopt;
    }

    MessageRef saveMessage(FolderRef folder, std::shared_ptr<const mapi::Message> message) override {
        return savePrepared(folder, std::move(message), nullptr);
    }
    std::unique_ptr<PreparedSave> prepareSave(const mapi::Message& message) const override {
        auto prepared = store().prepareMessage(message, stopRequest());
        if (!prepared) return nullptr;
        auto out = std::make_unique<PreparedPstMessage>();
        out->message = std::move(prepared);
        return out;
    }
    MessageRef savePrepared(FolderRef folder, std::shared_ptr<const mapi::Message> message,
                            PreparedSave* prepared) override {
        checkFolder(folder);
        auto* pstPrepared = dynamic_cast<PreparedPstMessage*>(prepared);
        pst::PreparedMessage* encoded = pstPrepared ? pstPrepared->message.get() : nullptr;
        auto id = store().saveMessage(folderId(folder), *message, stopRequest(), encoded);
        if (!id)
            throw StoreError("the message could not be written to the PST file: " + id.failure().message);
        return {id->nid.value()};
    }
    void deleteMessage(MessageRef message) override {
        if (!store().deleteMessage({pst::Nid(static_cast<std::uint32_t>(message.id))})) throw StoreError("no such message");
    }
    void moveToDeletedItems(MessageRef message) override { deleteMessage(message); }
    void emptyFolder(FolderRef folder) override {
        checkFolder(folder);
        store().emptyFolder(folderId(folder));
    }
    std::size_t messageCount(FolderRef folder) const override {
        checkFolder(folder);
        return store().messageCount(folderId(folder));
    }

    void flush() override {
        if (!store().commit()) throw StoreError("the PST file could not be completed" + reason());
    }
    void close() override {
        if (!store_) return;
        const bool ok = store_->close();
        closed_ = statusOf(*store_);
        const std::string why = reason();
        store_.reset();
        if (!ok) throw StoreError("the PST file could not be completed" + why);
    }
    library::SaveStatus saveStatus() const override { return store_ ? statusOf(*store_) : closed_; }

private:
    static library::SaveStatus statusOf(const pst::MessageStore& store) {
        library::SaveStatus status{store.savedCount(), store.keptCount(), {}};
        if (store.failure()) status.failure = platform::utf8ToUtf16(store.failure()->message);
        return status;
    }
    std::string reason() const {
        return store_ && store_->failure() ? ": " + store_->failure()->message : std::string();
    }

    pst::MessageStore& store() const {
        if (!store_) throw StoreError("the PST file is closed");
        return *store_;
    }
    void checkFolder(FolderRef folder) const {
        if (!store().exists(folderId(folder))) throw StoreError("no such folder");
    }

    std::unique_ptr<pst::MessageStore> store_;
    library::SaveStatus closed_;
};

}  // namespace

std::shared_ptr<StoreBackend> openPstStore(const std::u16string& path, const std::u16string& displayName) {
    // A store with content is opened and added to; a missing or empty file (a name just claimed for
    // this run) gets a new store.
    std::error_code ec;
    const bool hasContent = std::filesystem::file_size(platform::nativePath(path), ec) > 0 && !ec;
    auto store = hasContent ? pst::MessageStore::open(path) : pst::MessageStore::create(path, displayName);
    if (!store) throw StoreError(store.failure().message);
    return std::make_shared<PstStore>(std::move(store).value());
}

}  // namespace store::session
