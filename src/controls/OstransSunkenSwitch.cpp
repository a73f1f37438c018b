#include "controls/OstransSunkenSwitch.h"

#include <QLinearGradient>
#include <QPainter>

OstransSunkenSwitch::OstransSunkenSwitch(QWidget *parent)
    : OstransIndicator(parent)
{}

QSize OstransSunkenSwitch::sizeHint() const
{
    return {26, 42};
}

void OstransSunkenSwitch::drawPicture(QPainter &painter, const QRectF &rect, int picture) const
{
    // Keep the upright proportions of the switch whatever the control's shape.
    qreal w = rect.width();
    qreal h = rect.height();
    if (h < w * 1.6)
        w = h / 1.6;
    else
        h = w * 1.6;
    const QRectF body(rect.center().x() - w / 2, rect.center().y() - h / 2, w, h);
    const bool on = picture == OnPicture;

    // The well: shadowed at the top, catching light at the bottom.
    const QRectF well = body.adjusted(0.5, 0.5, -0.5, -0.5);
    QLinearGradient wellShade(well.topLeft(), well.bottomLeft());
    wellShade.setColorAt(0.0, QColor(0x26, 0x27, 0x29));
    wellShade.setColorAt(1.0, QColor(0x5c, 0x5e, 0x62));
    painter.setPen(Qt::NoPen);
    painter.setBrush(wellShade);
    painter.drawRoundedRect(well, w * 0.16, w * 0.16);
    QLinearGradient rim(well.topLeft(), well.bottomRight());
    rim.setColorAt(0.0, QColor(0, 0, 0, 200));
    rim.setColorAt(1.0, QColor(255, 255, 255, 200));
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QBrush(rim), qMax<qreal>(1.0, w * 0.05)));
    painter.drawRoundedRect(well, w * 0.16, w * 0.16);

    // The track the lever slides in; lit along its open part when on.
    const QRectF track(body.center().x() - w * 0.17, body.top() + h * 0.1, w * 0.34, h * 0.8);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x08, 0x08, 0x08));
    painter.drawRoundedRect(track, w * 0.08, w * 0.08);
    const qreal leverHeight = h * 0.4;
    const QRectF lever(body.center().x() - w * 0.32,
                       on ? track.top() : track.bottom() - leverHeight, w * 0.64, leverHeight);
    if (on) {
        const QRectF open(track.left() + w * 0.04, lever.bottom(), track.width() - w * 0.08,
                          track.bottom() - lever.bottom() - w * 0.04);
        QLinearGradient glow(open.topLeft(), open.topRight());
        glow.setColorAt(0.0, QColor(0x1a, 0xa8, 0x24));
        glow.setColorAt(0.5, QColor(0xb8, 0xff, 0xa8));
        glow.setColorAt(1.0, QColor(0x1a, 0xa8, 0x24));
        painter.setBrush(glow);
        painter.drawRoundedRect(open, w * 0.05, w * 0.05);
    }

    // The lever: brushed metal with grip grooves, shadow cast downwards.
    painter.setBrush(QColor(0, 0, 0, 110));
    painter.drawRoundedRect(lever.translated(0, h * 0.025), w * 0.1, w * 0.1);
    QLinearGradient metal(lever.topLeft(), lever.topRight());
    metal.setColorAt(0.0, QColor(0x9a, 0x9d, 0xa2));
    metal.setColorAt(0.35, QColor(0xf4, 0xf4, 0xf4));
    metal.setColorAt(1.0, QColor(0x6a, 0x6d, 0x72));
    painter.setBrush(metal);
    painter.setPen(QPen(QColor(0x2a, 0x2a, 0x2a), qMax<qreal>(0.8, w * 0.03)));
    painter.drawRoundedRect(lever, w * 0.1, w * 0.1);
    painter.setPen(QPen(QColor(0x50, 0x52, 0x56), qMax<qreal>(0.8, w * 0.035)));
    for (int i = 1; i <= 3; ++i) {
        const qreal y = lever.top() + lever.height() * i / 4.0;
        painter.drawLine(QPointF(lever.left() + w * 0.12, y), QPointF(lever.right() - w * 0.12, y));
    }
}
