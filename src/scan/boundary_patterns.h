#pragma once
// Fast searches for the boundary patterns in a block of bytes: a pattern is a line break (LF, or LF
// or CR) followed by a fixed text. Candidates are found 16 positions at a time by their first two
// bytes, then checked in full.
#include <cstddef>
#include <string_view>

namespace scan {

inline constexpr std::string_view kFromText = "From ";                 // after LF or CR: 6 bytes in all
inline constexpr std::string_view kMimeVersionText = "MIME-Version: 1.0";  // after LF: 18 bytes in all
inline constexpr std::size_t kFromLineLength = 1 + kFromText.size();
inline constexpr std::size_t kMimeVersionLength = 1 + kMimeVersionText.size();

// True when the six bytes at data (at least six must be readable) are a From-line boundary.
inline bool isFromLineAt(const char* data) {
    return (data[0] == '\n' || data[0] == '\r') && kFromText == std::string_view(data + 1, kFromText.size());
}
// True when the eighteen bytes at data are LF followed by "MIME-Version: 1.0".
inline bool isMimeVersionLineAt(const char* data) {
    return data[0] == '\n' && kMimeVersionText == std::string_view(data + 1, kMimeVersionText.size());
}

// Calls found(i) in increasing order for every i with i + 6 <= size where a From-line boundary starts.
template <typename Found>
void findFromLines(const char* data, std::size_t size, Found&& found);
// Calls found(i) in increasing order for every i with i + 18 <= size where LF + "MIME-Version: 1.0" starts.
template <typename Found>
void findMimeVersionLines(const char* data, std::size_t size, Found&& found);

}  // namespace scan

#include "scan/boundary_patterns_impl.h"
