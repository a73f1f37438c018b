#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>

// Tells when a window is really on screen: the first paint of the window
// while its platform window is exposed, reported once that paint pass is
// over. Start-up benchmarks time programs to this moment, so the program and
// the bare Qt floor it is compared with must use the same probe.
class ShownProbe : public QObject
{
public:
    ShownProbe(QWidget *window, std::function<void()> onShown);

    // Variable that makes a program report its first window and end.
    static constexpr const char *EnvironmentVariable = "ZELK_EXIT_WHEN_SHOWN";
    static constexpr const char *Marker = "shown\n";

    // With the variable set: writes the marker on standard output when
    // `window` is shown, then ends the event loop. Does nothing otherwise.
    static void exitWhenShownIfAsked(QWidget *window);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPointer<QWidget> m_window;
    std::function<void()> m_onShown;
    bool m_fired = false;
};
