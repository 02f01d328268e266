#include "store/pst/messaging/message_store.h"

#include <algorithm>
#include <filesystem>
#include <mutex>
#include <random>

#include "platform/paths.h"
#include "store/mapi/property_tags.h"
#include "store/pst/ltp/property_context.h"
#include "store/pst/messaging/message_writer.h"
#include "store/pst/messaging/name_to_id_map.h"
#include "store/pst/messaging/table_columns.h"
#include "store/pst/ndb/bytes.h"

namespace store::pst {
namespace {

constexpr Nid kIpmSubtree{0x8022};
constexpr Nid kSearchRoot{0x8042};
constexpr Nid kDeletedItems{0x8062};

// Subtree, wastebasket and finder entry ids are valid.
constexpr std::uint32_t kValidFolders = 0x01 | 0x08 | 0x80;
// Entry ids unique; search, modify, create, attach, OLE, notify, multi-valued, categorise, RTF,
// restrictions, sorting, HTML and Unicode supported.
constexpr std::uint32_t kStoreSupport = 0x1 | 0x4 | 0x8 | 0x10 | 0x20 | 0x40 | 0x100 | 0x200 | 0x400 | 0x800 |
                                        0x1000 | 0x2000 | 0x10000 | 0x40000;

// Readers (libpff) refuse a store whose name-to-id map has an empty GUID, entry or string stream, so
// every store names two properties Outlook's stores always name: one by number in a property set of
// its own, one by string.
void nameAtLeastOne(mapi::NamedPropertyMap& names) {
    if (!names.empty()) return;
    names.idOf(mapi::PidLidSmartNoAttach);
    names.idOf(mapi::PidNameKeywords);
}

StoreUid randomUid() {
    std::random_device random;
    StoreUid uid{};
    for (auto& b : uid) b = static_cast<std::uint8_t>(random());
    return uid;
}

std::u16string textProperty(const PropertyList& props, std::uint32_t tag) {
    const Property* p = findProperty(props, tag);
    return p ? fromUtf16le(p->value) : std::u16string();
}

}  // namespace

MessageStore::MessageStore(std::unique_ptr<NodeDatabase> db) : db_(std::move(db)) {}

MessageStore::~MessageStore() {
    if (db_) close();
}

Result<std::unique_ptr<MessageStore>> MessageStore::create(const std::u16string& path,
                                                           std::u16string_view displayName) {
    auto db = NodeDatabase::create(platform::nativePath(path));
    if (!db) return db.failure();
    std::unique_ptr<MessageStore> store(new MessageStore(std::move(db).value()));
    store->initialise(displayName);
    if (!store->commit()) {
        Failure failure{0, "cannot write " + platform::nativePath(path)};
        if (store->failure())
            failure = {store->failure()->code, failure.message + ": " + store->failure()->message};
        // What was written is no PST file: it is not left behind for readers (or a later append) to refuse.
        store->db_.reset();
        std::error_code ignored;
        std::filesystem::remove(platform::nativePath(path), ignored);
        return failure;
    }
    return store;
}

Result<std::unique_ptr<MessageStore>> MessageStore::open(const std::u16string& path) {
    auto db = NodeDatabase::open(platform::nativePath(path));
    if (!db) return db.failure();
    std::unique_ptr<MessageStore> store(new MessageStore(std::move(db).value()));
    if (Result<void> loaded = store->load(); !loaded) {
        store->db_.reset();
        return loaded.failure();
    }
    return store;
}

void MessageStore::initialise(std::u16string_view displayName) {
    uid_ = randomUid();
    displayName_ = displayName;
    ipmSubtree_ = kIpmSubtree;
    searchRoot_ = kSearchRoot;
    deletedItems_ = kDeletedItems;
    for (NidType type : {NidType::NormalFolder, NidType::HierarchyTable, NidType::ContentsTable, NidType::AssocContentsTable})
        db_->reserveNidIndex(type, kDeletedItems.index());
    addFolder(nids::RootFolder, nids::RootFolder, u"", u"");
    addFolder(kIpmSubtree, nids::RootFolder, u"Top of Personal Folders", u"");
    addFolder(kSearchRoot, nids::RootFolder, u"Search Root", u"");
    addFolder(kDeletedItems, kIpmSubtree, u"Deleted Items", u"IPF.Note");
    nameAtLeastOne(names_);
    writeStoreNode();
    writeInternalNodes();
}

Result<void> MessageStore::load() {
    const NbtEntry* storeNode = db_->findNode(nids::MessageStore);
    const auto storeSubnodes = storeNode ? db_->readSubnodes(storeNode->subnodes) : std::nullopt;
    const auto props = storeSubnodes ? readPropertyContext(*db_, storeNode->data, *storeSubnodes) : std::nullopt;
    const Property* recordKey = props ? findProperty(*props, mapi::PidTagRecordKey.value()) : nullptr;
    if (!recordKey || recordKey->value.size() != uid_.size())
        return Failure{0, "the file has no readable message store"};
    std::copy_n(recordKey->value.data(), uid_.size(), reinterpret_cast<char*>(uid_.data()));
    displayName_ = textProperty(*props, mapi::PidTagDisplayName.value());
    auto entryNid = [&](std::uint32_t tag) {
        const Property* p = findProperty(*props, tag);
        const auto nid = p ? nidOfEntryId(uid_, p->value) : std::nullopt;
        return nid.value_or(Nid());
    };
    ipmSubtree_ = entryNid(mapi::PidTagIpmSubtreeEntryId.value());
    deletedItems_ = entryNid(mapi::PidTagIpmWastebasketEntryId.value());
    searchRoot_ = entryNid(mapi::PidTagFinderEntryId.value());

    if (const NbtEntry* map = db_->findNode(nids::NameToIdMap)) {
        const auto subnodes = db_->readSubnodes(map->subnodes);
        const auto mapProps = subnodes ? readPropertyContext(*db_, map->data, *subnodes) : std::nullopt;
        if (!mapProps || !decodeNameToIdMap(*mapProps, names_))
            return Failure{0, "the file's named property map is damaged"};
        namesWritten_ = names_.entries().size();
    }
    nameAtLeastOne(names_);  // an older file without names gets its entry at the next commit

    for (const NbtEntry& entry : db_->nodes()) {
        if (entry.nid.type() != NidType::NormalFolder) continue;
        const auto subnodes = db_->readSubnodes(entry.subnodes);
        const auto folderProps = subnodes ? readPropertyContext(*db_, entry.data, *subnodes) : std::nullopt;
        if (!folderProps) return Failure{0, "a folder of the file is damaged"};
        FolderRecord record;
        record.nid = entry.nid;
        record.parent = entry.parent;
        record.name = textProperty(*folderProps, mapi::PidTagDisplayName.value());
        record.containerClass = textProperty(*folderProps, mapi::PidTagContainerClass.value());
        record.dirty = false;
        if (const NbtEntry* contents = db_->findNode(entry.nid.withType(NidType::ContentsTable))) {
            const auto tableSubnodes = db_->readSubnodes(contents->subnodes);
            const auto table = tableSubnodes ? readTableContext(*db_, contents->data, *tableSubnodes) : std::nullopt;
            if (!table) return Failure{0, "a contents table of the file is damaged"};
            for (const TableRow& row : table->rows) record.contents.push_back(ContentsRow::pack(Nid(row.rowId), row.cells));
        }
        folders_[entry.nid.value()] = std::move(record);
    }
    for (auto& [key, record] : folders_)
        if (record.parent != record.nid)
            if (FolderRecord* parent = folder({record.parent})) parent->children.push_back(record.nid);
    if (!folder({nids::RootFolder}) || !folder({ipmSubtree_}))
        return Failure{0, "the file has no root folder or top of personal folders"};
    return {};
}

FolderRecord* MessageStore::folder(FolderId id) {
    const auto it = folders_.find(id.nid.value());
    return it == folders_.end() ? nullptr : &it->second;
}

const FolderRecord* MessageStore::folder(FolderId id) const {
    const auto it = folders_.find(id.nid.value());
    return it == folders_.end() ? nullptr : &it->second;
}

FolderId MessageStore::addFolder(Nid nid, Nid parent, std::u16string_view name, std::u16string_view containerClass) {
    FolderRecord record;
    record.nid = nid;
    record.parent = parent;
    record.name = name;
    record.containerClass = containerClass;
    folders_[nid.value()] = std::move(record);
    if (parent != nid) {
        FolderRecord* parentRecord = folder({parent});
        parentRecord->children.push_back(nid);
        parentRecord->dirty = true;
    }
    return {nid};
}

FolderId MessageStore::createFolder(FolderId parent, std::u16string_view name, std::u16string_view containerClass) {
    if (!folder(parent)) parent = topOfPersonalFolders();
    const Nid nid = db_->allocateNid(NidType::NormalFolder);
    for (NidType type : {NidType::HierarchyTable, NidType::ContentsTable, NidType::AssocContentsTable})
        db_->reserveNidIndex(type, nid.index());
    return addFolder(nid, parent.nid, name, containerClass);
}

std::optional<FolderId> MessageStore::findFolder(FolderId parent, std::u16string_view name) const {
    const FolderRecord* record = folder(parent);
    if (!record) return std::nullopt;
    for (Nid child : record->children)
        if (const FolderRecord* c = folder({child}); c && c->name == name) return FolderId{child};
    return std::nullopt;
}

std::vector<FolderId> MessageStore::subfolders(FolderId id) const {
    std::vector<FolderId> out;
    if (const FolderRecord* record = folder(id))
        for (Nid child : record->children) out.push_back({child});
    return out;
}

std::u16string MessageStore::folderName(FolderId id) const {
    const FolderRecord* record = folder(id);
    return record ? record->name : std::u16string();
}

std::optional<FolderId> MessageStore::parentOf(FolderId id) const {
    const FolderRecord* record = folder(id);
    if (!record || record->parent == record->nid) return std::nullopt;
    return FolderId{record->parent};
}

namespace {

// A prepared message is held in memory whole; larger ones are written while they are made.
constexpr std::size_t kMaxPreparedBytes = 16u << 20;

struct NameWithoutId {};

std::uint64_t valueBytes(const mapi::PropertyBag& bag) {
    std::uint64_t total = 0;
    for (const mapi::Property& p : bag.properties()) {
        total += p.data.size();
        for (const std::string& v : p.values) total += v.size();
    }
    return total;
}

// The bytes of the message's values: its blocks hold at least as many.
std::uint64_t valueBytes(const mapi::Message& message) {
    std::uint64_t total = valueBytes(message.props);
    for (const mapi::PropertyBag& recipient : message.recipients) total += valueBytes(recipient);
    for (const mapi::Attachment& attachment : message.attachments) {
        total += valueBytes(attachment.props);
        if (attachment.embedded) total += valueBytes(*attachment.embedded);
    }
    return total;
}

Bid fileIdOf(Bid recorded, const std::vector<Bid>& fileIds) {
    return recorded.isNull() ? recorded : fileIds.at(BlockRecorder::indexOf(recorded));
}

}  // namespace

NamedIds MessageStore::namesForSaving() {
    return [this](const mapi::NamedProperty& name) {
        if (auto id = names_.find(name)) return id;
        std::unique_lock lock(namesMutex_);
        return names_.idOf(name);
    };
}

std::unique_ptr<PreparedMessage> MessageStore::prepareMessage(const mapi::Message& message,
                                                              const StopRequest& stop) const {
    const NamedIds known = [this](const mapi::NamedProperty& name) {
        std::shared_lock lock(namesMutex_);
        auto id = names_.find(name);
        if (!id) throw NameWithoutId{};
        return id;
    };
    const std::uint64_t values = valueBytes(message);
    if (values > kMaxPreparedBytes) return nullptr;  // known at once, without encoding it
    // The blocks take the values and a little more: trailers, padding, heap maps, trees and tables.
    const std::size_t expected = static_cast<std::size_t>(values + values / 8 + (16 << 10));
    auto prepared =
        std::make_unique<PreparedMessage>(PreparedMessage{BlockRecorder(kMaxPreparedBytes, expected), {}, {}});
    try {
        prepared->written = MessageWriter(prepared->blocks, known, stop).write(message);
        prepared->row = ContentsRow::pack(Nid(), prepared->written.properties.views());
        prepared->written.properties = {};  // views of the message, which may go before the prepared one
    } catch (const NameWithoutId&) {
        return nullptr;
    } catch (const BlockRecorder::RecordingLimit&) {
        return nullptr;
    } catch (const LimitError&) {
        return nullptr;  // saveMessage refuses it with the reason
    }
    return prepared;
}

Result<MessageId> MessageStore::saveMessage(FolderId id, const mapi::Message& message, const StopRequest& stop,
                                            PreparedMessage* prepared) {
    FolderRecord* record = folder(id);
    if (!record) return Failure{0, "no such folder"};
    if (!db_->flushWrites()) return *db_->failure();
    const std::size_t mark = db_->blockMark();
    Nid nid;
    WrittenMessage written;
    try {
        nid = db_->allocateNid(NidType::NormalMessage);
        if (prepared) {
            throwIfStopped(stop);  // before anything is written
            const std::vector<Bid> fileIds = db_->writeRecorded(prepared->blocks);
            written.data = fileIdOf(prepared->written.data, fileIds);
            written.subnodes = fileIdOf(prepared->written.subnodes, fileIds);
        } else {
            written = MessageWriter(*db_, namesForSaving(), stop).write(message);
        }
    } catch (const LimitError& error) {
        // The message is refused whole; its blocks are freed and the store goes on.
        db_->releaseBlocksSince(mark);
        return Failure{0, std::string("the message is larger than a PST file can hold: ") + error.what()};
    }
    // Its blocks reach the system now, so that a full disk fails this message rather than a later one.
    if (!db_->flushWrites()) {
        keepWhatWasSavedBefore(mark);
        return *db_->failure();
    }
    db_->setNode({nid, written.data, written.subnodes, record->nid});
    if (prepared) {
        record->contents.push_back(std::move(prepared->row));
        record->contents.back().message = nid;
    } else {
        record->contents.push_back(ContentsRow::pack(nid, written.properties.views()));
    }
    record->dirty = true;
    ++savedCount_;
    checkpointIfDue();
    return MessageId{nid};
}

std::vector<MessageId> MessageStore::messages(FolderId id) const {
    std::vector<MessageId> out;
    if (const FolderRecord* record = folder(id))
        for (const ContentsRow& row : record->contents) out.push_back({row.message});
    return out;
}

std::size_t MessageStore::messageCount(FolderId id) const {
    const FolderRecord* record = folder(id);
    return record ? record->contents.size() : 0;
}

bool MessageStore::deleteMessage(MessageId message) {
    const NbtEntry* node = db_->findNode(message.nid);
    if (!node || message.nid.type() != NidType::NormalMessage) return false;
    if (FolderRecord* record = folder({node->parent})) {
        std::erase_if(record->contents, [&](const ContentsRow& row) { return row.message == message.nid; });
        record->dirty = true;
    }
    db_->removeNode(message.nid);
    return true;
}

void MessageStore::emptyFolder(FolderId id) {
    FolderRecord* record = folder(id);
    if (!record) return;
    for (const ContentsRow& row : record->contents) db_->removeNode(row.message);
    record->contents.clear();
    record->dirty = true;
}

std::optional<PropertyList> MessageStore::messageProperties(MessageId message) {
    const NbtEntry* node = db_->findNode(message.nid);
    if (!node) return std::nullopt;
    const auto subnodes = db_->readSubnodes(node->subnodes);
    if (!subnodes) return std::nullopt;
    return readPropertyContext(*db_, node->data, *subnodes);
}

void MessageStore::writePropertyNode(Nid nid, Nid parent, const PropertyList& props) {
    db_->removeNode(nid);
    SubnodeIds ids;
    const NodeContent content = buildPropertyContext(*db_, ids, props);
    const Bid data = db_->writeBlocks(content.blocks);
    db_->setNode({nid, data, db_->writeSubnodes(content.subnodes), parent});
}

void MessageStore::writeTableNode(Nid nid, const std::vector<std::uint32_t>& columns, const std::vector<TableRow>& rows) {
    db_->removeNode(nid);
    SubnodeIds ids;
    const NodeContent content = buildTableContext(*db_, ids, columns, rows);
    const Bid data = db_->writeBlocks(content.blocks);
    db_->setNode({nid, data, db_->writeSubnodes(content.subnodes), Nid()});
}

void MessageStore::writeStoreNode() {
    PropertyList props;
    props.push_back({mapi::PidTagRecordKey.value(),
                     std::string(reinterpret_cast<const char*>(uid_.data()), uid_.size())});
    props.push_back({mapi::PidTagDisplayName.value(), utf16le(displayName_)});
    props.push_back({mapi::PidTagIpmSubtreeEntryId.value(), makeEntryId(uid_, ipmSubtree_)});
    props.push_back({mapi::PidTagIpmWastebasketEntryId.value(), makeEntryId(uid_, deletedItems_)});
    props.push_back({mapi::PidTagFinderEntryId.value(), makeEntryId(uid_, searchRoot_)});
    props.push_back({mapi::PidTagValidFolderMask.value(), le32(kValidFolders)});
    props.push_back({mapi::PidTagStoreSupportMask.value(), le32(kStoreSupport)});
    writePropertyNode(nids::MessageStore, Nid(), props);
}

void MessageStore::writeInternalNodes() {
    writeTableNode(nids::HierarchyTableTemplate, hierarchyTableColumns(), {});
    writeTableNode(nids::ContentsTableTemplate, contentsTableColumns(), {});
    writeTableNode(nids::AssocContentsTableTemplate, assocContentsTableColumns(), {});
    writeTableNode(nids::SearchContentsTableTemplate, contentsTableColumns(), {});
    writeTableNode(nids::AttachmentTable, attachmentTableColumns(), {});
    writeTableNode(nids::RecipientTable, recipientTableColumns(), {});
    // The search queues and lists start empty: nodes without data.
    for (Nid nid : {nids::SearchManagementQueue, nids::SearchActivityList, nids::SearchDomainObject,
                    nids::SearchGathererQueue, nids::SearchGathererDescriptor, nids::SearchGathererFolderQueue}) {
        db_->removeNode(nid);
        db_->setNode({nid, Bid(), Bid(), Nid()});
    }
    writePropertyNode(nids::NameToIdMap, Nid(), encodeNameToIdMap(names_));
    namesWritten_ = names_.entries().size();
}

void MessageStore::writeFolder(FolderRecord& record) {
    writePropertyNode(record.nid, record.parent, record.properties());
    std::vector<TableRow> children;
    for (Nid child : record.children) {
        const FolderRecord* c = folder({child});
        if (!c) continue;
        children.push_back({child.value(), c->properties()});
    }
    writeTableNode(record.nid.withType(NidType::HierarchyTable), hierarchyTableColumns(), children);
    const Nid contents = record.nid.withType(NidType::ContentsTable);
    db_->removeNode(contents);
    SubnodeIds ids;
    const RowViewFiller rowAt = [&record](std::size_t i, std::vector<PropertyView>& cells) {
        return record.contents[i].viewInto(cells);
    };
    WrittenNode table = writeTableContext(*db_, ids, contentsTableColumns(), record.contents.size(), rowAt);
    db_->setNode({contents, table.data, db_->writeSubnodes(std::move(table.subnodes)), Nid()});
    writeTableNode(record.nid.withType(NidType::AssocContentsTable), assocContentsTableColumns(), {});
    record.dirty = false;
}

void MessageStore::checkpointIfDue() {
    constexpr auto kCheckpointTime = std::chrono::seconds(5);
    if (checkpointBytes_ == 0) return;
    const std::uint64_t sinceCommit = db_->allocatedBytes() - allocatedAtCommit_;
    if (sinceCommit < 4 * lastCommitBytes_) return;
    if (sinceCommit >= checkpointBytes_ || std::chrono::steady_clock::now() - lastCommitTime_ >= kCheckpointTime) commit();
}

bool MessageStore::commit() {
    if (db_->failed()) return false;
    const std::uint64_t before = db_->allocatedBytes();
    const std::uint64_t saved = savedCount_;
    const bool ok = writeChanges();
    if (ok) keptCount_ = saved;
    lastCommitBytes_ = db_->allocatedBytes() - before;
    allocatedAtCommit_ = db_->allocatedBytes();
    lastCommitTime_ = std::chrono::steady_clock::now();
    return ok;
}

// The disk ran full while writing a message: the message's blocks are dropped, giving their space
// back, and one more commit tries to keep the messages saved before it. The store stays failed.
void MessageStore::keepWhatWasSavedBefore(std::size_t blockMark) {
    if (!db_->dropBlocksSince(blockMark)) return;
    const std::uint64_t saved = savedCount_;
    if (writeChanges()) keptCount_ = saved;
    db_->endRetry();
}

bool MessageStore::writeChanges() {
    for (bool changed = true; changed;) {
        changed = false;
        for (auto& [key, record] : folders_) {
            if (!record.dirty || record.parent == record.nid) continue;
            FolderRecord* parent = folder({record.parent});
            if (parent && !parent->dirty) parent->dirty = changed = true;
        }
    }
    for (auto& [key, record] : folders_)
        if (record.dirty) writeFolder(record);
    if (names_.entries().size() != namesWritten_) {
        writePropertyNode(nids::NameToIdMap, Nid(), encodeNameToIdMap(names_));
        namesWritten_ = names_.entries().size();
    }
    return db_->commit();
}

bool MessageStore::close() {
    if (!db_) return true;
    const bool ok = commit() && db_->close();
    closeFailure_ = db_->failure();
    if (!ok && !closeFailure_) closeFailure_ = StoreFailure{0, "the PST file could not be completed"};
    db_.reset();
    return ok;
}

}  // namespace store::pst
