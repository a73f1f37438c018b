#include "device/ZelkData.h"

#include "core/Dialogs.h"
#include "core/Ini.h"
#include "core/NumberText.h"
#include "core/ScaleIniKeys.h"
#include "core/Seams.h"
#include "core/ZelkGlobals.h"
#include "core/ZelkRoutines.h"

#include <QCoreApplication>
#include <cmath>

using ZelkGlobals::Device;

namespace {
const QString AllZero = QStringLiteral("00000000");
const QString Crlf = QStringLiteral("\r\n");
const QString OkText = QStringLiteral("Ok");

void letEventsRun()
{
    QCoreApplication::processEvents();
}

// "Error in X in Unit  " in the file, "Error in X in Unit " in LastError.
struct Texts
{
    QString file;
    QString error;
};
Texts inUnit(const char *name)
{
    const QString base = QStringLiteral("Error in %1 in Unit ").arg(QLatin1String(name));
    return {base + QLatin1Char(' '), base};
}
Texts forUnit(const char *name)
{
    const QString base = QStringLiteral("Error in %1 for Unit ").arg(QLatin1String(name));
    return {base, base};
}

QString decimalText(qint32 value)
{
    return QString::number(value);
}

// Text of a number as the user reads it.
QString numberText(double value)
{
    return NumberText::fromDouble(value, ZelkGlobals::DecimalSeparator);
}
} // namespace

ZelkData::ZelkData(QObject *parent)
    : QObject(parent)
{}

ZelkModuleRecord &ZelkData::Module(int m)
{
    if (m < 1 || m > 5) {
        m_scratch = ZelkModuleRecord();
        return m_scratch;
    }
    return m_modules[m - 1];
}

const ZelkModuleRecord &ZelkData::Module(int m) const
{
    return const_cast<ZelkData *>(this)->Module(m);
}

bool ZelkData::modulePresent(int m) const
{
    return m >= 1 && m <= MODULES.size() && MODULES.at(m - 1) == QLatin1Char('1');
}

ZelkDevice &ZelkData::device() const
{
    return *Device;
}

void ZelkData::fail(const QString &fileText, const QString &errorText, const QString &reply,
                    int module, bool clearsResponding)
{
    QString where = UnitID;
    if (module > 0)
        where += QStringLiteral(" and Module ") + QString::number(module);
    LogError(fileText + where);
    ZelkGlobals::LastError = errorText + where + QLatin1Char(' ') + reply;
    ZelkGlobals::ErrorFlag = true;
    if (clearsResponding)
        Responding = false;
}

bool ZelkData::check(const QString &reply, const QString &fileText, const QString &errorText,
                     int module, bool clearsResponding)
{
    LastReply = reply;
    letEventsRun();
    if (IsCmdOk(LastReply))
        return true;
    fail(fileText, errorText, LastReply, module, clearsResponding);
    return false;
}

template<typename Call> void ZelkData::forPresentModules(Call call)
{
    for (ModuleIndex = 1; ModuleIndex <= 5; ++ModuleIndex) {
        if (modulePresent(ModuleIndex))
            call(static_cast<qint16>(ModuleIndex));
    }
}

// ---- decoding ------------------------------------------------------------

QString ZelkData::GetDecimalNumber(const QString &text)
{
    static const QStringList patterns = {QStringLiteral("0000"), QStringLiteral("0001"),
                                         QStringLiteral("0010"), QStringLiteral("0011"),
                                         QStringLiteral("0100"), QStringLiteral("0101")};
    const qsizetype i = patterns.indexOf(text);
    return i < 0 ? QString() : QString::number(i);
}

void ZelkData::InitElements()
{
    ModuleGoodStatus = AllZero;
    OutputStatus = AllZero;
    MODULES = AllZero;
    OverTemp = GlobalDC = FanFail = AcOk = FanWarn = GlobalOutput = Group = false;
}

QString ZelkData::FormatDecimals(const QString &text)
{
    const QString &sep = ZelkGlobals::DecimalSeparator;
    const qsizetype at = sep.isEmpty() ? -1 : text.indexOf(sep);
    if (at < 0)
        return text + sep + QStringLiteral("00");
    const qsizetype after = text.size() - (at + sep.size());
    if (after == 0)
        return text + QStringLiteral("00");
    if (after == 1)
        return text + QStringLiteral("0");
    return text;
}

