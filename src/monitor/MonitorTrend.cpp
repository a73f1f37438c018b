#include "monitor/MonitorTrend.h"

MonitorTrend::MonitorTrend(QObject *parent)
    : QObject(parent)
{}

void MonitorTrend::startUnit(const QString &unitId)
{
    if (unitId == m_unitId)
        return;
    m_unitId = unitId;
    m_data.clear();
    m_watch.reset();
    m_modules = {};
}

const MonitorTrend::ModuleInfo &MonitorTrend::module(int m) const
{
    return m_modules[std::size_t(m >= 1 && m <= 5 ? m : 0)];
}

QList<AlarmEvent> MonitorTrend::record(const Poll &poll)
{
    startUnit(poll.seen.unitId);
    if (poll.seen.answered)
        m_modules = poll.modules;
    const qint64 ms = poll.seen.stamp.toMSecsSinceEpoch();
    for (int m = 1; m <= 5; ++m) {
        if (!m_modules[std::size_t(m)].present)
            continue;
        const auto &r = poll.readings[std::size_t(m)];
        m_data.add(m, ms, r ? std::optional(r->volts) : std::nullopt,
                   r ? std::optional(r->amps) : std::nullopt);
    }
    const QList<AlarmEvent> events = m_watch.observe(poll.seen);
    for (const AlarmEvent &e : events)
        m_events.push_back(e);
    while (m_events.size() > std::size_t(ShownEvents))
        m_events.pop_front();
    emit recorded();
    if (!events.isEmpty())
        emit eventsAdded(events);
    return events;
}
