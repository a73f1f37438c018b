#pragma once

#include "core/clsScalability.h"
#include "device/ZelkData.h"
#include "metrics/LiveState.h"

#include <QObject>
#include <QString>
#include <array>
#include <optional>

// The monitor's conversations with the unit in hand and the decoding of what
// it answers. Every burst opens the port and closes it again.
class MonitorSession : public QObject
{
    Q_OBJECT
public:
    explicit MonitorSession(QObject *parent = nullptr);

    ZelkData &data() { return m_data; }
    const ZelkData &data() const { return m_data; }
    // The ratings of module m (1..5) of the unit read last here: another
    // window's read of another unit does not change them.
    const clsScalability &ratings(int m) const;
    // The read found the module types (the outputs are not held off).
    bool modulesKnown() const { return m_modulesKnown; }

    // The monitor read; short while ZelkGlobals::MonitorCycleActive is set.
    // What it saw (or that the unit did not answer) goes to the process's
    // LiveState; while metrics are served, a unit's first answered read also
    // fetches its serial numbers.
    void readUnit(const QString &unit);
    // Sets the record's output states and ZelkGlobals::OutputStateText:
    // modules 1..5 and "000"; all "0" while the module types are unknown.
    // False when the unit did not say: none is taken for on.
    bool readOutputStates(const QString &unit);
    // Turn-on delay in ms of each present module (index 1..5, 0 elsewhere);
    // a failed read is recorded and leaves that module at 0.
    std::array<qint32, 6> readTurnOnDelays(const QString &unit);
    // The unit's operating-hours text ("0" when it reports none), or nothing
    // when the unit did not answer (written to the error file).
    std::optional<QString> readOperatingHours(const QString &unit);

    // What one output burst left behind: the reply of its set call and the
    // module's measurements in volts and amperes (two decimals).
    struct OutputBurst
    {
        QString reply;
        QString volts;
        QString amps;
        [[nodiscard]] bool ok() const;
    };
    // Switches module m's output, lets it settle 0.1 s, measures it and reads
    // the module-good and output states back, into the record too.
    OutputBurst setOutputState(const QString &unit, int m, bool on);
    // Sends a raw set-point to module m, then measures and reads back as above.
    OutputBurst setVoltageSetpoint(const QString &unit, int m, qint16 raw);
    // The unit's global output and group switches; failures set ErrorFlag.
    void setGlobalOutput(const QString &unit, bool on);
    void setGroup(const QString &unit, bool on);

    // A raw measurement in volts or amperes by a module's true scale factor,
    // rounded to two decimals; the raw number itself when the factor is unusable.
    static QString measuredText(qint16 raw, double factor);

    // Operating hours as shown: a whole number, negative ones wrapped into
    // 16 bits, thousands grouped.
    static QString formatHours(const QString &hours);
    // The hours box's text without its grouping, so a log line keeps its columns.
    static QString plainHours(const QString &shown);
    // A module-good threshold of module m in volts, as the editor shows it.
    QString limitText(int m, const QString &raw) const;
    // The same as a number, or nothing when it cannot be worked out.
    std::optional<double> limitVolts(int m, const QString &raw) const;
    // "0", the group number, or M[n] / S[n] for the master or slave of group n.
    QString groupCaption(int m) const;

    // The record as the live state keeps it.
    LiveState::Unit livePicture() const;

private:
    void publish(const QString &unit, double seconds);
    // Measures module m and reads the states back, inside an open port.
    void readBack(const QString &unit, int m, OutputBurst &burst);
    void setOutputStates(const StatusArray &states);
    // Writes a failed set call to the error file and raises ErrorFlag.
    static void recordFailure(const char *method, const QString &unit, int m, const QString &reply);

    ZelkData m_data;
    std::array<clsScalability, 5> m_ratings;
    bool m_modulesKnown = false;
};
