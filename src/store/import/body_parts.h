#pragma once
// Which MIME parts of a message are its bodies and which are attachments.
//
// The plain and the HTML body are the first text/plain and text/html parts met walking the tree,
// looking only at the root part of a multipart/related and never at a part that reads as an
// attachment or below a multipart marked as one. Every other leaf, and every message/rfc822 part (not
// descended into), is an attachment, except the other renderings inside a multipart/alternative.
// A part reads as an attachment when its disposition is "attachment", when it has a file name, or
// when it is inline with a Content-ID.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mime/mime_body.h"
#include "store/import/parameters.h"

namespace store::import {

// What the import needs to know of one part, read from its header.
struct PartInfo {
    std::string mainType;     // lower case; "text" when absent or malformed
    std::string subType;      // lower case
    ParameterList contentType;
    std::string typeCharset;  // charset the MIME library found in encoded words of Content-Type
    std::string disposition;  // lower case type of Content-Disposition, empty when absent
    ParameterList dispositionParams;
    std::string dispositionCharset;
    std::optional<std::u16string> fileName;  // filename of the disposition, else name of the type
    std::u16string contentId;                // without angle brackets
    std::u16string contentLocation;

    bool isMessage() const { return mainType == "message" && (subType == "rfc822" || subType == "global"); }
    bool isMultipart(const mime::CMimeBody& body) const { return mainType == "multipart" && !body.Parts().empty(); }
    std::string mimeTag() const { return mainType + "/" + subType; }
    std::string charset() const;
};

// digestMember: the part is a direct child of a multipart/digest (its default type is message/rfc822).
PartInfo describePart(const mime::CMimeBody& body, bool digestMember = false);

bool readsAsAttachment(const PartInfo& info);

// The Windows code page of a body's charset (PidTagInternetCodepage); nothing when it has none.
std::optional<std::int32_t> codepageOf(std::string_view charset);

struct AttachmentPart {
    mime::CMimeBody* body;
    PartInfo info;
    bool inRelated = false;  // below a multipart/related, beside its root
};

struct MessageParts {
    mime::CMimeBody* plain = nullptr;
    mime::CMimeBody* html = nullptr;
    PartInfo plainInfo;
    PartInfo htmlInfo;
    std::vector<AttachmentPart> attachments;
};

// Splits the multiparts the MIME library left whole because it could not read their boundary (an
// unquoted boundary with '=' in it, an empty boundary), using the boundary parameters read here.
void repairMultiparts(mime::CMimeBody& root);

MessageParts classifyParts(mime::CMimeBody& root);

}  // namespace store::import
