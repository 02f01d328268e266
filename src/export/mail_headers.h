#pragma once
// Header fields of a message as the export needs them for folders and state: the values of one
// field, unfolded, found in the header block (up to the first empty line).
#include <string>
#include <string_view>
#include <vector>

namespace exporter {

// The header block of a message: its bytes before the first empty line (LF or CR LF line ends).
std::string_view headerBlockOf(std::string_view message);

// The values of every field of that name (ASCII case ignored), folded lines joined, blanks trimmed.
std::vector<std::string> headerValues(std::string_view message, std::string_view name);

}  // namespace exporter
