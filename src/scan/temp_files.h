#pragma once
// The temporary folder "KelvaMbox2PSTCon" and temporary file names in it. The folder lives inside a
// folder private to the user and the process (made fresh with mode 0700 under the chosen base, see
// platform::PrivateFolder), so no other user can see, plant or swap anything in it; files in it are
// created with O_EXCL | O_NOFOLLOW and mode 0600, and emptying it never follows a symbolic link.
#include <string>
#include <string_view>

#include "platform/file_output.h"

namespace scan {

// The base folder chosen in the file selection dialog; empty means the system temporary folder.
extern std::u16string g_tempBase;

// The temporary folder with a trailing separator; created when missing. When no private folder can be
// made under the base, a path under which nothing can be created ("/dev/null/...").
std::u16string tempFolderPath();
// True when the private folder exists (or could be made now) under the current base.
bool tempFolderUsable();
// Removes the private folder with everything in it (at exit; a later tempFolderPath makes a new one).
void removeTempFolder();
// Deletes every file and sub-folder inside the folder; keeps the folder. Symbolic links are removed,
// never followed. Failures are ignored.
void emptyFolder(const std::u16string& folder);
// Full path of a new, not yet existing file in the temporary folder with the given extension (".eml").
std::u16string tempFileName(const std::u16string& extension);
// Opens the folder that holds path when it is a private folder of this user; an empty descriptor else.
platform::Descriptor openPrivateFolderOf(const std::u16string& path);
// Creates the file at path (which must not exist yet) in a private folder, mode 0600, and writes bytes;
// false when it cannot (nothing is left behind then).
bool writeTempFile(const std::u16string& path, std::string_view bytes);
// Writes the blank UTF-16LE preview page and returns its path (also when it could not be written).
std::u16string writeBlankPreviewPage();

}  // namespace scan
