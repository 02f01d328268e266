#pragma once
// A MAPI message as plain data: its own properties, the recipient table (one property bag per row) and
// its attachments. An attachment is a property bag plus, for attach method afEmbeddedMessage, the
// embedded message itself, which nests to any depth. By-value data is the attachment's
// PidTagAttachDataBinary property. Copies are deep.
#include <memory>
#include <vector>

#include "store/mapi/property_bag.h"

namespace store::mapi {

struct Message;

struct Attachment {
    PropertyBag props;
    std::unique_ptr<Message> embedded;  // set only for an embedded message

    Attachment();
    ~Attachment();
    Attachment(const Attachment& other);
    Attachment& operator=(const Attachment& other);
    Attachment(Attachment&&) noexcept;
    Attachment& operator=(Attachment&&) noexcept;

    bool isEmbeddedMessage() const { return embedded != nullptr; }
    // Makes this attachment hold the message (and sets PidTagAttachMethod to afEmbeddedMessage).
    void setEmbeddedMessage(Message message);
};

struct Message {
    PropertyBag props;
    std::vector<PropertyBag> recipients;
    std::vector<Attachment> attachments;
};

}  // namespace store::mapi
