#pragma once
// The PST file on disk: positioned reads and writes with 64-bit offsets, and a write-behind buffer
// so that the many small blocks written one after another reach the disk in large writes.
#include <cstdint>
#include <string>
#include <string_view>

#include "store/pst/ndb/ids.h"

namespace store::pst {

class PstFile {
public:
    PstFile() = default;
    ~PstFile();
    PstFile(const PstFile&) = delete;
    PstFile& operator=(const PstFile&) = delete;
    PstFile(PstFile&& other) noexcept;
    PstFile& operator=(PstFile&& other) noexcept;

    // Creates (or empties) the file; false with errno set when that fails.
    bool create(const std::string& nativePath);
    // Opens an existing file for reading and writing.
    bool open(const std::string& nativePath);
    bool isOpen() const { return fd_ >= 0; }

    // Writes are buffered while they follow one another; false once a write has failed.
    bool write(Ib ib, std::string_view bytes);
    // Reads exactly count bytes; empty when the file is shorter.
    std::string read(Ib ib, std::size_t count);
    bool setSize(std::uint64_t size);
    std::uint64_t size();
    bool flush();
    bool sync();
    void close();
    bool failed() const { return failed_; }

private:
    bool writeThrough(Ib ib, std::string_view bytes);

    int fd_ = -1;
    bool failed_ = false;
    Ib bufferStart_ = 0;
    std::string buffer_;
};

}  // namespace store::pst
