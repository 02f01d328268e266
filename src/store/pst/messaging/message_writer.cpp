#include "store/pst/messaging/message_writer.h"

#include <algorithm>
#include <unordered_set>

#include "store/mapi/property_tags.h"
#include "store/pst/ltp/property_context.h"
#include "store/pst/ltp/table_context.h"
#include "store/pst/messaging/entry_id.h"
#include "store/pst/messaging/property_conversion.h"
#include "store/pst/messaging/table_columns.h"
#include "store/pst/ndb/bytes.h"

namespace store::pst {
namespace {

constexpr std::uint32_t kTagMessageFlags = 0x0E070003;
constexpr std::uint32_t kTagMessageSize = 0x0E080003;
constexpr std::uint32_t kTagAttachSize = 0x0E200003;
constexpr std::uint32_t kTagAttachDataObject = 0x3701000D;
constexpr std::uint32_t kTagObjectType = 0x0FFE0003;
constexpr std::uint32_t kTagDisplayType = 0x39000003;
constexpr std::uint32_t kTagEntryId = 0x0FFF0102;
constexpr std::uint32_t kTagDisplayName = 0x3001001F;
constexpr std::uint32_t kTagAddressType = 0x3002001F;
constexpr std::uint32_t kTagEmailAddress = 0x3003001F;
constexpr std::uint32_t kMessageFlagHasAttach = 0x10;
constexpr std::uint32_t kObjectMailUser = 6;

std::string le32(std::uint32_t v) {
    std::string s;
    put32(s, v);
    return s;
}

void setProperty(PropertyList& list, std::uint32_t tag, std::string value) {
    for (Property& p : list)
        if (p.id() == (tag >> 16)) {
            p = {tag, std::move(value)};
            return;
        }
    list.push_back({tag, std::move(value)});
}

std::u16string textOf(const PropertyList& list, std::uint32_t tag) {
    std::u16string out;
    if (const Property* p = findProperty(list, tag))
        for (std::size_t i = 0; i + 1 < p->value.size(); i += 2) out.push_back(static_cast<char16_t>(load16(p->value.data() + i)));
    return out;
}

// Recipient rows need an object type, display type and entry id for clients to show them.
void completeRecipient(PropertyList& row) {
    if (!findProperty(row, kTagObjectType)) row.push_back({kTagObjectType, le32(kObjectMailUser)});
    if (!findProperty(row, kTagDisplayType)) row.push_back({kTagDisplayType, le32(0)});
    if (!findProperty(row, kTagEntryId) && findProperty(row, kTagEmailAddress))
        row.push_back({kTagEntryId, makeOneOffEntryId(textOf(row, kTagDisplayName), textOf(row, kTagAddressType),
                                                      textOf(row, kTagEmailAddress))});
}

// Types a PST keeps (toPstProperties leaves the others out).
bool isStoredType(mapi::PropType type) {
    return type != mapi::PropType::Object && type != mapi::PropType::Unspecified && type != mapi::PropType::Null;
}

}  // namespace

std::uint32_t propertyBytes(const PropertyList& properties) {
    std::uint64_t total = 0;
    for (const Property& p : properties) total += p.value.size() + 8;
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(total, 0x7FFFFFFF));
}

WrittenMessage MessageWriter::write(const mapi::Message& message) {
    throwIfStopped(stop_);  // before anything is written
    SubnodeIds ids;
    return writeMessage(message, ids);
}

SubnodeEntry MessageWriter::writeTable(Nid nid, SubnodeIds& ids, std::vector<std::uint32_t> columns,
                                       const std::vector<TableRow>& rows) {
    const NodeContent table = buildTableContext(db_, ids, std::move(columns), rows);
    return {nid, db_.writeBlocks(table.blocks), db_.writeSubnodes(table.subnodes)};
}

