#include "cli/progress_display.h"

#include <algorithm>

namespace cli {

void ProgressDisplay::update(bool visible, int low, int high, int position, const std::string& caption) {
    if (!enabled_) return;
    visible_ = visible;
    low_ = low;
    high_ = high;
    position_ = position;
    if (!visible_) {
        clear();
        return;
    }
    int span = std::max(1, high_ - low_);
    int percent = std::clamp((position_ - low_) * 100 / span, 0, 100);
    auto now = std::chrono::steady_clock::now();
    bool captionChanged = caption != caption_;
    caption_ = caption;
    // At most ten redraws a second, and only when something visible changed.
    if (percent == percent_ && !captionChanged) return;
    if (now - lastDraw_ < std::chrono::milliseconds(100) && percent != 100) return;
    percent_ = percent;
    lastDraw_ = now;
    draw();
}

void ProgressDisplay::draw() {
    constexpr int kWidth = 30;
    int filled = std::max(0, percent_) * kWidth / 100;
    std::string caption = caption_.size() > 40 ? "..." + caption_.substr(caption_.size() - 37) : caption_;
    out_ << "\r\033[K[" << std::string(static_cast<std::size_t>(filled), '#')
         << std::string(static_cast<std::size_t>(kWidth - filled), ' ') << "] " << std::max(0, percent_) << "% "
         << caption << std::flush;
    shown_ = true;
}

void ProgressDisplay::clear() {
    if (!shown_) return;
    out_ << "\r\033[K" << std::flush;
    shown_ = false;
}

void ProgressDisplay::redraw() {
    if (enabled_ && visible_ && percent_ >= 0) draw();
}

}  // namespace cli
