#pragma once
// Message-level operations on raw message bytes: the display text conversion, the CR LF conversion,
// the content-type rewrite that makes a message without a declared text body show as HTML, the
// attachment name list of the preview, the text body selection and the rebuild of .imm messages.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "mime/mime_body.h"

namespace mime {

// 8-bit text (up to its first zero byte) to UTF-16: UTF-8 when it holds valid multi-byte UTF-8
// sequences, else the ANSI code page. Declared charsets are not consulted.
std::u16string ToDisplayText(std::string_view text);

// Puts a CR before every LF not directly after a CR, when the text up to its first zero byte has no
// CR LF pair; returns whether it changed anything.
bool ConvertLfToCrLf(std::string& bytes);

// The forced line, without its CR LF.
inline constexpr std::string_view kForcedContentType = "Content-Type: text/html; charset=\"ISO-8859-1\"";

// When no CR LF "Content-Type:" line of the message says text/html or text/plain, replaces the value
// of the first such line with text/html (ISO-8859-1); returns whether it changed anything. A message
// without any CR LF "Content-Type:" line is left as it is (it is plain text by default).
bool ForceHtmlContentType(std::string& bytes);
// The export's variant: also leaves the message alone when its first Content-Type value is multipart/
// or message/, or when its top-level body is base64-encoded, so that a message carrying only
// attachments keeps its structure.
bool ForceHtmlContentTypeForExport(std::string& bytes);

// Names of the non-text leaves that carry an attachment name, joined by commas; empty when the file
// cannot be read.
std::u16string ListAttachmentNames(const std::u16string& messagePath);
// The same for message bytes already in memory.
std::u16string ListAttachmentNamesOf(std::string bytes);
// Whether the leaf is one the list above names: every named leaf except text parts, which are bodies
// unless the sender marked them "Content-Disposition: attachment"; and the name it is listed by.
bool IsListedAttachment(const CMimeBody& leaf);
std::string ListedAttachmentName(const CMimeBody& leaf);

// True when the file name, resolved inside the folder, stays inside it (links followed).
bool StaysInside(const std::filesystem::path& folder, const std::filesystem::path& name);
// The name of an .imm attachment marker as a path inside the attachments folder.
std::u16string MarkerPath(const std::u16string& rawName);

// The last text/html and text/plain leaves of a message, as display text.
struct TextBodies {
    std::u16string html;
    std::u16string plain;
};
TextBodies SelectTextBodies(const CMimeBody& message);

// Standard base64 with padding and no line breaks.
std::string Base64Encode(std::string_view bytes);

// Attachment files larger than this (or empty) are attached by name only.
inline constexpr std::int64_t kRebuildAttachmentLimit = 31457280;

// An .imm message rebuilt with its attachment files: To, From, CC, BCC, Subject, Date and the
// reference fields of the original, MIME-Version, a multipart/mixed body with the HTML (quoted-printable) or plain
// (8bit) text, and one base64 part per attachment file named in attachmentNames (leading '-' removed,
// '\' read as the separator) inside attachmentsFolder. A file that is missing, cannot be read or would
// lead outside that folder gets no part; a file at or above the limit is attached by name only. Each
// name whose file was not attached whole is listed in notAttached (as a path inside the folder).
struct RebuiltImMessage {
    std::string bytes;
    std::vector<std::u16string> notAttached;
};
RebuiltImMessage RebuildImMessageBytes(const std::vector<std::u16string>& attachmentNames,
                                       const std::u16string& attachmentsFolder, std::string_view sourceBytes);

// The same for a message file, rewritten in place. Returns 1, or 0 when the file cannot be read or
// rewritten (it is then left untouched).
int RebuildImMessage(const std::vector<std::u16string>& attachmentNames, const std::u16string& attachmentsFolder,
                     const std::u16string& emlPath);

}  // namespace mime
