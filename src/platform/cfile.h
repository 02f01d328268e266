#pragma once
// A file opened for reading with nothing denied to other processes (no locks), 64-bit offsets.
#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

class CFile {
public:
    CFile() = default;
    ~CFile();
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;
    CFile(CFile&& other) noexcept;
    CFile& operator=(CFile&& other) noexcept;

    // Opens the file at a UTF-16 or native (UTF-8) path for reading; false when it cannot be opened.
    bool open(const std::u16string& path);
    bool openNative(const std::string& path);
    void close();
    bool isOpen() const { return fd_ >= 0; }
    int descriptor() const { return fd_; }

    // Current length of the file; 0 when it is not open or cannot be examined.
    std::uint64_t size() const;

    // Positions the handle (seek from the beginning) and reads from it, like the framework file class.
    bool seek(std::uint64_t offset);
    std::size_t read(void* buffer, std::size_t count);

    // Reads up to count bytes at offset without moving the handle; fewer near the end of the file.
    std::size_t readAt(std::uint64_t offset, void* buffer, std::size_t count) const;

private:
    int fd_ = -1;
    std::uint64_t position_ = 0;
};

}  // namespace platform
