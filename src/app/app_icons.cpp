#include "app/app_icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

// The picture of tessel-gui.svg at any size: a dark rounded square with a
// 3 x 3 pattern of menu tiles, the centre one highlighted.
QPixmap AppPixmap(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x1d, 0x3b, 0x53));
    p.drawRoundedRect(QRectF(2, 2, 60, 60), 10, 10);
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) {
            const bool focus = row == 1 && col == 1;
            p.setBrush(focus ? QColor(0xf5, 0xa6, 0x23) : QColor(0x4f, 0xb3, 0xbf));
            p.drawRoundedRect(QRectF(10 + col * 16, 10 + row * 16, 12, 12), 2.5, 2.5);
        }
    }
    return pixmap;
}

QPixmap Blank16() {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

}  // namespace

QIcon AppIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) icon.addPixmap(AppPixmap(size));
    return icon;
}

QIcon ButtonStateIcon(int state) {
    static const QColor kFill[] = {QColor(0x9a, 0x9a, 0x9a), QColor(0x3c, 0x8d, 0xdc),
                                   QColor(0xe8, 0x6a, 0x1a)};
    static const char kLetter[] = {'N', 'S', 'A'};
    state = state < 0 || state > 2 ? 0 : state;
    QPixmap pixmap = Blank16();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kFill[state].darker(150), 1));
    p.setBrush(kFill[state]);
    p.drawRoundedRect(QRectF(0.5, 2.5, 15, 11), 3, 3);
    QFont font = p.font();
    font.setPixelSize(9);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 2, 16, 12), Qt::AlignCenter, QString(QChar(kLetter[state])));
    return QIcon(pixmap);
}

namespace {

// A tray with an arrow into it (down) or out of it (up).
QIcon TrayArrowIcon(bool down, const QColor& colour) {
    QPixmap pixmap = Blank16();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(70, 70, 70), 1.5));
    p.drawPolyline(
        QPolygonF({QPointF(1.5, 9), QPointF(1.5, 14.5), QPointF(14.5, 14.5), QPointF(14.5, 9)}));
    QPainterPath arrow;
    if (down) {
        arrow.addPolygon(QPolygonF({QPointF(6, 1), QPointF(10, 1), QPointF(10, 6), QPointF(13, 6),
                                    QPointF(8, 12), QPointF(3, 6), QPointF(6, 6)}));
    } else {
        arrow.addPolygon(QPolygonF({QPointF(6, 12), QPointF(10, 12), QPointF(10, 7), QPointF(13, 7),
                                    QPointF(8, 1), QPointF(3, 7), QPointF(6, 7)}));
    }
    arrow.closeSubpath();
    p.setPen(QPen(colour.darker(140), 1));
    p.setBrush(colour);
    p.drawPath(arrow);
    return QIcon(pixmap);
}

}  // namespace

QIcon RipIcon() {
    return TrayArrowIcon(true, QColor(0x2e, 0x9d, 0x4a));
}

QIcon ImportIcon() {
    return TrayArrowIcon(false, QColor(0x3c, 0x6e, 0xc8));
}
