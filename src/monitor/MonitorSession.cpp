#include "monitor/MonitorSession.h"

#include "core/NumberText.h"
#include "core/UnitArg.h"
#include "core/ZelkGlobals.h"
#include "core/ZelkRoutines.h"
#include "core/clsScalability.h"

#include <QCoreApplication>
#include <cmath>

namespace {
QString groupSeparator()
{
    return ZelkGlobals::DecimalSeparator == QLatin1String(",") ? QStringLiteral(".")
                                                               : QStringLiteral(",");
}
} // namespace

MonitorSession::MonitorSession(QObject *parent)
    : QObject(parent)
{}

void MonitorSession::readUnit(const QString &unit)
{
    m_data.ReadZelkMonitor(unit);
    for (int m = 1; m <= 5; ++m)
        m_ratings[std::size_t(m - 1)] = ZelkGlobals::ModuleRatings(m);
    m_modulesKnown = ZelkGlobals::ModuleTypesKnown;
}

const clsScalability &MonitorSession::ratings(int m) const
{
    static const clsScalability none;
    return m >= 1 && m <= 5 ? m_ratings[std::size_t(m - 1)] : none;
}

bool MonitorSession::readOutputStates(const QString &unit)
{
    ZelkDevice &device = *ZelkGlobals::Device;
    StatusArray states;
    device.OpenPort(ZelkGlobals::ComPort);
    const QString reply = device.GetOutputState(unit, states);
    device.ClosePort();
    const bool read = IsCmdOk(reply);
    if (!read)
        states.clear(); // nothing known to be on
    setOutputStates(states);
    return read;
}

void MonitorSession::setOutputStates(const StatusArray &states)
{
    ZelkGlobals::OutputStateText = m_modulesKnown
                                       ? states.toStatusText().left(5) + QStringLiteral("000")
                                       : QStringLiteral("00000000");
    m_data.OutputStatus = ZelkGlobals::OutputStateText;
}

std::array<qint32, 6> MonitorSession::readTurnOnDelays(const QString &unit)
{
    std::array<qint32, 6> delays{};
    ZelkDevice &device = *ZelkGlobals::Device;
    device.OpenPort(ZelkGlobals::ComPort);
    for (int m = 1; m <= 5; ++m) {
        if (ZelkGlobals::ModulePresent[m] != QLatin1String("1"))
            continue;
        qint32 delay = 0;
        const QString reply = device.GetOutputTurnONDelayExUShort(unit, qint16(m), delay);
        if (IsCmdOk(reply)) {
            delays[m] = delay;
            continue;
        }
        const QString where = unit + QStringLiteral(" and Module ") + QString::number(m);
        LogError(QStringLiteral("Error in GetOutputTurnONDelay in Unit  ") + where);
        ZelkGlobals::LastError =
            QStringLiteral("Error in GetOutputTurnONDelay in Unit ") + where + u' ' + reply;
    }
    device.ClosePort();
    return delays;
}

std::optional<QString> MonitorSession::readOperatingHours(const QString &unit)
{
    ZelkDevice &device = *ZelkGlobals::Device;
    QString hours;
    device.OpenPort(ZelkGlobals::ComPort);
    const QString reply = device.GetOperatingHoursString(unit, hours);
    device.ClosePort();
    if (!IsCmdOk(reply)) {
        // The hours shown stay unknown rather than stale; the log says why.
        LogError(QStringLiteral("Error in GetOperatingHoursString in Unit  ") + unit);
        ZelkGlobals::LastError =
            QStringLiteral("Error in GetOperatingHoursString in Unit ") + unit + u' ' + reply;
        return std::nullopt;
    }
    return hours.isEmpty() ? QStringLiteral("0") : hours;
}

bool MonitorSession::OutputBurst::ok() const
{
    return reply == CmdOk;
}

MonitorSession::OutputBurst MonitorSession::setOutputState(const QString &unit, int m, bool on)
{
    ZelkDevice &device = *ZelkGlobals::Device;
    OutputBurst burst;
    device.OpenPort(ZelkGlobals::ComPort);
    burst.reply = device.SetOutputState(unit, qint16(m), on ? 1 : 0);
    QCoreApplication::processEvents();
    // The output needs a moment before it measures its new level.
    Pause(0.1);
    readBack(unit, m, burst);
    device.ClosePort();
    if (!burst.ok())
        recordFailure("SetOutputState", unit, m, burst.reply);
    return burst;
}

MonitorSession::OutputBurst MonitorSession::setVoltageSetpoint(const QString &unit, int m,
                                                               qint16 raw)
{
    ZelkDevice &device = *ZelkGlobals::Device;
    OutputBurst burst;
    device.OpenPort(ZelkGlobals::ComPort);
    burst.reply = device.SetOutputVoltageSetpoint(unit, qint16(m), raw);
    QCoreApplication::processEvents();
    readBack(unit, m, burst);
    device.ClosePort();
    if (!burst.ok())
        recordFailure("SetOutputVoltageSetpoint", unit, m, burst.reply);
    return burst;
}

