#pragma once
// The temporary folder "KelvaMbox2PSTCon" under the chosen base, and temporary file names in it.
#include <string>

namespace scan {

// The base folder chosen in the file selection dialog; empty means the system temporary folder.
extern std::u16string g_tempBase;

// The temporary folder with a trailing separator; created when missing.
std::u16string tempFolderPath();
// Deletes every file and sub-folder inside the folder; keeps the folder. Failures are ignored.
void emptyFolder(const std::u16string& folder);
// Full path of a new, not yet existing file in the temporary folder with the given extension (".eml").
std::u16string tempFileName(const std::u16string& extension);
// Writes the blank UTF-16LE preview page and returns its path (also when it could not be written).
std::u16string writeBlankPreviewPage();

}  // namespace scan
