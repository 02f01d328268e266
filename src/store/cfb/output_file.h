#pragma once
// A file created (or truncated) for writing, buffered, with writes at an earlier offset for headers
// that are completed last. Errors are sticky: once a write fails, ok() stays false and errorCode()
// keeps the system's reason (errno) for it. Opened in memory, the bytes collect in a buffer instead,
// for a caller that writes the whole file elsewhere (or on another thread).
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace store::cfb {

class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    bool open(const std::u16string& path);
    // expectedSize: room made at once, so that the buffer does not grow by copying.
    void openInMemory(std::size_t expectedSize = 0);
    void write(std::string_view bytes);
    void writeZeros(std::size_t count);
    void writeAt(std::uint64_t offset, std::string_view bytes);  // then continues at the end
    // Flushes and closes; true when every write succeeded.
    bool close();
    // Closes and deletes the file (used when writing failed half-way).
    void discard();

    // The bytes written in memory, taken out (after close).
    std::string takeBytes() { return std::move(memory_); }

    bool isOpen() const { return file_ != nullptr || inMemory_; }
    bool ok() const { return ok_; }
    int errorCode() const { return errorCode_; }
    const std::string& nativePath() const { return path_; }

private:
    std::FILE* file_ = nullptr;
    bool inMemory_ = false;
    std::string memory_;
    std::string path_;
    bool ok_ = false;
    int errorCode_ = 0;

    void failed();
};

}  // namespace store::cfb
