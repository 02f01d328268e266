#pragma once
// Fuzz input as a file: an anonymous in-memory file and the /proc path that opens it again by name.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "fuzz_check.h"

namespace fuzz {

class MemoryFile {
public:
    MemoryFile(const std::uint8_t* data, std::size_t size) : fd_(::memfd_create("fuzz-input", MFD_CLOEXEC)) {
        check(fd_ >= 0, "memfd_create");
        std::size_t done = 0;
        while (done < size) {
            ssize_t n = ::write(fd_, data + done, size - done);
            check(n > 0, "write to the memory file");
            done += static_cast<std::size_t>(n);
        }
    }
    ~MemoryFile() { ::close(fd_); }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    std::u16string path() const {
        std::string text = "/proc/self/fd/" + std::to_string(fd_);
        return std::u16string(text.begin(), text.end());
    }

private:
    int fd_;
};

}  // namespace fuzz
