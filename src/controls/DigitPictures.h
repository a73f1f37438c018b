#pragma once

#include <QRectF>

class QPainter;

// The pictures of the numeric display: seven-segment digits in two colours
// (red for set 1, green for set 2), a blank position, a decimal point, and
// the dashed picture of an empty text. Numbers as in DisplayPictures.
namespace DigitPictures {
void draw(QPainter &painter, const QRectF &cell, int picture);
} // namespace DigitPictures
