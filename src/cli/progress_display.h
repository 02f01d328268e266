#pragma once
// A one-line progress bar on a terminal: the caption text and the position of the progress bar,
// redrawn in place on the error stream, and cleared before a log line is printed.
#include <chrono>
#include <ostream>
#include <string>

namespace cli {

class ProgressDisplay {
public:
    ProgressDisplay(std::ostream& terminal, bool enabled) : out_(terminal), enabled_(enabled) {}
    ~ProgressDisplay() { clear(); }

    // The bar's state changed.
    void update(bool visible, int low, int high, int position, const std::string& caption);
    // Removes the bar from the screen (before other output).
    void clear();
    // Draws the bar again after other output.
    void redraw();

private:
    void draw();
    std::ostream& out_;
    bool enabled_;
    bool visible_ = false;
    bool shown_ = false;
    int percent_ = -1;
    int low_ = 0, high_ = 0, position_ = 0;
    std::string caption_;
    std::chrono::steady_clock::time_point lastDraw_{};
};

}  // namespace cli
