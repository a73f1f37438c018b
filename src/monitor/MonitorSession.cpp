#include "monitor/MonitorSession.h"

#include "core/Clock.h"
#include "core/NumberText.h"
#include "core/Seams.h"
#include "core/UnitArg.h"
#include "core/ZelkGlobals.h"
#include "core/ZelkRoutines.h"
#include "core/clsScalability.h"
#include "monitor/ModuleState.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
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
    QElapsedTimer took;
    took.start();
    m_data.ReadZelkMonitor(unit);
    for (int m = 1; m <= 5; ++m)
        m_ratings[std::size_t(m - 1)] = ZelkGlobals::ModuleRatings(m);
    m_modulesKnown = ZelkGlobals::ModuleTypesKnown;
    publish(unit, double(took.nsecsElapsed()) / 1e9);
}

void MonitorSession::publish(const QString &unit, double seconds)
{
    LiveState &live = LiveState::process();
    const int id = unit.toInt();
    live.pollTook(seconds);
    if (ZelkGlobals::ErrorFlag || m_data.ReadFailed) {
        live.silent(id);
        return;
    }
    if (live.wantsIdentity(id)) {
        // Once per unit while someone watches; a failure here is no failed
        // poll, and it is tried again at the next one.
        const bool error = ZelkGlobals::ErrorFlag;
        const QString lastError = ZelkGlobals::LastError;
        if (m_data.OpenPort()) {
            m_data.GetUnitSerialN();
            m_data.GetModuleSerialN();
            m_data.ClosePort();
        }
        ZelkGlobals::ErrorFlag = error;
        ZelkGlobals::LastError = lastError;
    }
    live.answered(id, livePicture(),
                  double(Seams::clock().currentDateTime().toMSecsSinceEpoch()) / 1000.0);
}

LiveState::Unit MonitorSession::livePicture() const
{
    const ZelkData &d = m_data;
    LiveState::Unit u;
    u.serial = d.SerialNumber.trimmed();
    // The record's status flags are true when all is well.
    u.overTemp = !d.OverTemp;
    u.fanFail = !(d.FanWarn && d.FanFail);
    u.acFail = !d.AcOk;
    if (!d.OperatingHours.isEmpty())
        u.hours =
            NumberText::toDouble(plainHours(formatHours(d.OperatingHours)), QStringLiteral("."));
    bool allGood = true;
    for (int m = 1; m <= 5; ++m) {
        const ZelkModuleRecord &mod = d.Module(m);
        LiveState::Module &live = u.modules[std::size_t(m - 1)];
        ModuleState::Reading reading;
        reading.present = d.modulePresent(m);
        reading.outputOn = d.OutputStatus.mid(m - 1, 1) == QLatin1String("1");
        reading.goodBit = d.ModuleGoodStatus.mid(m - 1, 1) != QLatin1String("0");
        reading.volts = NumberText::toDouble(mod.MeasuredVoltage, ZelkGlobals::DecimalSeparator);
        reading.low = limitVolts(m, mod.VoltageLowLimit);
        reading.high = limitVolts(m, mod.VoltageHighLimit);
        const ModuleState::Kind kind = ModuleState::of(reading);
        allGood = allGood && (kind == ModuleState::NotPresent || kind == ModuleState::Good);
        live.present = reading.present;
        if (!live.present)
            continue;
        live.type = mod.ModuleCode.trimmed();
        live.serial = mod.SerialNumber.trimmed();
        live.volts = reading.volts.value_or(0);
        live.amps =
            NumberText::toDouble(mod.MeasuredCurrent, ZelkGlobals::DecimalSeparator).value_or(0);
        live.setpoint =
            NumberText::toDouble(mod.OutputVoltageSetpoint, ZelkGlobals::DecimalSeparator);
        live.low = reading.low;
        live.high = reading.high;
        live.outputOn = reading.outputOn;
        live.good = ModuleState::ledOn(kind);
    }
    u.dcGood = allGood;
    return u;
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
    LiveState &live = LiveState::process();
    const int id = unit.toInt();
    if (read && id >= 1 && id <= LiveState::MaxUnit && live.unit(id).up)
        live.answered(id, livePicture(), live.unit(id).lastAnswer);
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
    if (hours.isEmpty())
        hours = QStringLiteral("0");
    LiveState::process().setHours(
        unit.toInt(), NumberText::toDouble(plainHours(formatHours(hours)), QStringLiteral(".")));
    return hours;
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