void ZelkData::alert()
{
    Seams::dialogs().MsgBox(QStringLiteral("ERROR ") + ZelkGlobals::LastError, MsgButtons::OK,
                            MsgIcon::None, ZelkGlobals::AppTitle);
}

// ---- port ----------------------------------------------------------------

bool ZelkData::OpenPort()
{
    letEventsRun();
    letEventsRun();
    const QString reply = device().OpenPort(ZelkGlobals::ComPort);
    letEventsRun();
    if (IsCmdOk(reply))
        return true;
    reportPortNotOpened(reply);
    alert();
    device().ClosePort();
    return false;
}

bool ZelkData::ClosePort()
{
    device().ClosePort();
    return false; // the wrapper's result is empty, which reads as false
}

// ---- unit wrappers -------------------------------------------------------

void ZelkData::GetModuleGoodStatusByte()
{
    StatusArray a;
    const Texts t = forUnit("GetModuleGoodStatusByte");
    if (check(device().GetModuleGoodStatusByte(UnitID, a), t.file, t.error)) {
        ModuleGoodStatus = a.toStatusText();
        ZelkGlobals::ModuleGoodText = ModuleGoodStatus;
    } else {
        ModuleGoodStatus = AllZero;
    }
}

void ZelkData::GetOutputState()
{
    StatusArray a;
    const Texts t = forUnit("GetOutputState");
    if (check(device().GetOutputState(UnitID, a), t.file, t.error)) {
        OutputStatus = a.toStatusText();
        ZelkGlobals::OutputStateText = OutputStatus;
    } else {
        OutputStatus = AllZero;
    }
}

void ZelkData::GetGlobalStatusByte()
{
    StatusArray a;
    const Texts t = inUnit("GetGlobalStatusByte");
    if (!check(device().GetGlobalStatusByte(UnitID, a), t.file, t.error))
        return;
    OverTemp = a(1) == 1;
    FanFail = a(2) == 1;
    AcOk = a(3) == 1;
    GlobalDC = a(4) == 1;
    GlobalCurrentLimit = a(5) == 1;
    GlobalOvp = a(7) == 1;
    FanWarn = a(8) == 1;
    if (a(6) == 1)
        ZelkGlobals::ErrorFlag = true; // the unit's alarm; never cleared here
    if (a(7) == 1)
        ModuleGoodStatus = AllZero;
}

void ZelkData::GetMasterSlaveMode()
{
    StatusArray first, second;
    const Texts t = forUnit("GetMasterSlaveMode");
    if (!check(device().GetMasterSlaveMode(UnitID, first, second), t.file, t.error))
        return;
    const QString a = first.toStatusText();
    const QString b = second.toStatusText();
    const QString groups[4] = {a.left(4), a.mid(4, 4), b.left(4), b.mid(4, 4)};
    for (int i = 0; i < 4; ++i) {
        const QString n = GetDecimalNumber(groups[i]);
        MasterSlave[i] = n.isEmpty() ? qint16(-1) : static_cast<qint16>(n.toInt());
    }
}

void ZelkData::GetUnitSerialN()
{
    QString serial;
    const Texts t = forUnit("GetUnitSerialNumber");
    if (check(device().GetUnitSerialN(UnitID, serial), t.file, t.error))
        SerialNumber = serial;
}

void ZelkData::GetFanFailPolarity()
{
    qint16 v = 0;
    const Texts t = inUnit("GetFanFailPolarity");
    if (check(device().GetFanFailPolarity(UnitID, v), t.file, t.error))
        FanFail = v == 1;
}

void ZelkData::GetGlobalDCGoodPolarity()
{
    qint16 v = 0;
    const Texts t = inUnit("GetGlobalDCGoodPolarity");
    if (check(device().GetGlobalDCGoodPolarity(UnitID, v), t.file, t.error))
        GlobalDC = v == 1;
}

void ZelkData::GetOTFailPolarity()
{
    qint16 v = 0;
    const Texts t = inUnit("GetOTFailPolarity");
    if (check(device().GetOTFailPolarity(UnitID, v), t.file, t.error))
        OverTemp = v == 1;
}

