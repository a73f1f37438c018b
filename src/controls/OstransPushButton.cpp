#include "controls/OstransPushButton.h"

#include "controls/PanelPainting.h"

#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

OstransPushButton::OstransPushButton(QWidget *parent)
    : OstransIndicator(parent)
{
    setToolTip(QStringLiteral("Click to switch Module Output ON/OFF"));
}

QSize OstransPushButton::sizeHint() const
{
    return {36, 36};
}

void OstransPushButton::drawPicture(QPainter &painter, const QRectF &rect, int picture) const
{
    const QRectF square = PanelPainting::centredSquare(rect);
    const QPointF c = square.center();
    const qreal s = square.width();
    const bool on = picture == OnPicture;

    PanelPainting::drawBezelRing(painter, c, s * 0.48, s * 0.40);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x14, 0x14, 0x14));
    painter.drawEllipse(c, s * 0.40, s * 0.40);

    // Pressed in, the cap sits lower and smaller; raised, it casts a shadow.
    const qreal cap = on ? s * 0.33 : s * 0.355;
    const QPointF capCentre = on ? c + QPointF(0, s * 0.01) : c - QPointF(0, s * 0.015);
    if (on) {
        PanelPainting::drawGlow(painter, c, s * 0.4, QColor(90, 255, 90, 170));
    } else {
        painter.setBrush(QColor(0, 0, 0, 120));
        painter.drawEllipse(capCentre + QPointF(0, s * 0.035), cap, cap);
    }
    if (on) {
        QRadialGradient lamp(capCentre, cap, capCentre - QPointF(cap * 0.25, cap * 0.3));
        lamp.setColorAt(0.0, QColor(0xe8, 0xff, 0xe0));
        lamp.setColorAt(0.45, QColor(0x5e, 0xe8, 0x55));
        lamp.setColorAt(1.0, QColor(0x12, 0x86, 0x1c));
        painter.setBrush(lamp);
    } else {
        QLinearGradient plastic(capCentre - QPointF(0, cap), capCentre + QPointF(0, cap));
        plastic.setColorAt(0.0, QColor(0xf0, 0xf0, 0xf0));
        plastic.setColorAt(0.6, QColor(0xa8, 0xaa, 0xae));
        plastic.setColorAt(1.0, QColor(0x6c, 0x6e, 0x72));
        painter.setBrush(plastic);
    }
    painter.setPen(
        QPen(on ? QColor(0x0a, 0x50, 0x10) : QColor(0x44, 0x44, 0x44), qMax<qreal>(0.8, s * 0.02)));
    painter.drawEllipse(capCentre, cap, cap);

    // The power symbol on the cap.
    const qreal r = cap * 0.5;
    QPen symbol(on ? QColor(0xf8, 0xff, 0xf4) : QColor(0x4a, 0x4c, 0x50),
                qMax<qreal>(1.0, s * 0.055), Qt::SolidLine, Qt::RoundCap);
    painter.setPen(symbol);
    painter.setBrush(Qt::NoBrush);
    const QRectF arc(capCentre.x() - r, capCentre.y() - r, 2 * r, 2 * r);
    painter.drawArc(arc, 125 * 16, 290 * 16);
    painter.drawLine(capCentre - QPointF(0, r * 1.25), capCentre - QPointF(0, r * 0.2));

    PanelPainting::drawGlint(
        painter,
        QRectF(capCentre.x() - cap * 0.6, capCentre.y() - cap * 0.92, cap * 1.2, cap * 0.7),
        on ? 150 : 170);
}
