#pragma once
// A message as an HTML document (UTF-8): the header block (From, Sent, To, Cc, Subject, Attachments)
// at the top of the body, then the HTML body without active content, or the plain body as
// preformatted text when there is no HTML body.
#include <string>

#include "store/mapi/message.h"

namespace store::items {

std::string htmlDocument(const mapi::Message& message);
bool writeHtmlFile(const mapi::Message& message, const std::u16string& path, std::string* error = nullptr);

}  // namespace store::items
