#include "store/pst/ndb/pst_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "platform/file_output.h"

namespace store::pst {
namespace {

constexpr std::size_t kBufferLimit = 1 << 20;

}  // namespace

PstFile::~PstFile() { close(); }

PstFile::PstFile(PstFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      failed_(other.failed_),
      bufferStart_(other.bufferStart_),
      buffer_(std::move(other.buffer_)) {}

PstFile& PstFile::operator=(PstFile&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = std::exchange(other.fd_, -1);
        failed_ = other.failed_;
        bufferStart_ = other.bufferStart_;
        buffer_ = std::move(other.buffer_);
    }
    return *this;
}

bool PstFile::create(const std::string& nativePath) {
    close();
    fd_ = platform::openOutputFile(nativePath, O_RDWR | O_CREAT | O_TRUNC, 0644);
    failed_ = fd_ < 0;
    return fd_ >= 0;
}

bool PstFile::open(const std::string& nativePath) {
    close();
    fd_ = platform::openOutputFile(nativePath, O_RDWR);
    failed_ = fd_ < 0;
    return fd_ >= 0;
}

bool PstFile::writeThrough(Ib ib, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::pwrite(fd_, bytes.data(), bytes.size(), static_cast<off_t>(ib));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            failed_ = true;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
        ib += static_cast<Ib>(n);
    }
    return true;
}

bool PstFile::write(Ib ib, std::string_view bytes) {
    if (fd_ < 0 || failed_) return false;
    if (!buffer_.empty() && ib == bufferStart_ + buffer_.size()) {
        buffer_.append(bytes);
    } else {
        if (!flush()) return false;
        bufferStart_ = ib;
        buffer_.assign(bytes);
    }
    return buffer_.size() < kBufferLimit || flush();
}

bool PstFile::flush() {
    if (buffer_.empty()) return !failed_;
    const bool ok = writeThrough(bufferStart_, buffer_);
    buffer_.clear();
    return ok;
}

std::string PstFile::read(Ib ib, std::size_t count) {
    if (fd_ < 0 || !flush()) return {};
    std::string out(count, '\0');
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::pread(fd_, out.data() + done, count - done, static_cast<off_t>(ib + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return {};
        done += static_cast<std::size_t>(n);
    }
    return out;
}

bool PstFile::setSize(std::uint64_t size) {
    if (fd_ < 0 || !flush()) return false;
    return ::ftruncate(fd_, static_cast<off_t>(size)) == 0;
}

std::uint64_t PstFile::size() {
    struct stat st {};
    if (fd_ < 0 || !flush() || ::fstat(fd_, &st) != 0) return 0;
    return static_cast<std::uint64_t>(st.st_size);
}

bool PstFile::sync() { return flush() && fd_ >= 0 && ::fdatasync(fd_) == 0; }

void PstFile::close() {
    if (fd_ < 0) return;
    flush();
    ::close(fd_);
    fd_ = -1;
}

}  // namespace store::pst