void ZelkData::GetGroupState()
{
    qint16 v = 0;
    const Texts t = inUnit("GetGroupState");
    if (check(device().GetGroupState(UnitID, v), t.file, t.error))
        Group = v == 1;
}

void ZelkData::GetDefaultGroupState()
{
    qint16 v = 0;
    const Texts t = inUnit("GetDefaultGroupState");
    if (check(device().GetDefaultGroupState(UnitID, v), t.file, t.error))
        Group = v == 1;
}

void ZelkData::GetDefaultGlobalOutputPolarity()
{
    qint16 v = 0;
    const Texts t = inUnit("GetDefaultGlobalOutputPolarity");
    if (check(device().GetDefaultGlobalOutputPolarity(UnitID, v), t.file, t.error))
        GlobalOnOff = v == 1;
    ZelkGlobals::DefaultGlobalPolarity = v == 1;
}

void ZelkData::GetDefaultGlobalOutputState()
{
    qint16 v = 0;
    const Texts t = inUnit("GetDefaultGlobalOutputState");
    if (check(device().GetDefaultGlobalOutputState(UnitID, v), t.file, t.error))
        Global = v == 1;
    ZelkGlobals::DefaultGlobalState = v == 1;
}

void ZelkData::GetGlobalOutputState()
{
    qint16 v = 0;
    const Texts t = inUnit("GetGlobalOutputState");
    if (!check(device().GetGlobalOutputState(UnitID, v), t.file, t.error))
        return;
    const QString text = decimalText(v);
    if (text.size() >= 2 && text.at(1) == QLatin1Char('1'))
        GlobalOutput = true;
    if (text.size() >= 3 && text.at(2) == QLatin1Char('1'))
        Group = true;
}

void ZelkData::GetUnitVersion()
{
    qint16 major = 0, minor = 0;
    const Texts t = forUnit("GetUnitVersion");
    if (check(device().GetUnitVersion(UnitID, major, minor), t.file, t.error)) {
        MajorVersion = decimalText(major);
        MinorVersion = decimalText(minor);
    }
}

void ZelkData::GetOperatingHours()
{
    QString hours = OperatingHours;
    const Texts t = inUnit("GetOperatingHours");
    if (check(device().GetOperatingHoursString(UnitID, hours), t.file, t.error))
        OperatingHours = hours.isEmpty() ? QStringLiteral("0") : hours;
}

void ZelkData::SetGlobalOutputState(qint16 unit, qint16 state)
{
    const Texts t = inUnit("SetGlobalOutputState");
    check(device().SetGlobalOutputState(unit, state), t.file, t.error);
}

void ZelkData::SetGroupState(qint16 state)
{
    const Texts t = inUnit("SetGroupState");
    const qint16 unit = static_cast<qint16>(UnitArg(UnitID).number());
    check(device().SetGroupState(unit, state), t.file, t.error);
}

// ---- module wrappers -----------------------------------------------------

template<typename Value>
void ZelkData::readModuleNumbers(const char *name,
                                 QString (ZelkDevice::*method)(const UnitArg &, qint16, Value &),
                                 QString ZelkModuleRecord::*field)
{
    const Texts t = inUnit(name);
    forPresentModules([&](qint16 m) {
        Value v = 0;
        if (check((device().*method)(UnitID, m, v), t.file, t.error, m))
            Module(m).*field = decimalText(v);
    });
}

void ZelkData::GetModuleSerialN()
{
    const Texts t = inUnit("GetModuleSerialN");
    forPresentModules([&](qint16 m) {
        QString serial;
        if (check(device().GetModuleSerialN(UnitID, m, serial), t.file, t.error, m))
            Module(m).SerialNumber = serial;
    });
}

void ZelkData::GetCurrentLimitMode()
{
    static const QStringList modes = {QStringLiteral("Normal"), QStringLiteral("Latching"),
                                      QStringLiteral("Hiccup"), QStringLiteral("CurrentShare")};
    const Texts t = inUnit("GetCurrentLimitMode");
    forPresentModules([&](qint16 m) {
        qint16 mode = 0, enableReset = 0;
        if (!check(device().GetCurrentLimitMode(UnitID, m, mode, enableReset), t.file, t.error, m))
            return;
        if (mode >= 0 && mode < modes.size())
            Module(m).CurrentLimitMode = modes.at(mode);
        Module(m).EnableReset = decimalText(enableReset);
    });
}

