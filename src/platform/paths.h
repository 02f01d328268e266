#pragma once
// Paths in UTF-16 with the native separator '/'. A path's "file name" is the text after its last
// separator; the "part after the root" of an absolute path is the path relative to '/'.
#include <string>
#include <string_view>

namespace platform {

inline constexpr char16_t kSeparator = u'/';

// Text after the last separator; empty when the path has none.
std::u16string fileNameOf(std::u16string_view path);
// Text before the last separator (empty when there is none; "/" keeps the root as "").
std::u16string folderOf(std::u16string_view path);
// For an absolute path the text after the leading separators ("/home/ann/x" -> "home/ann/x");
// for a relative path the path itself.
std::u16string relativeToRoot(std::u16string_view path);
bool isAbsolute(std::u16string_view path);
// Joins with exactly one separator between the two parts.
std::u16string joinPath(std::u16string_view folder, std::u16string_view name);
// Appends a separator unless the text already ends with one.
std::u16string withTrailingSeparator(std::u16string_view folder);

// The native (UTF-8) form of a path, for system calls.
std::string nativePath(std::u16string_view path);
std::u16string fromNativePath(std::string_view path);

bool fileExists(std::u16string_view path);    // a regular file or anything that is not a folder
bool folderExists(std::u16string_view path);
// Creates the folder and its missing parents; true when it exists afterwards.
bool createFolders(std::u16string_view path);

}  // namespace platform
