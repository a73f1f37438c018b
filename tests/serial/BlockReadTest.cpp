// Block reads on the line: a unit's stored settings and live state fetched
// as whole runs, against the unit emulator on a pseudo-terminal.
#include "LineFixture.h"
#include "configfile/ConfigFileContents.h"
#include "configfile/ConfigSession.h"
#include "core/ZelkRoutines.h"
#include "device/ModbusFrame.h"
#include "monitor/MonitorSession.h"

namespace {

// Requests and exception answers on a line.
struct FrameCount
{
    int requests = 0;
    int exceptions = 0;
    void watch(SerialBus &bus)
    {
        bus.setFrameTap([this](const ModbusFrameEvent &e) {
            requests += e.kind == ModbusFrameEvent::Kind::Request;
            exceptions += e.kind == ModbusFrameEvent::Kind::Answer &&
                          (quint8(e.bytes.at(1)) & ModbusFrame::Function::ExceptionFlag);
        });
    }
};

class BlockReads : public LineFixture
{
protected:
    // A device object of its own: nothing kept, nothing refused.
    SerialBus &freshDevice()
    {
        auto bus = std::make_unique<SerialBus>();
        qint16 timeout = TimeoutMs, retries = Retries;
        bus->SetINIParams(timeout, retries);
        SerialBus &made = *bus;
        ZelkGlobals::Device = std::move(bus);
        return made;
    }

    // The monitor's read of a unit, then one Monitor Mode poll, as texts.
    static QString monitorPoll(const QString &unit)
    {
        ZelkGlobals::SelectedUnitID = unit;
        MonitorSession session;
        QString text;
        for (const bool poll : {false, true}) {
            ZelkGlobals::MonitorCycleActive = poll;
            session.readUnit(unit);
            ZelkGlobals::MonitorCycleActive = false;
            session.readOutputStates(unit);
            text += recordText(session.data()) + QStringLiteral("hours ") +
                    session.readOperatingHours(unit).value_or(QStringLiteral("none")) + '\n';
        }
        return text;
    }
};

} // namespace

// Catches an answer cut where it is still coming: at 9600 baud a unit's
// stored settings (255 characters, 265 ms) outlast a ReadTimeout of 100 ms,
// and the read takes them whole in one try, with good check bytes.
TEST_F(BlockReads, AnswerLongerThanTheTimeoutIsTakenWhole)
{
    ASSERT_TRUE(IniFile::writeValue(env.path(QStringLiteral("ZelkGui.ini")),
                                    QStringLiteral("PARAMS"), QStringLiteral("BaudRate"),
                                    QStringLiteral("9600")));
    startLine({"--baud", "9600"});
    SerialBus &bus = freshDevice();
    qint16 timeout = 100, retries = 0;
    bus.SetINIParams(timeout, retries);
    ASSERT_EQ(bus.OpenPort(QStringLiteral("COM1")), CmdOk);
    ASSERT_EQ(bus.baud(), 9600);
    int damaged = 0;
    bus.setFrameTap(
        [&](const ModbusFrameEvent &e) { damaged += e.kind == ModbusFrameEvent::Kind::BadFrame; });
    QString serialNumber;
    EXPECT_EQ(bus.GetUnitSerialN(UnitArg(1), serialNumber), CmdOk);
    EXPECT_EQ(serialNumber, QStringLiteral("ZX5-21A0117"));
    EXPECT_EQ(damaged, 0);
    bus.ClosePort();
}

// Catches a block that answers differently from the unit's own registers (an
// offset, an empty position, the global inhibit), a refusal that is not read
// value by value or is asked again, and blocks that save nothing: the
// editor's read and a monitor poll of units 1 and 3 (an empty position) give
// the same progress logs and records with blocks, without, and from a unit
// refusing them with exception 02 or 03, which is asked once per run; the
// empty position asked directly is refused alike; zelkctl's monitor of unit
// 1 writes the same status log records, time stamps aside.
TEST_F(BlockReads, SameReadsWithAndWithoutBlocks)
{
    const struct
    {
        const char *name;
        QStringList emulator;
        bool blocks;
    } modes[] = {{"value by value", {}, false},
                 {"blocks", {}, true},
                 {"refused 02", {"--refuse-blocks", "2"}, true},
                 {"refused 03", {"--refuse-blocks", "3"}, true}};
    QString expected;
    int valueByValue = 0, valueByValueExceptions = 0;
    const QString log = env.path(QStringLiteral("status.csv"));
    for (const auto &mode : modes) {
        SCOPED_TRACE(mode.name);
        startLine(mode.emulator);
        SerialBus &bus = freshDevice();
        bus.setBlockReads(mode.blocks);
        FrameCount frames;
        frames.watch(bus);
        QString seen;
        for (const char *id : {"1", "3"}) {
            const QString unit = QLatin1String(id);
            const Read read = readSetup(bus, unit);
            seen += read.log + read.record + monitorPoll(unit);
        }
        // Unit 3's empty position asked directly: refused as the unit refuses it.
        EXPECT_EQ(bus.OpenPort(QStringLiteral("COM1")), CmdOk);
        qint16 raw = -1;
        seen +=
            bus.GetCurrentLimit(UnitArg(3), 2, raw) + bus.MeasureOutputVoltage(UnitArg(3), 2, raw);
        seen += bus.GetModuleType(UnitArg(3), 2, raw) + QString::number(raw);
        bus.ClosePort();
        // zelkctl's monitor of unit 1 over the line: its records, time stamps aside.
        QFile::remove(log);
        const Ran ctl =
            runProgram(QStringLiteral(ZELK_CTL),
                       {"--app-dir", env.folder(), "--bus", "serial", "--port", "COM1", "monitor",
                        "1", "--interval", "0", "--log", log, "--count", "2"});
        EXPECT_EQ(ctl.rc, 0) << show(ctl);
        QString records;
        for (const QString &line :
             QString::fromUtf8(env.readFile(QStringLiteral("status.csv"))).split('\n').mid(1))
            records += line.section(QLatin1Char(','), 2) + QLatin1Char('\n');
        seen += records;
        EXPECT_TRUE(records.contains(QStringLiteral(",Ok,"))) << records.toStdString();
        EXPECT_EQ(records.count(QLatin1Char('\n')), 2);
        unitsim.kill();
        if (expected.isEmpty()) {
            expected = seen;
            valueByValue = frames.requests;
            valueByValueExceptions = frames.exceptions;
            EXPECT_GT(valueByValue, 150);
            continue;
        }
        EXPECT_EQ(seen.toStdString(), expected.toStdString());
        if (mode.emulator.isEmpty()) {
            EXPECT_LT(frames.requests * 8, valueByValue) << frames.requests;
        } else {
            // Two units, two runs each: one refusal apiece, then as before.
            EXPECT_EQ(frames.requests, valueByValue + 4);
            EXPECT_EQ(frames.exceptions, valueByValueExceptions + 4);
        }
    }
}

