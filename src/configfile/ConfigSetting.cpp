#include "configfile/ConfigSetting.h"

#include "configfile/ConfigFileKeys.h"
#include "core/ZelkDevice.h"

namespace ConfigSetting {

namespace K = ConfigFileKeys;

namespace {

struct Facts
{
    Kind kind;
    const QString *key;
    const char *title;
    const char *first;  // caption of value 1 (options)
    const char *second; // caption of value 0
    const char *setter; // the device method that writes it
};

const Facts &facts(Id id)
{
    static const Facts table[] = {
        {Kind::Option, &K::FanFail, "Fan fail signal", "Low on Fail", "High on Fail",
         "SetFanFailPolarity"},
        {Kind::Option, &K::GlobalDC, "Global DC good signal", "High on Fail", "Low on Fail",
         "SetGlobalDCGoodPolarity"},
        {Kind::Option, &K::OverTemp, "Over-temperature signal", "Low on Fail", "High on Fail",
         "SetOTFailPolarity"},
        {Kind::Option, &K::Group, "Default group state", "On", "Off", "SetDefaultGroupState"},
        {Kind::Option, &K::GlobalOnOff, "Remote on/off", "Normal (Inhibit)", "Inverted(Enable)",
         "SetDefaultGlobalOutputPolarity"},
        {Kind::Option, &K::Global, "Global output", "Normally On", "Normally Off",
         "SetDefaultGlobalOutputState"},
        {Kind::Option, &K::ProgrammingMode, "Programming mode", "Voltage Programming",
         "Resistance Programming", "SetProgrammingMode"},
        {Kind::Option, &K::DefaultOutputPolarity, "Enable/inhibit", "Normal (Logic1 Inhibit)",
         "Inverted (Logic1 Enable)", "SetDefaultOutputOnOffPolarity"},
        {Kind::Option, &K::StartUpState, "Start-up", "Normally On", "Normally Off",
         "SetDefaultOutputOnOffState"},
        {Kind::Milliseconds, &K::StartUpDelay, "Start-up delay", nullptr, nullptr,
         "SetOutputTurnONDelayExUShort"},
        {Kind::Volts, &K::OutputVoltageSetpoint, "Set-point", nullptr, nullptr,
         "SetDefaultOutputVoltage"},
        {Kind::VoltCounts, &K::VoltageHighLimit, "Module-good high limit", nullptr, nullptr,
         "SetModuleGoodHighThreshold"},
        {Kind::VoltCounts, &K::VoltageLowLimit, "Module-good low limit", nullptr, nullptr,
         "SetModuleGoodLowThreshold"},
        {Kind::Mode, &K::CurrentLimitMode, "Current-limit mode", nullptr, nullptr,
         "SetCurrentLimitMode"},
        {Kind::Amps, &K::CurrentLimit, "Current limit", nullptr, nullptr, "SetCurrentLimit"},
        {Kind::Milliseconds, &K::ActivationTime, "Current-limit delay", nullptr, nullptr,
         "SetCurrentLimitONTimeExUShort"},
        {Kind::Milliseconds, &K::ResetTime, "Reset time", nullptr, nullptr,
         "SetCurrentLimitOFFTimeExUShort"},
    };
    return table[int(id)];
}

const char *const ModeNames[] = {"Normal", "Latching", "Hiccup", "CurrentShare"};

} // namespace

Kind kind(Id id)
{
    return facts(id).kind;
}

bool isModule(Id id)
{
    return int(id) >= int(Id::ProgrammingMode);
}

QString key(Id id)
{
    return *facts(id).key;
}

QString setterName(Id id)
{
    return QString::fromLatin1(facts(id).setter);
}

QString title(Id id)
{
    return QString::fromLatin1(facts(id).title);
}

QString optionCaption(Id id, qint32 value)
{
    const Facts &f = facts(id);
    if (!f.first)
        return QString::number(value);
    if (value == 1)
        return QString::fromLatin1(f.first);
    if (value == 0)
        return QString::fromLatin1(f.second);
    return QString::number(value);
}

qint32 modeValue(int mode, int enableReset)
{
    // Enable-reset only means something to a latching limit.
    return mode == int(Mode::Latching) ? mode | (enableReset << 8) : mode;
}

int modeOf(qint32 value)
{
    return value & 0xFF;
}

int resetOf(qint32 value)
{
    return (value >> 8) & 0xFF;
}

QString modeName(int mode)
{
    return mode >= 0 && mode <= 3 ? QString::fromLatin1(ModeNames[mode]) : QString::number(mode);
}

int modeFromName(const QString &name)
{
    for (int mode = 0; mode <= 3; ++mode) {
        if (name.trimmed() == QLatin1String(ModeNames[mode]))
            return mode;
    }
    return -1;
}

QString modeCaption(qint32 value)
{
    const int mode = modeOf(value);
    if (mode == int(Mode::Latching))
        return resetOf(value) ? QStringLiteral("Latching, reset enabled")
                              : QStringLiteral("Latching, reset disabled");
    if (mode == int(Mode::CurrentShare))
        return QStringLiteral("Current Share");
    return modeName(mode);
}

QString get(ZelkDevice &d, const UnitArg &unit, int module, Id id, qint32 &value)
{
    const auto m = qint16(module);
    qint16 v = 0;
    QString reply;
    switch (id) {
    case Id::FanFail:
        reply = d.GetFanFailPolarity(unit, v);
        break;
    case Id::GlobalDC:
        reply = d.GetGlobalDCGoodPolarity(unit, v);
        break;
    case Id::OverTemp:
        reply = d.GetOTFailPolarity(unit, v);
        break;
    case Id::GroupState:
        reply = d.GetDefaultGroupState(unit, v);
        break;
    case Id::GlobalOnOff:
        reply = d.GetDefaultGlobalOutputPolarity(unit, v);
        break;
    case Id::Global:
        reply = d.GetDefaultGlobalOutputState(unit, v);
        break;
    case Id::ProgrammingMode:
        reply = d.GetProgrammingMode(unit, m, v);
        break;
    case Id::Polarity:
        reply = d.GetDefaultOutputOnOffPolarity(unit, m, v);
        break;
    case Id::StartUpState:
        reply = d.GetDefaultOutputOnOffState(unit, m, v);
        break;
    case Id::StartUpDelay:
        return d.GetOutputTurnONDelayExUShort(unit, m, value);
    case Id::Setpoint:
        reply = d.GetDefaultOutputVoltage(unit, m, v);
        break;
    case Id::HighLimit:
        reply = d.GetModuleGoodHighThreshold(unit, m, v);
        break;
    case Id::LowLimit:
        reply = d.GetModuleGoodLowThreshold(unit, m, v);
        break;
    case Id::LimitMode: {
        qint16 mode = 0, reset = 0;
        reply = d.GetCurrentLimitMode(unit, m, mode, reset);
        value = modeValue(mode, reset);
        return reply;
    }
    case Id::CurrentLimit:
        reply = d.GetCurrentLimit(unit, m, v);
        break;
    case Id::ActivationTime:
        return d.GetCurrentLimitONTimeExUShort(unit, m, value);
    case Id::ResetTime:
        return d.GetCurrentLimitOFFTimeExUShort(unit, m, value);
    }
    value = v;
    return reply;
}

QString set(ZelkDevice &d, const UnitArg &unit, int module, Id id, qint32 value)
{
    const auto m = qint16(module);
    const auto v = qint16(value);
    switch (id) {
    case Id::FanFail:
        return d.SetFanFailPolarity(unit, v);
    case Id::GlobalDC:
        return d.SetGlobalDCGoodPolarity(unit, v);
    case Id::OverTemp:
        return d.SetOTFailPolarity(unit, v);
    case Id::GroupState:
        return d.SetDefaultGroupState(unit, v);
    case Id::GlobalOnOff:
        return d.SetDefaultGlobalOutputPolarity(unit, v);
    case Id::Global:
        return d.SetDefaultGlobalOutputState(unit, v);
    case Id::ProgrammingMode:
        return d.SetProgrammingMode(unit, m, v);
    case Id::Polarity:
        return d.SetDefaultOutputOnOffPolarity(unit, m, v);
    case Id::StartUpState:
        return d.SetDefaultOutputOnOffState(unit, m, v);
    case Id::StartUpDelay:
        return d.SetOutputTurnONDelayExUShort(unit, m, value);
    case Id::Setpoint:
        return d.SetDefaultOutputVoltage(unit, m, v);
    case Id::HighLimit:
        return d.SetModuleGoodHighThreshold(unit, m, v);
    case Id::LowLimit:
        return d.SetModuleGoodLowThreshold(unit, m, v);
    case Id::LimitMode:
        return d.SetCurrentLimitMode(unit, m, qint16(modeOf(value)), qint16(resetOf(value)));
    case Id::CurrentLimit:
        return d.SetCurrentLimit(unit, m, v);
    case Id::ActivationTime:
        return d.SetCurrentLimitONTimeExUShort(unit, m, value);
    case Id::ResetTime:
        return d.SetCurrentLimitOFFTimeExUShort(unit, m, value);
    }
    return {};
}

} // namespace ConfigSetting
