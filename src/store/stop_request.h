#pragma once
// A stop request polled by the engine's long loops (the recipients of a message while it is imported
// or written): it answers true once the work in progress is to be abandoned. Empty means never.
#include <functional>
#include <stdexcept>

namespace store {

using StopRequest = std::function<bool()>;

inline bool stopRequested(const StopRequest& stop) { return stop && stop(); }

// Thrown where a loop deep inside the work notices the request; the caller reports the work as not done.
class StopError : public std::runtime_error {
public:
    StopError() : std::runtime_error("stopped") {}
};

inline void throwIfStopped(const StopRequest& stop) {
    if (stopRequested(stop)) throw StopError();
}

}  // namespace store
