#include "platform/cfile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/paths.h"

namespace platform {

CFile::~CFile() { close(); }

CFile::CFile(CFile&& other) noexcept : fd_(other.fd_), position_(other.position_) { other.fd_ = -1; }

CFile& CFile::operator=(CFile&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = other.fd_;
        position_ = other.position_;
        other.fd_ = -1;
    }
    return *this;
}

bool CFile::open(const std::u16string& path) { return openNative(nativePath(path)); }

bool CFile::openNative(const std::string& path) {
    close();
    int fd;
    // Without blocking, so that a FIFO named as a mailbox is refused instead of waiting for a writer.
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    position_ = 0;
    return true;
}

void CFile::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    position_ = 0;
}

std::uint64_t CFile::size() const {
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0 || st.st_size < 0) return 0;
    return static_cast<std::uint64_t>(st.st_size);
}

bool CFile::seek(std::uint64_t offset) {
    if (fd_ < 0) return false;
    position_ = offset;
    return true;
}

std::size_t CFile::read(void* buffer, std::size_t count) {
    std::size_t got = readAt(position_, buffer, count);
    position_ += got;
    return got;
}

std::size_t CFile::readAt(std::uint64_t offset, void* buffer, std::size_t count) const {
    if (fd_ < 0) return 0;
    auto* out = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        ssize_t n = ::pread(fd_, out + done, count - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

}  // namespace platform
