#pragma once
// A read-only view of a file's bytes: a memory mapping when the system grants one, else the bytes read
// into memory. Meant for files that are not expected to change while the view lives.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/cfile.h"

namespace platform {

class MappedFile {
public:
    MappedFile() = default;
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    // Maps the whole file; false when it could neither be mapped nor read (an empty file maps as empty).
    bool map(const CFile& file);
    // Like map, but never asks for a mapping (the fallback path, also usable on its own).
    bool readWhole(const CFile& file);
    void unmap();

    const char* data() const { return mapping_ ? static_cast<const char*>(mapping_) : copy_.data(); }
    std::size_t size() const { return size_; }
    bool isMapping() const { return mapping_ != nullptr; }
    std::string_view bytes() const { return {data(), size_}; }

private:
    void* mapping_ = nullptr;
    std::size_t size_ = 0;
    std::vector<char> copy_;
};

}  // namespace platform
