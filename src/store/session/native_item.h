#pragma once
// An item of the session object model: a message being made in memory (import, flags), stored in its
// folder by save(), written as a file by saveAs(), and released by remove(). Its attachments are
// listed and saved from the message the item holds.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "store/items/message_text.h"
#include "store/library/library_interface.h"
#include "store/session/store_backend.h"

namespace store::session {

// Files of embedded-message attachments built ahead (prepareSaveAs), by attachment index, for the
// message they were built from.
struct PreparedAttachmentFiles {
    const mapi::Message* of = nullptr;
    std::vector<std::optional<std::string>> bytes;
};
using PreparedFiles = std::shared_ptr<const PreparedAttachmentFiles>;

class NativeItem : public library::Item {
public:
    NativeItem(std::shared_ptr<StoreBackend> store, FolderRef folder);

    // Only kImportRfc822 is known; throws when the file cannot be read.
    bool importFile(const std::u16string& path, int type) override;
    bool importBytes(std::string bytes, int type) override;
    void markSentAndRead() override;
    void applyState(const library::MessageState& state) override;
    bool save() override;
    // kSaveAsMsg, kSaveAsRtf or kSaveAsHtml; throws when the file cannot be written.
    bool saveAs(const std::u16string& path, int format) override;
    // Renders the RTF or HTML document (saveAs then renders only its header block again once attachment
    // files were saved, as it names them), or builds the message file (unless its attachments are large).
    void prepareSaveAs(int format) override;
    // Encodes the message for its store ahead of save() where the store can (a PST file).
    void prepareSave() override;
    std::shared_ptr<library::Attachments> attachments() override;
    // Mode 1 moves the saved message to Deleted Items, any other mode deletes it; the item's message
    // is released and every later call on the item fails.
    void remove(int mode) override;

private:
    void checkImportType(int type);
    void replaceContent(mapi::Message message);
    mapi::Message& editable();
    // Forgets what was made ahead of the save from the current content (it is about to change).
    void dropPrepared();
    const std::shared_ptr<mapi::Message>& content();
    std::vector<std::u16string> savedLinks(const std::u16string& itemPath) const;
    void prepareEmbeddedFiles(const mapi::Message& message);

    std::shared_ptr<StoreBackend> store_;
    FolderRef folder_;
    std::shared_ptr<mapi::Message> message_;
    std::optional<MessageRef> saved_;
    struct Rendered {
        int format = 0;
        items::ItemDocument document;
    };
    // Writes the document rendered ahead as that file (throws when it cannot); false when there is none.
    bool writeRendered(const std::u16string& path, int format) const;
    std::optional<Rendered> rendered_;  // what prepareSaveAs made of the current content
    std::unique_ptr<StoreBackend::PreparedSave> prepared_;  // what prepareSave made of it
    std::unique_ptr<StoreBackend::PreparedSave> spentPrepared_;  // what save left of it
    // Full paths the attachments were saved to (by index), so that RTF and HTML name the files written.
    std::shared_ptr<std::vector<std::u16string>> savedFiles_ = std::make_shared<std::vector<std::u16string>>();
    PreparedFiles preparedFiles_;
};

using SavedFiles = std::shared_ptr<std::vector<std::u16string>>;

class NativeAttachments : public library::Attachments {
public:
    NativeAttachments(std::shared_ptr<const mapi::Message> message, SavedFiles savedFiles, PreparedFiles prepared = {})
        : message_(std::move(message)), savedFiles_(std::move(savedFiles)), prepared_(std::move(prepared)) {}

    int count() override;
    // From 1; throws outside 1..count.
    std::shared_ptr<library::Attachment> item(int oneBasedIndex) override;

private:
    std::shared_ptr<const mapi::Message> message_;
    SavedFiles savedFiles_;
    PreparedFiles prepared_;
};

class NativeAttachment : public library::Attachment {
public:
    NativeAttachment(std::shared_ptr<const mapi::Message> message, std::size_t index, SavedFiles savedFiles,
                     PreparedFiles prepared = {})
        : message_(std::move(message)), index_(index), savedFiles_(std::move(savedFiles)), prepared_(std::move(prepared)) {}

    // A name that is safe as a file name (store/items/attachment_files.h).
    std::u16string fileName() override;
    bool saveFile(const std::u16string& path) override;

private:
    std::shared_ptr<const mapi::Message> message_;
    std::size_t index_;
    SavedFiles savedFiles_;
    PreparedFiles prepared_;
};

}  // namespace store::session
