#include "monitor/ModuleState.h"

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

ModuleState::Kind ModuleState::of(const Reading &r, bool unitRead)
{
    if (!r.present)
        return NotPresent;
    if (!r.outputOn)
        return Off;
    if (!r.goodBit)
        return Fault;
    if (r.volts && r.low && r.high && !insideWindow(*r.volts, *r.low, *r.high))
        return unitRead ? OutOfLimitsRead : OutOfLimits;
    return Good;
}
