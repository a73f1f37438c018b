#pragma once

#include <QColor>
#include <QRectF>

class QPainter;

// Shared strokes of the instrument-panel pictures, drawn with vectors so they
// stay crisp at any device pixel ratio.
namespace PanelPainting {
// The largest square centred in rect.
QRectF centredSquare(const QRectF &rect);
// A soft halo of light around centre, fading out at radius.
void drawGlow(QPainter &painter, const QPointF &centre, qreal radius, const QColor &color);
// A polished metal ring between the two radii, lit from the upper left.
void drawBezelRing(QPainter &painter, const QPointF &centre, qreal outer, qreal inner);
// A glassy reflection in the upper part of rect.
void drawGlint(QPainter &painter, const QRectF &rect, int alpha);
} // namespace PanelPainting
