#pragma once
// Reading one message of a mailbox through the catalogue, and the line-end normalisation the
// summary, the preview and the export apply to messages without CR LF.
#include <cstdint>
#include <optional>
#include <string>

#include "scan/mbox_file.h"

namespace scan {

// The bytes of message k. With skipLeadingBreak the line break that the boundary scanner left at the
// front of the message (LF, CR LF or a bare CR) is dropped. Empty when k is outside the offset list or
// the message's end is not above its start; nothing when the buffer cannot be allocated or the bytes
// cannot be read whole (the file now ends before the message does, or a read fails).
std::optional<std::string> readMessage(CMboxFile& mbox, std::uint64_t k, bool skipLeadingBreak);

// Puts a CR before every LF not preceded by one; when that inserted nothing, an LF after every CR.
// Used only for messages that hold no CR LF pair.
void normalizeLineEnds(std::string& bytes);

// True when the bytes hold at least one CR LF pair.
bool hasCrLf(std::string_view bytes);

}  // namespace scan