void ZelkData::GetDefaultOutputOnOffPolarity()
{
    readModuleNumbers("GetDefaultOutputOnOffPolarity", &ZelkDevice::GetDefaultOutputOnOffPolarity,
                      &ZelkModuleRecord::DefaultOutputPolarity);
}

void ZelkData::GetDefaultOutputOnOffState()
{
    readModuleNumbers("GetDefaultOutputOnOffState", &ZelkDevice::GetDefaultOutputOnOffState,
                      &ZelkModuleRecord::StartUpState);
}

void ZelkData::GetProgrammingMode()
{
    readModuleNumbers("GetProgrammingMode", &ZelkDevice::GetProgrammingMode,
                      &ZelkModuleRecord::ProgrammingMode);
}

void ZelkData::GetOutputTurnONDelay()
{
    readModuleNumbers("GetOutputTurnONDelay", &ZelkDevice::GetOutputTurnONDelayExUShort,
                      &ZelkModuleRecord::StartUpDelay);
}

void ZelkData::GetModuleGoodLowThreshold()
{
    readModuleNumbers("GetModuleGoodLowThreshold", &ZelkDevice::GetModuleGoodLowThreshold,
                      &ZelkModuleRecord::VoltageLowLimit);
}

void ZelkData::GetModuleGoodHighThreshold()
{
    readModuleNumbers("GetModuleGoodHighThreshold", &ZelkDevice::GetModuleGoodHighThreshold,
                      &ZelkModuleRecord::VoltageHighLimit);
}

void ZelkData::GetCurrentLimitONTime()
{
    readModuleNumbers("GetCurrentLimitONTime", &ZelkDevice::GetCurrentLimitONTimeExUShort,
                      &ZelkModuleRecord::ActivationTime);
}

void ZelkData::GetCurrentLimitOFFTime()
{
    readModuleNumbers("GetCurrentLimitOFFTime", &ZelkDevice::GetCurrentLimitOFFTimeExUShort,
                      &ZelkModuleRecord::ResetTime);
}

void ZelkData::GetGroupID()
{
    const Texts t = inUnit("GetGroupID");
    forPresentModules([&](qint16 m) {
        qint16 v = 0;
        if (check(device().GetGroupID(UnitID, m, v), t.file, t.error, m))
            Module(m).GroupId = v;
    });
}

void ZelkData::GetModuleVersion()
{
    const Texts t = inUnit("GetModuleVersion");
    forPresentModules([&](qint16 m) {
        qint16 major = 0, minor = 0;
        if (check(device().GetModuleVersion(UnitID, m, major, minor), t.file, t.error, m)) {
            Module(m).MajorVersion = decimalText(major);
            Module(m).MinorVersion = decimalText(minor);
        }
    });
}

void ZelkData::GetOutputVoltageSetpoint()
{
    const Texts t = inUnit("GetOutputVoltageSetpoint");
    forPresentModules([&](qint16 m) {
        qint16 raw = 0;
        LastReply = device().GetDefaultOutputVoltage(UnitID, m, raw);
        letEventsRun();
        if (!IsCmdOk(LastReply)) {
            Seams::dialogs().MsgBox(QStringLiteral("Error#2303"), MsgButtons::OK, MsgIcon::Critical,
                                    QStringLiteral("Error Handler"));
            fail(t.file, t.error, LastReply, m, true);
            return;
        }
        const double factor = ZelkGlobals::ModuleRatings(m).VoltageScaleFactor;
        if (factor == 0.0) {
            // A type without a usable factor cannot be scaled: say so rather
            // than show a division by zero as a set-point.
            fail(t.file, t.error, QStringLiteral("no voltage scale factor for this module type"), m,
                 false);
            return;
        }
        Module(m).OutputVoltageSetpoint = numberText(raw / factor);
    });
}

// ---- discovery and scaling -----------------------------------------------

