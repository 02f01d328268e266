#include "gui/pictures.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <functional>

#include "frame/controls.h"

namespace gui::pictures {
namespace {

using Painter = std::function<void(QPainter&)>;

// Draws on a 32 x 32 canvas scaled to the requested size.
QPixmap render(int size, const Painter& paint) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    paint(p);
    return pixmap;
}

QIcon icon(const Painter& paint) {
    QIcon result;
    for (int size : {12, 16, 24, 32, 48, 64}) result.addPixmap(render(size, paint));
    return result;
}

void folder(QPainter& p, bool open) {
    p.setPen(QPen(QColor(0x9a, 0x6b, 0x12), 1.4));
    p.setBrush(QColor(0xf2, 0xc1, 0x4e));
    p.drawPath([] {
        QPainterPath path;
        path.moveTo(3, 8);
        path.lineTo(12, 8);
        path.lineTo(15, 11);
        path.lineTo(29, 11);
        path.lineTo(29, 26);
        path.lineTo(3, 26);
        path.closeSubpath();
        return path;
    }());
    if (open) {
        p.setBrush(QColor(0xfa, 0xda, 0x84));
        p.drawPolygon(QPolygonF({QPointF(7, 15), QPointF(31, 15), QPointF(27, 26), QPointF(3, 26)}));
    } else {
        p.setBrush(QColor(0xfa, 0xd6, 0x76));
        p.drawRect(QRectF(3, 14, 26, 12));
    }
}

void envelope(QPainter& p, QRectF r, QColor paper) {
    p.setPen(QPen(QColor(0x3b, 0x5a, 0x85), 1.4));
    p.setBrush(paper);
    p.drawRect(r);
    p.drawPolyline(QPolygonF({r.topLeft(), QPointF(r.center().x(), r.center().y() + 2), r.topRight()}));
}

void paperclip(QPainter& p) {
    p.setPen(QPen(QColor(0x50, 0x50, 0x58), 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    QPainterPath path;
    path.moveTo(20, 10);
    path.lineTo(20, 22);
    path.arcTo(QRectF(12, 17, 8, 10), 0, -180);
    path.lineTo(12, 7);
    path.arcTo(QRectF(12, 2, 12, 10), 180, -180);
    path.lineTo(24, 22);
    p.drawPath(path);
}

void disk(QPainter& p, QColor body) {
    p.setPen(QPen(body.darker(160), 1.4));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(4, 4, 24, 24), 2, 2);
    p.setBrush(QColor(0xf4, 0xf6, 0xfa));
    p.drawRect(QRectF(9, 4, 14, 9));
    p.setBrush(QColor(0xe0, 0xe4, 0xea));
    p.drawRect(QRectF(8, 18, 16, 10));
}

void arrow(QPainter& p, QPointF from, QPointF to, QColor colour) {
    p.setPen(QPen(colour, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(from, to);
    QLineF line(to, from);
    QLineF a = line;
    a.setLength(6);
    a.setAngle(line.angle() + 35);
    QLineF b = line;
    b.setLength(6);
    b.setAngle(line.angle() - 35);
    p.drawLine(a);
    p.drawLine(b);
}

void roundBadge(QPainter& p, const QString& text, QColor colour) {
    p.setPen(QPen(colour.darker(140), 1.4));
    p.setBrush(colour);
    p.drawEllipse(QRectF(3, 3, 26, 26));
    QFont font;
    font.setBold(true);
    font.setPixelSize(19);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(3, 3, 26, 26), Qt::AlignCenter, text);
}

void snapshotSheet(QPainter& p) {
    p.setPen(QPen(QColor(0x55, 0x60, 0x70), 1.4));
    p.setBrush(QColor(0xfb, 0xfb, 0xfd));
    p.drawPolygon(QPolygonF({QPointF(6, 3), QPointF(20, 3), QPointF(26, 9), QPointF(26, 29), QPointF(6, 29)}));
    p.setPen(QPen(QColor(0x8e, 0xa4, 0xc2), 1.6));
    for (int y : {12, 16, 20}) p.drawLine(QPointF(10, y), QPointF(22, y));
}

}  // namespace

QIcon ribbonImage(int index) {
    switch (index) {
        case 0:
            return icon([](QPainter& p) {
                folder(p, true);
                envelope(p, QRectF(15, 2, 15, 10), QColor(0xff, 0xff, 0xff));
            });
        case 1:
            return icon([](QPainter& p) {
                QPolygonF octagon;
                for (QPointF q : {QPointF(11, 3), QPointF(21, 3), QPointF(29, 11), QPointF(29, 21), QPointF(21, 29),
                                  QPointF(11, 29), QPointF(3, 21), QPointF(3, 11)})
                    octagon << q;
                p.setPen(QPen(QColor(0x8a, 0x10, 0x10), 1.4));
                p.setBrush(QColor(0xd8, 0x2c, 0x2c));
                p.drawPolygon(octagon);
                p.setBrush(Qt::white);
                p.setPen(Qt::NoPen);
                p.drawRect(QRectF(9, 14, 14, 4));
            });
        case 2:
            return icon([](QPainter& p) {
                disk(p, QColor(0x2f, 0x6f, 0xc4));
                arrow(p, QPointF(16, 14), QPointF(16, 26), QColor(0x1d, 0x9a, 0x3a));
            });
        case 6:
            return icon([](QPainter& p) {
                snapshotSheet(p);
                arrow(p, QPointF(30, 22), QPointF(16, 22), QColor(0x1d, 0x9a, 0x3a));
            });
        case 7:
            return icon([](QPainter& p) {
                snapshotSheet(p);
                disk(p, QColor(0x2f, 0x6f, 0xc4));
                p.setOpacity(1);
            });
        case 8:
            return icon([](QPainter& p) { roundBadge(p, QStringLiteral("?"), QColor(0x2b, 0x7c, 0xd3)); });
        case 9:
            return icon([](QPainter& p) { roundBadge(p, QStringLiteral("i"), QColor(0x3a, 0x98, 0x58)); });
        default:
            return {};
    }
}

QIcon treeImage(int index) {
    return icon([index](QPainter& p) { folder(p, index == 1); });
}

QIcon listImage(int index) {
    if (index == frame::kAttachmentImage) return icon(paperclip);
    if (index == frame::kMailboxImage)
        return icon([](QPainter& p) { envelope(p, QRectF(3, 8, 26, 17), QColor(0xfd, 0xf6, 0xd8)); });
    return {};
}

QIcon headerImage(int index) {
    switch (index) {
        case 0:
            return icon([](QPainter& p) {
                p.setPen(QPen(QColor(0x40, 0x48, 0x58), 2));
                p.setBrush(Qt::white);
                p.drawPolygon(QPolygonF({QPointF(7, 3), QPointF(19, 3), QPointF(26, 10), QPointF(26, 29), QPointF(7, 29)}));
            });
        case 1:
            return icon([](QPainter& p) {
                p.setPen(Qt::NoPen);
                p.setBrush(QColor(0xc8, 0x1e, 0x1e));
                p.drawRoundedRect(QRectF(13, 3, 6, 18), 2, 2);
                p.drawEllipse(QRectF(13, 23, 6, 6));
            });
        case 2:
            return icon(paperclip);
        case 3:
            return icon([](QPainter& p) {
                p.setPen(QPen(QColor(0x30, 0x30, 0x30), 2));
                p.drawLine(QPointF(8, 3), QPointF(8, 29));
                p.setPen(Qt::NoPen);
                p.setBrush(QColor(0xd0, 0x28, 0x28));
                p.drawPolygon(QPolygonF({QPointF(9, 4), QPointF(27, 8), QPointF(9, 16)}));
            });
        default:
            return {};
    }
}

QIcon applicationIcon() {
    return icon([](QPainter& p) {
        envelope(p, QRectF(2, 5, 18, 13), QColor(0xfd, 0xf6, 0xd8));
        p.setPen(QPen(QColor(0x1b, 0x4f, 0x9c), 1.4));
        p.setBrush(QColor(0x2f, 0x6f, 0xc4));
        p.drawRoundedRect(QRectF(12, 14, 18, 16), 2, 2);
        QFont font;
        font.setBold(true);
        font.setPixelSize(7);
        p.setFont(font);
        p.setPen(Qt::white);
        p.drawText(QRectF(12, 14, 18, 16), Qt::AlignCenter, QStringLiteral("PST"));
        arrow(p, QPointF(6, 21), QPointF(11, 26), QColor(0x1d, 0x9a, 0x3a));
    });
}

QPixmap informationPicture(int size) {
    return render(size, [](QPainter& p) { roundBadge(p, QStringLiteral("i"), QColor(0x2b, 0x7c, 0xd3)); });
}

}  // namespace gui::pictures
