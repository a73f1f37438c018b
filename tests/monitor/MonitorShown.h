#pragma once

#include "core/Twips.h"

#include <QImage>
#include <QSet>
#include <QStringList>
#include <QWidget>
#include <ostream>

// Texts in failure messages as text, also inside lists.
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

// The texts several fields show, in one list to compare at once.
template<typename... Field> QStringList texts(const Field *...fields)
{
    return {fields->text()...};
}

// The monitor's two designed layouts; the compact one has the design's
// height and at least its width (wider where the title needs it).
inline constexpr QSize LargeLayout(Twips::toPixels(8850), Twips::toPixels(12075));
inline constexpr QSize SmallLayout(Twips::toPixels(2750), Twips::toPixels(2690));
inline bool compact(const QWidget &w)
{
    return w.height() == SmallLayout.height() && w.width() >= SmallLayout.width() &&
           w.width() < LargeLayout.width();
}

// Where a widget stands in an ancestor.
inline QRect placeIn(const QWidget *w, const QWidget *ancestor)
{
    return QRect(w->mapTo(ancestor, QPoint(0, 0)), w->size());
}

// Whether something is drawn in a part of a picture: more than one colour.
inline bool inked(const QImage &picture, const QRect &part)
{
    QSet<QRgb> colours;
    for (int y = part.top(); y <= part.bottom(); ++y)
        for (int x = part.left(); x <= part.right(); ++x)
            colours.insert(picture.pixel(x, y));
    return colours.size() > 1;
}
