#include "controls/DigitPictures.h"

#include "controls/DisplayPictures.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <utility>

namespace DigitPictures {
namespace {

enum Segment { A, B, C, D, E, F, G, SegmentCount };

// Segments lit for 0..9, as bits A (top) to G (middle).
constexpr int DigitSegments[10] = {
    0b0111111, // 0: A B C D E F
    0b0000110, // 1: B C
    0b1011011, // 2: A B D E G
    0b1001111, // 3: A B C D G
    0b1100110, // 4: B C F G
    0b1101101, // 5: A C D F G
    0b1111101, // 6: A C D E F G
    0b0000111, // 7: A B C
    0b1111111, // 8
    0b1101111, // 9: A B C D F G
};

QPolygonF horizontal(qreal x0, qreal x1, qreal y, qreal t, qreal gap)
{
    const qreal h = t / 2;
    return QPolygonF({{x0 + gap, y},
                      {x0 + gap + h, y - h},
                      {x1 - gap - h, y - h},
                      {x1 - gap, y},
                      {x1 - gap - h, y + h},
                      {x0 + gap + h, y + h}});
}

QPolygonF vertical(qreal x, qreal y0, qreal y1, qreal t, qreal gap)
{
    const qreal h = t / 2;
    return QPolygonF({{x, y0 + gap},
                      {x + h, y0 + gap + h},
                      {x + h, y1 - gap - h},
                      {x, y1 - gap},
                      {x - h, y1 - gap - h},
                      {x - h, y0 + gap + h}});
}

struct Glyph
{
    QPainterPath segments[SegmentCount];
    qreal thickness;
};

// Segment outlines for a cell, centred on the origin; the caller slants them.
Glyph glyphFor(const QRectF &cell)
{
    const qreal w = cell.width() * 0.62;
    const qreal h = cell.height() * 0.78;
    const qreal t = qMin(w * 0.22, h * 0.125);
    const qreal gap = t * 0.12;
    const qreal left = -w / 2 + t / 2;
    const qreal right = w / 2 - t / 2;
    const qreal top = -h / 2 + t / 2;
    const qreal bottom = h / 2 - t / 2;
    const QPolygonF polygons[SegmentCount] = {
        horizontal(left, right, top, t, gap), vertical(right, top, 0, t, gap),
        vertical(right, 0, bottom, t, gap),   horizontal(left, right, bottom, t, gap),
        vertical(left, 0, bottom, t, gap),    vertical(left, top, 0, t, gap),
        horizontal(left, right, 0, t, gap),
    };
    Glyph glyph;
    glyph.thickness = t;
    for (int i = 0; i < SegmentCount; ++i)
        glyph.segments[i].addPolygon(polygons[i]);
    return glyph;
}

void drawHalo(QPainter &painter, const QPainterPath &path, qreal t, const QColor &core)
{
    // Light bleeding round the lit segments.
    for (const auto &[width, alpha] : {std::pair{t * 1.3, 28}, std::pair{t * 0.6, 60}}) {
        QColor halo = core;
        halo.setAlpha(alpha);
        painter.setPen(QPen(halo, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(path);
    }
}

// A segment brightest along its spine.
void drawLitSegment(QPainter &painter, const QPainterPath &path, const QColor &core,
                    const QColor &hot)
{
    const QRectF box = path.boundingRect();
    const bool across = box.width() > box.height();
    QLinearGradient fill(box.topLeft(), across ? box.bottomLeft() : box.topRight());
    fill.setColorAt(0.0, core);
    fill.setColorAt(0.5, hot);
    fill.setColorAt(1.0, core);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawPath(path);
}

void drawGhost(QPainter &painter, const Glyph &glyph, const QColor &color)
{
    QColor ghost = color;
    ghost.setAlpha(22);
    painter.setPen(Qt::NoPen);
    painter.setBrush(ghost);
    for (const auto &segment : glyph.segments)
        painter.drawPath(segment);
}
} // namespace

void draw(QPainter &painter, const QRectF &cell, int picture)
{
    using namespace DisplayPictures;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient glass(cell.topLeft(), cell.bottomLeft());
    glass.setColorAt(0.0, QColor(0x14, 0x14, 0x16));
    glass.setColorAt(1.0, QColor(0x06, 0x06, 0x07));
    painter.fillRect(cell, glass);

    const bool secondSet = picture > SetSize && picture <= 2 * SetSize;
    const QColor core = secondSet ? QColor(0x2c, 0xe8, 0x5a) : QColor(0xff, 0x2a, 0x1c);
    const QColor hot = secondSet ? QColor(0xc8, 0xff, 0xd2) : QColor(0xff, 0xb8, 0x9c);
    const int inSet = picture == EmptyText ? 0 : (picture - 1) % SetSize + 1;

    const Glyph glyph = glyphFor(cell);
    painter.translate(cell.center());
    // The slight forward slant of a panel meter's digits.
    painter.shear(-0.07, 0);

    if (picture == EmptyText) {
        // No reading: unlit digits with a grey dash.
        const QColor grey(0x9a, 0x9c, 0xa0);
        drawGhost(painter, glyph, grey);
        drawHalo(painter, glyph.segments[G], glyph.thickness, grey);
        drawLitSegment(painter, glyph.segments[G], grey.darker(130), grey.lighter(130));
    } else if (inSet == Point) {
        const qreal r = glyph.thickness * 0.62;
        const qreal y = cell.height() * 0.39 - r;
        QPainterPath dot;
        dot.addEllipse(QPointF(0, y), r, r);
        drawHalo(painter, dot, glyph.thickness, core);
        QRadialGradient fill(QPointF(0, y), r);
        fill.setColorAt(0.0, hot);
        fill.setColorAt(1.0, core);
        painter.setPen(Qt::NoPen);
        painter.setBrush(fill);
        painter.drawPath(dot);
    } else if (inSet >= 1 && inSet <= Zero) {
        drawGhost(painter, glyph, core);
        const int digit = inSet == Zero ? 0 : inSet;
        QPainterPath lit;
        for (int s = 0; s < SegmentCount; ++s) {
            if (DigitSegments[digit] & (1 << s))
                lit.addPath(glyph.segments[s]);
        }
        drawHalo(painter, lit, glyph.thickness, core);
        for (int s = 0; s < SegmentCount; ++s) {
            if (DigitSegments[digit] & (1 << s))
                drawLitSegment(painter, glyph.segments[s], core, hot);
        }
    } else {
        drawGhost(painter, glyph, core);
    }
    painter.restore();
}
} // namespace DigitPictures
