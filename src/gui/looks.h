#pragma once
// The nine "&Application Look" entries, each a Qt style with a palette of its own.
#include <QPalette>
#include <QString>
#include <vector>

namespace gui {

struct LookEntry {
    int id;             // 210 to 218, the value stored under "ApplicationLook"
    const char* label;  // the menu label with its mnemonic
    bool office2007;    // sits in the "Office 200&7" sub-menu
};

const std::vector<LookEntry>& lookEntries();
QPalette lookPalette(int look);
// The ribbon's background for a look.
QColor ribbonColour(int look);
// Sets the application's style and palette for the look (215 for an unknown value); the System look
// (app::kSystemLook) gives back the style and palette the desktop gave the program at its start.
void applyLook(int look);
// Notes the desktop's style and palette; called once before any look is applied.
void rememberDesktopLook();

}  // namespace gui
