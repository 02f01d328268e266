#include "store/cfb/output_file.h"

#include <fcntl.h>
#include <sys/types.h>
#include <unistd.h>

#include "platform/file_output.h"
#include "platform/paths.h"

namespace store::cfb {

OutputFile::~OutputFile() { close(); }

bool OutputFile::open(const std::u16string& path) {
    close();
    path_ = platform::nativePath(path);
    // Below an output root the file is reached without following symbolic links.
    const int fd = platform::openOutputFile(path_, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    file_ = fd >= 0 ? ::fdopen(fd, "wb") : nullptr;
    if (fd >= 0 && !file_) ::close(fd);
    ok_ = file_ != nullptr;
    if (file_) std::setvbuf(file_, nullptr, _IOFBF, 1 << 16);
    return ok_;
}

void OutputFile::write(std::string_view bytes) {
    if (!file_ || !ok_ || bytes.empty()) return;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) ok_ = false;
}

void OutputFile::writeAt(std::uint64_t offset, std::string_view bytes) {
    if (!file_ || !ok_) return;
    if (fseeko(file_, static_cast<off_t>(offset), SEEK_SET) != 0) {
        ok_ = false;
        return;
    }
    write(bytes);
    if (fseeko(file_, 0, SEEK_END) != 0) ok_ = false;
}

bool OutputFile::close() {
    if (!file_) return ok_;
    if (std::fclose(file_) != 0) ok_ = false;
    file_ = nullptr;
    return ok_;
}

void OutputFile::discard() {
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
    if (!path_.empty()) platform::removeOutputFile(path_);
    ok_ = false;
}

}  // namespace store::cfb
