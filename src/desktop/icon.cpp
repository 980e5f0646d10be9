#include "icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace dialkite {

namespace {

// The kite on a 64 x 64 field, scaled to `size`: a blue diamond with its light spars, a
// white centre and a red tail.
QPixmap kite(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 64.0, size / 64.0);
    QPainterPath body;
    body.moveTo(32, 4);
    body.lineTo(54, 26);
    body.lineTo(32, 46);
    body.lineTo(10, 26);
    body.closeSubpath();
    painter.setPen(QPen(QColor(0x1a, 0x36, 0x5d), 2));
    painter.setBrush(QColor(0x2b, 0x6c, 0xb0));
    painter.drawPath(body);
    painter.setPen(QPen(QColor(0xbe, 0xe3, 0xf8), 2));
    painter.drawLine(QPointF(32, 4), QPointF(32, 46));
    painter.drawLine(QPointF(10, 26), QPointF(54, 26));
    QPainterPath tail;
    tail.moveTo(32, 46);
    tail.cubicTo(28, 52, 36, 54, 30, 60);
    painter.setPen(QPen(QColor(0xe5, 0x3e, 0x3e), 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(tail);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawEllipse(QPointF(32, 26), 5, 5);
    return pixmap;
}

} // namespace

QIcon kiteIcon()
{
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128})
        icon.addPixmap(kite(size));
    return icon;
}

} // namespace dialkite
