#pragma once
// The settings file (INI, shared with the desktop program's settings store): the "ApplicationLook"
// value under [General], 210 to 219, 215 when missing or out of range.
#include <string>

namespace app {

inline constexpr char16_t kSettingsKey[] = u"KelvaMBOXConvtFullx64v7.0";
inline constexpr int kDefaultLook = 215;
inline constexpr int kFirstLook = 210;
inline constexpr int kSystemLook = 219;  // the desktop's own Qt style and palette
inline constexpr int kLastLook = kSystemLook;

class CSettings {
public:
    // $XDG_CONFIG_HOME/KelvaTools/KelvaMBOXConvtFullx64v7.0.conf
    static std::u16string defaultPath();

    explicit CSettings(std::u16string path = defaultPath()) : path_(std::move(path)) {}
    const std::u16string& path() const { return path_; }

    int applicationLook() const;
    // Stores the look (a value outside 210..218 is refused); false when it could not be written.
    bool setApplicationLook(int look);

private:
    std::u16string path_;
};

}  // namespace app
