#include "configfile/UnitConfigDisplay.h"

#include "core/NumberText.h"
#include "device/ZelkData.h"

#include <cmath>

namespace {
const QString One = QStringLiteral("1");

double rounded(double value, int decimals)
{
    const double scale = std::pow(10.0, decimals);
    return std::nearbyint(value * scale) / scale;
}

UnitConfigDisplay::LimitMode limitModeOf(const QString &stored)
{
    using Mode = UnitConfigDisplay::LimitMode;
    if (stored == QLatin1String("Normal"))
        return Mode::Normal;
    if (stored == QLatin1String("Latching"))
        return Mode::Latching;
    if (stored == QLatin1String("Hiccup"))
        return Mode::Hiccup;
    if (stored == QLatin1String("CurrentShare"))
        return Mode::CurrentShare;
    return Mode::None;
}
} // namespace

QString UnitConfigDisplay::roundedText(double value, int decimals, const QString &separator)
{
    return NumberText::fromDouble(rounded(value, decimals), separator);
}

double UnitConfigDisplay::valueOf(const QString &text, const QString &separator)
{
    return NumberText::toDouble(text, separator).value_or(0.0); // which trims it
}

UnitConfigDisplay UnitConfigDisplay::fromRecord(const ZelkData &record, const Context &context)
{
    const QString &sep = context.decimalSeparator;
    UnitConfigDisplay d;
    d.psid = record.PowerSupplyID;
    d.serialNumber = record.VSerialNumber();
    d.majorVersion = record.MajorVersion;
    d.minorVersion = record.MinorVersion;
    d.fanFailFirst = record.FanFail;
    d.globalDCFirst = record.GlobalDC;
    d.overTempFirst = record.OverTemp;
    d.globalFirst = record.Global;
    // Default state and polarity agreeing decide the global output pair.
    if (context.defaultGlobalState == context.defaultGlobalPolarity)
        d.globalFirst = context.defaultGlobalState;
    d.globalOnOffFirst = context.defaultGlobalPolarity;

    const QString present = record.MODULES.left(5);
    for (int m = 1; m <= 5; ++m) {
        const ZelkModuleRecord &r = record.Module(m);
        Module &v = d.modules[m - 1];
        const bool fitted = m <= present.size() && present.at(m - 1) == QLatin1Char('1');
        v.tabEnabled = fitted;
        v.moduleCode = r.ModuleCode;
        v.majorVersion = r.MajorVersion;
        v.minorVersion = r.MinorVersion;
        v.groupId = QString::number(r.GroupId);
        v.voltageProgramming = r.ProgrammingMode == One;
        v.polarityNormal = r.DefaultOutputPolarity == One;
        v.startUpOn = r.StartUpState == One;

        if (r.OutputVoltageSetpoint.trimmed().isEmpty()) {
            v.setpoint = QStringLiteral("0");
            v.setpointSlider = 0;
        } else {
            const double volts = valueOf(r.OutputVoltageSetpoint, sep);
            v.setpoint = roundedText(volts, 2, sep);
            v.setpointSlider = static_cast<int>(std::nearbyint(rounded(volts, 1) * 10.0));
        }

        // Module settings exist only when the reader got past the global
        // inhibit; the global polarity does not make them less true.
        if (context.defaultGlobalState) {
            const double factor = context.voltageScaleFactor.at(m - 1);
            if (fitted && factor != 0.0) {
                const double high = valueOf(r.VoltageHighLimit, sep);
                const double low = valueOf(r.VoltageLowLimit, sep);
                v.limitsShown = true;
                v.highLimit = roundedText(high / factor, 2, sep);
                v.lowLimit = roundedText(low / factor, 2, sep);
                v.limitsEditable = !(high == 0.0 && low == 0.0);
            }
            v.startUpDelayShown = true;
            v.startUpDelay = r.StartUpDelay;
        }

        v.limitMode = limitModeOf(r.CurrentLimitMode);
        v.activationTime = r.ActivationTime;
        v.resetTime = r.ResetTime;
        v.enableReset = r.EnableReset == One;
        v.currentLimit = r.CurrentLimit;
        v.currentLimitScroll = static_cast<int>(std::nearbyint(valueOf(r.CurrentLimit, sep)));
        v.startUpEditable = r.GroupId == 1;
    }
    return d;
}

