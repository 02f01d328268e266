#pragma once
// Writes a message of the model as a node: its property context, the recipient table, the
// attachment table and one attachment subnode per attachment (embedded messages nest as subnodes
// of their attachment). Every block goes to the block writer at once (the file, or a recorder). The recipient table is made one row
// at a time; the stop request is polled before each row and, when it answers true, StopError is
// thrown (blocks written until then stay unreferenced).
#include "store/mapi/message.h"
#include "store/pst/ltp/property.h"
#include "store/pst/ltp/table_context.h"
#include "store/pst/messaging/property_conversion.h"
#include "store/pst/ndb/node_database.h"
#include "store/stop_request.h"

namespace store::pst {

struct WrittenMessage {
    Bid data;
    Bid subnodes;
    // As stored, for the folder's contents table; views of the message's values.
    PstProperties properties;
};

class MessageWriter {
public:
    MessageWriter(BlockWriter& db, NamedIds names, StopRequest stop = {})
        : db_(db), names_(std::move(names)), stop_(std::move(stop)) {}
    WrittenMessage write(const mapi::Message& message);

private:
    WrittenMessage writeMessage(const mapi::Message& message, SubnodeIds& ids);
    SubnodeEntry writeAttachment(const mapi::Attachment& attachment, Nid nid, SubnodeIds& ids, PropertyList& row);
    SubnodeEntry writeTable(Nid nid, SubnodeIds& ids, std::vector<std::uint32_t> columns,
                            const std::vector<TableRow>& rows);
    SubnodeEntry writeRecipientTable(const mapi::Message& message, SubnodeIds& ids);
    std::vector<std::uint32_t> recipientColumnsOf(const mapi::Message& message);

    BlockWriter& db_;
    NamedIds names_;
    StopRequest stop_;
};

// Approximate size of a property list as message sizes count it.
std::uint32_t propertyBytes(const PropertyList& properties);
std::uint32_t propertyBytes(const std::vector<PropertyView>& properties);

}  // namespace store::pst