// Catches a kept block that hides a write (a read-back verify that cannot
// fail), live state answered across a pause or a write, and a poll's port
// sessions each asking the unit again: another client changes unit 1's
// current limit behind the device object's back. Catches too a comparison
// that decides what to write from the stored settings kept a minute: after
// another client (mbpoll) changed module 1's set-point, the diff of a file
// holding the old value sees the difference at once.
TEST_F(BlockReads, AWriteOrAPauseMakesTheNextReadAskTheUnit)
{
    const QString path = startLine();
    FrameCount frames;
    frames.watch(*serial);
    SerialBus other;
    const UnitArg unit(1);
    const auto otherSets = [&](qint16 raw) {
        serial->ClosePort();
        ASSERT_EQ(other.OpenPort(QStringLiteral("COM1")), CmdOk);
        ASSERT_EQ(other.SetCurrentLimit(unit, 1, raw), CmdOk);
        other.ClosePort();
        ASSERT_EQ(serial->OpenPort(QStringLiteral("COM1")), CmdOk);
    };
    const auto limit = [&] {
        qint16 raw = -1;
        EXPECT_EQ(serial->GetCurrentLimit(unit, 1, raw), CmdOk);
        return raw;
    };

    ASSERT_EQ(serial->OpenPort(QStringLiteral("COM1")), CmdOk);
    const qint16 first = limit();
    otherSets(qint16(first + 11));
    EXPECT_EQ(limit(), first); // kept within its minute, across port sessions
    ASSERT_EQ(serial->SetCurrentLimit(unit, 1, qint16(first + 22)), CmdOk);
    otherSets(qint16(first + 33));
    EXPECT_EQ(limit(), first + 33); // what the unit holds, not what was written
    // A refused write drops the block too.
    otherSets(qint16(first + 44));
    EXPECT_NE(serial->SetGroupID(unit, 1, 7), CmdOk);
    EXPECT_EQ(limit(), first + 44);

    StatusArray flags;
    qint16 raw = 0;
    QString hours;
    ASSERT_EQ(serial->GetPresentModules(unit, flags), CmdOk);
    serial->ClosePort();
    const int asked = frames.requests;
    ASSERT_EQ(serial->OpenPort(QStringLiteral("COM1")), CmdOk);
    for (qint16 m = 1; m <= 5; ++m)
        EXPECT_EQ(serial->MeasureOutputVoltage(unit, m, raw), CmdOk);
    EXPECT_EQ(serial->GetOperatingHoursString(unit, hours), CmdOk);
    EXPECT_EQ(frames.requests, asked); // one status block for the poll
    Pause(0);
    EXPECT_EQ(serial->GetOutputState(unit, flags), CmdOk);
    EXPECT_EQ(frames.requests, asked + 1);
    ASSERT_EQ(serial->SetOutputState(unit, 1, 1), CmdOk);
    EXPECT_EQ(serial->GetOutputState(unit, flags), CmdOk);
    EXPECT_EQ(flags(1), 1);
    EXPECT_EQ(frames.requests, asked + 3);
    serial->ClosePort();

    const ConfigFileContents file = ConfigFileContents::parse(
        "[PS1]\r\nSerialNumber=ZX5-21A0117\r\n[PS1MODULE1]\r\nModuleCode=ZM 3.3V/100A\r\n"
        "OutputVoltageSetpoint=3.3\r\n");
    const auto writes = [&] {
        ConfigSession session(*ZelkGlobals::Device, ZelkGlobals::ComPort);
        QString error;
        const auto plan = session.diff(*file.unit(1), 1, &error);
        EXPECT_TRUE(plan) << error.toStdString();
        return plan ? plan->count(ConfigPlan::Kind::Write) : -1;
    };
    EXPECT_EQ(writes(), 0);
    const Ran mbpoll =
        runProgram(QStringLiteral("mbpoll"), {"-m", "rtu", "-a", "1", "-b", "115200", "-P", "none",
                                              "-0", "-1", "-t", "4", "-r", "28", path, "3000"});
    ASSERT_EQ(mbpoll.rc, 0) << show(mbpoll);
    EXPECT_EQ(writes(), 1);
}
