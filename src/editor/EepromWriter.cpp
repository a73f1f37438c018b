#include "editor/EepromWriter.h"

#include "core/Dialogs.h"
#include "core/NumberText.h"
#include "core/Seams.h"
#include "core/ZelkRoutines.h"
#include "core/ZelkTexts.h"

#include <QCoreApplication>
#include <cmath>

namespace {
using Mode = FieldRules::LimitMode;
constexpr int MaxUShort = 65535;
} // namespace

EepromWriter::EepromWriter(ZelkDevice &device, const QString &unit, const QString &port,
                           const QString &separator)
    : m_device(device)
    , m_unit(unit)
    , m_port(port)
    , m_separator(separator)
{}

bool EepromWriter::openPort()
{
    m_portOpen = true;
    return check(m_device.OpenPort(m_port));
}

void EepromWriter::closePort()
{
    if (!m_portOpen)
        return;
    m_device.ClosePort();
    m_portOpen = false;
}

bool EepromWriter::check(const QString &reply)
{
    if (IsCmdOk(reply))
        return true;
    emit failed();
    tellPortInUse();
    closePort();
    return false;
}

template<typename Value, typename Get, typename Set>
bool EepromWriter::getCompareSet(Value wanted, Get get, Set set)
{
    Value current{};
    QString reply = get(current);
    if (reply == CmdOk && current != wanted)
        reply = set(wanted);
    return check(reply);
}

void EepromWriter::refuse(const QString &text)
{
    m_refused = true;
    Seams::dialogs().MsgBox(text, MsgButtons::OK, MsgIcon::Exclamation, ZelkTexts::EepromTitle);
}

std::optional<qint16> EepromWriter::raw16(const QString &text, double factor) const
{
    const auto value = NumberText::toDouble(text.trimmed(), m_separator);
    return value ? NumberText::roundToInt16(*value * factor) : std::nullopt;
}

std::optional<qint32> EepromWriter::milliseconds(const QString &text) const
{
    const auto value = NumberText::toDouble(text.trimmed(), m_separator);
    const double ms = value ? std::nearbyint(*value) : -1;
    if (!value || ms < 0 || ms > MaxUShort)
        return std::nullopt;
    return static_cast<qint32>(ms);
}

bool EepromWriter::sendsSetpoint(const QString &setpoint) const
{
    const auto volts = NumberText::toDouble(setpoint.trimmed(), m_separator);
    return !volts || std::fabs(*volts) > SetpointThreshold;
}

std::optional<EepromWriter::Refusal> EepromWriter::unwritable(qint16 m, const ModuleSettings &s,
                                                              const Scale &scale) const
{
    const auto counts = [&](Field field, const char *what, const QString &text,
                            double factor) -> std::optional<Refusal> {
        if (!NumberText::toDouble(text.trimmed(), m_separator))
            return Refusal{field, QStringLiteral("Module %1: the %2 \"%3\" is not a number, so it "
                                                 "was not written.")
                                      .arg(m)
                                      .arg(QLatin1String(what), text)};
        if (raw16(text, factor))
            return std::nullopt;
        const double value = *NumberText::toDouble(text.trimmed(), m_separator);
        return Refusal{
            field, QStringLiteral("Module %1: the %2 %3 was not written: with the "
                                  "module's scale factor %4 it would be %5, and the "
                                  "unit holds -32768 to 32767.")
                       .arg(m)
                       .arg(QLatin1String(what), text.trimmed(),
                            FieldRules::numberText(factor, m_separator),
                            FieldRules::numberText(std::nearbyint(value * factor), m_separator))};
    };
    const auto time = [&](Field field, const char *what,
                          const QString &text) -> std::optional<Refusal> {
        if (milliseconds(text))
            return std::nullopt;
        return Refusal{field, QStringLiteral("Module %1: the %2 \"%3\" was not written: the unit "
                                             "holds 0 to 65535 ms.")
                                  .arg(m)
                                  .arg(QLatin1String(what), text)};
    };
    std::optional<Refusal> r = time(Field::StartUpDelay, "start-up delay", s.startUpDelay);
    if (!r && scale.voltage != 0) {
        if (sendsSetpoint(s.setpoint))
            r = counts(Field::Setpoint, "voltage set-point", s.setpoint, scale.voltage);
        if (!r)
            r = counts(Field::HighLimit, "module-good high limit", s.highLimit, scale.voltage);
        if (!r)
            r = counts(Field::LowLimit, "module-good low limit", s.lowLimit, scale.voltage);
    }
    const bool limited = s.limitMode == Mode::Latching || s.limitMode == Mode::Hiccup;
    if (!r && limited && scale.current != 0)
        r = counts(Field::CurrentLimit, "current limit", s.currentLimit, scale.current);
    if (!r && limited)
        r = time(Field::ActivationTime, "current-limit delay", s.activationTime);
    if (!r && s.limitMode == Mode::Hiccup)
        r = time(Field::ResetTime, "reset time", s.resetTime);
    return r;
}

