#pragma once
// Reading and writing whole files at once.
#include <string>
#include <string_view>

namespace platform {

// Writes the bytes to a new file at path (replacing one that exists); false when the file cannot be
// created or written, in which case no partial file is left.
bool writeWholeFile(const std::u16string& path, std::string_view bytes);
// The same for a file that is rewritten again and again: written from its start and cut after the new
// bytes, never truncated to nothing first (ext4 answers a truncate-and-rewrite with a flush to disk).
bool rewriteFileInPlace(const std::u16string& path, std::string_view bytes);
// Reads the whole file into bytes; false when it cannot be opened or read.
bool readWholeFile(const std::u16string& path, std::string& bytes);

}  // namespace platform
