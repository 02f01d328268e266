#include "snapshot/snapshot_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "platform/paths.h"

namespace snapshot {
namespace {

constexpr std::size_t kBufferSize = 1 << 16;

template <typename T>
void appendLittleEndian(std::string& out, T value) {
    for (std::size_t i = 0; i < sizeof(T); ++i) out.push_back(static_cast<char>((static_cast<std::uint64_t>(value) >> (8 * i)) & 0xFF));
}

template <typename T>
T fromLittleEndian(const unsigned char* bytes) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i) value |= static_cast<std::uint64_t>(bytes[i]) << (8 * i);
    return static_cast<T>(value);
}

}  // namespace

// ---- writer -----------------------------------------------------------------------------------------

CSnapshotWriter::~CSnapshotWriter() { close(); }

bool CSnapshotWriter::create(const std::u16string& path) {
    close();
    failed_ = false;
    fd_ = ::open(platform::nativePath(path).c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    return fd_ >= 0;
}

void CSnapshotWriter::flush() {
    std::size_t done = 0;
    while (!failed_ && done < buffer_.size()) {
        ssize_t n = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) failed_ = true;
        else done += static_cast<std::size_t>(n);
    }
    buffer_.clear();
}

void CSnapshotWriter::put(const void* data, std::size_t size) {
    buffer_.append(static_cast<const char*>(data), size);
    if (buffer_.size() >= kBufferSize) flush();
}

void CSnapshotWriter::writeCount(std::uint32_t count) {
    std::string bytes;
    appendLittleEndian(bytes, count);
    put(bytes.data(), bytes.size());
}

void CSnapshotWriter::writeRecord(const std::u16string& path, bool isImm, bool hasAttachmentsFolder,
                                  const std::vector<std::uint64_t>& offsets) {
    std::string bytes;
    appendLittleEndian(bytes, static_cast<std::int32_t>(path.size()));
    for (char16_t unit : path) appendLittleEndian(bytes, static_cast<std::uint16_t>(unit));
    bytes.push_back(isImm ? 1 : 0);
    bytes.push_back(hasAttachmentsFolder ? 1 : 0);
    appendLittleEndian(bytes, static_cast<std::uint64_t>(offsets.size()));
    put(bytes.data(), bytes.size());
    for (std::uint64_t offset : offsets) {
        char value[8];
        for (int i = 0; i < 8; ++i) value[i] = static_cast<char>((offset >> (8 * i)) & 0xFF);
        put(value, 8);
    }
}

bool CSnapshotWriter::close() {
    if (fd_ < 0) return !failed_;
    flush();
    if (::close(fd_) != 0) failed_ = true;
    fd_ = -1;
    return !failed_;
}

// ---- reader -----------------------------------------------------------------------------------------

bool CSnapshotReader::open(const std::u16string& path) {
    if (!file_.open(path)) return false;
    size_ = file_.size();
    position_ = 0;
    return true;
}

bool CSnapshotReader::read(void* data, std::size_t size) {
    if (remaining() < size) return false;
    std::size_t got = file_.readAt(position_, data, size);
    position_ += got;
    return got == size;
}

std::optional<std::uint32_t> CSnapshotReader::readCount() {
    unsigned char bytes[4];
    if (!read(bytes, 4)) return std::nullopt;
    return fromLittleEndian<std::uint32_t>(bytes);
}

CSnapshotReader::Status CSnapshotReader::next(SnapshotRecord& record) {
    record = {};
    unsigned char word[8];
    if (!read(word, 4)) return Status::Damaged;
    const auto length = fromLittleEndian<std::int32_t>(word);
    if (length < 0 || static_cast<std::uint64_t>(length) * 2 > remaining()) return Status::Damaged;
    std::string units(static_cast<std::size_t>(length) * 2, '\0');
    if (!read(units.data(), units.size())) return Status::Damaged;
    for (std::size_t i = 0; i < units.size(); i += 2) {
        auto unit = static_cast<char16_t>(static_cast<unsigned char>(units[i]) |
                                          (static_cast<unsigned char>(units[i + 1]) << 8));
        if (unit == 0) break;  // the path is the text up to its first NUL
        record.path.push_back(unit);
    }
    unsigned char flags[2];
    if (!read(flags, 2)) return Status::Damaged;
    record.isImm = flags[0];
    record.hasAttachmentsFolder = flags[1];
    if (!read(word, 8)) return Status::Damaged;
    const auto count = fromLittleEndian<std::uint64_t>(word);
    if (count > remaining() / 8) return Status::Damaged;
    record.offsets.resize(static_cast<std::size_t>(count));
    std::string bytes;
    for (std::size_t done = 0; done < record.offsets.size();) {
        std::size_t chunk = std::min<std::size_t>(record.offsets.size() - done, kBufferSize / 8);
        bytes.resize(chunk * 8);
        if (!read(bytes.data(), bytes.size())) return Status::Damaged;
        for (std::size_t i = 0; i < chunk; ++i)
            record.offsets[done + i] = fromLittleEndian<std::uint64_t>(reinterpret_cast<const unsigned char*>(bytes.data()) + 8 * i);
        done += chunk;
    }
    return Status::Ok;
}

}  // namespace snapshot