EepromWriter::Result EepromWriter::writeUnitOptions(const UnitOptions &o)
{
    m_refused = false;
    ZelkDevice &d = m_device;
    const UnitArg unit(m_unit);
    using Getter = QString (ZelkDevice::*)(const UnitArg &, qint16 &);
    using Setter = QString (ZelkDevice::*)(const UnitArg &, qint16);
    const auto compared = [&](qint16 wanted, Getter get, Setter set) {
        return getCompareSet<qint16>(
            wanted, [&](qint16 &v) { return (d.*get)(unit, v); },
            [&](qint16 v) { return (d.*set)(unit, v); });
    };
    const std::function<bool()> steps[] = {
        [&] {
            return compared(o.fanFail, &ZelkDevice::GetFanFailPolarity,
                            &ZelkDevice::SetFanFailPolarity);
        },
        [&] {
            return compared(o.globalDC, &ZelkDevice::GetGlobalDCGoodPolarity,
                            &ZelkDevice::SetGlobalDCGoodPolarity);
        },
        [&] {
            return compared(o.overTemp, &ZelkDevice::GetOTFailPolarity,
                            &ZelkDevice::SetOTFailPolarity);
        },
        // Groups start by the grouping tool's own switch, never at power-up.
        [&] {
            return compared(0, &ZelkDevice::GetDefaultGroupState,
                            &ZelkDevice::SetDefaultGroupState);
        },
        [&] { return check(d.SetDefaultGlobalOutputPolarity(unit, o.globalOnOff)); },
        [&] { return check(d.SetDefaultGlobalOutputState(unit, o.global)); },
    };
    bool allOk = true;
    for (const auto &step : steps) {
        // A failed step closed the port; the next option needs it open again,
        // and a port that will not open ends the sequence.
        if (!m_portOpen && !openPort())
            return Result::Failed;
        allOk = step() && allOk;
        QCoreApplication::processEvents();
    }
    closePort();
    return allOk ? Result::Written : Result::Failed;
}

