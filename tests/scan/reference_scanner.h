#pragma once
// Literal, position-by-position implementations of the two boundary definitions, written
// independently of the product code so that both of its paths can be checked against them.
#include <cstdint>
#include <string>
#include <vector>

namespace reference {

std::vector<std::uint64_t> fromLineOffsets(const std::string& bytes);
std::vector<std::uint64_t> mimeVersionOffsets(const std::string& bytes);
// UM_PROGRESS_POS values a report at every hundredth position would send, without repeats.
std::vector<std::int64_t> progressPositions(std::uint64_t size);

}  // namespace reference
