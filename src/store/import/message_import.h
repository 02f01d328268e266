#pragma once
// Import of an RFC 822 message (the library's import type 1024) into a MAPI message: message class
// IPM.Note, the envelope (see envelope_import.h), the plain body, the HTML body with its internet
// code page, attachments by value and attached messages as embedded messages, the has-attachments
// flag, the message size and the flags of a sent, read message. A leading mbox "From " line is
// skipped. Malformed input yields what could be read; the import itself never fails.
#include <optional>
#include <string>
#include <string_view>

#include "store/mapi/message.h"
#include "store/stop_request.h"

namespace store::import {

struct ImportOptions {
    // Messages attached deeper than this are kept as .eml attachments instead of embedded messages.
    int maxEmbeddingDepth = 32;
    // Polled before each recipient; when it answers true, the import throws StopError.
    StopRequest stopRequest;
};

mapi::Message importMessage(std::string_view bytes, const ImportOptions& options = {});
// The same for a buffer the import takes: the message is prepared in it, so that a large message is
// not held twice.
mapi::Message importMessageBytes(std::string bytes, const ImportOptions& options = {});

// Reads the whole file and imports it; nothing (with the reason in error) when it cannot be read.
std::optional<mapi::Message> importMessageFile(const std::u16string& path, std::string* error = nullptr,
                                               const ImportOptions& options = {});

// The import of a message found at an embedding depth (0 for a top-level message).
mapi::Message importMessageAt(std::string_view bytes, const ImportOptions& options, int depth);
// The same for text made ready by prepareMessageText (message_text.h), which it consumes. lfSource:
// the text had bare LF line ends before it was prepared (see hasLfLineEnds in message_text.h).
mapi::Message importPrepared(std::string text, const ImportOptions& options, int depth, bool lfSource = false);

// PidTagMessageSize: the bytes of the message's properties, recipients and attachments.
std::int64_t messageSizeOf(const mapi::Message& message);

}  // namespace store::import
