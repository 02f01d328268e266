#pragma once
// Gmail's labels (the X-Gmail-Labels header of a Gmail export) and the folders they stand for: system
// labels take Outlook's folder names, "A/B" is the folder B inside A, and labels that only say
// something about the message's state (Opened, Unread, Important, Starred, Category ...) make none.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace exporter {

// The labels in the order the header gives them, decoded; nothing when the message has no such header.
std::optional<std::vector<std::string>> gmailLabels(std::string_view message);

// True for a label that tells the message's state and makes no folder.
bool isStateLabel(std::string_view label);

using FolderPath = std::vector<std::u16string>;  // folder names from the mailbox's folder down

enum class LabelFolders { Off = 0, Every = 1, First = 2 };

// The folder of one label: Outlook's name for a system label, nested parts for "A/B", names made safe
// as file and PST folder names. Empty for a state label (and a label with no usable name).
FolderPath labelFolder(std::string_view label);

// The folders below the mailbox's folder that the message goes into: one per folder label (Every),
// only the first one (First), or just the mailbox's folder itself (an empty path) when labels are Off
// or the message has no folder label.
std::vector<FolderPath> labelFolderPaths(std::string_view message, LabelFolders mode);

}  // namespace exporter
