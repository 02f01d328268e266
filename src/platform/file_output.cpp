#include "platform/file_output.h"

#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <unistd.h>

#include "platform/paths.h"

namespace platform {
namespace {

bool writeAll(int fd, std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    return done == bytes.size();
}

// Writes the bytes through a descriptor opened with flags, then closes it; a failed file is removed.
bool writeThrough(const std::u16string& path, std::string_view bytes, int flags, bool cutAfter) {
    const std::string native = nativePath(path);
    int fd = ::open(native.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | flags, 0644);
    if (fd < 0) return false;
    bool ok = writeAll(fd, bytes);
    if (ok && cutAfter) ok = ::ftruncate(fd, static_cast<off_t>(bytes.size())) == 0;
    if (::close(fd) != 0) ok = false;
    if (!ok) ::unlink(native.c_str());
    return ok;
}

}  // namespace

bool writeWholeFile(const std::u16string& path, std::string_view bytes) {
    return writeThrough(path, bytes, O_TRUNC, false);
}

bool rewriteFileInPlace(const std::u16string& path, std::string_view bytes) {
    return writeThrough(path, bytes, 0, true);
}

bool readWholeFile(const std::u16string& path, std::string& bytes) {
    std::ifstream in(nativePath(path), std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

}  // namespace platform
