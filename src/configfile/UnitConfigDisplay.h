#pragma once

#include <QString>
#include <array>

class ZelkData;

// What the editor shows for a unit record it has read: the option each
// stored value selects, the texts of the fields and which of them can be
// edited; and the way back, the form's values into the record as a save
// copies them. Kept apart from the window so both directions can be checked
// alone, and so a save without the window writes what the editor writes.
class UnitConfigDisplay
{
public:
    enum class LimitMode { None, Normal, Latching, Hiccup, CurrentShare };

    struct Module
    {
        bool tabEnabled = false;
        QString moduleCode; // the type's name
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
    // The form's values back into the record. Only modules whose settings the
    // form showed (collected, module m at m - 1) give theirs back; a number
    // still shown as the held one was shown keeps the held text, and a field
    // the record never held stays unheld when the form shows nothing for it.
    void toRecord(ZelkData &record, const Context &context,
                  const std::array<bool, 5> &collected) const;
    // A record as the editor saves it after showing it unchanged; modulesShown:
    // the read got the module settings (the outputs were not held off).
    static void asShown(ZelkData &record, const Context &context, bool modulesShown);

    // A stored number as the user reads it, rounded (halves to even).
    static QString roundedText(double value, int decimals, const QString &separator);
    // The value of a number text; a text that is not a number counts as 0.
    static double valueOf(const QString &text, const QString &separator);
    // The held number when the form still shows it as it showed it; else the
    // form's value brought back to the held scale (factor counts per unit).
    static QString numberBack(const QString &shown, const QString &held, double factor,
                              const QString &separator);
};