EepromWriter::Result EepromWriter::writeModule(qint16 m, const ModuleSettings &s,
                                               const Scale &scale)
{
    m_refused = false;
    ZelkDevice &d = m_device;
    const UnitArg unit(m_unit);
    using Getter = QString (ZelkDevice::*)(const UnitArg &, qint16, qint16 &);
    using Setter = QString (ZelkDevice::*)(const UnitArg &, qint16, qint16);
    using GetterMs = QString (ZelkDevice::*)(const UnitArg &, qint16, qint32 &);
    using SetterMs = QString (ZelkDevice::*)(const UnitArg &, qint16, qint32);
    const auto compared = [&](qint16 wanted, Getter get, Setter set) {
        return getCompareSet<qint16>(
            wanted, [&](qint16 &v) { return (d.*get)(unit, m, v); },
            [&](qint16 v) { return (d.*set)(unit, m, v); });
    };
    const auto comparedMs = [&](const QString &text, GetterMs get, SetterMs set) {
        const qint32 ms = *milliseconds(text); // checked before the write
        return getCompareSet<qint32>(
            ms, [&](qint32 &v) { return (d.*get)(unit, m, v); },
            [&](qint32 v) { return (d.*set)(unit, m, v); });
    };

    // A value the unit cannot hold stops the whole module before any call.
    if (const auto refusal = unwritable(m, s, scale)) {
        refuse(refusal->message);
        return Result::Refused;
    }
    if (!openPort())
        return Result::Failed;
    bool ok = compared(s.programmingMode, &ZelkDevice::GetProgrammingMode,
                       &ZelkDevice::SetProgrammingMode) &&
              compared(s.polarity, &ZelkDevice::GetDefaultOutputOnOffPolarity,
                       &ZelkDevice::SetDefaultOutputOnOffPolarity) &&
              compared(s.startUpState, &ZelkDevice::GetDefaultOutputOnOffState,
                       &ZelkDevice::SetDefaultOutputOnOffState) &&
              comparedMs(s.startUpDelay, &ZelkDevice::GetOutputTurnONDelayExUShort,
                         &ZelkDevice::SetOutputTurnONDelayExUShort);
    if (!ok)
        return Result::Failed;

    // A type without a voltage scale factor has no counts for its volts.
    if (scale.voltage == 0) {
        refuse(QStringLiteral("Module %1: scale.ini gives this module type no voltage scale "
                              "factor, so its set-point and module-good limits were not written.")
                   .arg(m));
    } else {
        // The set-point is written every time: the unit's stored default is
        // not read back. A set-point of 0 means "not set".
        if (sendsSetpoint(s.setpoint) &&
            !check(d.SetDefaultOutputVoltage(unit, m, *raw16(s.setpoint, scale.voltage))))
            return Result::Failed;
        if (!compared(*raw16(s.highLimit, scale.voltage), &ZelkDevice::GetModuleGoodHighThreshold,
                      &ZelkDevice::SetModuleGoodHighThreshold) ||
            !compared(*raw16(s.lowLimit, scale.voltage), &ZelkDevice::GetModuleGoodLowThreshold,
                      &ZelkDevice::SetModuleGoodLowThreshold))
            return Result::Failed;
    }

    const auto code = static_cast<qint16>(s.limitMode);
    const bool latching = s.limitMode == Mode::Latching;
    const qint16 enableReset = latching && s.enableReset ? 1 : 0;
    const auto writeMode = [&] {
        qint16 mode = 0, reset = 0;
        QString reply = d.GetCurrentLimitMode(unit, m, mode, reset);
        // Enable-reset only means something to a latching limit.
        if (reply == CmdOk && (mode != code || (latching && reset != enableReset)))
            reply = d.SetCurrentLimitMode(unit, m, code, enableReset);
        return check(reply);
    };
    if (!writeMode())
        return Result::Failed;
    if (latching || s.limitMode == Mode::Hiccup) {
        if (scale.current == 0) {
            refuse(QStringLiteral("Module %1: scale.ini gives this module type no current scale "
                                  "factor, so its current limit was not written.")
                       .arg(m));
        } else if (!compared(*raw16(s.currentLimit, scale.current), &ZelkDevice::GetCurrentLimit,
                             &ZelkDevice::SetCurrentLimit)) {
            return Result::Failed;
        }
        // The unit may drop back to its default mode when its limit changes.
        ok = writeMode() && comparedMs(s.activationTime, &ZelkDevice::GetCurrentLimitONTimeExUShort,
                                       &ZelkDevice::SetCurrentLimitONTimeExUShort);
        if (ok && !latching)
            ok = comparedMs(s.resetTime, &ZelkDevice::GetCurrentLimitOFFTimeExUShort,
                            &ZelkDevice::SetCurrentLimitOFFTimeExUShort);
        if (!ok)
            return Result::Failed;
    }
    closePort();
    return m_refused ? Result::Refused : Result::Written;
}
