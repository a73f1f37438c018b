#include "core_windows/LauncherPictures.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace {
QPixmap canvas(const QSize &size, qreal dpr)
{
    QPixmap pm(size * dpr);
    pm.setDevicePixelRatio(dpr);
    pm.fill(Qt::transparent);
    return pm;
}

void panelFace(QPainter &p, const QRectF &r, const QColor &top, const QColor &bottom)
{
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    p.setPen(QPen(QColor(40, 44, 52), 2));
    p.setBrush(g);
    p.drawRoundedRect(r, 10, 10);
}

void digits(QPainter &p, const QRectF &r, const QString &text, const QColor &colour)
{
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(12, 14, 16));
    p.drawRoundedRect(r, 4, 4);
    // The application's family, whose digits are of equal width: another
    // family would add a font look-up and load to the program's start.
    QFont f = p.font();
    f.setBold(true);
    // Fit the width too: four characters and a point in a narrow window.
    f.setPixelSize(int(qMin(r.height() * 0.7, r.width() / (text.size() * 0.66))));
    p.setFont(f);
    p.setPen(colour);
    p.drawText(r, Qt::AlignCenter, text);
}

void lamp(QPainter &p, const QPointF &c, qreal radius, const QColor &colour)
{
    QRadialGradient g(c, radius * 2);
    g.setColorAt(0, colour.lighter(160));
    g.setColorAt(0.5, colour);
    g.setColorAt(1, Qt::transparent);
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    // The glow is transparent at its rim, so its edge needs no antialiasing;
    // antialiased, Qt splits a gradient fill of this size over a thread pool
    // whose start costs more than the drawing.
    p.setRenderHint(QPainter::Antialiasing, false);
    p.drawEllipse(c, radius * 2, radius * 2);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(colour);
    p.drawEllipse(c, radius, radius);
}
} // namespace

namespace LauncherPictures {

QPixmap monitorPicture(const QSize &size, qreal dpr)
{
    QPixmap pm = canvas(size, dpr);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(4, 4, size.width() - 8, size.height() - 8);
    panelFace(p, r, QColor(86, 98, 118), QColor(44, 52, 66));
    const qreal w = r.width(), h = r.height();
    // Five module panels, each with a voltmeter, an ammeter and a lamp.
    const char *volts[] = {"3.30", "12.0", "24.0", "48.0", "5.00"};
    const char *amps[] = {"41.2", "7.85", "3.10", "0.00", "1.27"};
    const qreal colW = (w - 24) / 5;
    for (int i = 0; i < 5; ++i) {
        const qreal x = r.left() + 12 + i * colW;
        QRectF slot(x + 3, r.top() + 14, colW - 6, h - 28);
        p.setPen(QPen(QColor(30, 34, 40), 1));
        p.setBrush(QColor(58, 66, 80));
        p.drawRoundedRect(slot, 5, 5);
        const qreal dh = slot.height() * 0.2;
        digits(p, QRectF(slot.left() + 5, slot.top() + 10, slot.width() - 10, dh),
               QString::fromLatin1(volts[i]), QColor(255, 70, 60));
        digits(p, QRectF(slot.left() + 5, slot.top() + 16 + dh, slot.width() - 10, dh),
               QString::fromLatin1(amps[i]), QColor(80, 255, 110));
        lamp(p, QPointF(slot.center().x(), slot.bottom() - slot.height() * 0.22), dh * 0.22,
             i == 3 ? QColor(200, 40, 30) : QColor(60, 230, 90));
    }
    return pm;
}

QPixmap editorPicture(const QSize &size, qreal dpr)
{
    QPixmap pm = canvas(size, dpr);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(4, 4, size.width() - 8, size.height() - 8);
    panelFace(p, r, QColor(236, 238, 242), QColor(196, 202, 212));
    // A memory chip on the left.
    const QRectF chip(r.left() + r.width() * 0.08, r.top() + r.height() * 0.22, r.width() * 0.3,
                      r.height() * 0.56);
    p.setPen(QPen(QColor(150, 150, 150), 3));
    for (int i = 0; i < 6; ++i) {
        const qreal y = chip.top() + 10 + i * (chip.height() - 20) / 5;
        p.drawLine(QPointF(chip.left() - 10, y), QPointF(chip.left(), y));
        p.drawLine(QPointF(chip.right(), y), QPointF(chip.right() + 10, y));
    }
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(34, 36, 40));
    p.drawRoundedRect(chip, 4, 4);
    p.setPen(QColor(220, 220, 220));
    QFont f = p.font();
    f.setBold(true);
    f.setPixelSize(int(chip.height() * 0.16));
    p.setFont(f);
    p.drawText(chip, Qt::AlignCenter, QStringLiteral("EEPROM"));
    // Settings sliders on the right.
    const qreal left = r.left() + r.width() * 0.5, right = r.right() - r.width() * 0.06;
    const qreal knobs[] = {0.7, 0.35, 0.55, 0.85};
    for (int i = 0; i < 4; ++i) {
        const qreal y = r.top() + r.height() * (0.24 + i * 0.17);
        p.setPen(QPen(QColor(120, 128, 140), 4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(left, y), QPointF(right, y));
        p.setPen(QPen(QColor(29, 53, 87), 4, Qt::SolidLine, Qt::RoundCap));
        const qreal kx = left + (right - left) * knobs[i];
        p.drawLine(QPointF(left, y), QPointF(kx, y));
        p.setPen(QPen(QColor(29, 53, 87), 2));
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(kx, y), 7, 7);
    }
    return pm;
}