void ZelkData::GetPresentModules()
{
    StatusArray a;
    LastReply = device().GetPresentModules(UnitID, a);
    letEventsRun();
    if (!IsCmdOk(LastReply)) {
        const QString text = QStringLiteral("Unit ") + UnitID +
                             QStringLiteral(" Does not Respond, make sure is properly connected "
                                            "and is the correct UnitID Number");
        LogError(text);
        ZelkGlobals::LastError = text;
        ZelkGlobals::LastErrorCopy = text;
        ZelkGlobals::ErrorFlag = true;
        MODULES = AllZero;
        Responding = false;
        emit unitDoesNotRespond();
        return;
    }
    MODULES.clear();
    for (int k = 1; k <= 5; ++k)
        MODULES += a(k) == 1 ? QLatin1Char('1') : QLatin1Char('0');
    MODULES += QStringLiteral("000");
    ZelkGlobals::PresentModulesText = MODULES;
    // Counted afresh on every read, so the count is this unit's.
    ZelkGlobals::PresentModuleCount = 0;
    for (int k = 1; k <= 8; ++k) {
        ZelkGlobals::ModulePresent[k] = MODULES.mid(k - 1, 1);
        if (ZelkGlobals::ModulePresent[k] == QLatin1String("1"))
            ++ZelkGlobals::PresentModuleCount;
    }

    for (int m = 1; m <= 5; ++m) {
        if (!modulePresent(m))
            continue;
        qint16 code = 0;
        // The unit this read is for: another window may have selected
        // another unit meanwhile, whose modules these are not.
        if (!IsCmdOk(device().GetModuleType(UnitID, qint16(m), code)))
            return;
        clsScalability &ratings = ZelkGlobals::ModuleRatings(m);
        ratings.fillFromScaleIni(code);
        if (ratings.Type != ScaleIniKeys::NotPresent)
            emit moduleTypeNameRead(m, ratings.Type);
    }
    for (int m = 1; m <= 5; ++m) {
        if (!modulePresent(m))
            continue;
        const clsScalability &r = ZelkGlobals::ModuleRatings(m);
        emit moduleRatingsReady(m, static_cast<int>(std::nearbyint(r.MaxCurrent)),
                                numberText(r.MaxCurrent),
                                static_cast<int>(std::nearbyint(r.MinVoltage * 10)),
                                static_cast<int>(std::nearbyint(r.MaxVoltage * 10)));
    }
}

void ZelkData::GetModuleType()
{
    ZelkGlobals::ModuleTypesKnown = false;
    for (int m = 1; m <= 5; ++m) {
        if (!modulePresent(m))
            continue;
        qint16 code = 0;
        LastReply = device().GetModuleType(UnitID, qint16(m), code);
        if (!IsCmdOk(LastReply))
            return;
        ZelkGlobals::ModuleTypesKnown = true;
        Module(m).ModuleSection = scaleSectionName(code);
        Module(m).ModuleCode =
            ReadIni(Module(m).ModuleSection, QStringLiteral("type"), ZelkGlobals::ScaleIniPath);
    }
}

std::optional<double> ZelkData::scaleFactor(int m, const QString &key, const QString &fileText,
                                            const QString &errorText, bool clearsResponding)
{
    const QString text = ReadIni(Module(m).ModuleSection, key, ZelkGlobals::ScaleIniPath);
    const auto factor = NumberText::toDouble(text, ZelkGlobals::DecimalSeparator);
    if (factor && *factor != 0.0)
        return factor;
    // Without a usable factor the value cannot be produced: record why.
    fail(fileText, errorText,
         key + QStringLiteral(" of ") + Module(m).ModuleSection + " is " + text, m,
         clearsResponding);
    return std::nullopt;
}

namespace {
// Rounded to two decimals, halves to even, then shown with at least two.
QString twoDecimals(double value)
{
    const double hundredths = std::nearbyint(value * 100.0);
    return ZelkData::FormatDecimals(numberText(hundredths / 100.0));
}
} // namespace

