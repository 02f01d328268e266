#include "ui/static_viewer.h"

namespace ui {

void CKelvaStaticViewer::ClearView() {
    subjectText.clear();
    fromText.clear();
    toText.clear();
    dateText.clear();
    attachments.clear();
    m_bBrowserOnly = 0;
    changed();
}

void CKelvaStaticViewer::ShowFile(const std::u16string& path) {
    shownFile = path;
    changed();
}

ViewerLayout CKelvaStaticViewer::Layout(int w, int h) const {
    if (m_bBrowserOnly) return {{10, 10, w - 20, h - 20}, {}};
    return {{10, 125, w - 20, h - 145}, {120, 75, w - 130, 40}};
}

bool CKelvaStaticViewer::SwallowsMessage(unsigned message) {
    return message == 0x204 || message == 0x205 || message == 0x206 || message == 0x104;
}

}  // namespace ui
