#pragma once
// What the item writers show of a message: its bodies as text and the header block
// (From, Sent, To, Cc, Subject, attachment names).
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/mapi/filetime.h"
#include "store/mapi/message.h"

namespace store::items {

// platform::utf16ToUtf8, with runs of ASCII (most of any mail) copied directly.
std::string utf8Text(std::u16string_view text);

// The HTML body as UTF-8, decoded from its code page (PidTagInternetCodepage; without one, UTF-8 when
// the bytes are valid UTF-8, else Windows-1252).
std::optional<std::string> htmlBodyUtf8(const mapi::Message& message);
// The plain body, else the HTML body as text, else nothing; line breaks as CR LF.
std::u16string plainTextOf(const mapi::Message& message);

struct ItemHeader {
    std::u16string from;
    std::u16string sent;     // empty when the message has no time
    std::u16string to;
    std::u16string cc;
    std::u16string subject;
    std::vector<std::u16string> attachments;  // file names of the attachments that are not hidden
    std::vector<std::u16string> attachmentLinks;  // beside them: the saved file's relative path, or empty
};

// The labelled lines of the header block in the order shown, without the empty ones; an empty
// subject still has its line (one blank).
struct HeaderLine {
    const char* label;
    std::u16string_view value;
};
std::vector<HeaderLine> headerLines(const ItemHeader& h);

// The listed attachments, each written by entry(name, link) (link empty when not saved), joined by "; ".
std::string joinAttachments(
    const ItemHeader& h,
    const std::function<std::string(std::u16string_view name, std::u16string_view link)>& entry);

// savedFiles: where the attachments were saved, by attachment index (SavedAttachmentFiles); a saved
// attachment is named by the file actually written and linked to it.
ItemHeader itemHeaderOf(const mapi::Message& message, const std::vector<std::u16string>& savedFiles = {});

// A rendered RTF or HTML document and where its header block is, so that only the block is rendered
// again once the attachment files it names are known (the body is the costly part).
struct ItemDocument {
    std::string bytes;
    std::size_t headerAt = std::string::npos;  // npos: the document shows no header block
    std::size_t headerSize = 0;

    // The document with another header block in place of its own.
    std::string withHeader(std::string_view header) const;
};

// "Friday, March 1, 2024 12:34 PM" in local time.
std::u16string formatSentTime(mapi::FileTime time);

}  // namespace store::items
