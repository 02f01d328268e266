#pragma once
// The 32-bit CRC of the file format (the reflected 0xEDB88320 polynomial, seeded with 0, no final
// inversion), used by the header, pages and blocks.
#include <cstdint>
#include <string_view>

namespace store::pst {

std::uint32_t computeCrc(std::string_view bytes, std::uint32_t seed = 0);

}  // namespace store::pst
