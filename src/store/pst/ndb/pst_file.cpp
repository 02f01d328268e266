#include "store/pst/ndb/pst_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/file_output.h"

namespace store::pst {
namespace {

constexpr std::size_t kBufferLimit = 1 << 20;

FileIo& systemIo() {
    static FileIo io;
    return io;
}

std::atomic<FileIo*> g_testIo{nullptr};

FileIo* currentIo() {
    FileIo* io = g_testIo.load();
    return io ? io : &systemIo();
}

}  // namespace

ssize_t FileIo::pwrite(int fd, const void* data, std::size_t size, off_t offset) {
    return ::pwrite(fd, data, size, offset);
}
int FileIo::fdatasync(int fd) { return ::fdatasync(fd); }
int FileIo::ftruncate(int fd, off_t size) { return ::ftruncate(fd, size); }

void useFileIoForTesting(FileIo* io) { g_testIo.store(io); }

PstFile::~PstFile() { close(); }

PstFile::PstFile(PstFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      io_(other.io_),
      failure_(std::move(other.failure_)),
      changedSinceSync_(other.changedSinceSync_),
      bufferStart_(other.bufferStart_),
      buffer_(std::move(other.buffer_)) {}

PstFile& PstFile::operator=(PstFile&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = std::exchange(other.fd_, -1);
        io_ = other.io_;
        failure_ = std::move(other.failure_);
        changedSinceSync_ = other.changedSinceSync_;
        bufferStart_ = other.bufferStart_;
        buffer_ = std::move(other.buffer_);
    }
    return *this;
}

Result<void> PstFile::create(const std::string& nativePath) {
    close();
    failure_.reset();
    io_ = currentIo();
    fd_ = platform::openOutputFile(nativePath, O_RDWR | O_CREAT | O_TRUNC, 0644);
    if (fd_ >= 0) return {};
    fail(errno, "cannot create the file");
    return systemFailure("cannot create " + nativePath, failure_->code);
}

Result<void> PstFile::open(const std::string& nativePath) {
    close();
    failure_.reset();
    io_ = currentIo();
    fd_ = platform::openOutputFile(nativePath, O_RDWR);
    if (fd_ >= 0) return {};
    fail(errno, "cannot open the file");
    return systemFailure("cannot open " + nativePath, failure_->code);
}

bool PstFile::fail(int code, const std::string& what) {
    if (!failure_) failure_ = StoreFailure{code, what + ": " + std::strerror(code)};
    buffer_.clear();
    errno = code;
    return false;
}

bool PstFile::writeThrough(Ib ib, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = io_->pwrite(fd_, bytes.data(), bytes.size(), static_cast<off_t>(ib));
        if (n < 0 && errno == EINTR) continue;
        // A write of nothing would repeat for ever; the system gives no reason, so it counts as EIO.
        if (n <= 0) return fail(n < 0 ? errno : EIO, "write at offset " + std::to_string(ib));
        changedSinceSync_ = true;
        bytes.remove_prefix(static_cast<std::size_t>(n));
        ib += static_cast<Ib>(n);
    }
    return true;
}

bool PstFile::write(Ib ib, std::string_view bytes) {
    if (fd_ < 0 || failed()) return false;
    if (!buffer_.empty() && ib == bufferStart_ + buffer_.size()) {
        buffer_.append(bytes);
    } else {
        if (!flush()) return false;
        bufferStart_ = ib;
        buffer_.assign(bytes);
    }
    return buffer_.size() < kBufferLimit || flush();
}

bool PstFile::writeUnbuffered(Ib ib, std::string_view bytes) {
    if (fd_ < 0 || !flush()) return false;
    return writeThrough(ib, bytes);
}

bool PstFile::flush() {
    if (failed()) return false;
    if (buffer_.empty()) return true;
    const bool ok = writeThrough(bufferStart_, buffer_);
    buffer_.clear();
    return ok;
}

std::string PstFile::read(Ib ib, std::size_t count) {
    if (fd_ < 0) return {};
    flush();  // after a failure the buffered bytes are gone; what the file holds is read
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
    if (io_->ftruncate(fd_, static_cast<off_t>(size)) != 0)
        return fail(errno, "size change to " + std::to_string(size) + " bytes");
    changedSinceSync_ = true;
    return true;
}

std::uint64_t PstFile::size() {
    struct stat st {};
    if (fd_ < 0 || !flush()) return 0;
    if (::fstat(fd_, &st) != 0) {
        fail(errno, "size check");
        return 0;
    }
    return static_cast<std::uint64_t>(st.st_size);
}

bool PstFile::sync() {
    if (fd_ < 0 || !flush()) return false;
    if (!changedSinceSync_) return true;
    int result = 0;
    do {
        result = io_->fdatasync(fd_);
    } while (result != 0 && errno == EINTR);
    if (result != 0) return fail(errno, "flush to disk");
    changedSinceSync_ = false;
    return true;
}

void PstFile::discard(Ib ib, std::uint64_t size) {
    if (fd_ < 0) return;
    // A file system that cannot punch holes keeps the space; the extent is free in the file either way.
    const int punched = ::fallocate(fd_, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, static_cast<off_t>(ib),
                                    static_cast<off_t>(size));
    (void)punched;
}

std::optional<StoreFailure> PstFile::resume() { return std::exchange(failure_, std::nullopt); }

void PstFile::failWith(StoreFailure failure) {
    failure_ = std::move(failure);
    buffer_.clear();
}

bool PstFile::close() {
    if (fd_ < 0) return !failed();
    flush();
    // The descriptor is gone whatever close() says; an error it reports is a write that was lost.
    if (::close(std::exchange(fd_, -1)) != 0 && errno != EINTR) fail(errno, "close");
    return !failed();
}

}  // namespace store::pst
