#include "UnitSimProcess.h"

#include "core/IniFile.h"
#include "device/ModbusFrame.h"
#include "device/SimulatedBus.h"
#include "unitsim/UnitRegisterServer.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <csignal>
#include <gtest/gtest.h>

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

bool UnitSimProcess::startScratchLine(const TestEnvironment &env, int retries,
                                      const QStringList &more)
{
    QDir(env.folder()).mkdir("line");
    const QString link = env.path("line.tty"), gui = env.path("ZelkGui.ini");
    if (!QFile::copy(env.path("simbus.ini"), env.path("line/simbus.ini")) ||
        !QFile::copy(env.path("scale.ini"), env.path("line/scale.ini")) ||
        !IniFile::writeString(gui, "PORTS", "COM1", link) ||
        !IniFile::writeString(gui, "PARAMS", "BaudRate", "115200"))
        return false;
    env.writeFile(QStringLiteral("Zelk.ini"),
                  "[Serial COM Parameters]\r\nReadTimeout=150\r\nRetryCount=" +
                      QByteArray::number(retries) + "\r\n");
    return !start(QStringList{"--store", env.path("line/simbus.ini"), "--pty", "--link", link,
                              "--baud", "115200", "--no-noise"} +
                  more)
                .isEmpty();
}

bool UnitSimProcess::command(const QString &line)
{
    process.write((line + QLatin1Char('\n')).toUtf8());
    return readLine(process, 10000) == line;
}

QString UnitSimProcess::refusal(const QString &line)
{
    process.write((line + QLatin1Char('\n')).toUtf8());
    process.setReadChannel(QProcess::StandardError);
    const QString said = readLine(process, 10000);
    process.setReadChannel(QProcess::StandardOutput);
    return said;
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
    QStringList lines{d.PowerSupplyID, d.SerialNumber,     d.MajorVersion, d.MinorVersion,
                      d.MODULES,       d.ModuleGoodStatus, d.OutputStatus, d.OperatingHours};
    QString flags;
    for (const bool b : {d.FanFail, d.GlobalDC, d.OverTemp, d.GlobalOnOff, d.Global, d.Group,
                         d.AcOk, d.GlobalCurrentLimit, d.FanWarn, d.GlobalOutput, d.Responding})
        flags += QLatin1Char(b ? '1' : '0');
    lines << flags;
    for (const qint16 n : d.MasterSlave)
        lines << QString::number(n);
    for (int m = 1; m <= 5; ++m) {
        const ZelkModuleRecord &r = d.Module(m);
        QStringList f;
        f << r.ModuleCode << r.SerialNumber << r.MajorVersion << r.MinorVersion
          << r.DefaultOutputPolarity << r.StartUpState << r.OutputVoltageSetpoint
          << r.VoltageHighLimit << r.VoltageLowLimit << r.CurrentLimitMode << r.CurrentLimit
          << r.ActivationTime << r.ResetTime << r.EnableReset << r.StartUpDelay << r.ProgrammingMode
          << QString::number(r.GroupId) << r.ModuleSection << r.MeasuredVoltage
          << r.MeasuredCurrent;
        lines << f.join(QLatin1Char('|'));
    }
    return lines.join(QLatin1Char('\n'));
}

RegisterImage imageOf(SimulatedBus &bus, int unit)
{
    UnitRegisterServer server(bus);
    RegisterImage image;
    EXPECT_EQ(bus.OpenPort(QStringLiteral("COM1")), QStringLiteral("CMD_OK"));
    for (const auto &[function, count, table] :
         {std::tuple{quint8(3), ZelkRegisters::StoredCount, &image.holding},
          std::tuple{quint8(4), ZelkRegisters::LiveCount, &image.input}}) {
        const QByteArray pdu = ModbusFrame::readRequest(function, 0, count);
        const auto answer =
            ModbusFrame::parseAnswer(pdu, server.answer(quint8(unit), pdu).value_or(QByteArray()));
        for (std::size_t i = 0; i < answer.registers.size(); ++i)
            (*table)[int(i)] = answer.registers[i];
    }
    bus.ClosePort();
    return image;
}

namespace {
class FakeLine final : public ModbusTransport
{
public:
    explicit FakeLine(LineAnswer answer)
        : m_answer(std::move(answer))
    {}
    QString open() override { return {}; }
    void close() override {}
    QString lostText() const override { return {}; }
    Exchange exchange(quint8, const QByteArray &pdu, int timeoutMs) override
    {
        return m_answer(pdu, timeoutMs);
    }

private:
    LineAnswer m_answer;
};
} // namespace

SerialBus::TransportFactory fakeLine(LineAnswer answer)
{
    return [answer](const QString &, int, int) {
        return std::make_unique<FakeLine>(answer);
    };
}
