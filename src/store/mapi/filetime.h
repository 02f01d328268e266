#pragma once
// FILETIME: 100-nanosecond ticks since 1601-01-01 00:00 UTC, the value of PT_SYSTIME properties.
#include <chrono>
#include <cstdint>

namespace store::mapi {

struct FileTime {
    std::uint64_t ticks = 0;
    friend constexpr auto operator<=>(const FileTime&, const FileTime&) = default;
};

// Ticks between 1601-01-01 and the Unix epoch 1970-01-01.
inline constexpr std::uint64_t kUnixEpochTicks = 116444736000000000ULL;
inline constexpr std::uint64_t kTicksPerSecond = 10000000ULL;

// Seconds since the Unix epoch (negative before 1970); times before 1601 become 0.
constexpr FileTime fileTimeFromUnix(std::int64_t seconds) {
    const std::int64_t epochSeconds = static_cast<std::int64_t>(kUnixEpochTicks / kTicksPerSecond);
    if (seconds < -epochSeconds) return {};
    return {static_cast<std::uint64_t>(seconds + epochSeconds) * kTicksPerSecond};
}

// Whole seconds since the Unix epoch, rounded toward minus infinity.
constexpr std::int64_t unixFromFileTime(FileTime t) {
    return static_cast<std::int64_t>(t.ticks / kTicksPerSecond) -
           static_cast<std::int64_t>(kUnixEpochTicks / kTicksPerSecond);
}

FileTime fileTimeFromSystemClock(std::chrono::system_clock::time_point when);
FileTime fileTimeNow();

}  // namespace store::mapi
