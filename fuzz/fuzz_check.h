#pragma once
// Helpers for the fuzz targets: exact-size heap buffers (so that the address sanitizer sees every
// byte written past the end) and a check that aborts with a message.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string_view>

namespace fuzz {

inline void check(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

// A heap buffer of exactly size bytes.
struct ExactBuffer {
    explicit ExactBuffer(std::int64_t size)
        : bytes(new char[static_cast<std::size_t>(size > 0 ? size : 1)]), size(size > 0 ? size : 0) {}
    std::string_view view(std::int64_t length) const {
        return {bytes.get(), static_cast<std::size_t>(length)};
    }
    std::unique_ptr<char[]> bytes;
    std::int64_t size;
};

// Inputs are copied to their own exact-size allocation, so reads past the length are caught.
inline ExactBuffer copyInput(const std::uint8_t* data, std::size_t size) {
    ExactBuffer copy(static_cast<std::int64_t>(size));
    for (std::size_t i = 0; i < size; ++i) copy.bytes[i] = static_cast<char>(data[i]);
    return copy;
}

constexpr std::int64_t kMaxOutput = 64 << 20;

}  // namespace fuzz