void ZelkData::MeasureOutputVoltage()
{
    const Texts t = inUnit("MeasureOutputVoltage");
    forPresentModules([&](qint16 m) {
        qint16 raw = 0;
        // A failed measurement does not stop the sequence that asked for it.
        if (!check(device().MeasureOutputVoltage(UnitID, m, raw), t.file, t.error, m, false))
            return;
        if (const auto factor =
                scaleFactor(m, ScaleIniKeys::VoltageScaleFactor, t.file, t.error, false))
            Module(m).MeasuredVoltage = twoDecimals(raw / *factor);
    });
}

void ZelkData::MeasureOutputCurrent()
{
    const Texts t = inUnit("MeasureOutputCurrent");
    forPresentModules([&](qint16 m) {
        qint16 raw = 0;
        if (!check(device().MeasureOutputCurrent(UnitID, m, raw), t.file, t.error, m))
            return;
        // The true factor: a rounded one would show another current than the
        // switch path shows for the same reading.
        if (const auto factor =
                scaleFactor(m, ScaleIniKeys::CurrentScaleFactor, t.file, t.error, true))
            Module(m).MeasuredCurrent = twoDecimals(raw / *factor);
    });
}

void ZelkData::GetCurrentLimit()
{
    const Texts t = inUnit("GetCurrentLimit");
    forPresentModules([&](qint16 m) {
        qint16 raw = 0;
        if (!check(device().GetCurrentLimit(UnitID, m, raw), t.file, t.error, m))
            return;
        qint16 code = 0;
        if (!check(device().GetModuleType(UnitID, m, code), t.file, t.error, m))
            return;
        Module(m).ModuleSection = scaleSectionName(code).remove(QLatin1Char(' '));
        const QString factorText = ReadIni(
            Module(m).ModuleSection, ScaleIniKeys::CurrentScaleFactor, ZelkGlobals::ScaleIniPath);
        if (factorText == Ini::NotAvailable)
            return;
        if (const auto factor =
                scaleFactor(m, ScaleIniKeys::CurrentScaleFactor, t.file, t.error, true))
            Module(m).CurrentLimit = numberText(raw / *factor).left(5);
    });
}

void ZelkData::SetCurrentLimit()
{
    const Texts t = inUnit("SetCurrentLimit");
    forPresentModules([&](qint16 m) {
        const auto amps =
            NumberText::toDouble(Module(m).CurrentLimit, ZelkGlobals::DecimalSeparator);
        if (!amps) {
            fail(t.file, t.error, QStringLiteral("current limit is not a number"), m, true);
            return;
        }
        qint16 code = 0;
        if (!check(device().GetModuleType(UnitID, m, code), t.file, t.error, m))
            return;
        const QString section = scaleSectionName(code);
        const QString factorText =
            ReadIni(section, ScaleIniKeys::CurrentScaleFactor, ZelkGlobals::ScaleIniPath);
        double raw = *amps;
        if (factorText != Ini::NotAvailable) {
            const auto factor = NumberText::toDouble(factorText, ZelkGlobals::DecimalSeparator);
            if (!factor) {
                fail(t.file, t.error,
                     QStringLiteral("CurrentScaleFactor of ") + section + " is " + factorText, m,
                     true);
                return;
            }
            raw = *amps * *factor;
        }
        // A limit the device cannot hold in 16 bits is not sent at all.
        const auto value = NumberText::roundToInt16(raw);
        if (!value) {
            fail(t.file, t.error, QStringLiteral("current limit out of range"), m, true);
            return;
        }
        check(device().SetCurrentLimit(UnitID, m, *value), t.file, t.error, m);
    });
}

// ---- snapshot reads ------------------------------------------------------

