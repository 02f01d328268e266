#pragma once
// What a mailbox says about a message's state: read or not, replied to, forwarded, flagged. The
// export reads it from the message's headers and hands it to the item.
namespace library {

struct MessageState {
    bool read = true;
    bool replied = false;
    bool forwarded = false;
    bool flagged = false;

    bool operator==(const MessageState&) const = default;
};

}  // namespace library
