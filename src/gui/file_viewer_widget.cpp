#include "gui/file_viewer_widget.h"

#include <QFileIconProvider>
#include <QFileInfo>
#include <QListWidget>
#include <QMimeDatabase>
#include <QPainter>
#include <QUrl>

#include "gui/qt_text.h"

namespace gui {

CSafeBrowser::CSafeBrowser(QWidget* parent) : QTextBrowser(parent) {
    setObjectName(QStringLiteral("previewBrowser"));
    setOpenLinks(false);
    setOpenExternalLinks(false);
    setContextMenuPolicy(Qt::NoContextMenu);
    setUndoRedoEnabled(false);
}

QVariant CSafeBrowser::loadResource(int, const QUrl& name) {
    if (name.scheme() != QStringLiteral("data")) return {};
    // data:[<type>][;base64],<payload>
    const QString text = name.toString(QUrl::FullyEncoded);
    const qsizetype comma = text.indexOf(u',');
    if (comma < 0) return {};
    const QString head = text.mid(5, comma - 5);
    const QByteArray payload = QByteArray::fromPercentEncoding(text.mid(comma + 1).toLatin1());
    return head.endsWith(QStringLiteral(";base64")) ? QByteArray::fromBase64(payload) : payload;
}

CFileViewerWidget::CFileViewerWidget(ui::CKelvaStaticViewer& viewer, QWidget* parent)
    : QWidget(parent), viewer_(viewer), renderer_(this, [this](const QString& page) { browser_->setHtml(page); }) {
    setObjectName(QStringLiteral("fileViewer"));
    attachments_ = new QListWidget(this);
    attachments_->setObjectName(QStringLiteral("attachmentList"));
    attachments_->setViewMode(QListView::ListMode);
    attachments_->setFlow(QListView::LeftToRight);
    attachments_->setWrapping(true);
    attachments_->setIconSize(QSize(16, 16));
    attachments_->setFrameShape(QFrame::NoFrame);
    attachments_->setSelectionMode(QAbstractItemView::SingleSelection);
    connect(attachments_, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        if (onAttachmentActivated) onAttachmentActivated(attachments_->row(item));
    });
    browser_ = new CSafeBrowser(this);
    viewer_.onChanged = [this] { refresh(); };
    refresh();
}

CFileViewerWidget::~CFileViewerWidget() { viewer_.onChanged = nullptr; }

QIcon CFileViewerWidget::fileTypeIcon(const QString& name) {
    static QFileIconProvider provider;
    const QMimeType type = QMimeDatabase().mimeTypeForFile(name, QMimeDatabase::MatchExtension);
    return QIcon::fromTheme(type.iconName(), QIcon::fromTheme(type.genericIconName(), provider.icon(QFileIconProvider::File)));
}

void CFileViewerWidget::refresh() {
    attachments_->clear();
    for (const auto& attachment : viewer_.attachments) {
        auto* item = new QListWidgetItem(toQ(attachment.name), attachments_);
        if (attachment.icon == 0) item->setIcon(fileTypeIcon(item->text()));
    }
    // The file is rendered again only when another file, or a rewritten one, is to be shown.
    const QFileInfo info(toQ(viewer_.shownFile));
    if (viewer_.shownFile.empty()) {
        renderer_.cancel();
        if (!renderedFile_.empty()) browser_->clear();
        renderedFile_.clear();
    } else if (viewer_.shownFile != renderedFile_ || info.lastModified() != renderedStamp_ || info.size() != renderedSize_) {
        renderer_.render(viewer_.shownFile);
        renderedFile_ = viewer_.shownFile;
        renderedStamp_ = info.lastModified();
        renderedSize_ = info.size();
    }
    applyLayout();
    update();
}

void CFileViewerWidget::applyLayout() {
    const ui::ViewerLayout layout = viewer_.Layout(width(), height());
    auto place = [](QWidget* w, const ui::ViewerRect& r) {
        w->setVisible(r.width > 0 && r.height > 0);
        w->setGeometry(r.x, r.y, std::max(0, r.width), std::max(0, r.height));
    };
    place(browser_, layout.browser);
    place(attachments_, layout.attachments);
}

void CFileViewerWidget::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    applyLayout();
}

void CFileViewerWidget::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QPalette& pal = palette();
    const QRect client = rect();
    // The shaded border and, 5 pixels inside the edge, the black frame line.
    for (int i = 0; i < 5; ++i) {
        p.setPen(pal.color(QPalette::Window).darker(100 + 6 * (5 - i)));
        p.drawRect(client.adjusted(i, i, -i - 1, -i - 1));
    }
    p.setPen(Qt::black);
    p.drawRect(client.adjusted(5, 5, -6, -6));

    // The header area, framed with a three-dimensional edge.
    const QRect header(QPoint(6, 6), QPoint(client.right() - 6, 116));
    p.fillRect(header, pal.color(QPalette::Base));
    p.setPen(pal.color(QPalette::Light));
    p.drawLine(header.topLeft(), header.topRight());
    p.drawLine(header.topLeft(), header.bottomLeft());
    p.setPen(pal.color(QPalette::Dark));
    p.drawLine(header.bottomLeft(), header.bottomRight());
    p.drawLine(header.topRight(), header.bottomRight());
    if (header.width() <= 120) return;

    p.setClipRect(header.adjusted(0, 0, -120, 0));
    QFont bold = font();
    bold.setWeight(QFont::Bold);
    QFont normal = font();
    normal.setWeight(QFont::Normal);
    p.setPen(pal.color(QPalette::Text));
    auto text = [&p](const QFont& f, int x, int y, const std::u16string& s) {
        p.setFont(f);
        p.drawText(QPoint(x, y + QFontMetrics(f).ascent()), toQ(s));
    };
    const int left = header.left(), top = header.top(), right = header.right() + 1;
    text(bold, left + 9, top + 4, viewer_.subjectText);
    text(bold, left + 9, top + 23, viewer_.fromText);
    text(normal, left + 10, top + 45, viewer_.toText);
    // The date starts 290 pixels left of the right edge; it may use the reserved margin too, so that a
    // full date with its zone is not cut off.
    p.setClipRect(header.adjusted(0, 0, -6, 0));
    text(normal, right - 290, top + 30, viewer_.dateText);
}

}  // namespace gui
