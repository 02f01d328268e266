#include "gui/about_dialog.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/pictures.h"
#include "gui/qt_text.h"
#include "ui/host.h"

namespace gui {
namespace {

// The banner across the top of the box, as wide as the box.
class Banner : public QWidget {
public:
    Banner() { setFixedHeight(72); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        paintBanner(p, width(), height());
    }

private:
    static void paintBanner(QPainter& p, int width, int height);
};

void Banner::paintBanner(QPainter& p, int width, int height) {
    QLinearGradient gradient(0, 0, width, height);
    gradient.setColorAt(0, QColor(0x1b, 0x4f, 0x9c));
    gradient.setColorAt(1, QColor(0x5b, 0x9b, 0xe0));
    p.fillRect(QRect(0, 0, width, height), gradient);
    p.drawPixmap(16, (height - 48) / 2, pictures::applicationIcon().pixmap(48, 48));
    QFont font;
    font.setPixelSize(22);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRect(80, 0, width - 90, height), Qt::AlignVCenter | Qt::AlignLeft, toQ(ui::kApplicationShortName));
}

QLabel* link(const QString& url, const QString& text, const QString& tip) {
    auto* label = new QLabel(QStringLiteral("<a href=\"%1\">%2</a>").arg(url.toHtmlEscaped(), text.toHtmlEscaped()));
    label->setToolTip(tip);
    label->setOpenExternalLinks(true);
    label->setTextInteractionFlags(Qt::TextBrowserInteraction);
    label->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);  // sized to its text
    return label;
}

}  // namespace

CAboutDialog::CAboutDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(toQ(ui::kApplicationTitle));
    setObjectName(QStringLiteral("aboutDialog"));
    auto* banner = new Banner;

    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(15);
    font.setWeight(QFont::DemiBold);
    auto* title = new QLabel(toQ(ui::kApplicationTitle));
    title->setFont(font);
    auto* notice = new QLabel(QStringLiteral("Version 1.0 \u00a9 2026 KelvaTools. All rights reserved."));
    notice->setFont(font);
    auto* line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);

    auto* links = new QVBoxLayout;
    links->addWidget(link(QString::fromLatin1(kCompanySite), QStringLiteral("www.example.com"),
                          QStringLiteral("Company website")));
    links->addWidget(link(QStringLiteral("mailto:") + QString::fromLatin1(kSupportAddress),
                          QString::fromLatin1(kSupportAddress), QStringLiteral("Support email address")));
    links->addWidget(link(QStringLiteral("mailto:") + QString::fromLatin1(kSalesAddress),
                          QString::fromLatin1(kSalesAddress), QStringLiteral("Sales email address")));

    auto* ok = new QPushButton(QStringLiteral("OK"));
    ok->setDefault(true);
    ok->setObjectName(QStringLiteral("ok"));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* okRow = new QHBoxLayout;
    okRow->addStretch();
    okRow->addWidget(ok);

    auto* body = new QVBoxLayout;
    body->setContentsMargins(16, 10, 16, 12);
    body->addWidget(title);
    body->addWidget(notice);
    body->addWidget(line);
    body->addLayout(links);
    body->addLayout(okRow);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(banner);
    layout->addLayout(body);
    setFixedSize(sizeHint());
}

void CAboutDialog::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QDialog::mousePressEvent(event);
    dragging_ = true;
    grabOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
}

void CAboutDialog::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_ && (event->buttons() & Qt::LeftButton)) move(event->globalPosition().toPoint() - grabOffset_);
}

void CAboutDialog::mouseReleaseEvent(QMouseEvent* event) {
    dragging_ = false;
    QDialog::mouseReleaseEvent(event);
}

}  // namespace gui
