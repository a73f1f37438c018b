#include "UnitSimProcess.h"

#include "device/ZelkRegisterMap.h"

#include <QDeadlineTimer>
#include <array>
#include <csignal>

UnitSimProcess::~UnitSimProcess()
{
    kill();
}

QString readLine(QProcess &process, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!process.canReadLine()) {
        if (deadline.hasExpired() || process.state() == QProcess::NotRunning ||
            !process.waitForReadyRead(int(deadline.remainingTime())))
            break;
    }
    return process.canReadLine() ? QString::fromLocal8Bit(process.readLine()).trimmed() : QString();
}

QString UnitSimProcess::start(const QStringList &arguments)
{
    process.setProgram(QStringLiteral(ZELK_UNITSIM));
    process.setArguments(arguments);
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start();
    if (!process.waitForStarted(10000))
        return {};
    return readLine(process, 20000);
}

bool UnitSimProcess::command(const QString &line)
{
    process.write((line + QLatin1Char('\n')).toUtf8());
    return readLine(process, 10000) == line;
}

void UnitSimProcess::kill()
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.kill();
    process.waitForFinished(10000);
}

int UnitSimProcess::interrupt()
{
    ::kill(pid_t(process.processId()), SIGINT);
    if (!process.waitForFinished(10000))
        return -1;
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

QString UnitSimProcess::errors()
{
    return QString::fromLocal8Bit(process.readAllStandardError());
}

QString recordText(const ZelkData &d)
{
    QStringList lines;
    const auto flag = [](bool b) {
        return b ? QStringLiteral("1") : QStringLiteral("0");
    };
    lines << d.PowerSupplyID << d.SerialNumber << d.MajorVersion << d.MinorVersion << d.MODULES
          << d.ModuleGoodStatus << d.OutputStatus << d.OperatingHours
          << flag(d.FanFail) + flag(d.GlobalDC) + flag(d.OverTemp) + flag(d.GlobalOnOff) +
                 flag(d.Global) + flag(d.Group) + flag(d.AcOk) + flag(d.GlobalCurrentLimit) +
                 flag(d.FanWarn) + flag(d.GlobalOutput) + flag(d.Responding);
    for (const qint16 n : d.MasterSlave)
        lines << QString::number(n);
    for (int m = 1; m <= 5; ++m) {
        const ZelkModuleRecord &r = d.Module(m);
        lines << QStringList{r.ModuleCode,
                             r.SerialNumber,
                             r.MajorVersion,
                             r.MinorVersion,
                             r.DefaultOutputPolarity,
                             r.StartUpState,
                             r.OutputVoltageSetpoint,
                             r.VoltageHighLimit,
                             r.VoltageLowLimit,
                             r.CurrentLimitMode,
                             r.CurrentLimit,
                             r.ActivationTime,
                             r.ResetTime,
                             r.EnableReset,
                             r.StartUpDelay,
                             r.ProgrammingMode,
                             QString::number(r.GroupId),
                             r.ModuleSection,
                             r.MeasuredVoltage,
                             r.MeasuredCurrent}
                     .join(QLatin1Char('|'));
    }
    return lines.join(QLatin1Char('\n'));
}

RegisterImage imageOf(ZelkDevice &d, int unit)
{
    namespace R = ZelkRegisters;
    using Get = QString (ZelkDevice::*)(const UnitArg &, qint16 &);
    using ModuleGet = QString (ZelkDevice::*)(const UnitArg &, qint16, qint16 &);
    using TimeGet = QString (ZelkDevice::*)(const UnitArg &, qint16, qint32 &);
    using FlagsGet = QString (ZelkDevice::*)(const UnitArg &, StatusArray &);
    static const std::pair<int, Get> unitNumbers[] = {
        {R::FanFailPolarity, &ZelkDevice::GetFanFailPolarity},
        {R::DcGoodPolarity, &ZelkDevice::GetGlobalDCGoodPolarity},
        {R::OtFailPolarity, &ZelkDevice::GetOTFailPolarity},
        {R::DefaultGlobalPolarity, &ZelkDevice::GetDefaultGlobalOutputPolarity},
        {R::DefaultGlobalState, &ZelkDevice::GetDefaultGlobalOutputState},
        {R::DefaultGroupState, &ZelkDevice::GetDefaultGroupState}};
    static const std::pair<int, FlagsGet> unitFlags[] = {
        {R::PresentModules, &ZelkDevice::GetPresentModules},
        {R::ModuleGood, &ZelkDevice::GetModuleGoodStatusByte},
        {R::GlobalStatus, &ZelkDevice::GetGlobalStatusByte},
        {R::OutputState, &ZelkDevice::GetOutputState}};
    static const std::pair<quint16, ModuleGet> moduleNumbers[] = {
        {R::Module::ProgrammingMode, &ZelkDevice::GetProgrammingMode},
        {R::Module::OnOffPolarity, &ZelkDevice::GetDefaultOutputOnOffPolarity},
        {R::Module::StartUpState, &ZelkDevice::GetDefaultOutputOnOffState},
        {R::Module::DefaultVoltage, &ZelkDevice::GetDefaultOutputVoltage},
        {R::Module::GoodHigh, &ZelkDevice::GetModuleGoodHighThreshold},
        {R::Module::GoodLow, &ZelkDevice::GetModuleGoodLowThreshold},
        {R::Module::CurrentLimit, &ZelkDevice::GetCurrentLimit},
        {R::Module::GroupId, &ZelkDevice::GetGroupID}};
    static const std::pair<quint16, TimeGet> moduleTimes[] = {
        {R::Module::TurnOnDelay, &ZelkDevice::GetOutputTurnONDelayExUShort},
        {R::Module::LimitOnTime, &ZelkDevice::GetCurrentLimitONTimeExUShort},
        {R::Module::LimitOffTime, &ZelkDevice::GetCurrentLimitOFFTimeExUShort}};

    RegisterImage image;
    auto &h = image.holding;
    auto &in = image.input;
    const UnitArg u(unit);
    const auto text = [&](int at, const QString &value) {
        std::array<quint16, R::SerialRegisters> r{};
        R::putText(value, r);
        for (int i = 0; i < R::SerialRegisters; ++i)
            h[at + i] = r[std::size_t(i)];
    };
    QString s;
    qint16 a = 0, b = 0;
    h[R::UnitId] = quint16(unit);
    d.GetUnitSerialN(u, s);
    text(R::UnitSerial, s);
    d.GetUnitVersion(u, a, b);
    h[R::UnitVersion] = quint16(a), h[R::UnitVersion + 1] = quint16(b);
    for (const auto &[at, get] : unitNumbers) {
        (d.*get)(u, a);
        h[at] = quint16(a);
    }
    StatusArray flags, second;
    for (const auto &[at, get] : unitFlags) {
        (d.*get)(u, flags);
        in[at] = R::flags(flags);
    }
    d.GetMasterSlaveMode(u, flags, second);
    in[R::MasterSlave] = R::flags(flags), in[R::MasterSlave + 1] = R::flags(second);
    d.GetGlobalOutputState(u, a);
    in[R::OutputSwitches] = R::outputSwitches(a);
    d.GetOperatingHoursString(u, s);
    in[R::OperatingHours] = quint16(s.toUInt() >> 16);
    in[R::OperatingHours + 1] = quint16(s.toUInt() & 0xFFFF);

    for (qint16 m = 1; m <= 5; ++m) {
        const auto at = [m](quint16 offset) {
            return int(R::moduleRegister(m, offset));
        };
        if (d.GetModuleType(u, m, a) != QLatin1String("CMD_OK"))
            continue; // an empty position reads as zeros
        h[at(R::Module::Type)] = quint16(a);
        d.GetModuleSerialN(u, m, s);
        text(at(R::Module::Serial), s);
        d.GetModuleVersion(u, m, a, b);
        h[at(R::Module::Version)] = quint16(a), h[at(R::Module::Version) + 1] = quint16(b);
        d.GetCurrentLimitMode(u, m, a, b);
        h[at(R::Module::CurrentLimitMode)] = quint16(a), h[at(R::Module::EnableReset)] = quint16(b);
        for (const auto &[offset, get] : moduleNumbers) {
            (d.*get)(u, m, a);
            h[at(offset)] = quint16(a);
        }
        for (const auto &[offset, get] : moduleTimes) {
            qint32 ms = 0;
            (d.*get)(u, m, ms);
            h[at(offset)] = quint16(ms);
        }
        d.MeasureOutputVoltage(u, m, a);
        in[R::measuredVoltage(m)] = quint16(a);
        d.MeasureOutputCurrent(u, m, a);
        in[R::measuredCurrent(m)] = quint16(a);
    }
    return image;
}
