#pragma once

#include <QRect>

class QWidget;

// Keeps a window on the screen it opens on: its frame within the screen's
// available area (no panel or dock under it), shrunk to that area where it
// is larger. The windows call it when shown, and the monitor again when it
// grows to its large layout.
class ScreenFit
{
public:
    // Where a frame goes: moved in as little as it takes, its size bounded by
    // the area; a frame larger than the area starts at the area's top left.
    static QRect within(const QRect &frame, const QRect &available);
    // The largest client size whose frame fits the window's screen, up to
    // `wanted`.
    static QSize boundedSize(const QWidget *window, const QSize &wanted);
    // Moves and shrinks a top-level window so that its frame lies on its
    // screen; a window that may not shrink that far keeps its top left in
    // sight.
    static void keepOnScreen(QWidget *window);
};
