#include "controls/OstransBigSquareLed.h"

#include "controls/PanelPainting.h"

#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

OstransBigSquareLed::OstransBigSquareLed(QWidget *parent)
    : OstransIndicator(parent)
{}

QSize OstransBigSquareLed::sizeHint() const
{
    return {32, 32};
}

void OstransBigSquareLed::drawPicture(QPainter &painter, const QRectF &rect, int picture) const
{
    const QRectF square = PanelPainting::centredSquare(rect).adjusted(0.5, 0.5, -0.5, -0.5);
    const qreal s = square.width();
    const bool lit = picture == OnPicture;

    // Raised frame, lit from the upper left.
    QLinearGradient frame(square.topLeft(), square.bottomRight());
    frame.setColorAt(0.0, QColor(0xe6, 0xe6, 0xe6));
    frame.setColorAt(0.5, QColor(0x8e, 0x91, 0x96));
    frame.setColorAt(1.0, QColor(0x35, 0x37, 0x3a));
    painter.setPen(QPen(QColor(0x20, 0x20, 0x20), qMax<qreal>(0.8, s * 0.02)));
    painter.setBrush(frame);
    painter.drawRoundedRect(square, s * 0.1, s * 0.1);

    // The lamp sits in a recess: dark upper-left edge, light lower-right.
    const QRectF well = square.adjusted(s * 0.12, s * 0.12, -s * 0.12, -s * 0.12);
    QLinearGradient recess(well.topLeft(), well.bottomRight());
    recess.setColorAt(0.0, QColor(0x18, 0x18, 0x18));
    recess.setColorAt(1.0, QColor(0xe0, 0xe0, 0xe0));
    painter.setPen(Qt::NoPen);
    painter.setBrush(recess);
    painter.drawRoundedRect(well, s * 0.05, s * 0.05);

    const QRectF face = well.adjusted(s * 0.035, s * 0.035, -s * 0.035, -s * 0.035);
    QRadialGradient light(face.center(), face.width() * 0.75);
    if (lit) {
        light.setColorAt(0.0, QColor(0xf4, 0xff, 0xee));
        light.setColorAt(0.3, QColor(0x7c, 0xff, 0x68));
        light.setColorAt(0.75, QColor(0x1e, 0xc0, 0x2c));
        light.setColorAt(1.0, QColor(0x0e, 0x7a, 0x18));
    } else {
        light.setColorAt(0.0, QColor(0x3c, 0x58, 0x3e));
        light.setColorAt(0.7, QColor(0x1a, 0x2e, 0x1c));
        light.setColorAt(1.0, QColor(0x0d, 0x18, 0x0e));
    }
    painter.setBrush(light);
    painter.drawRoundedRect(face, s * 0.03, s * 0.03);

    // Frosted diffuser: a fine grid over the lamp.
    painter.save();
    painter.setClipRect(face);
    painter.setPen(QPen(QColor(255, 255, 255, lit ? 40 : 18), qMax<qreal>(0.5, s * 0.012)));
    const int lines = 6;
    for (int i = 1; i < lines; ++i) {
        const qreal x = face.left() + face.width() * i / lines;
        const qreal y = face.top() + face.height() * i / lines;
        painter.drawLine(QPointF(x, face.top()), QPointF(x, face.bottom()));
        painter.drawLine(QPointF(face.left(), y), QPointF(face.right(), y));
    }
    painter.restore();

    // Glass reflection over the upper half.
    QLinearGradient glass(face.topLeft(), QPointF(face.left(), face.center().y()));
    glass.setColorAt(0.0, QColor(255, 255, 255, lit ? 130 : 70));
    glass.setColorAt(1.0, QColor(255, 255, 255, 0));
    painter.setBrush(glass);
    painter.drawRoundedRect(QRectF(face.left(), face.top(), face.width(), face.height() * 0.5),
                            s * 0.03, s * 0.03);

    if (lit) {
        // Light spilling onto the inner edge of the frame.
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(QColor(120, 255, 110, 90), s * 0.05));
        painter.drawRoundedRect(well, s * 0.05, s * 0.05);
    }
}