void ZelkData::ReadZelkSetup(const QString &unit, ReadProgressLog *log)
{
    InitElements();
    UnitID = unit;
    PowerSupplyID = unit;
    ZelkGlobals::ErrorFlag = false;
    letEventsRun();
    if (!ZelkGlobals::TestMode)
        Responding = OpenPort();

    const auto append = [&](const QString &text) {
        if (log)
            log->appendText(text);
    };
    // Each step's label ends the line the previous step left open.
    const auto step = [&](const char *label, auto &&run) {
        if (Responding)
            append(OkText + Crlf + QLatin1String(label));
        if (Responding)
            run();
    };

    step("Get present modules................", [&] { GetPresentModules(); });
    step("Get Module Good Status Byte........", [&] { GetModuleGoodStatusByte(); });
    step("Get Unit Serial Number.............", [&] { GetUnitSerialN(); });
    step("Get Unit Version...................", [&] { GetUnitVersion(); });
    step("Get Fan Fail Polarity..............", [&] { GetFanFailPolarity(); });
    step("Get Global DCGood Polarity.........", [&] { GetGlobalDCGoodPolarity(); });
    step("Get O.T. Fail Polarity.............", [&] { GetOTFailPolarity(); });
    step("Get Default Global Output Polarity.", [&] { GetDefaultGlobalOutputPolarity(); });
    step("Get Default Group State............", [&] { GetDefaultGroupState(); });
    step("Get Default Global Output State....", [&] { GetDefaultGlobalOutputState(); });
    bool readModules = false;
    step("Get Module Type....................", [&] {
        if (!ZelkGlobals::DefaultGlobalState)
            return;
        GetModuleType();
        readModules = true;
    });

    if (readModules && Responding && !ZelkGlobals::ModuleTypesKnown) {
        append(OkText + Crlf + Crlf + QStringLiteral("Modules OFF by GLOBAL INHIBIT."));
        emit globalInhibitDetected();
        readModules = false;
    }
    if (readModules) {
        step("Get Module Serial Number...........", [&] { GetModuleSerialN(); });
        step("Get Module Version.................", [&] { GetModuleVersion(); });
        step("Get Programming Mode...............", [&] { GetProgrammingMode(); });
        step("Get Default Output On Off Polarity.", [&] { GetDefaultOutputOnOffPolarity(); });
        step("Get Default Output On Off State....", [&] { GetDefaultOutputOnOffState(); });
        step("Get Output Turn ON Delay...........", [&] { GetOutputTurnONDelay(); });
        step("Get Output Voltage Setpoint........", [&] { GetOutputVoltageSetpoint(); });
        step("Get Module Good Low Threshold......", [&] { GetModuleGoodLowThreshold(); });
        step("Get Module Good High Threshold.....", [&] { GetModuleGoodHighThreshold(); });
        step("Get Current Limit Mode.............", [&] { GetCurrentLimitMode(); });
        step("Get Current Limit..................", [&] { GetCurrentLimit(); });
        step("Get Current Limit ON Time..........", [&] { GetCurrentLimitONTime(); });
        step("Get Current Limit OFF Time.........", [&] { GetCurrentLimitOFFTime(); });
        step("Get Output State...................", [&] {
            GetOutputState();
            if (Responding)
                GetGroupID();
        });
    }

    if (Responding)
        append(OkText + Crlf);
    Responding = ClosePort();
}

void ZelkData::ReadZelkMonitor(const QString &unit)
{
    const bool shortRead = ZelkGlobals::MonitorCycleActive;
    if (!shortRead)
        InitElements();
    UnitID = unit;
    ZelkGlobals::ErrorFlag = false;
    Responding = OpenPort();

    const auto run = [&](auto &&call) {
        if (Responding) {
            call();
            letEventsRun();
        }
    };
    run([&] { GetPresentModules(); });
    run([&] { GetModuleGoodStatusByte(); });
    run([&] { GetModuleType(); });
    if (!shortRead)
        run([&] { GetOutputState(); });
    run([&] { GetGlobalStatusByte(); });
    run([&] { GetOperatingHours(); });
    run([&] { GetGlobalOutputState(); });
    if (!shortRead)
        run([&] { GetGroupState(); });
    run([&] { GetModuleType(); });

    if (ZelkGlobals::ModuleTypesKnown) {
        if (!shortRead)
            run([&] { GetOutputVoltageSetpoint(); });
        run([&] { MeasureOutputCurrent(); });
        run([&] { MeasureOutputVoltage(); });
        if (!shortRead) {
            run([&] { GetMasterSlaveMode(); });
            run([&] { GetGroupID(); });
            run([&] { GetModuleGoodLowThreshold(); });
            run([&] { GetModuleGoodHighThreshold(); });
            run([&] { GetCurrentLimit(); });
        }
    }
    // The port did not open, or a call failed and ended the read there.
    ReadFailed = !Responding;
    Responding = ClosePort();
}
