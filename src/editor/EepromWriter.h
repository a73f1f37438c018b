#pragma once

#include "FieldRules.h"
#include "ZelkDevice.h"

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

    EepromWriter(ZelkDevice &device, const QString &unit, const QString &port,
                 const QString &separator);

    // Every option is tried even after one fails.
    Result writeUnitOptions(const UnitOptions &options);
    // Stops at the first failed reply.
    Result writeModule(qint16 m, const ModuleSettings &settings, const Scale &scale);

    static const QString FailureText;
    static const QString FailureTitle;
    static const QString RefusalTitle;
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
    std::optional<qint16> raw16(qint16 m, const QString &what, const QString &text, double factor);
    std::optional<qint32> milliseconds(qint16 m, const QString &what, const QString &text);
    void refuse(const QString &text);

    ZelkDevice &m_device;
    QString m_unit;
    QString m_port;
    QString m_separator;
    bool m_portOpen = false;
    bool m_refused = false;
};
