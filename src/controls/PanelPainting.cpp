#include "controls/PanelPainting.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace PanelPainting {

QRectF centredSquare(const QRectF &rect)
{
    const qreal side = qMin(rect.width(), rect.height());
    return QRectF(rect.center().x() - side / 2, rect.center().y() - side / 2, side, side);
}

void drawGlow(QPainter &painter, const QPointF &centre, qreal radius, const QColor &color)
{
    QRadialGradient glow(centre, radius);
    QColor inner = color;
    QColor outer = color;
    outer.setAlpha(0);
    glow.setColorAt(0.0, inner);
    glow.setColorAt(0.55, QColor(color.red(), color.green(), color.blue(), color.alpha() / 2));
    glow.setColorAt(1.0, outer);
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.setBrush(glow);
    painter.drawEllipse(centre, radius, radius);
    painter.restore();
}

void drawBezelRing(QPainter &painter, const QPointF &centre, qreal outer, qreal inner)
{
    painter.save();
    painter.setPen(Qt::NoPen);
    QLinearGradient metal(centre - QPointF(outer, outer), centre + QPointF(outer, outer));
    metal.setColorAt(0.0, QColor(0xf2, 0xf2, 0xf2));
    metal.setColorAt(0.45, QColor(0xa8, 0xab, 0xb0));
    metal.setColorAt(1.0, QColor(0x3c, 0x3e, 0x42));
    QPainterPath ring;
    ring.addEllipse(centre, outer, outer);
    QPainterPath hole;
    hole.addEllipse(centre, inner, inner);
    painter.setBrush(metal);
    painter.drawPath(ring.subtracted(hole));
    // The inner edge of the ring falls away into the panel.
    QLinearGradient edge(centre - QPointF(inner, inner), centre + QPointF(inner, inner));
    edge.setColorAt(0.0, QColor(0x30, 0x30, 0x30));
    edge.setColorAt(1.0, QColor(0xd8, 0xd8, 0xd8));
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QBrush(edge), qMax<qreal>(0.8, (outer - inner) * 0.35)));
    painter.drawEllipse(centre, inner, inner);
    painter.restore();
}

void drawGlint(QPainter &painter, const QRectF &rect, int alpha)
{
    painter.save();
    QLinearGradient shine(rect.topLeft(), rect.bottomLeft());
    shine.setColorAt(0.0, QColor(255, 255, 255, alpha));
    shine.setColorAt(1.0, QColor(255, 255, 255, 0));
    painter.setPen(Qt::NoPen);
    painter.setBrush(shine);
    painter.drawEllipse(rect);
    painter.restore();
}
} // namespace PanelPainting