QPixmap logo(const QSize &size, qreal dpr)
{
    QPixmap pm = canvas(size, dpr);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = qMin(size.width(), size.height());
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(29, 53, 87));
    p.drawEllipse(QRectF(2, 2, s - 4, s - 4));
    QPainterPath bolt;
    bolt.moveTo(s * 0.56, s * 0.16);
    bolt.lineTo(s * 0.32, s * 0.54);
    bolt.lineTo(s * 0.5, s * 0.54);
    bolt.lineTo(s * 0.42, s * 0.86);
    bolt.lineTo(s * 0.7, s * 0.44);
    bolt.lineTo(s * 0.52, s * 0.44);
    bolt.closeSubpath();
    p.setBrush(QColor(255, 200, 60));
    p.drawPath(bolt);
    QFont f = p.font();
    f.setBold(true);
    f.setPixelSize(int(size.height() * 0.42));
    p.setFont(f);
    p.setPen(QColor(29, 53, 87));
    p.drawText(QRectF(s + 6, 0, size.width() - s - 6, size.height()), Qt::AlignVCenter,
               QStringLiteral("Zelk"));
    return pm;
}

QPixmap portButton(const QSize &size, qreal dpr)
{
    QPixmap pm = canvas(size, dpr);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(size.width() * 0.15, size.height() * 0.3, size.width() * 0.7,
                   size.height() * 0.4);
    QPainterPath shell;
    shell.moveTo(r.topLeft());
    shell.lineTo(r.topRight());
    shell.lineTo(r.right() - r.width() * 0.1, r.bottom());
    shell.lineTo(r.left() + r.width() * 0.1, r.bottom());
    shell.closeSubpath();
    p.setPen(QPen(QColor(40, 44, 52), 1.5));
    p.setBrush(QColor(120, 130, 150));
    p.drawPath(shell);
    p.setBrush(QColor(240, 240, 240));
    for (int i = 0; i < 5; ++i)
        p.drawEllipse(QPointF(r.left() + r.width() * (0.2 + i * 0.15), r.top() + r.height() * 0.35),
                      1.6, 1.6);
    for (int i = 0; i < 4; ++i)
        p.drawEllipse(QPointF(r.left() + r.width() * (0.27 + i * 0.15), r.top() + r.height() * 0.7),
                      1.6, 1.6);
    return pm;
}

QPixmap exitButton(const QSize &size, qreal dpr)
{
    QPixmap pm = canvas(size, dpr);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = qMin(size.width(), size.height());
    const QPointF c(size.width() / 2.0, size.height() / 2.0);
    p.setPen(QPen(QColor(190, 40, 40), s * 0.1, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRectF(c.x() - s * 0.3, c.y() - s * 0.28, s * 0.6, s * 0.6), 120 * 16, 300 * 16);
    p.drawLine(QPointF(c.x(), c.y() - s * 0.36), QPointF(c.x(), c.y() - s * 0.02));
    return pm;
}

} // namespace LauncherPictures
