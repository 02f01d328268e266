#pragma once
// Fast searches for the boundary patterns in a block of bytes.
#include <cstddef>
#include <string_view>

namespace scan {

inline constexpr std::string_view kFromPattern = "From ";          // after LF or CR: 6 bytes in all
inline constexpr std::string_view kMimeVersionPattern = "\nMIME-Version: 1.0";  // 18 bytes
inline constexpr std::size_t kFromLineLength = 6;

// Calls found(i) in increasing order for every i with i + 6 <= size where data[i] is LF or CR and
// "From " follows.
template <typename Found>
void findFromLines(const char* data, std::size_t size, Found&& found);

// True when the six bytes at data (at least six must be readable) are a From-line boundary.
inline bool isFromLineAt(const char* data) {
    return (data[0] == '\n' || data[0] == '\r') && data[1] == 'F' && data[2] == 'r' && data[3] == 'o' &&
           data[4] == 'm' && data[5] == ' ';
}

}  // namespace scan

#include "scan/boundary_patterns_impl.h"
