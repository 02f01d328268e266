#pragma once
// Conversions between the core's UTF-16 strings and QString.
#include <QString>
#include <string>

#include "platform/codepage.h"

namespace gui {

inline QString toQ(const std::u16string& text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

// For display: bytes of file names that are not UTF-8 show as \xHH instead of a replacement mark.
inline QString toShownQ(const std::u16string& text) { return toQ(platform::visibleText(text)); }

inline std::u16string fromQ(const QString& text) {
    return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size()));
}

}  // namespace gui
