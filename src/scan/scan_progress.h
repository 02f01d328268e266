#pragma once
// Progress of a scan in thousandths of the file: the positions are those a report at every hundredth
// byte position would give, sent only when the value changes.
#include <cstdint>

#include "platform/window_message.h"

namespace scan {

class ScanProgress {
public:
    ScanProgress(platform::MessageTarget* target, std::uint64_t size);
    // Announces the range (0, 1000) and position 0.
    void begin();
    // Sends every changed position for the byte positions below end.
    void advanceTo(std::uint64_t end) {
        if (end > nextPosition_) emitUpTo(end);
    }
    void finish();

private:
    void emitUpTo(std::uint64_t end);
    void send(unsigned message, platform::WParam w, platform::LParam l);
    platform::MessageTarget* target_;
    std::uint64_t size_;
    std::uint64_t lastValue_ = 0;
    std::uint64_t nextPosition_ = 0;  // first multiple of 100 whose value exceeds lastValue_
};

}  // namespace scan
