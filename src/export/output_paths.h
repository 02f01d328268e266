#pragma once
// Where exported files go: the numbered-name rule, the output folder of a mailbox (flat or mirroring
// the mailbox's location), the PST folder chain, and the CR LF rewrite of a written message file.
#include <string>
#include <vector>

namespace exporter {

// destination + name, or destination + 0 + name, 1 + name, ... while a file or folder of that name exists.
std::u16string numberedName(const std::u16string& destination, const std::u16string& name);

// The folder parts that mirror a mailbox's location: the path relative to the root, split at the
// separators ("/home/ann/Inbox.mbox" gives home, ann, Inbox.mbox). Empty for a relative path.
std::vector<std::u16string> hierarchyParts(const std::u16string& mailboxPath);

// Creates the output folder of a mailbox under the destination (which ends with a separator) and
// returns it with a trailing separator: numbered without hierarchy; the mirrored chain with it (the
// destination itself for a relative mailbox path).
std::u16string createOutputFolder(const std::u16string& destination, const std::u16string& mailboxPath,
                                  bool inHierarchy);

// Rewrites the file so that its line ends are CR LF: a CR before every LF that does not follow a CR,
// or, when there is none, an LF after every CR; text that already holds a CR LF pair is left as it is.
// Returns false when the file cannot be read or written
// (it is then left as it was).
bool normalizeFileLineEnds(const std::u16string& path);

}  // namespace exporter
