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

std::u16string textOf(std::string_view value) {
    std::u16string out;
    for (std::size_t i = 0; i + 1 < value.size(); i += 2) out.push_back(static_cast<char16_t>(loadU16(value.data() + i)));
    return out;
}

std::u16string textOf(const PstProperties& list, std::uint32_t tag) {
    const PropertyView* p = list.find(tag);
    return p ? textOf(p->value) : std::u16string();
}

// Recipient rows need an object type, display type and entry id for clients to show them.
void completeRecipient(PstProperties& row) {
    if (!row.find(mapi::PidTagObjectType.value())) row.add(mapi::PidTagObjectType.value(), le32(kObjectMailUser));
    if (!row.find(mapi::PidTagDisplayType.value())) row.add(mapi::PidTagDisplayType.value(), le32(0));
    if (!row.find(mapi::PidTagEntryId.value()) && row.find(mapi::PidTagEmailAddress.value()))
        row.add(mapi::PidTagEntryId.value(), makeOneOffEntryId(textOf(row, mapi::PidTagDisplayName.value()),
                                                                textOf(row, mapi::PidTagAddressType.value()),
                                                                textOf(row, mapi::PidTagEmailAddress.value())));
}

// Outlook stores a subject behind a two-character marker: U+0001 and one more than the length of the
// prefix ("RE: ") it begins with. Readers drop the first two characters of a subject that begins with
// a control character (pffexport tests the first byte of the UTF-8 text as a signed char, so there any
// non-ASCII first character counts), and without the marker such a subject loses its beginning.
void markSubject(PstProperties& list) {
    const PropertyView* subject = list.find(mapi::PidTagSubject.value());
    if (!subject || subject->value.size() < 2) return;
    const std::u16string text = textOf(subject->value);
    const std::u16string normalized = textOf(list, mapi::PidTagNormalizedSubject.value());
    std::size_t prefix = 0;
    if (!normalized.empty() && normalized.size() < text.size() && text.ends_with(normalized))
        prefix = text.size() - normalized.size();
    if (prefix + 1 >= 0x20) prefix = 0;  // the length must stay one ASCII character
    std::string marked;
    marked.reserve(4 + subject->value.size());
    putU16(marked, 0x0001);
    putU16(marked, static_cast<std::uint16_t>(prefix + 1));
    marked += subject->value;
    list.replace(*subject, std::move(marked));
}

}  // namespace

namespace {

template <typename Prop>
std::uint32_t sizeOf(const std::vector<Prop>& properties) {
    std::uint64_t total = 0;
    for (const Prop& p : properties) total += p.value.size() + 8;
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(total, 0x7FFFFFFF));
}

}  // namespace

std::uint32_t propertyBytes(const PropertyList& properties) { return sizeOf(properties); }
std::uint32_t propertyBytes(const std::vector<PropertyView>& properties) { return sizeOf(properties); }

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
    PstProperties props = viewPstProperties(attachment.props, names_);
    std::vector<SubnodeEntry> subnodes;
    std::uint32_t size = propertyBytes(props.views());
    if (attachment.embedded) {
        const WrittenMessage embedded = writeMessage(*attachment.embedded, ids);
        const Nid embeddedNid = ids.next(NidType::NormalMessage);
        subnodes.push_back({embeddedNid, embedded.data, embedded.subnodes});
        const std::uint32_t embeddedSize = propertyBytes(embedded.properties.views());
        std::string object;
        putU32(object, embeddedNid.value());
        putU32(object, embeddedSize);
        props.set(mapi::PidTagAttachDataObject.value(), object);
        size += embeddedSize;
    }
    if (!props.find(mapi::PidTagAttachSize.value())) props.add(mapi::PidTagAttachSize.value(), le32(size));
    NodeContent pc = buildPropertyContext(db_, ids, props.views());
    subnodes.insert(subnodes.end(), pc.subnodes.begin(), pc.subnodes.end());
    for (std::uint32_t tag : attachmentTableColumns())
        if (const PropertyView* p = props.find(tag)) row.push_back({p->tag, std::string(p->value)});
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

// Rows are converted as the table asks for them, as views of the model's values, so that only one
// row's conversions exist at a time.
SubnodeEntry MessageWriter::writeRecipientTable(const mapi::Message& message, SubnodeIds& ids) {
    PstProperties row;
    const RowViewFiller rowAt = [&](std::size_t i, std::vector<PropertyView>& cells) {
        throwIfStopped(stop_);
        row = viewPstProperties(message.recipients[i], names_);
        completeRecipient(row);
        cells = row.views();
        return static_cast<std::uint32_t>(i);
    };
    const NodeContent table = buildTableContext(db_, ids, recipientColumnsOf(message), message.recipients.size(), rowAt);
    return {nids::RecipientTable, db_.writeBlocks(table.blocks), db_.writeSubnodes(table.subnodes)};
}

WrittenMessage MessageWriter::writeMessage(const mapi::Message& message, SubnodeIds& ids) {
    WrittenMessage out;
    out.properties = viewPstProperties(message.props, names_);
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
        const PropertyView* flags = out.properties.find(mapi::PidTagMessageFlags.value());
        const std::uint32_t value =
            (flags && flags->value.size() >= 4 ? loadU32(flags->value.data()) : 0) | kMessageFlagHasAttach;
        out.properties.set(mapi::PidTagMessageFlags.value(), le32(value));
    }
    if (!out.properties.find(mapi::PidTagMessageSize.value())) {
        const std::uint64_t size = propertyBytes(out.properties.views()) + attachmentBytes;
        out.properties.add(mapi::PidTagMessageSize.value(),
                           le32(static_cast<std::uint32_t>(std::min<std::uint64_t>(size, 0x7FFFFFFF))));
    }

    NodeContent pc = buildPropertyContext(db_, ids, out.properties.views());
    subnodes.insert(subnodes.end(), pc.subnodes.begin(), pc.subnodes.end());
    out.data = db_.writeBlocks(pc.blocks);
    out.subnodes = db_.writeSubnodes(std::move(subnodes));
    return out;
}

}  // namespace store::pst
