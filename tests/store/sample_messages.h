#pragma once
// Messages built by hand for the writer tests.
#include <string>

#include "store/mapi/message.h"

namespace store_test {

store::mapi::PropertyBag recipient(std::int32_t type, const std::u16string& name, const std::u16string& address);
store::mapi::Attachment fileAttachment(const std::u16string& name, const std::u16string& mimeType, std::string data);
// A message with subject, sender, submit time and plain body.
store::mapi::Message simpleMessage(const std::u16string& subject, const std::u16string& body);

// Deterministic bytes of a given size.
std::string patternBytes(std::size_t size, unsigned seed);
std::string sha256Hex(const std::string& bytes);

}  // namespace store_test