SubnodeEntry MessageWriter::writeAttachment(const mapi::Attachment& attachment, Nid nid, SubnodeIds& ids,
                                            PropertyList& row) {
    PropertyList props = toPstProperties(attachment.props, names_);
    std::vector<SubnodeEntry> subnodes;
    std::uint32_t size = propertyBytes(props);
    if (attachment.embedded) {
        const WrittenMessage embedded = writeMessage(*attachment.embedded, ids);
        const Nid embeddedNid = ids.next(NidType::NormalMessage);
        subnodes.push_back({embeddedNid, embedded.data, embedded.subnodes});
        const std::uint32_t embeddedSize = propertyBytes(embedded.properties);
        std::string object;
        put32(object, embeddedNid.value());
        put32(object, embeddedSize);
        setProperty(props, kTagAttachDataObject, object);
        size += embeddedSize;
    }
    if (!findProperty(props, kTagAttachSize)) props.push_back({kTagAttachSize, le32(size)});
    NodeContent pc = buildPropertyContext(db_, ids, props);
    subnodes.insert(subnodes.end(), pc.subnodes.begin(), pc.subnodes.end());
    for (std::uint32_t tag : attachmentTableColumns())
        if (const Property* p = findProperty(props, tag)) row.push_back(*p);
    return {nid, db_.writeBlocks(pc.blocks), db_.writeSubnodes(std::move(subnodes))};
}

// The standard columns and every tag a recipient row has, each once.
std::vector<std::uint32_t> MessageWriter::recipientColumnsOf(const mapi::Message& message) {
    std::vector<std::uint32_t> columns = recipientTableColumns();
    std::unordered_set<std::uint32_t> seen(columns.begin(), columns.end());
    for (const mapi::PropertyBag& recipient : message.recipients) {
        for (const mapi::Property& p : recipient.properties()) {
            if (!isStoredType(p.type)) continue;
            std::uint16_t id = p.key.id();
            if (p.key.isNamed()) {
                const auto named = names_.idOf(p.key.name());
                if (!named) continue;
                id = *named;
            }
            const std::uint32_t tag = (static_cast<std::uint32_t>(id) << 16) | static_cast<std::uint16_t>(p.type);
            if (seen.insert(tag).second) columns.push_back(tag);
        }
    }
    return columns;
}

// Rows are converted as the table asks for them, so that only one exists besides the model.
SubnodeEntry MessageWriter::writeRecipientTable(const mapi::Message& message, SubnodeIds& ids) {
    const NodeContent table = buildTableContext(
        db_, ids, recipientColumnsOf(message), message.recipients.size(), [&](std::size_t i) {
            throwIfStopped(stop_);
            TableRow row;
            row.rowId = static_cast<std::uint32_t>(i);
            row.cells = toPstProperties(message.recipients[i], names_);
            completeRecipient(row.cells);
            return row;
        });
    return {nids::RecipientTable, db_.writeBlocks(table.blocks), db_.writeSubnodes(table.subnodes)};
}

WrittenMessage MessageWriter::writeMessage(const mapi::Message& message, SubnodeIds& ids) {
    WrittenMessage out;
    out.properties = toPstProperties(message.props, names_);
    std::vector<SubnodeEntry> subnodes;

    subnodes.push_back(writeRecipientTable(message, ids));

    std::uint64_t attachmentBytes = 0;
    if (!message.attachments.empty()) {
        std::vector<TableRow> rows;
        for (const mapi::Attachment& attachment : message.attachments) {
            TableRow row;
            const Nid nid = ids.next(NidType::Attachment);
            row.rowId = nid.value();
            subnodes.push_back(writeAttachment(attachment, nid, ids, row.cells));
            if (const Property* size = findProperty(row.cells, kTagAttachSize)) attachmentBytes += load32(size->value.data());
            rows.push_back(std::move(row));
        }
        subnodes.push_back(writeTable(nids::AttachmentTable, ids, attachmentTableColumns(), rows));
        const Property* flags = findProperty(out.properties, kTagMessageFlags);
        const std::uint32_t value = (flags && flags->value.size() >= 4 ? load32(flags->value.data()) : 0) | kMessageFlagHasAttach;
        setProperty(out.properties, kTagMessageFlags, le32(value));
    }
    if (!findProperty(out.properties, kTagMessageSize)) {
        const std::uint64_t size = propertyBytes(out.properties) + attachmentBytes;
        out.properties.push_back({kTagMessageSize, le32(static_cast<std::uint32_t>(std::min<std::uint64_t>(size, 0x7FFFFFFF)))});
    }

    NodeContent pc = buildPropertyContext(db_, ids, out.properties);
    subnodes.insert(subnodes.end(), pc.subnodes.begin(), pc.subnodes.end());
    out.data = db_.writeBlocks(pc.blocks);
    out.subnodes = db_.writeSubnodes(std::move(subnodes));
    return out;
}

}  // namespace store::pst
