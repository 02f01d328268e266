#include "platform/file_output.h"

#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <unistd.h>

#include "platform/paths.h"

namespace platform {

bool writeWholeFile(const std::u16string& path, std::string_view bytes) {
    const std::string native = nativePath(path);
    int fd = ::open(native.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    bool ok = done == bytes.size();
    if (::close(fd) != 0) ok = false;
    if (!ok) ::unlink(native.c_str());
    return ok;
}

bool readWholeFile(const std::u16string& path, std::string& bytes) {
    std::ifstream in(nativePath(path), std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

}  // namespace platform
