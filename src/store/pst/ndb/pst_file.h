#pragma once
// The PST file on disk: positioned reads and writes with 64-bit offsets, and a write-behind buffer
// so that the many small blocks written one after another reach the disk in large writes. Every
// write, flush to disk and size change is checked; the first one that fails leaves the file failed
// for good, with the system's error number and what was being done.
#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "store/pst/ndb/ids.h"
#include "store/result.h"

namespace store::pst {

// Why writing to a store stopped: the system's error number (errno) and what failed, for the log
// ("write at offset 1912832: No space left on device").
using StoreFailure = store::Failure;

// The system calls through which the file changes. Tests derive from it to make one of them fail.
class FileIo {
public:
    virtual ~FileIo() = default;
    // Each behaves like the system call of the same name: -1 with errno set on failure.
    virtual ssize_t pwrite(int fd, const void* data, std::size_t size, off_t offset);
    virtual int fdatasync(int fd);
    virtual int ftruncate(int fd, off_t size);
};

// Files opened from now on change through io (the system's calls again when null). For tests only.
void useFileIoForTesting(FileIo* io);

class PstFile {
public:
    PstFile() = default;
    ~PstFile();
    PstFile(const PstFile&) = delete;
    PstFile& operator=(const PstFile&) = delete;
    PstFile(PstFile&& other) noexcept;
    PstFile& operator=(PstFile&& other) noexcept;

    // Creates (or empties) the file; the failure names the path and the system's reason.
    Result<void> create(const std::string& nativePath);
    // Opens an existing file for reading and writing.
    Result<void> open(const std::string& nativePath);
    bool isOpen() const { return fd_ >= 0; }

    // Writes are buffered while they follow one another; false once a write has failed.
    bool write(Ib ib, std::string_view bytes);
    // The same without the copy into the buffer (which is flushed first), for bytes already in one
    // large piece.
    bool writeUnbuffered(Ib ib, std::string_view bytes);
    // Reads exactly count bytes; empty when the file is shorter.
    std::string read(Ib ib, std::size_t count);
    bool setSize(std::uint64_t size);
    std::uint64_t size();
    // Hands the buffered writes to the system.
    bool flush();
    // flush(), then waits until the file's data is on the disk (at once when nothing changed since).
    bool sync();
    // Flushes and closes; false when that failed or the file had failed before.
    bool close();
    bool failed() const { return failure_.has_value(); }
    const std::optional<StoreFailure>& failure() const { return failure_; }
    // Gives the disk space of an extent back to the file system (its bytes read as zeros); best effort.
    void discard(Ib ib, std::uint64_t size);
    // Lets writing go on after a failure (returning it) until failWith() sets it again.
    std::optional<StoreFailure> resume();
    void failWith(StoreFailure failure);

private:
    bool writeThrough(Ib ib, std::string_view bytes);
    bool fail(int code, const std::string& what);

    int fd_ = -1;
    FileIo* io_ = nullptr;
    std::optional<StoreFailure> failure_;
    bool changedSinceSync_ = false;
    Ib bufferStart_ = 0;
    std::string buffer_;
};

}  // namespace store::pst
