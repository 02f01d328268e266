#pragma once
// Address-book identifiers of internet recipients: the one-off entry identifier (MS-OXCDATA) that
// carries name, address type and address, and the search key "TYPE:ADDRESS".
#include <string>
#include <string_view>
#include <vector>

namespace store::import {

std::string oneOffEntryId(std::u16string_view displayName, std::u16string_view addressType, std::u16string_view address);

// "SMTP:ANN@EXAMPLE.COM" and a zero byte: the address upper-cased (ASCII letters), as 8-bit text.
std::string searchKey(std::u16string_view addressType, std::u16string_view address);

// A FlatEntryList (PidTagReplyRecipientEntries) of entry identifiers.
std::string flatEntryList(const std::vector<std::string>& entryIds);

}  // namespace store::import