void MonitorSession::readBack(const QString &unit, int m, OutputBurst &burst)
{
    ZelkDevice &device = *ZelkGlobals::Device;
    const clsScalability &ratings = this->ratings(m);
    qint16 raw = 0;
    if (IsCmdOk(device.MeasureOutputCurrent(unit, qint16(m), raw)))
        burst.amps = measuredText(raw, ratings.CurrentScaleFactor);
    raw = 0;
    if (IsCmdOk(device.MeasureOutputVoltage(unit, qint16(m), raw)))
        burst.volts = measuredText(raw, ratings.VoltageScaleFactor);

    // The state texts are shown again from what the unit says now, not from
    // the last read: a module just switched on has a fresh module-good bit.
    StatusArray good;
    if (IsCmdOk(device.GetModuleGoodStatusByte(unit, good))) {
        ZelkGlobals::ModuleGoodText = good.toStatusText();
        m_data.ModuleGoodStatus = ZelkGlobals::ModuleGoodText;
    }
    StatusArray states;
    if (!IsCmdOk(device.GetOutputState(unit, states)))
        states.clear();
    setOutputStates(states);
    // The record holds what the panel shows: a later refresh starts from it.
    if (!burst.volts.isEmpty())
        m_data.Module(m).MeasuredVoltage = burst.volts;
    if (!burst.amps.isEmpty())
        m_data.Module(m).MeasuredCurrent = burst.amps;
}

void MonitorSession::recordFailure(const char *method, const QString &unit, int m,
                                   const QString &reply)
{
    const QString where = unit + QStringLiteral(" and Module ") + QString::number(m);
    const QString text = QStringLiteral("Error in %1 in Unit ").arg(QLatin1String(method));
    LogError(text + u' ' + where);
    ZelkGlobals::LastError = text + where + u' ' + reply;
    ZelkGlobals::ErrorFlag = true;
}

void MonitorSession::setGlobalOutput(const QString &unit, bool on)
{
    ZelkGlobals::ErrorFlag = false;
    ZelkDevice &device = *ZelkGlobals::Device;
    m_data.UnitID = unit;
    device.OpenPort(ZelkGlobals::ComPort);
    m_data.SetGlobalOutputState(static_cast<qint16>(UnitArg(unit).number()), on ? 1 : 0);
    device.ClosePort();
}

void MonitorSession::setGroup(const QString &unit, bool on)
{
    ZelkGlobals::ErrorFlag = false;
    ZelkDevice &device = *ZelkGlobals::Device;
    m_data.UnitID = unit;
    device.OpenPort(ZelkGlobals::ComPort);
    m_data.SetGroupState(on ? 1 : 0);
    device.ClosePort();
}

QString MonitorSession::measuredText(qint16 raw, double factor)
{
    if (factor == 0.0 || !std::isfinite(factor))
        return QString::number(raw);
    const double value = std::nearbyint(raw / factor * 100.0) / 100.0;
    return ZelkData::FormatDecimals(NumberText::fromDouble(value, ZelkGlobals::DecimalSeparator));
}

QString MonitorSession::formatHours(const QString &hours)
{
    const auto value = NumberText::toDouble(hours.trimmed(), ZelkGlobals::DecimalSeparator);
    if (!value)
        return hours;
    qint64 n = std::llround(*value);
    // The unit counts in 16 bits; a reading past 32767 arrives negative.
    if (n < 0)
        n += 65536;
    QString digits = QString::number(n);
    const QString sep = groupSeparator();
    for (qsizetype at = digits.size() - 3; at > 0 && digits.at(at - 1).isDigit(); at -= 3)
        digits.insert(at, sep);
    return digits;
}

QString MonitorSession::plainHours(const QString &shown)
{
    return QString(shown).remove(groupSeparator());
}

std::optional<double> MonitorSession::limitVolts(int m, const QString &raw) const
{
    const double factor = ratings(m).VoltageScaleFactor;
    const auto value = NumberText::toDouble(raw, QStringLiteral("."));
    if (!value || factor == 0.0)
        return std::nullopt;
    return std::nearbyint(*value / factor * 100.0) / 100.0;
}

QString MonitorSession::limitText(int m, const QString &raw) const
{
    const auto volts = limitVolts(m, raw);
    if (!volts)
        return raw;
    return ZelkData::FormatDecimals(NumberText::fromDouble(*volts, ZelkGlobals::DecimalSeparator));
}

QString MonitorSession::groupCaption(int m) const
{
    const qint16 group = m_data.Module(m).GroupId;
    // Master and slave of group 2, then of group 3.
    for (int g = 2; g <= 3; ++g) {
        if (group != g)
            continue;
        if (m_data.MasterSlave[(g - 2) * 2] == m)
            return QStringLiteral("M[%1]").arg(g);
        if (m_data.MasterSlave[(g - 2) * 2 + 1] == m)
            return QStringLiteral("S[%1]").arg(g);
    }
    return QString::number(group);
}
