#pragma once
// CKelvaStaticViewer: the file viewer's state (four header texts, the attachment list, the file the
// browser shows) and its layout rule.
#include <functional>
#include <string>
#include <vector>

#include "frame/controls.h"

namespace ui {

struct ViewerRect {
    int x = 0, y = 0, width = 0, height = 0;
    bool operator==(const ViewerRect&) const = default;
};

struct ViewerLayout {
    ViewerRect browser;
    ViewerRect attachments;
};

class CKelvaStaticViewer : public frame::ViewerControl {
public:
    struct Attachment {
        std::u16string name;
        int icon = -1;  // 0: the file type's small icon, looked up by the name; -1: no icon
        std::u16string file;  // the attachment's own file (.imm); empty: a part of the shown message
    };

    std::u16string subjectText, fromText, toText, dateText;
    std::vector<Attachment> attachments;
    int m_bBrowserOnly = 1;  // the browser is created with the viewer
    std::u16string shownFile;

    void ClearView() override;
    void ShowFile(const std::u16string& path);
    // Where the browser and the attachment list go in a viewer of width w and height h.
    ViewerLayout Layout(int w, int h) const;
    // The hosted browser never sees right-button and system-key messages.
    static bool SwallowsMessage(unsigned message);

    std::function<void()> onChanged;

private:
    void changed() { if (onChanged) onChanged(); }
};

}  // namespace ui
