#include "controls/OstransLed.h"

#include "controls/PanelPainting.h"

#include <QPainter>
#include <QRadialGradient>

OstransLed::OstransLed(QWidget *parent)
    : OstransIndicator(parent)
{}

QSize OstransLed::sizeHint() const
{
    return {20, 20};
}

void OstransLed::drawPicture(QPainter &painter, const QRectF &rect, int picture) const
{
    const QRectF square = PanelPainting::centredSquare(rect);
    const QPointF c = square.center();
    const qreal s = square.width();
    const bool lit = picture == OnPicture;

    if (lit)
        PanelPainting::drawGlow(painter, c, s * 0.5, QColor(90, 255, 90, 230));
    PanelPainting::drawBezelRing(painter, c, s * 0.37, s * 0.30);

    const qreal lens = s * 0.30;
    QRadialGradient body(c, lens, c - QPointF(lens * 0.3, lens * 0.35));
    if (lit) {
        body.setColorAt(0.0, QColor(0xf0, 0xff, 0xe8));
        body.setColorAt(0.3, QColor(0x8c, 0xff, 0x7a));
        body.setColorAt(0.75, QColor(0x22, 0xc8, 0x2a));
        body.setColorAt(1.0, QColor(0x0c, 0x70, 0x12));
    } else {
        body.setColorAt(0.0, QColor(0x5a, 0x78, 0x58));
        body.setColorAt(0.45, QColor(0x23, 0x42, 0x26));
        body.setColorAt(1.0, QColor(0x0b, 0x1a, 0x0d));
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(body);
    painter.drawEllipse(c, lens, lens);

    PanelPainting::drawGlint(
        painter, QRectF(c.x() - lens * 0.6, c.y() - lens * 0.88, lens * 1.2, lens * 0.8),
        lit ? 200 : 110);
}
