#pragma once
// The progress bar of the status bar, the caption bar and the lower pane's tabs, as plain models.
#include <functional>
#include <string>

namespace ui {

class CProgressBar {
public:
    void Show(bool visible) { visible_ = visible; changed(); }
    void SetRange(int low, int high) { low_ = low; high_ = high; changed(); }
    void SetPos(int position) { position_ = position; changed(); }
    bool visible() const { return visible_; }
    int low() const { return low_; }
    int high() const { return high_; }
    int position() const { return position_; }
    std::function<void()> onChanged;

private:
    void changed() { if (onChanged) onChanged(); }
    bool visible_ = true;
    int low_ = 0;
    int high_ = 100;
    int position_ = 0;
};

class CMyCaptionBar {
public:
    void SetText(const std::u16string& text) { text_ = text; if (onChanged) onChanged(); }
    const std::u16string& text() const { return text_; }
    std::function<void()> onChanged;

private:
    std::u16string text_;
};

// The lower pane: tab 0 "Log Viewer", tab 1 "File Viewer".
class COutputWnd {
public:
    static constexpr int kLogTab = 0;
    static constexpr int kFileTab = 1;
    void SetActiveTab(int tab) { activeTab_ = tab; if (onChanged) onChanged(); }
    int activeTab() const { return activeTab_; }
    std::function<void()> onChanged;

private:
    int activeTab_ = kLogTab;
};

}  // namespace ui
