#pragma once

#include "SmokeSupport.h"

#include <QPoint>
#include <QProcessEnvironment>
#include <QSize>
#include <QStringList>

// A virtual X display of the test's own, on a display number the server
// picks free, seen and driven the way a user would: which windows are up
// under which captions, clicks and keys.
class VirtualDisplay
{
public:
    // Starts the server; false (with why in error()) when it cannot.
    [[nodiscard]] bool start();
    QString error() const { return m_error; }
    // The test's environment with DISPLAY naming this display.
    QProcessEnvironment environment() const;

    struct Window
    {
        QString id;
        QString caption;
    };
    // Top-level windows on screen, in stacking order.
    QList<Window> visibleWindows() const;
    QStringList visibleCaptions() const;
    QSize windowSize(const QString &id) const;

    // A left click at a point of the window, the pointer then moved away so
    // that no tooltip comes up over what the test looks at.
    void click(const QString &id, QPoint at) const;
    // Gives the window the keyboard (there is no window manager to do it)
    // and types the keys, xdotool style ("alt+f", "Return").
    void keys(const QString &id, const QStringList &keys) const;

private:
    QString xdotool(const QStringList &arguments, bool *ok = nullptr) const;

    ChildProcess m_server;
    QString m_name;
    QString m_error;
};
