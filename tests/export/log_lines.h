#pragma once
// The activity log's lines from the first that equals `first` to the end (none when there is none).
#include <string>
#include <vector>

inline std::vector<std::u16string> linesFrom(const std::vector<std::u16string>& rows, const std::u16string& first) {
    std::vector<std::u16string> lines;
    bool on = false;
    for (const auto& row : rows) {
        if (row == first) on = true;
        if (on) lines.push_back(row);
    }
    return lines;
}
