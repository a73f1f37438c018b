#include "core_windows/ScreenFit.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace {

QScreen *screenOf(const QWidget *window)
{
    // The screen under most of the window, where a window manager placed it;
    // before that the one Qt gave it.
    if (QScreen *at = QGuiApplication::screenAt(window->frameGeometry().center()))
        return at;
    return window->screen();
}

// What the frame adds to the client area: title bar and borders.
QSize frameExtra(const QWidget *window)
{
    return window->frameGeometry().size() - window->size();
}

} // namespace

QRect ScreenFit::within(const QRect &frame, const QRect &available)
{
    const QSize size = frame.size().boundedTo(available.size());
    const int x = std::clamp(frame.x(), available.left(), available.right() + 1 - size.width());
    const int y = std::clamp(frame.y(), available.top(), available.bottom() + 1 - size.height());
    return {QPoint(x, y), size};
}

QSize ScreenFit::boundedSize(const QWidget *window, const QSize &wanted)
{
    const QScreen *screen = screenOf(window);
    if (!screen)
        return wanted;
    return wanted.boundedTo(screen->availableGeometry().size() - frameExtra(window));
}

void ScreenFit::keepOnScreen(QWidget *window)
{
    const QScreen *screen = screenOf(window);
    if (!screen || !window->isWindow())
        return;
    const QRect available = screen->availableGeometry();
    const QRect frame = window->frameGeometry();
    const QRect fitted = within(frame, available);
    if (fitted == frame)
        return;
    if (fitted.size() != frame.size())
        window->resize(fitted.size() - frameExtra(window));
    // Its minimum size may keep it larger than asked: place what it became.
    window->move(
        within(QRect(fitted.topLeft(), window->frameGeometry().size()), available).topLeft());
}
