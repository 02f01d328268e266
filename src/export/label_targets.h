#pragma once
// Where the writers put a message when Gmail labels are folders, and the item steps that carry the
// message's state: the hooks the PST, item-file and EML writers call per message.
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "export/gmail_labels.h"
#include "store/library/library_interface.h"

namespace exporter {

// The item collections of a mailbox's PST folder and of the label folders made below it on demand.
class LabelTargets {
  public:
    explicit LabelTargets(std::shared_ptr<library::Folder> mailboxFolder);
    // The collections the message goes into: the mailbox folder's own unless labels are folders.
    std::vector<std::shared_ptr<library::Items>> itemsFor(std::string_view message);

  private:
    std::shared_ptr<library::Items> itemsAt(const FolderPath& path);

    std::shared_ptr<library::Folder> mailboxFolder_;
    std::map<FolderPath, std::shared_ptr<library::Items>> items_;
};

// Gives the item the message's state when the options ask for it.
void applyMessageState(const std::shared_ptr<library::Item>& item, std::string_view message);

// Adds an item to the collection, imports the message, marks it sent and read, applies the state and
// saves it; true when the import and the save worked.
bool importItem(const std::shared_ptr<library::Items>& items, std::string_view message);

// The files a file export writes the message to: outputFolder + name, or, with labels as folders,
// name in each label's folder below outputFolder (the folders are made here).
std::vector<std::u16string> labelOutputPaths(const std::u16string& outputFolder, const std::u16string& name,
                                             std::string_view message);

}  // namespace exporter
