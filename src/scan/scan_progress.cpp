#include "scan/scan_progress.h"

namespace scan {
namespace {

__extension__ typedef unsigned __int128 u128;

std::uint64_t thousandths(std::uint64_t position, std::uint64_t size) {
    return static_cast<std::uint64_t>(static_cast<u128>(position) * 1000 / size);
}

// Smallest multiple of 100 whose thousandths value is above value.
std::uint64_t firstPositionAbove(std::uint64_t value, std::uint64_t size) {
    u128 need = (static_cast<u128>(value + 1) * size + 999) / 1000;  // ceil((value+1)*size/1000)
    u128 rounded = (need + 99) / 100 * 100;
    return rounded > UINT64_MAX ? UINT64_MAX : static_cast<std::uint64_t>(rounded);
}

}  // namespace

ScanProgress::ScanProgress(platform::MessageTarget* target, std::uint64_t size) : target_(target), size_(size) {
    nextPosition_ = size_ == 0 ? UINT64_MAX : firstPositionAbove(0, size_);
}

void ScanProgress::send(unsigned message, platform::WParam w, platform::LParam l) {
    if (target_) target_->sendMessage(message, w, l);
}

void ScanProgress::begin() {
    send(platform::UM_PROGRESS_RANGE, 0, 1000);
    send(platform::UM_PROGRESS_POS, 0, 0);
}

void ScanProgress::emitUpTo(std::uint64_t end) {
    while (nextPosition_ < end && nextPosition_ < size_) {
        lastValue_ = thousandths(nextPosition_, size_);
        send(platform::UM_PROGRESS_POS, static_cast<platform::WParam>(static_cast<std::int32_t>(lastValue_)), 0);
        nextPosition_ = firstPositionAbove(lastValue_, size_);
    }
}

void ScanProgress::finish() { send(platform::UM_PROGRESS_POS, 1000, 0); }

}  // namespace scan
