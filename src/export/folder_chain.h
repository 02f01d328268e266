#pragma once
// The folder chain of a mailbox in the shapes mail programs leave on disk: relative to a hierarchy
// root (--hierarchy-root) with Thunderbird's NAME.sbd folders as the folder NAME, and an Apple Mail
// bundle's "mbox" file standing for its NAME.mbox folder.
#include <optional>
#include <string>
#include <vector>

namespace exporter {

// The chain for such a mailbox; nothing when no root applies and the path is no bundle file (the
// plain rule of hierarchyParts holds then).
// The parts of a relative path, with "." dropped and ".." resolved lexically (never above the start), so
// that a folder chain built from them never climbs out of its destination.
std::vector<std::u16string> splitResolved(const std::u16string& relative);

std::optional<std::vector<std::u16string>> shapedHierarchyParts(const std::u16string& mailboxPath);

// True when the hierarchy is taken relative to a root.
bool hierarchyRooted();

// The log line for a mailbox that a rooted hierarchy cannot place because it lies outside the root:
// its folders then follow its full path. Nothing when no root is set or the mailbox lies below it.
std::optional<std::u16string> outsideRootNotice(const std::u16string& mailboxPath);

// The output folder of a mailbox below a hierarchy root: the chain's folders are shared, and the
// mailbox's own folder is claimed unless this run made it as the parent of another mailbox (a
// Thunderbird folder with its own messages and subfolders).
std::u16string rootedOutputFolder(const std::u16string& destination,
                                  const std::vector<std::u16string>& parts);

// Forgets the folders made by the previous run (called when a run's options are confirmed).
void startOutputChains();

}  // namespace exporter
