#pragma once

#include "monitor/AlarmEvent.h"
#include "monitor/AlarmWatch.h"
#include "monitor/TrendData.h"

#include <QObject>
#include <QString>
#include <array>
#include <deque>
#include <optional>

// What the monitor keeps of the unit it watches beyond the panel: the
// readings of every read, refresh and poll for the trend charts, and the
// events the alarm watch finds in them. Reading another unit starts the
// readings and the watch over; the events, each with its unit, stay (the
// last ShownEvents of them).
class MonitorTrend : public QObject
{
    Q_OBJECT
public:
    static constexpr int ShownEvents = 1000;

    struct ModuleInfo
    {
        bool present = false;
        QString type;
        std::optional<double> low, high; // the module-good window in volts
    };
    struct Reading
    {
        double volts = 0;
        double amps = 0;
    };
    // One look at the unit. A module without a reading (the poll had no
    // answer, or its measurement failed) gets a gap.
    struct Poll
    {
        AlarmWatch::Observation seen;
        std::array<ModuleInfo, 6> modules;              // 1..5, from an answered look
        std::array<std::optional<Reading>, 6> readings; // 1..5
    };

    explicit MonitorTrend(QObject *parent = nullptr);

    // A read of unitId begins: another unit than the last starts over.
    void startUnit(const QString &unitId);
    const QString &unitId() const { return m_unitId; }
    // Keeps the look and returns the events it gave.
    QList<AlarmEvent> record(const Poll &poll);

    const TrendData &data() const { return m_data; }
    const ModuleInfo &module(int m) const;
    // Newest last.
    const std::deque<AlarmEvent> &events() const { return m_events; }

signals:
    void recorded();
    void eventsAdded(const QList<AlarmEvent> &events);

private:
    QString m_unitId;
    TrendData m_data;
    AlarmWatch m_watch;
    std::array<ModuleInfo, 6> m_modules;
    std::deque<AlarmEvent> m_events;
};
