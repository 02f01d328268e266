#include "store/mapi/message.h"

#include "store/mapi/property_tags.h"

namespace store::mapi {

Attachment::Attachment() = default;
Attachment::~Attachment() = default;
Attachment::Attachment(Attachment&&) noexcept = default;
Attachment& Attachment::operator=(Attachment&&) noexcept = default;

Attachment::Attachment(const Attachment& other)
    : props(other.props), embedded(other.embedded ? std::make_unique<Message>(*other.embedded) : nullptr) {}

Attachment& Attachment::operator=(const Attachment& other) {
    if (this != &other) {
        Attachment copy(other);
        *this = std::move(copy);
    }
    return *this;
}

void Attachment::setEmbeddedMessage(Message message) {
    embedded = std::make_unique<Message>(std::move(message));
    props.setLong(PidTagAttachMethod, afEmbeddedMessage);
}

}  // namespace store::mapi
