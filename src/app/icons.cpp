#include "app/icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace kv {

namespace {

QPixmap dot(QColor centre, QColor edge, QColor rim)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QRadialGradient shine(QPointF(6, 6), 8);
    shine.setColorAt(0, centre.lighter(150));
    shine.setColorAt(0.5, centre);
    shine.setColorAt(1, edge);
    painter.setBrush(shine);
    painter.setPen(QPen(rim, 1));
    painter.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    return pixmap;
}

} // namespace

QPixmap lampDot(const QString& colour)
{
    if (colour == QLatin1String("green"))
        return dot(QColor(40, 200, 40), QColor(0, 110, 0), QColor(0, 90, 0));
    if (colour == QLatin1String("yellow"))
        return dot(QColor(255, 220, 0), QColor(190, 140, 0), QColor(150, 110, 0));
    return dot(QColor(240, 30, 30), QColor(150, 0, 0), Qt::black);
}

QIcon windowIcon()
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);

    // Thermometer: a glass tube with a red bulb and column.
    painter.setPen(QPen(QColor(60, 60, 60), 1.5));
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(QRectF(7, 2, 7, 22), 3.5, 3.5);
    painter.drawEllipse(QRectF(4.5, 19, 12, 12));
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(220, 30, 30));
    painter.drawEllipse(QRectF(6.5, 21, 8, 8));
    painter.drawRect(QRectF(9.5, 8, 2, 14));

    // Drop of water for humidity.
    QPainterPath drop;
    drop.moveTo(24, 8);
    drop.cubicTo(26, 13, 30, 17, 30, 22);
    drop.arcTo(QRectF(18, 16, 12, 12), 0, -180);
    drop.cubicTo(18, 17, 22, 13, 24, 8);
    painter.setPen(QPen(QColor(20, 70, 160), 1.2));
    painter.setBrush(QColor(60, 140, 230));
    painter.drawPath(drop);

    QIcon icon;
    icon.addPixmap(pixmap);
    return icon;
}

} // namespace kv
