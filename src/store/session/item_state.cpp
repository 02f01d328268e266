#include "store/session/item_state.h"

#include <cstdint>

#include "store/mapi/property_tags.h"

namespace store::session {

void applyMessageState(mapi::PropertyBag& props, const library::MessageState& state) {
    auto flags = static_cast<std::uint32_t>(props.getLong(mapi::PidTagMessageFlags).value_or(0));
    flags = state.read ? flags | mapi::MSGFLAG_READ : flags & ~mapi::MSGFLAG_READ;
    props.setLong(mapi::PidTagMessageFlags, static_cast<std::int32_t>(flags));
    // A reply is the verb Outlook shows when a message was both replied to and forwarded.
    if (state.replied) {
        props.setLong(mapi::PidTagIconIndex, kIconRepliedMail);
        props.setLong(PidTagLastVerbExecuted, kVerbReplyToSender);
    } else if (state.forwarded) {
        props.setLong(mapi::PidTagIconIndex, kIconForwardedMail);
        props.setLong(PidTagLastVerbExecuted, kVerbForward);
    } else {
        props.setLong(mapi::PidTagIconIndex, state.read ? kIconReadMail : kIconUnreadMail);
    }
    if (state.flagged) {
        props.setLong(PidTagFlagStatus, kFollowupFlagged);
        props.setLong(PidTagFollowupIcon, kFollowupIconRed);
    }
}

}  // namespace store::session
