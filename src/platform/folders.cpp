#include "platform/folders.h"

#include <cstdlib>
#include <fstream>
#include <pwd.h>
#include <unistd.h>

#include "platform/paths.h"

namespace platform {
namespace {

std::string envText(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

// Reads XDG_DESKTOP_DIR="$HOME/Desktop" style lines of user-dirs.dirs.
std::string desktopFromUserDirs(const std::string& configDir, const std::string& home) {
    std::ifstream in(configDir + "/user-dirs.dirs");
    std::string line;
    const std::string key = "XDG_DESKTOP_DIR=";
    while (std::getline(in, line)) {
        if (line.rfind(key, 0) != 0) continue;
        std::string value = line.substr(key.size());
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
        if (value.rfind("$HOME", 0) == 0) value = home + value.substr(5);
        if (!value.empty() && value.front() == '/') return value;
    }
    return {};
}

}  // namespace

std::u16string homeFolder() {
    std::string home = envText("HOME");
    if (home.empty()) {
        if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) home = pw->pw_dir;
    }
    if (home.empty()) home = "/";
    return fromNativePath(home);
}

std::u16string tempBaseFolder() {
    std::string base = envText("TMPDIR");
    if (base.empty()) base = "/tmp/";
    return withTrailingSeparator(fromNativePath(base));
}

std::u16string configFolder() {
    std::string config = envText("XDG_CONFIG_HOME");
    if (config.empty() || config.front() != '/') config = nativePath(homeFolder()) + "/.config";
    return fromNativePath(config);
}

std::u16string desktopFolder() {
    std::string home = nativePath(homeFolder());
    std::string desktop = desktopFromUserDirs(nativePath(configFolder()), home);
    if (desktop.empty()) desktop = home + "/Desktop";
    while (desktop.size() > 1 && desktop.back() == '/') desktop.pop_back();
    std::u16string folder = fromNativePath(desktop);
    createFolders(folder);
    return folder;
}

}  // namespace platform
