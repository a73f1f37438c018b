#pragma once

#include <QString>
#include <QWidget>
#include <functional>

// Windows that open one another without knowing each other's classes: the
// program registers a factory per window name; the first request makes the
// window, later ones return the same one.
namespace WindowRegistry {

inline const QString Launcher = QStringLiteral("MainForm");
inline const QString Editor = QStringLiteral("SupplyConfig");
inline const QString Monitor = QStringLiteral("MonitorForm");
inline const QString FrameTraffic = QStringLiteral("FrameTraffic");
inline const QString TestPlans = QStringLiteral("TestPlans");

using Factory = std::function<QWidget *()>;

void registerWindow(const QString &name, Factory factory);
// The window, made on first use; null when no factory is registered.
QWidget *window(const QString &name);
// The window if it was made already, else null.
QWidget *existing(const QString &name);
// Shows the window (made on first use); false when none is registered.
bool show(const QString &name);
// Controls of libraries that windows here cannot link (the 3D caption) are
// made through a registered factory too; without one, a plain stand-in with
// the same named properties is made.
using ControlFactory = std::function<QWidget *(QWidget *parent)>;
void registerControl(const QString &name, ControlFactory factory);
QWidget *createControl(const QString &name, QWidget *parent);

// Forgets every factory and window (the windows are not deleted: their
// owners do that).
void clear();

} // namespace WindowRegistry