QString UnitConfigDisplay::numberBack(const QString &shown, const QString &held, double factor,
                                      const QString &separator)
{
    const QString heldShown = QStringView(held).trimmed().isEmpty()
                                  ? QStringLiteral("0")
                                  : roundedText(valueOf(held, separator) / factor, 2, separator);
    if (shown == heldShown)
        return held;
    const double value = valueOf(shown, separator) * factor;
    return NumberText::fromDouble(factor == 1.0 ? value : std::nearbyint(value), separator);
}

namespace {
// A field the record never held stays unheld when the form shows nothing
// for it, so the file gains no empty keys.
QString formText(const QString &shown, const QString &held)
{
    return shown.isEmpty() && held.isNull() ? held : shown;
}

QString oneOrZero(bool on)
{
    return on ? QStringLiteral("1") : QStringLiteral("0");
}
} // namespace

void UnitConfigDisplay::toRecord(ZelkData &r, const Context &context,
                                 const std::array<bool, 5> &collected) const
{
    const QString &sep = context.decimalSeparator;
    r.PowerSupplyID = formText(psid, r.PowerSupplyID);
    r.SerialNumber = formText(serialNumber, r.SerialNumber);
    r.MajorVersion = formText(majorVersion, r.MajorVersion);
    r.MinorVersion = formText(minorVersion, r.MinorVersion);
    r.FanFail = fanFailFirst;
    r.GlobalDC = globalDCFirst;
    r.OverTemp = overTempFirst;
    r.GlobalOnOff = globalOnOffFirst;
    r.GlobalOutput = globalFirst;

    for (int m = 1; m <= 5; ++m) {
        if (!collected.at(std::size_t(m - 1)))
            continue;
        const Module &v = module(m);
        ZelkModuleRecord &mod = r.Module(m);
        const double voltageFactor = context.voltageScaleFactor.at(std::size_t(m - 1));
        mod.ModuleCode = formText(v.moduleCode, mod.ModuleCode);
        mod.MajorVersion = formText(v.majorVersion, mod.MajorVersion);
        mod.MinorVersion = formText(v.minorVersion, mod.MinorVersion);
        mod.ProgrammingMode = oneOrZero(v.voltageProgramming);
        mod.DefaultOutputPolarity = oneOrZero(v.polarityNormal);
        mod.StartUpState = oneOrZero(v.startUpOn);
        // The set-point is held in volts, the module-good limits in device counts.
        mod.OutputVoltageSetpoint = numberBack(v.setpoint, mod.OutputVoltageSetpoint, 1.0, sep);
        if (voltageFactor != 0.0) {
            mod.VoltageHighLimit =
                numberBack(v.highLimit, mod.VoltageHighLimit, voltageFactor, sep);
            mod.VoltageLowLimit = numberBack(v.lowLimit, mod.VoltageLowLimit, voltageFactor, sep);
        }
        mod.StartUpDelay = formText(v.startUpDelay, mod.StartUpDelay);
        static const char *const modes[] = {nullptr, "Normal", "Latching", "Hiccup",
                                            "CurrentShare"};
        if (v.limitMode != LimitMode::None)
            mod.CurrentLimitMode = QString::fromLatin1(modes[int(v.limitMode)]);
        mod.CurrentLimit = formText(v.currentLimit, mod.CurrentLimit);
    }
}

void UnitConfigDisplay::asShown(ZelkData &record, const Context &context, bool modulesShown)
{
    std::array<bool, 5> collected{};
    for (int m = 1; m <= 5; ++m)
        collected[std::size_t(m - 1)] = modulesShown && record.modulePresent(m);
    fromRecord(record, context).toRecord(record, context, collected);
}
