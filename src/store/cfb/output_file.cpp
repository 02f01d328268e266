#include "store/cfb/output_file.h"

#include <sys/types.h>

#include "platform/paths.h"

namespace store::cfb {

OutputFile::~OutputFile() { close(); }

bool OutputFile::open(const std::u16string& path) {
    close();
    path_ = platform::nativePath(path);
    file_ = std::fopen(path_.c_str(), "wb");
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
    if (!path_.empty()) std::remove(path_.c_str());
    ok_ = false;
}

}  // namespace store::cfb
