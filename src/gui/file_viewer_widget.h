#pragma once
// The "File Viewer": paints CKelvaStaticViewer's header (bold subject and sender, recipients, the date
// on the right, the framed header area and the shaded border), lists the attachments with their file
// types' icons and shows the viewer's file, rendered as a safe self-contained page, in a text browser
// that loads nothing remote and has no context menu.
#include <QDateTime>
#include <QTextBrowser>
#include <QWidget>
#include <functional>

#include "gui/background_renderer.h"
#include "ui/static_viewer.h"

class QListWidget;

namespace gui {

class CSafeBrowser : public QTextBrowser {
public:
    explicit CSafeBrowser(QWidget* parent = nullptr);
    // Only data: URLs (the inlined pictures) are loaded; everything else is refused.
    QVariant loadResource(int type, const QUrl& name) override;
};

class CFileViewerWidget : public QWidget {
public:
    explicit CFileViewerWidget(ui::CKelvaStaticViewer& viewer, QWidget* parent = nullptr);
    ~CFileViewerWidget() override;

    QListWidget* attachmentList() const { return attachments_; }
    CSafeBrowser* browser() const { return browser_; }
    static QIcon fileTypeIcon(const QString& name);
    // Told of a double-click or Enter on a row of the attachment list.
    std::function<void(int row)> onAttachmentActivated;
    // True while the file to show is still being rendered.
    bool rendering() const { return renderer_.busy(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void refresh();
    void applyLayout();

    ui::CKelvaStaticViewer& viewer_;
    QListWidget* attachments_;
    CSafeBrowser* browser_;
    std::u16string renderedFile_;
    QDateTime renderedStamp_;
    qint64 renderedSize_ = -1;
    CBackgroundRenderer renderer_;
};

}  // namespace gui
