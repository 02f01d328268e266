#pragma once
// Well-known folders: the temporary base, the desktop (for the activity log) and the settings folder.
#include <string>

namespace platform {

// $TMPDIR when set and non-empty, else "/tmp/"; always ends with a separator.
std::u16string tempBaseFolder();
// XDG_DESKTOP_DIR from the user-dirs file, else ~/Desktop; created if missing. No trailing separator.
std::u16string desktopFolder();
// $XDG_CONFIG_HOME, else ~/.config. No trailing separator.
std::u16string configFolder();
// The home folder ($HOME, else the password database).
std::u16string homeFolder();

}  // namespace platform
