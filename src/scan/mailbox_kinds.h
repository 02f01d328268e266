#pragma once
// Which files and folders are mailboxes: an mbox file begins (after blank lines) with a "From " line,
// an .imm file is known by its name, and Apple Mail exports each mailbox as a folder NAME.mbox that
// holds the messages in a file named "mbox" (the mailbox is then called NAME.mbox).
#include <optional>
#include <string>

namespace scan {

// True for a file whose first non-blank line starts with "From ", or whose name ends in ".imm".
bool looksLikeMailbox(const std::u16string& path);

// The "mbox" file of an Apple Mail bundle folder; nothing for any other folder.
std::optional<std::u16string> appleMailBundleFile(const std::u16string& folder);

// Whether a folder search takes the file: not the other files of an Apple Mail bundle, and with
// mailboxesOnly only files that look like mailboxes.
bool searchTakes(const std::u16string& path, bool mailboxesOnly);

// True when the path names the "mbox" file inside a folder whose name ends in ".mbox".
bool isAppleMailBundleFile(const std::u16string& path);

// A mailbox's name: its file name, or the bundle folder's name for a bundle's "mbox" file.
std::u16string mailboxDisplayName(const std::u16string& path);

}  // namespace scan
