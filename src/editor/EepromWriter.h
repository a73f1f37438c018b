#pragma once

#include "configfile/FieldRules.h"
#include "core/ZelkDevice.h"

#include <QObject>
#include <QString>
#include <functional>
#include <optional>

// Writes the editor's settings into a unit's EEPROM. Each setting is read
// back first and only written when the unit holds something else, so a
// write wears the memory only where needed. Failures and refused values are
// told to the user here; the window only shows progress.
class EepromWriter : public QObject
{
    Q_OBJECT
public:
    // Option values: 1 for the first button of the option's pair.
    struct UnitOptions
    {
        qint16 fanFail = 0;
        qint16 globalDC = 0;
        qint16 overTemp = 0;
        qint16 globalOnOff = 0;
        qint16 global = 0;
    };

    // Number fields as the user typed them, in the user's decimal separator.
    struct ModuleSettings
    {
        qint16 programmingMode = 0;
        qint16 polarity = 0;
        qint16 startUpState = 0;
        QString startUpDelay;
        QString setpoint;
        QString highLimit;
        QString lowLimit;
        FieldRules::LimitMode limitMode = FieldRules::LimitMode::Normal;
        bool enableReset = false;
        QString currentLimit;
        QString activationTime;
        QString resetTime;
    };

    // Device counts per volt and per ampere of the module's type.
    struct Scale
    {
        double voltage = 0;
        double current = 0;
    };

    enum class Result {
        Written, // every setting is now in the unit
        Refused, // the unit answered, but some values could not be written
        Failed,  // a reply other than CMD_OK
    };

    // The module fields whose numbers a write converts for the unit.
    enum class Field {
        StartUpDelay,
        Setpoint,
        HighLimit,
        LowLimit,
        CurrentLimit,
        ActivationTime,
        ResetTime
    };
    struct Refusal
    {
        Field field;
        QString message;
    };

    EepromWriter(ZelkDevice &device, const QString &unit, const QString &port,
                 const QString &separator);

    // The first value of the module's settings, in the order a write sends
    // them, that the unit cannot hold: no number, a time outside 0..65535 ms,
    // or a number that with the module's scale factor leaves 16 bits. Values
    // the write does not send (a set-point of 0, limits without a voltage
    // factor, a current limit the mode does not use) are not asked about.
    [[nodiscard]] std::optional<Refusal> unwritable(qint16 m, const ModuleSettings &settings,
                                                    const Scale &scale) const;
    // Whether the set-point text is one the write sends (a number near 0 means "not set").
    [[nodiscard]] bool sendsSetpoint(const QString &setpoint) const;

    // Every option is tried even after one fails.
    Result writeUnitOptions(const UnitOptions &options);
    // Stops at the first failed reply; writes nothing when a value is unwritable.
    Result writeModule(qint16 m, const ModuleSettings &settings, const Scale &scale);

    static constexpr double SetpointThreshold = 0.009;

signals:
    // A reply other than CMD_OK came back.
    void failed();

private:
    bool openPort();
    void closePort();
    bool check(const QString &reply);
    // Get, compare, Set when different; false when the last reply failed.
    template<typename Value, typename Get, typename Set>
    bool getCompareSet(Value wanted, Get get, Set set);
    std::optional<qint16> raw16(const QString &text, double factor) const;
    std::optional<qint32> milliseconds(const QString &text) const;
    void refuse(const QString &text);

    ZelkDevice &m_device;
    QString m_unit;
    QString m_port;
    QString m_separator;
    bool m_portOpen = false;
    bool m_refused = false;
};
