#include "store/mapi/filetime.h"

namespace store::mapi {

FileTime fileTimeFromSystemClock(std::chrono::system_clock::time_point when) {
    using Ticks = std::chrono::duration<std::int64_t, std::ratio<1, 10000000>>;
    const std::int64_t sinceUnix = std::chrono::duration_cast<Ticks>(when.time_since_epoch()).count();
    const std::int64_t ticks = sinceUnix + static_cast<std::int64_t>(kUnixEpochTicks);
    return {ticks < 0 ? 0 : static_cast<std::uint64_t>(ticks)};
}

FileTime fileTimeNow() { return fileTimeFromSystemClock(std::chrono::system_clock::now()); }

}  // namespace store::mapi
