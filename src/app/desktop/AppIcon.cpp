#include "app/desktop/AppIcon.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace quorly {

namespace {

QPixmap paintIcon(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 128.0, size / 128.0);  // drawn on the SVG's 128-unit grid

    QLinearGradient back(0, 6, 0, 122);
    back.setColorAt(0, QColor(0x3d, 0x6f, 0xb6));
    back.setColorAt(1, QColor(0x1f, 0x3f, 0x73));
    p.setPen(QPen(QColor(0x16, 0x30, 0x5a), 2));
    p.setBrush(back);
    p.drawRoundedRect(QRectF(6, 6, 116, 116), 24, 24);

    // The shackle: up from (42,60), a half circle of radius 22 over to (86,60).
    QPainterPath shackle;
    shackle.moveTo(42, 60);
    shackle.lineTo(42, 44);
    shackle.arcTo(QRectF(42, 22, 44, 44), 180, -180);
    shackle.lineTo(86, 60);
    p.setPen(QPen(QColor(0xe8, 0xed, 0xf5), 10, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawPath(shackle);

    QLinearGradient metal(0, 58, 0, 108);
    metal.setColorAt(0, QColor(0xff, 0xe9, 0xa3));
    metal.setColorAt(1, QColor(0xd9, 0xa9, 0x2c));
    p.setPen(QPen(QColor(0x8a, 0x65, 0x12), 2));
    p.setBrush(metal);
    p.drawRoundedRect(QRectF(30, 58, 68, 50), 9, 9);

    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x5a, 0x41, 0x0a));
    for (int x : {46, 64, 82})
        p.drawEllipse(QPointF(x, 83), 5, 5);
    return pixmap;
}

}  // namespace

QIcon quorlyIcon()
{
    static const QIcon icon = [] {
        QIcon made;
        for (int size : {16, 24, 32, 48, 64, 128, 256})
            made.addPixmap(paintIcon(size));
        return made;
    }();
    return icon;
}

}  // namespace quorly
