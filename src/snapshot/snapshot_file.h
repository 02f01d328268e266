#pragma once
// The snapshot file: a 32-bit entry count, then per catalogue row the path length in UTF-16 units
// (signed 32-bit), the path in UTF-16LE, the is-imm and attachments-folder bytes, the offset count
// (64-bit) and the offsets (64-bit each); little-endian, no header. The reader checks every length
// against what is left of the file before it allocates anything.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/cfile.h"

namespace snapshot {

struct SnapshotRecord {
    std::u16string path;
    std::uint8_t isImm = 0;
    std::uint8_t hasAttachmentsFolder = 0;
    std::vector<std::uint64_t> offsets;
};

class CSnapshotWriter {
public:
    CSnapshotWriter() = default;
    ~CSnapshotWriter();
    CSnapshotWriter(const CSnapshotWriter&) = delete;
    CSnapshotWriter& operator=(const CSnapshotWriter&) = delete;

    // Creates the file, truncating an existing one.
    bool create(const std::u16string& path);
    void writeCount(std::uint32_t count);
    void writeRecord(const std::u16string& path, bool isImm, bool hasAttachmentsFolder,
                     const std::vector<std::uint64_t>& offsets);
    // Flushes and closes; false when any write failed.
    bool close();

private:
    void put(const void* data, std::size_t size);
    void flush();
    int fd_ = -1;
    bool failed_ = false;
    std::string buffer_;
};

class CSnapshotReader {
public:
    enum class Status { Ok, Damaged };

    bool open(const std::u16string& path);
    // The stored entry count; nothing when the file cannot hold it.
    std::optional<std::uint32_t> readCount();
    // The next record; Damaged when a length is negative or larger than the rest of the file, or the
    // file ends inside the record. The position is then undefined and reading should stop.
    Status next(SnapshotRecord& record);

private:
    bool read(void* data, std::size_t size);
    std::uint64_t remaining() const { return size_ > position_ ? size_ - position_ : 0; }
    platform::CFile file_;
    std::uint64_t size_ = 0;
    std::uint64_t position_ = 0;
};

}  // namespace snapshot
