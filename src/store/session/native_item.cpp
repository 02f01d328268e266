#include "store/session/native_item.h"

#include "store/import/message_import.h"
#include "store/items/attachment_files.h"
#include "store/items/html_writer.h"
#include "store/items/rtf_writer.h"
#include "store/mapi/property_tags.h"
#include "store/msg/msg_writer.h"
#include "store/session/item_state.h"

namespace store::session {

NativeItem::NativeItem(std::shared_ptr<StoreBackend> store, FolderRef folder)
    : store_(std::move(store)), folder_(folder), message_(std::make_shared<mapi::Message>()) {
    message_->props.setString(mapi::PidTagMessageClass, u"IPM.Note");
}

const std::shared_ptr<mapi::Message>& NativeItem::content() {
    if (!message_) throw StoreError("the item was deleted");
    return message_;
}

void NativeItem::dropPrepared() {
    rendered_.reset();
    prepared_.reset();
    preparedFiles_.reset();
}

// The message to change: a saved message is shared with the store, so it is copied first.
mapi::Message& NativeItem::editable() {
    dropPrepared();
    if (content().use_count() > 1) message_ = std::make_shared<mapi::Message>(*message_);
    return *message_;
}

void NativeItem::checkImportType(int type) {
    content();
    if (type != library::kImportRfc822) throw StoreError("unknown import type");
}

void NativeItem::replaceContent(mapi::Message message) {
    message_ = std::make_shared<mapi::Message>(std::move(message));
    dropPrepared();
    savedFiles_->clear();
}

bool NativeItem::importFile(const std::u16string& path, int type) {
    checkImportType(type);
    std::string error;
    import::ImportOptions options;
    options.stopRequest = store_->stopRequest();
    auto message = import::importMessageFile(path, &error, options);
    if (!message) throw StoreError(error);
    replaceContent(std::move(*message));
    return true;
}

bool NativeItem::importBytes(std::string bytes, int type) {
    checkImportType(type);
    import::ImportOptions options;
    options.stopRequest = store_->stopRequest();
    throwIfStopped(options.stopRequest);
    replaceContent(import::importMessageBytes(std::move(bytes), options));
    return true;
}

void NativeItem::markSentAndRead() {
    mapi::PropertyBag& props = editable().props;
    auto flags = static_cast<std::uint32_t>(props.getLong(mapi::PidTagMessageFlags).value_or(0));
    flags = (flags | mapi::MSGFLAG_READ) & ~mapi::MSGFLAG_UNSENT;
    props.setLong(mapi::PidTagMessageFlags, static_cast<std::int32_t>(flags));
}

void NativeItem::applyState(const library::MessageState& state) { applyMessageState(editable().props, state); }

void NativeItem::prepareSave() {
    const mapi::Message& message = *content();
    // Whatever fails here, save() does all the work itself and meets the same failure.
    try {
        prepared_ = store_->prepareSave(message);
    } catch (...) {
        prepared_.reset();
    }
}

bool NativeItem::save() {
    std::shared_ptr<const mapi::Message> message = content();
    std::unique_ptr<StoreBackend::PreparedSave> prepared = std::move(prepared_);
    const MessageRef saved = prepared ? store_->savePrepared(folder_, std::move(message), prepared.get())
                                      : store_->saveMessage(folder_, std::move(message));
    // What is left of it goes with the item, on the thread that made them both, not on the writer's.
    spentPrepared_ = std::move(prepared);
    if (saved_) store_->deleteMessage(*saved_);  // the earlier version
    saved_ = saved;
    return true;
}

// The saved attachment files as links relative to the item file's folder.
items::SavedAttachmentFiles NativeItem::savedLinks(const std::u16string& itemPath) const {
    const std::u16string folder = itemPath.substr(0, itemPath.rfind(u'/') + 1);
    items::SavedAttachmentFiles links;
    for (const std::u16string& file : *savedFiles_)
        links.push_back(!folder.empty() && file.starts_with(folder) ? file.substr(folder.size()) : file);
    return links;
}

namespace {

// The attachment bytes a message holds, embedded messages included.
std::uint64_t attachmentBytes(const mapi::Message& message) {
    std::uint64_t total = 0;
    for (const mapi::Attachment& attachment : message.attachments) {
        if (auto data = attachment.props.getBinary(mapi::PidTagAttachDataBinary)) total += data->size();
        if (attachment.embedded) total += attachmentBytes(*attachment.embedded);
    }
    return total;
}

// A message file built ahead is held in memory until it is written: large ones are written directly.
constexpr std::uint64_t kLargestMsgAhead = 16ull << 20;

}  // namespace

// The message files of small embedded-message attachments, which saveFile then only writes.
void NativeItem::prepareEmbeddedFiles(const mapi::Message& message) {
    auto prepared = std::make_shared<PreparedAttachmentFiles>();
    prepared->of = &message;
    prepared->bytes.resize(message.attachments.size());
    bool any = false;
    for (std::size_t i = 0; i < message.attachments.size(); ++i) {
        const mapi::Attachment& attachment = message.attachments[i];
        if (!attachment.embedded || attachmentBytes(*attachment.embedded) > kLargestMsgAhead) continue;
        if (Result<std::string> bytes = msg::msgFileBytes(*attachment.embedded, store_->stopRequest())) {
            prepared->bytes[i] = std::move(*bytes);
            any = true;
        }
    }
    preparedFiles_ = any ? std::move(prepared) : nullptr;
}

void NativeItem::prepareSaveAs(int format) {
    const mapi::Message& message = *content();
    if (format == library::kSaveAsMsg && attachmentBytes(message) <= kLargestMsgAhead) {
        if (Result<std::string> bytes = msg::msgFileBytes(message, store_->stopRequest()))
            rendered_ = Rendered{format, items::ItemDocument{std::move(*bytes)}};
    }
    if (format == library::kSaveAsRtf || format == library::kSaveAsHtml) prepareEmbeddedFiles(message);
    if (format == library::kSaveAsRtf) rendered_ = Rendered{format, items::rtfItemDocument(message)};
    if (format == library::kSaveAsHtml) rendered_ = Rendered{format, items::htmlItemDocument(message)};
}

bool NativeItem::writeRendered(const std::u16string& path, int format) const {
    if (!rendered_ || rendered_->format != format) return false;
    const items::ItemDocument& document = rendered_->document;
    Result<void> written;
    // Rendered ahead, a document names no attachment files (a message file names none at all).
    if (format == library::kSaveAsMsg || savedFiles_->empty()) {
        written = items::writeItemFile(path, document.bytes);
    } else {
        const items::SavedAttachmentFiles links = savedLinks(path);
        written = items::writeItemFile(path, document.withHeader(format == library::kSaveAsRtf
                                                                     ? items::rtfHeaderBlock(*message_, links)
                                                                     : items::htmlHeaderBlock(*message_, links)));
    }
    if (!written) throw StoreError(written.failure().message);
    return true;
}

bool NativeItem::saveAs(const std::u16string& path, int format) {
    const mapi::Message& message = *content();
    Result<void> written;
    if (writeRendered(path, format)) return true;
    switch (format) {
    case library::kSaveAsMsg: written = msg::writeMsgFile(message, path, store_->stopRequest()); break;
    case library::kSaveAsRtf: written = items::writeRtfFile(message, path, savedLinks(path)); break;
    case library::kSaveAsHtml: written = items::writeHtmlFile(message, path, savedLinks(path)); break;
    default: throw StoreError("unknown file format");
    }
    if (!written) throw StoreError(written.failure().message);
    return true;
}

std::shared_ptr<library::Attachments> NativeItem::attachments() {
    return std::make_shared<NativeAttachments>(content(), savedFiles_, preparedFiles_);
}

void NativeItem::remove(int mode) {
    content();
    if (saved_) {
        if (mode == 1) {
            store_->moveToDeletedItems(*saved_);
        } else {
            store_->deleteMessage(*saved_);
        }
        saved_.reset();
    }
    message_.reset();
    prepared_.reset();
}

int NativeAttachments::count() { return static_cast<int>(message_->attachments.size()); }

std::shared_ptr<library::Attachment> NativeAttachments::item(int oneBasedIndex) {
    if (oneBasedIndex < 1 || static_cast<std::size_t>(oneBasedIndex) > message_->attachments.size())
        throw StoreError("no such attachment");
    return std::make_shared<NativeAttachment>(message_, static_cast<std::size_t>(oneBasedIndex - 1), savedFiles_, prepared_);
}

std::u16string NativeAttachment::fileName() { return items::attachmentFileName(message_->attachments.at(index_)); }

bool NativeAttachment::saveFile(const std::u16string& path) {
    const mapi::Attachment& attachment = message_->attachments.at(index_);
    // A file built ahead from this very message serves as it is.
    const bool built = prepared_ && prepared_->of == message_.get() && index_ < prepared_->bytes.size() &&
                       prepared_->bytes[index_].has_value();
    Result<void> saved = built ? items::writeItemFile(path, *prepared_->bytes[index_])
                               : items::saveAttachmentFile(attachment, path);
    if (!saved) throw StoreError(saved.failure().message);
    if (savedFiles_) {
        if (savedFiles_->size() <= index_) savedFiles_->resize(index_ + 1);
        (*savedFiles_)[index_] = path;
    }
    return true;
}

}  // namespace store::session
