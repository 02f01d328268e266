#pragma once
// A file created (or truncated) for writing, buffered, with writes at an earlier offset for headers
// that are completed last. Errors are sticky: once a write fails, ok() stays false and errorCode()
// keeps the system's reason (errno) for it.
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
    void write(std::string_view bytes);
    void writeAt(std::uint64_t offset, std::string_view bytes);  // then continues at the end
    // Flushes and closes; true when every write succeeded.
    bool close();
    // Closes and deletes the file (used when writing failed half-way).
    void discard();

    bool isOpen() const { return file_ != nullptr; }
    bool ok() const { return ok_; }
    int errorCode() const { return errorCode_; }
    const std::string& nativePath() const { return path_; }

private:
    std::FILE* file_ = nullptr;
    std::string path_;
    bool ok_ = false;
    int errorCode_ = 0;

    void failed();
};

}  // namespace store::cfb
