#pragma once
// Message numbers obtained by name at run time (the tree control's notifications), and the framework
// notification the tree sends when its selection changes.
#include <string_view>

namespace ui {

// The same name always gives the same number, from 0xC000 upwards.
unsigned registerWindowMessage(std::u16string_view name);

inline constexpr unsigned WM_NOTIFY = 0x004E;
inline constexpr int TVN_SELCHANGED = -402;  // TVN_FIRST - 51 (wide)

}  // namespace ui
