#pragma once
// Where exported files go: the numbered-name rule, the output folder of a mailbox (flat or mirroring
// the mailbox's location), the PST folder chain, and the CR LF rewrite of a written message file.
#include <string>
#include <vector>

namespace exporter {

// The numbered-name rule, claimed atomically: destination + name, or destination + 0 + name, 1 + name, ...
// while something of that name exists. The file (empty) or folder is created with O_EXCL / mkdir, so
// concurrent runs never get the same name. The destination becomes an output root (nothing below it
// is reached through a symbolic link). On a failure other than "exists" the candidate is returned and
// the later write reports it.
std::u16string claimNumberedFile(const std::u16string& destination, const std::u16string& name);
std::u16string claimNumberedFolder(const std::u16string& destination, const std::u16string& name);

// The folder parts that mirror a mailbox's location: the path relative to the root, split at the
// separators ("/home/ann/Inbox.mbox" gives home, ann, Inbox.mbox). Empty for a relative path.
std::vector<std::u16string> hierarchyParts(const std::u16string& mailboxPath);

// A file in folder for an attachment called name that no other file has: name itself, else
// "stem (2).ext", "stem (3).ext", ... (cut to 255 bytes of UTF-8). The file is claimed by creating it
// empty with O_EXCL, so repeated names and concurrent runs never overwrite each other. Returns the
// full path (the last candidate when the folder cannot take a file at all).
std::u16string claimUniqueFile(const std::u16string& folder, const std::u16string& name);

// Creates the output folder of a mailbox under the destination (which ends with a separator) and
// returns it with a trailing separator: a claimed numbered folder without hierarchy; with it the
// mirrored chain, whose last folder (the mailbox's own) is claimed with the numbered-name rule in its
// parent (the destination itself for a relative mailbox path).
std::u16string createOutputFolder(const std::u16string& destination, const std::u16string& mailboxPath,
                                  bool inHierarchy);

// Rewrites the file so that its line ends are CR LF: a CR before every LF that does not follow a CR,
// or, when there is none, an LF after every CR; text that already holds a CR LF pair is left as it is.
// Returns false when the file cannot be read or written
// (it is then left as it was).
bool normalizeFileLineEnds(const std::u16string& path);

}  // namespace exporter
