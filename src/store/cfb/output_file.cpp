#include "store/cfb/output_file.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/types.h>
#include <unistd.h>

#include "platform/file_output.h"
#include "platform/paths.h"

namespace store::cfb {

OutputFile::~OutputFile() { close(); }

void OutputFile::failed() {
    if (ok_ || errorCode_ == 0) errorCode_ = errno;
    ok_ = false;
}

bool OutputFile::open(const std::u16string& path) {
    close();
    inMemory_ = false;
    path_ = platform::nativePath(path);
    // Below an output root the file is reached without following symbolic links.
    const int fd = platform::openOutputFile(path_, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    file_ = fd >= 0 ? ::fdopen(fd, "wb") : nullptr;
    if (fd >= 0 && !file_) ::close(fd);
    errorCode_ = file_ ? 0 : errno;
    ok_ = file_ != nullptr;
    if (file_) std::setvbuf(file_, nullptr, _IOFBF, 1 << 16);
    return ok_;
}

void OutputFile::openInMemory(std::size_t expectedSize) {
    close();
    path_.clear();
    memory_.clear();
    memory_.reserve(expectedSize);
    inMemory_ = true;
    ok_ = true;
    errorCode_ = 0;
}

void OutputFile::write(std::string_view bytes) {
    if (inMemory_) {
        memory_.append(bytes);
        return;
    }
    if (!file_ || !ok_ || bytes.empty()) return;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) failed();
}

void OutputFile::writeZeros(std::size_t count) {
    if (inMemory_) {
        memory_.append(count, '\0');
        return;
    }
    static constexpr char kZeros[512] = {};
    for (; count > 0 && ok_; count -= std::min(count, sizeof kZeros)) write(std::string_view(kZeros, std::min(count, sizeof kZeros)));
}

void OutputFile::writeAt(std::uint64_t offset, std::string_view bytes) {
    if (inMemory_) {
        if (offset > memory_.size()) memory_.resize(offset);
        memory_.replace(offset, std::min<std::uint64_t>(bytes.size(), memory_.size() - offset), bytes);
        return;
    }
    if (!file_ || !ok_) return;
    if (fseeko(file_, static_cast<off_t>(offset), SEEK_SET) != 0) {
        failed();
        return;
    }
    write(bytes);
    if (fseeko(file_, 0, SEEK_END) != 0) failed();
}

bool OutputFile::close() {
    inMemory_ = false;
    if (!file_) return ok_;
    if (std::fclose(file_) != 0) failed();
    file_ = nullptr;
    return ok_;
}

void OutputFile::discard() {
    inMemory_ = false;
    memory_.clear();
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
    if (!path_.empty()) platform::removeOutputFile(path_);
    ok_ = false;
}

}  // namespace store::cfb
