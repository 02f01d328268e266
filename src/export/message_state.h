#pragma once
// The state a mailbox recorded for a message, from the headers its mail programs write: Gmail's labels
// (Unread, Starred), Thunderbird's X-Mozilla-Status bits and the Status / X-Status letters of classic
// mbox readers (R read, A answered, F flagged). Without any of them a message counts as read.
#include <string_view>

#include "store/library/message_state.h"

namespace exporter {

// Thunderbird's X-Mozilla-Status bits.
inline constexpr unsigned kMozillaRead = 0x0001;
inline constexpr unsigned kMozillaReplied = 0x0002;
inline constexpr unsigned kMozillaMarked = 0x0004;
inline constexpr unsigned kMozillaForwarded = 0x1000;

// Read state from the first source present: Gmail labels, then X-Mozilla-Status, then Status;
// replied, forwarded and flagged from any of them.
library::MessageState messageStateOf(std::string_view message);

}  // namespace exporter
