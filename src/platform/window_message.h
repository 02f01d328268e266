#pragma once
// The stand-in for synchronous window messages: a target handles a message on its UI thread and the
// sender waits for the answer. The custom message numbers are shared by the controller and its jobs.
#include <cstdint>

namespace platform {

using WParam = std::uintptr_t;
using LParam = std::intptr_t;

class MessageTarget {
public:
    virtual ~MessageTarget() = default;
    // Delivers the message and returns once the receiver has handled it.
    virtual LParam sendMessage(unsigned message, WParam wParam, LParam lParam) = 0;
};

inline constexpr unsigned WM_USER = 0x0400;
inline constexpr unsigned UM_MAILBOX_CLICKED = WM_USER + 150;
inline constexpr unsigned UM_MESSAGE_CLICKED = WM_USER + 151;
inline constexpr unsigned UM_PROGRESS_RANGE = WM_USER + 155;
inline constexpr unsigned UM_PROGRESS_POS = WM_USER + 156;
inline constexpr unsigned UM_SHOW_TAB = WM_USER + 179;
inline constexpr unsigned UM_SHOW_CAPTION = WM_USER + 181;
inline constexpr unsigned UM_SHOW_PREVIEW = WM_USER + 182;
inline constexpr unsigned UM_LOG_STATUS = WM_USER + 183;

}  // namespace platform
