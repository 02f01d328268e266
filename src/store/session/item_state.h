#pragma once
// A message's state as the properties Outlook shows: the read bit of the message flags, the replied
// or forwarded icon with the last verb executed, and a red follow-up flag.
#include "store/library/message_state.h"
#include "store/mapi/property_bag.h"

namespace store::session {

inline constexpr mapi::PropTag PidTagLastVerbExecuted{0x10810003};
inline constexpr mapi::PropTag PidTagFlagStatus{0x10900003};
inline constexpr mapi::PropTag PidTagFollowupIcon{0x10950003};

inline constexpr std::int32_t kIconReadMail = 0x100;
inline constexpr std::int32_t kIconUnreadMail = 0x101;
inline constexpr std::int32_t kIconRepliedMail = 0x105;
inline constexpr std::int32_t kIconForwardedMail = 0x106;
inline constexpr std::int32_t kVerbReplyToSender = 102;
inline constexpr std::int32_t kVerbForward = 104;
inline constexpr std::int32_t kFollowupFlagged = 2;
inline constexpr std::int32_t kFollowupIconRed = 6;

void applyMessageState(mapi::PropertyBag& props, const library::MessageState& state);

}  // namespace store::session
