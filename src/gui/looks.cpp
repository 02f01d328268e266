#include "gui/looks.h"

#include <QApplication>
#include <QStyle>
#include <QStyleFactory>

#include "app/settings.h"

namespace gui {
namespace {

struct LookColours {
    QColor window, base, button, highlight, text, ribbon;
};

LookColours coloursOf(int look) {
    switch (look) {
        case 210: return {"#d4d0c8", "#ffffff", "#d4d0c8", "#0a246a", "#000000", "#d4d0c8"};  // Windows 2000
        case 211: return {"#f1efe8", "#ffffff", "#ecebe6", "#316ac5", "#000000", "#dbd8d1"};  // Office XP
        case 212: return {"#ece9d8", "#ffffff", "#f2f0e4", "#316ac5", "#000000", "#e3ded0"};  // Windows XP
        case 213: return {"#dce9fb", "#ffffff", "#e3effd", "#3d6fc7", "#000000", "#c3daf9"};  // Office 2003
        case 214: return {"#eeede5", "#ffffff", "#f6f5ee", "#3169c6", "#000000", "#dedcd2"};  // Visual Studio 2005
        case 216: return {"#4a4d52", "#2f3135", "#5b5e63", "#e6a23c", "#f0f0f0", "#3b3d41"};  // Office 2007 black
        case 217: return {"#e8eaef", "#ffffff", "#eef0f4", "#6b7e9c", "#000000", "#d6dae2"};  // Office 2007 silver
        case 218: return {"#dbe9f3", "#ffffff", "#e7f2f9", "#2f8fc8", "#000000", "#c4dff0"};  // Office 2007 aqua
        default: return {"#dfe9f5", "#ffffff", "#e9f1fb", "#3d7bd1", "#15428b", "#c5d9f1"};  // Office 2007 blue
    }
}

}  // namespace

const std::vector<LookEntry>& lookEntries() {
    static const std::vector<LookEntry> entries = {
        {210, "Windows &2000", false},
        {211, "Office &XP", false},
        {212, "&Windows XP", false},
        {213, "Office 200&3", false},
        {214, "Visual Studio.NET 200&5", false},
        {215, "&Blue Style", true},
        {216, "B&lack Style", true},
        {217, "&Silver Style", true},
        {218, "&Aqua Style", true},
        {app::kSystemLook, "S&ystem", false},
    };
    return entries;
}

QPalette lookPalette(int look) {
    LookColours c = coloursOf(look);
    const bool dark = look == 216;
    QPalette palette;
    palette.setColor(QPalette::Window, c.window);
    palette.setColor(QPalette::Base, c.base);
    palette.setColor(QPalette::AlternateBase, c.base.darker(dark ? 80 : 104));
    palette.setColor(QPalette::Button, c.button);
    palette.setColor(QPalette::Highlight, c.highlight);
    palette.setColor(QPalette::HighlightedText, dark ? QColor("#000000") : QColor("#ffffff"));
    const QColor text = dark ? QColor("#f0f0f0") : QColor("#000000");
    palette.setColor(QPalette::WindowText, dark ? c.text : QColor("#1e2a3a"));
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::ToolTipBase, dark ? QColor("#2f3135") : QColor("#ffffe1"));
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::Light, c.button.lighter(130));
    palette.setColor(QPalette::Midlight, c.button.lighter(112));
    palette.setColor(QPalette::Mid, c.button.darker(130));
    palette.setColor(QPalette::Dark, c.button.darker(160));
    palette.setColor(QPalette::Shadow, dark ? QColor("#000000") : c.button.darker(220));
    palette.setColor(QPalette::Link, dark ? QColor("#8cc4ff") : QColor("#0b57c2"));
    palette.setColor(QPalette::PlaceholderText, dark ? QColor("#a0a0a0") : QColor("#707070"));
    const QColor disabled = dark ? QColor("#8a8a8a") : QColor("#8c8c8c");
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, disabled);
    return palette;
}

QColor ribbonColour(int look) {
    if (look == app::kSystemLook) return QApplication::palette().color(QPalette::Window);
    return coloursOf(look).ribbon;
}

namespace {

struct DesktopLook {
    QString style;
    QPalette palette;
    bool known = false;
};

DesktopLook& desktopLook() {
    static DesktopLook look;
    return look;
}

}  // namespace

void rememberDesktopLook() {
    DesktopLook& desktop = desktopLook();
    if (desktop.known) return;
    desktop.style = QApplication::style() ? QApplication::style()->name() : QString();
    desktop.palette = QApplication::palette();
    desktop.known = true;
}

void applyLook(int look) {
    rememberDesktopLook();
    if (look == app::kSystemLook) {
        const DesktopLook& desktop = desktopLook();
        if (QStyle* style = QStyleFactory::create(desktop.style)) QApplication::setStyle(style);
        QApplication::setPalette(desktop.palette);
        return;
    }
    // Windows 2000 keeps the plain Windows-like style where Qt has one; everything else is Fusion.
    QStyle* style = nullptr;
    if (look == 210) style = QStyleFactory::create(QStringLiteral("Windows"));
    if (!style) style = QStyleFactory::create(QStringLiteral("Fusion"));
    if (style) QApplication::setStyle(style);
    QApplication::setPalette(lookPalette(look));
}

}  // namespace gui
