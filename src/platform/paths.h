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

// The native form of a path, for system calls, and back. Names that are not valid UTF-8 keep their
// bytes: each undecodable byte travels as a lone surrogate U+DC80..U+DCFF (see codepage.h), and
// platform::visibleText shows it as "\xHH" in texts.
std::string nativePath(std::u16string_view path);
std::u16string fromNativePath(std::string_view path);

// A path from a toolkit that decodes file names lossily (undecodable bytes replaced by U+FFFD), mapped
// back to the names on disk: a part that does not exist as given takes the name of the one entry of
// its folder that matches it when runs of U+FFFD and of undecodable bytes count as equal. Unchanged
// when the path holds no U+FFFD or nothing matches exactly once.
std::u16string recoverPath(std::u16string_view path);

bool fileExists(std::u16string_view path);    // a regular file or anything that is not a folder
bool folderExists(std::u16string_view path);
// Creates the folder and its missing parents; true when it exists afterwards.
bool createFolders(std::u16string_view path);

}  // namespace platform
