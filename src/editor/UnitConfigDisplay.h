#pragma once

#include <QString>
#include <array>

class ZelkData;

// What the editor shows for a unit record it has read: the option each
// stored value selects, the texts of the fields and which of them can be
// edited. Kept apart from the window so the mapping can be checked alone.
class UnitConfigDisplay
{
public:
    enum class LimitMode { None, Normal, Latching, Hiccup, CurrentShare };

    struct Module
    {
        bool tabEnabled = false;
        QString majorVersion;
        QString minorVersion;
        QString groupId;
        bool voltageProgramming = false; // else resistance programming
        bool polarityNormal = false;     // else inverted
        bool startUpOn = false;          // else normally off
        QString setpoint;
        int setpointSlider = 0; // tenths of a volt
        // Module-good limits in volts; only filled when the record holds them.
        bool limitsShown = false;
        QString highLimit;
        QString lowLimit;
        bool limitsEditable = true; // both stored limits 0 means "limits off"
        bool startUpDelayShown = false;
        QString startUpDelay;
        LimitMode limitMode = LimitMode::None;
        QString currentLimit;
        int currentLimitScroll = 0;
        QString activationTime;
        QString resetTime;
        bool enableReset = false;
        // Start-up state, delay and polarity act only for a module of group 1.
        bool startUpEditable = false;
    };

    // What the unit reader left besides the record.
    struct Context
    {
        bool defaultGlobalState = false;
        bool defaultGlobalPolarity = false;
        std::array<double, 5> voltageScaleFactor{};
        QString decimalSeparator = QStringLiteral(".");
    };

    QString psid;
    QString serialNumber;
    QString majorVersion;
    QString minorVersion;
    // true selects the option pair's first button (index 0).
    bool fanFailFirst = false;
    bool globalDCFirst = false;
    bool overTempFirst = false;
    bool globalFirst = false;
    bool globalOnOffFirst = false;
    std::array<Module, 5> modules; // module m at m - 1

    const Module &module(int m) const { return modules.at(m - 1); }

    static UnitConfigDisplay fromRecord(const ZelkData &record, const Context &context);

    // A stored number as the user reads it, rounded (halves to even).
    static QString roundedText(double value, int decimals, const QString &separator);
    // The value of a number text; a text that is not a number counts as 0.
    static double valueOf(const QString &text, const QString &separator);
};
