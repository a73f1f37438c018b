#pragma once

#include <QString>
#include <QtGlobal>

// The state a module panel shows: its caption, the caption's colour (as a
// BGR number, 255 red) and whether the module-good LED is lit.
class ModuleState
{
public:
    enum Kind { Off, Good, OutOfLimits, OutOfLimitsRead, Fault, NotPresent };

    static constexpr quint32 Red = 255;
    static constexpr quint32 Green = 65280;
    static constexpr quint32 Black = 0;

    static QString caption(Kind kind);
    static quint32 color(Kind kind);
    static bool ledOn(Kind kind) { return kind == Good; }

    // Inclusive window; two zero limits accept every voltage (no window set).
    static bool insideWindow(double volts, double low, double high);
};
