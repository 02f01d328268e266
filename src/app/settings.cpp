#include "app/settings.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/folders.h"
#include "platform/paths.h"

namespace app {
namespace {

constexpr char kSection[] = "[General]";
constexpr char kKey[] = "ApplicationLook";

std::vector<std::string> readLines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::string trim(const std::string& text) {
    std::size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos) return {};
    return text.substr(begin, text.find_last_not_of(" \t") - begin + 1);
}

// Index of the key's line in the [General] section, or -1; sectionEnd gets the line after the
// section (or -1 when there is no such section).
int findKey(const std::vector<std::string>& lines, int& sectionEnd) {
    bool inSection = false;
    sectionEnd = -1;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string line = trim(lines[i]);
        if (!line.empty() && line.front() == '[') {
            if (inSection) return -1;
            inSection = line == kSection;
            if (inSection) sectionEnd = static_cast<int>(lines.size());
            continue;
        }
        if (inSection) {
            sectionEnd = static_cast<int>(i) + 1;
            std::size_t eq = line.find('=');
            if (eq != std::string::npos && trim(line.substr(0, eq)) == kKey) return static_cast<int>(i);
        }
    }
    return -1;
}

}  // namespace

std::u16string CSettings::defaultPath() {
    return platform::joinPath(platform::joinPath(platform::configFolder(), u"KelvaTools"),
                              std::u16string(kSettingsKey) + u".conf");
}

int CSettings::applicationLook() const {
    std::vector<std::string> lines = readLines(platform::nativePath(path_));
    int sectionEnd;
    int at = findKey(lines, sectionEnd);
    if (at < 0) return kDefaultLook;
    const std::string& line = lines[static_cast<std::size_t>(at)];
    std::string value = trim(line.substr(line.find('=') + 1));
    int look = 0;
    std::istringstream parse(value);
    if (!(parse >> look) || !parse.eof() || look < kFirstLook || look > kLastLook) return kDefaultLook;
    return look;
}

bool CSettings::setApplicationLook(int look) {
    if (look < kFirstLook || look > kLastLook) return false;
    std::string native = platform::nativePath(path_);
    std::vector<std::string> lines = readLines(native);
    int sectionEnd;
    int at = findKey(lines, sectionEnd);
    std::string entry = std::string(kKey) + "=" + std::to_string(look);
    if (at >= 0) {
        lines[static_cast<std::size_t>(at)] = entry;
    } else if (sectionEnd >= 0) {
        lines.insert(lines.begin() + sectionEnd, entry);
    } else {
        if (!lines.empty() && !lines.back().empty()) lines.emplace_back();
        lines.emplace_back(kSection);
        lines.push_back(entry);
    }
    platform::createFolders(platform::folderOf(path_));
    // Written beside the file and renamed over it, so a failed write never leaves half a file.
    std::string temporary = native + ".tmp";
    {
        std::ofstream out(temporary, std::ios::trunc);
        for (const std::string& line : lines) out << line << '\n';
        if (!out.flush()) return false;
    }
    return std::rename(temporary.c_str(), native.c_str()) == 0;
}

}  // namespace app
