#pragma once

#include "ZelkData.h"

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

    // The monitor read; short while ZelkGlobals::MonitorCycleActive is set.
    void readUnit(const QString &unit);
    // Sets ZelkGlobals::OutputStateText: modules 1..5 and "000"; all "0"
    // while the module types are unknown.
    void readOutputStates(const QString &unit);
    // Turn-on delay in ms of each present module (index 1..5, 0 elsewhere);
    // a failed read is recorded and leaves that module at 0.
    std::array<qint32, 6> readTurnOnDelays(const QString &unit);
    // The unit's operating-hours text ("0" when it reports none), or nothing
    // when the unit did not answer.
    std::optional<QString> readOperatingHours(const QString &unit);

    // Operating hours as shown: a whole number, negative ones wrapped into
    // 16 bits, thousands grouped.
    static QString formatHours(const QString &hours);
    // The hours box's text without its grouping, so a log line keeps its columns.
    static QString plainHours(const QString &shown);
    // A module-good threshold of module m in volts, as the editor shows it.
    QString limitText(int m, const QString &raw) const;
    // "0", the group number, or M[n] / S[n] for the master or slave of group n.
    QString groupCaption(int m) const;

private:
    ZelkData m_data;
};
