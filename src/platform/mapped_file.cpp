#include "platform/mapped_file.h"

#include <sys/mman.h>

namespace platform {

MappedFile::~MappedFile() { unmap(); }

bool MappedFile::map(const CFile& file) {
    unmap();
    if (!file.isOpen()) return false;
    std::uint64_t length = file.size();
    if (length == 0) return true;
    if (length > SIZE_MAX) return false;
    void* view = ::mmap(nullptr, static_cast<std::size_t>(length), PROT_READ, MAP_SHARED, file.descriptor(), 0);
    if (view == MAP_FAILED) return readWhole(file);
    mapping_ = view;
    size_ = static_cast<std::size_t>(length);
    return true;
}

bool MappedFile::readWhole(const CFile& file) {
    unmap();
    if (!file.isOpen()) return false;
    std::uint64_t length = file.size();
    if (length > SIZE_MAX) return false;
    try {
        copy_.resize(static_cast<std::size_t>(length));
    } catch (const std::bad_alloc&) {
        return false;
    }
    size_ = file.readAt(0, copy_.data(), copy_.size());
    copy_.resize(size_);
    return true;
}

void MappedFile::unmap() {
    if (mapping_) ::munmap(mapping_, size_);
    mapping_ = nullptr;
    size_ = 0;
    copy_.clear();
    copy_.shrink_to_fit();
}

}  // namespace platform
