#include "store/pst/messaging/message_writer.h"

#include <algorithm>

#include "store/mapi/property_tags.h"
#include "store/pst/ltp/property_context.h"
#include "store/pst/ltp/table_context.h"
#include "store/pst/messaging/entry_id.h"
#include "store/pst/messaging/property_conversion.h"
#include "store/pst/messaging/table_columns.h"
#include "store/pst/ndb/bytes.h"

namespace store::pst {
namespace {

constexpr std::uint32_t kMessageFlagHasAttach = 0x10;
constexpr std::uint32_t kObjectMailUser = 6;

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
        for (std::size_t i = 0; i + 1 < p->value.size(); i += 2)
            out.push_back(static_cast<char16_t>(loadU16(p->value.data() + i)));
    return out;
}

// Recipient rows need an object type, display type and entry id for clients to show them.
void completeRecipient(PropertyList& row) {
    if (!findProperty(row, mapi::PidTagObjectType.value()))
        row.push_back({mapi::PidTagObjectType.value(), le32(kObjectMailUser)});
    if (!findProperty(row, mapi::PidTagDisplayType.value()))
        row.push_back({mapi::PidTagDisplayType.value(), le32(0)});
    if (!findProperty(row, mapi::PidTagEntryId.value()) &&
        findProperty(row, mapi::PidTagEmailAddress.value()))
        row.push_back(
            {mapi::PidTagEntryId.value(), makeOneOffEntryId(textOf(row, mapi::PidTagDisplayName.value()),
                                                            textOf(row, mapi::PidTagAddressType.value()),
                                                            textOf(row, mapi::PidTagEmailAddress.value()))});
}

// Outlook stores a subject behind a two-character marker: U+0001 and one more than the length of the
// prefix ("RE: ") it begins with. Readers drop the first two characters of a subject that begins with
// a control character (pffexport tests the first byte of the UTF-8 text as a signed char, so there any
// non-ASCII first character counts), and without the marker such a subject loses its beginning.
void markSubject(PropertyList& list) {
    const auto subject = std::find_if(list.begin(), list.end(),
                                      [](const Property& p) { return p.tag == mapi::PidTagSubject.value(); });
    if (subject == list.end() || subject->value.size() < 2) return;
    const std::u16string text = textOf(list, mapi::PidTagSubject.value());
    const std::u16string normalized = textOf(list, mapi::PidTagNormalizedSubject.value());
    std::size_t prefix = 0;
    if (!normalized.empty() && normalized.size() < text.size() && text.ends_with(normalized))
        prefix = text.size() - normalized.size();
    if (prefix + 1 >= 0x20) prefix = 0;  // the length must stay one ASCII character
    std::string marked;
    putU16(marked, 0x0001);
    putU16(marked, static_cast<std::uint16_t>(prefix + 1));
    subject->value.insert(0, marked);
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
        putU32(object, embeddedNid.value());
        putU32(object, embeddedSize);
        setProperty(props, mapi::PidTagAttachDataObject.value(), object);
        size += embeddedSize;
    }
    if (!findProperty(props, mapi::PidTagAttachSize.value()))
        props.push_back({mapi::PidTagAttachSize.value(), le32(size)});
    NodeContent pc = buildPropertyContext(db_, ids, props);
    subnodes.insert(subnodes.end(), pc.subnodes.begin(), pc.subnodes.end());
    for (std::uint32_t tag : attachmentTableColumns())
        if (const Property* p = findProperty(props, tag)) row.push_back(*p);
    return {nid, db_.writeBlocks(pc.blocks), db_.writeSubnodes(std::move(subnodes))};
}

// The standard columns and every tag a recipient row has, each once.
std::vector<std::uint32_t> MessageWriter::recipientColumnsOf(const mapi::Message& message) {
    std::vector<std::uint32_t> columns = recipientTableColumns();
    // Recipients have a few dozen properties at most: a search of the list beats a hash set.
    for (const mapi::PropertyBag& recipient : message.recipients) {
        for (const mapi::Property& p : recipient.properties()) {
            const auto tag = storedTag(p, names_);
            if (tag && std::find(columns.begin(), columns.end(), *tag) == columns.end()) columns.push_back(*tag);
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
    markSubject(out.properties);
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
            if (const Property* size = findProperty(row.cells, mapi::PidTagAttachSize.value()))
                attachmentBytes += loadU32(size->value.data());
            rows.push_back(std::move(row));
        }
        subnodes.push_back(writeTable(nids::AttachmentTable, ids, attachmentTableColumns(), rows));
        const Property* flags = findProperty(out.properties, mapi::PidTagMessageFlags.value());
        const std::uint32_t value =
            (flags && flags->value.size() >= 4 ? loadU32(flags->value.data()) : 0) | kMessageFlagHasAttach;
        setProperty(out.properties, mapi::PidTagMessageFlags.value(), le32(value));
    }
    if (!findProperty(out.properties, mapi::PidTagMessageSize.value())) {
        const std::uint64_t size = propertyBytes(out.properties) + attachmentBytes;
        out.properties.push_back(
            {mapi::PidTagMessageSize.value(),
             le32(static_cast<std::uint32_t>(std::min<std::uint64_t>(size, 0x7FFFFFFF)))});
    }

    NodeContent pc = buildPropertyContext(db_, ids, out.properties);
    subnodes.insert(subnodes.end(), pc.subnodes.begin(), pc.subnodes.end());
    out.data = db_.writeBlocks(pc.blocks);
    out.subnodes = db_.writeSubnodes(std::move(subnodes));
    return out;
}

}  // namespace store::pst
