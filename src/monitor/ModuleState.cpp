#include "ModuleState.h"

QString ModuleState::caption(Kind kind)
{
    switch (kind) {
    case Off:
        return QStringLiteral("Module Off");
    case Good:
        return QStringLiteral("Module Good");
    case OutOfLimits:
        return QStringLiteral("Out of Limits Voltage");
    case OutOfLimitsRead:
        return QStringLiteral("Out of Limits Volt.");
    case Fault:
        return QStringLiteral("O u t p u t   F a u l t !");
    case NotPresent:
        return QStringLiteral("Not Present");
    }
    return {};
}

quint32 ModuleState::color(Kind kind)
{
    switch (kind) {
    case Good:
        return Green;
    case NotPresent:
        return Black;
    default:
        return Red;
    }
}

bool ModuleState::insideWindow(double volts, double low, double high)
{
    if (low == 0.0 && high == 0.0)
        return true;
    return volts >= low && volts <= high;
}
