#pragma once
// The columns of the tables of a message store: the hierarchy, contents and associated contents
// tables of folders, and the recipient and attachment tables of messages.
#include <cstdint>
#include <vector>

namespace store::pst {

const std::vector<std::uint32_t>& hierarchyTableColumns();
const std::vector<std::uint32_t>& contentsTableColumns();
const std::vector<std::uint32_t>& assocContentsTableColumns();
const std::vector<std::uint32_t>& recipientTableColumns();
const std::vector<std::uint32_t>& attachmentTableColumns();

}  // namespace store::pst
