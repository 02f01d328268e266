#pragma once
// The header of a message as MAPI properties: subject (with prefix and normalized subject), sender and
// sent-representing, the recipient table and display lists, reply-to, submit and delivery times,
// message id, in-reply-to and references, importance, priority, sensitivity and the transport message
// headers (the header block as written).
#include <string_view>

#include "mime/mime_header.h"
#include "store/mapi/message.h"
#include "store/stop_request.h"

namespace store::import {

// The header read by the MIME library (its fields' written values are decoded here, each encoded word
// in its own charset) and the header block as written (for the transport headers). `stop` is polled
// before each recipient; when it answers true, StopError is thrown.
void importEnvelope(const mime::CMimeHeader& header, std::string_view headerBlock, mapi::Message& message,
                    const StopRequest& stop = {});

// The header block as text for PidTagTransportMessageHeaders: each line's 8-bit bytes read as UTF-8
// when valid, else Windows-1252; ends with the blank line.
std::u16string transportHeaderText(std::string_view block);

// MS-OXCMAIL's rule: one to three characters (no blank, colon or digit) and a colon, then blanks, make
// the prefix (returned as those characters + ": "); the rest is the normalized subject.
struct SubjectParts {
    std::u16string prefix;
    std::u16string normalized;
};
SubjectParts splitSubject(std::u16string_view subject);

}  // namespace store::import
