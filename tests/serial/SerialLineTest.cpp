// The serial device object against real processes on a pseudo-terminal: the
// unit emulator, a Modbus tool and a Modbus server nobody here wrote.
#include "LineFixture.h"
#include "app/ZelkApplication.h"
#include "core/ZelkRoutines.h"
#include "core_windows/MainForm.h"
#include "device/ModbusFrame.h"
#include "device/SharedLineDevice.h"
#include "device/ZelkRegisterMap.h"
#include "editor/EditorState.h"
#include "editor/EepromWriter.h"
#include "editor/SupplyConfig.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTest>
#include <algorithm>
#include <csignal>
#include <utility>

namespace {

using SerialLine = LineFixture;

// Wire time of the exchanges a tap saw.
struct WireClock
{
    qint64 ns = 0;
    int requestBytes = 0;
    int exchanges = 0;
    void watch(SerialBus &bus, int baud)
    {
        bus.setFrameTap([this, baud](const ModbusFrameEvent &e) {
            if (e.kind == ModbusFrameEvent::Kind::Request) {
                requestBytes = int(e.bytes.size());
            } else if (e.kind == ModbusFrameEvent::Kind::Answer) {
                ns += ModbusFrame::exchangeNs(requestBytes, int(e.bytes.size()), baud);
                ++exchanges;
            }
        });
    }
};

} // namespace

// Catches a register the client and the emulator place differently, a value
// decoded wrongly, a read that ends early, or a line that is not paced: the
// editor's read of every demo unit (empty positions, the global inhibit)
// through the serial line equals the read in this process, record and
// progress log alike, and takes at least the wire time of its frames.
TEST_F(SerialLine, EditorReadEqualsTheInProcessRead)
{
    startLine();
    WireClock wire;
    wire.watch(*serial, 115200);
    for (const char *unit : {"1", "3", "5", "7"}) {
        const Read expected = readSetup(*inProcess, QLatin1String(unit));
        QElapsedTimer timer;
        timer.start();
        const Read got = readSetup(*serial, QLatin1String(unit));
        const qint64 elapsed = timer.nsecsElapsed();
        EXPECT_EQ(got.record, expected.record) << unit;
        EXPECT_EQ(got.log, expected.log) << unit;
        EXPECT_GE(elapsed, wire.ns) << unit;
        wire.ns = 0;
    }
    EXPECT_GE(wire.exchanges, 8); // at least the two runs of each unit
}

// Catches an editor write that the emulator does not keep: options written
// through the editor's writer are in the emulator's simbus.ini after Ctrl-C
// (which must end it cleanly) and read back through the line.
TEST_F(SerialLine, EditorWritePersistsInTheEmulatorsStore)
{
    startLine();
    const QString before = readSetup(*inProcess, QStringLiteral("1")).record;
    EepromWriter writer(*ZelkGlobals::Device, QStringLiteral("1"), ZelkGlobals::ComPort,
                        QStringLiteral("."));
    ASSERT_EQ(writer.writeUnitOptions({0, 0, 1, 1, 1}), EepromWriter::Result::Written);
    ASSERT_EQ(unitsim.interrupt(), 0);

    QString stored;
    {
        // Released before the emulator takes the store again.
        SimulatedBus bus(QFileInfo(store).absolutePath());
        bus.setNoiseEnabled(false);
        bus.setWireModelEnabled(false);
        stored = readSetup(bus, QStringLiteral("1")).record;
    }
    EXPECT_NE(stored, before);
    startLine();
    EXPECT_EQ(readSetup(*serial, QStringLiteral("1")).record.toStdString(), stored.toStdString());
}

// Catches a register map that only our own two ends agree on: mbpoll reads
// unit 1's stored settings (one request of 125 registers) and its live state
// from the emulator and gets what the map says the unit holds.
TEST_F(SerialLine, MbpollReadsTheRegistersOfTheMap)
{
    const QString path = startLine();
    ASSERT_EQ(inProcess->OpenPort(QStringLiteral("COM1")), CmdOk);
    const RegisterImage image = imageOf(*inProcess, 1);
    inProcess->ClosePort();
    const struct
    {
        const char *table;
        int count;
        const std::map<int, quint16> &expected;
    } reads[] = {{"4", ZelkRegisters::StoredCount, image.holding},
                 {"3", ZelkRegisters::LiveCount, image.input}};
    for (const auto &read : reads) {
        QProcess mbpoll;
        mbpoll.start(QStringLiteral("mbpoll"),
                     {"-m", "rtu", "-a", "1", "-b", "115200", "-P", "none", "-0", "-1", "-o", "2",
                      "-t", read.table, "-r", "0", "-c", QString::number(read.count), path});
        ASSERT_TRUE(mbpoll.waitForFinished(20000));
        std::map<int, quint16> got;
        static const QRegularExpression value(QStringLiteral("^\\[(\\d+)\\]:\\s+(-?\\d+)"),
                                              QRegularExpression::MultilineOption);
        const QString out = QString::fromLocal8Bit(mbpoll.readAllStandardOutput());
        for (auto it = value.globalMatch(out); it.hasNext();) {
            const auto m = it.next();
            got[m.captured(1).toInt()] = quint16(m.captured(2).toInt());
        }
        ASSERT_EQ(int(got.size()), read.count) << out.toStdString();
        for (int at = 0; at < read.count; ++at) {
            const auto e = read.expected.find(at);
            EXPECT_EQ(got[at], e == read.expected.end() ? 0 : e->second)
                << "table " << read.table << " register " << at;
        }
    }
}

// Catches a client that only understands our own emulator: a pymodbus
// server filled from the register map serves unit 1, and the editor's read
// through our serial device object equals the in-process read.
TEST_F(SerialLine, ReadsAUnitServedByPymodbus)
{
    ASSERT_EQ(inProcess->OpenPort(QStringLiteral("COM1")), CmdOk);
    const RegisterImage image = imageOf(*inProcess, 1);
    inProcess->ClosePort();
    QByteArray lines;
    for (const auto &[kind, table] : {std::pair{"h", &image.holding}, std::pair{"i", &image.input}})
        for (const auto &[at, v] : *table)
            lines += QByteArray(kind) + ' ' + QByteArray::number(at) + ' ' + QByteArray::number(v) +
                     '\n';
    env.writeFile(QStringLiteral("registers.txt"), lines);

    QProcess server;
    server.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral(ZELK_SERIAL_DATA_DIR "/pymodbus_unit.py"),
                  env.path(QStringLiteral("registers.txt")), QStringLiteral("1")});
    const QString path = readLine(server, 20000);
    ASSERT_FALSE(path.isEmpty()) << server.readAllStandardError().toStdString();
    const Read expected = readSetup(*inProcess, QStringLiteral("1"));
    ZelkGlobals::ComPort = path;
    EXPECT_EQ(readSetup(*serial, QStringLiteral("1")).record.toStdString(),
              expected.record.toStdString());
    server.kill();
    server.waitForFinished(10000);
}

// Catches a call that hangs on a dead line, a failure without the port and
// unit in its text, and a port that cannot be opened again: the emulator is
// killed in the middle of the editor's read; the rest of the read fails at
// once (the terminal hangs up, as an unplugged adapter does), well within
// ReadTimeout x (RetryCount + 1); a new emulator on the same link is read.
TEST_F(SerialLine, EmulatorKilledMidReadFailsPromptlyAndComesBack)
{
    startLine();
    int requests = 0;
    QElapsedTimer sinceKill;
    serial->setFrameTap([&](const ModbusFrameEvent &e) {
        // The second request fetches the unit's stored settings.
        if (e.kind == ModbusFrameEvent::Kind::Request && ++requests == 2) {
            ::kill(pid_t(unitsim.process.processId()), SIGKILL);
            sinceKill.start();
        }
    });
    auto recording = std::make_unique<RecordingDevice>(*serial);
    const RecordingDevice *recorder = recording.get();
    std::unique_ptr<ZelkDevice> program = std::exchange(ZelkGlobals::Device, std::move(recording));
    ZelkData data;
    data.ReadZelkSetup(QStringLiteral("1"), nullptr);
    const qint64 elapsedMs = sinceKill.isValid() ? sinceKill.elapsed() : -1;
    serial->setFrameTap({});
    const std::vector<RecordingDevice::Call> calls = recorder->calls();
    ZelkGlobals::Device = std::move(program);

    int failed = 0;
    for (const auto &call : calls) {
        if (!call.reply.startsWith(QLatin1String("ERR_TIMEOUT")) &&
            !call.reply.startsWith(QLatin1String("ERR_PORT")))
            continue;
        ++failed;
        EXPECT_TRUE(call.reply.contains(link) && (call.method == QLatin1String("OpenPort") ||
                                                  call.reply.contains(QLatin1String("unit 1"))))
            << call.method.toStdString() << ": " << call.reply.toStdString();
    }
    QStringList log;
    for (const auto &call : calls)
        log << call.text();
    ASSERT_GE(elapsedMs, 0);
    SCOPED_TRACE(log.join(QLatin1Char('\n')).toStdString());
    EXPECT_GE(failed, 1);
    // The terminal's hang-up is seen at once, not after the retries.
    EXPECT_TRUE(std::any_of(calls.begin(), calls.end(), [](const auto &c) {
        return c.reply.startsWith(QLatin1String("ERR_PORT_LOST"));
    }));
    EXPECT_LE(elapsedMs, TimeoutMs * (Retries + 1));
    EXPECT_FALSE(data.Responding);
    EXPECT_TRUE(ZelkGlobals::LastError.contains(QLatin1String("unit 1")))
        << ZelkGlobals::LastError.toStdString();

    unitsim.kill();
    startLine();
    EXPECT_EQ(readSetup(*serial, QStringLiteral("1")).record,
              readSetup(*inProcess, QStringLiteral("1")).record);
}

namespace {
// Every number of a unit's first module that the editor reads, by getter.
using ModuleGet = QString (ZelkDevice::*)(const UnitArg &, qint16, qint16 &);
const ModuleGet ModuleNumbers[] = {&ZelkDevice::GetModuleType,
                                   &ZelkDevice::GetProgrammingMode,
                                   &ZelkDevice::GetDefaultOutputVoltage,
                                   &ZelkDevice::GetModuleGoodHighThreshold,
                                   &ZelkDevice::GetModuleGoodLowThreshold,
                                   &ZelkDevice::GetCurrentLimit,
                                   &ZelkDevice::GetGroupID};
} // namespace

// Catches a damaged answer taken for a value, a lost one that is not tried
// again, and a read that gives up without saying so: with answers garbled
// and dropped, a read either gives the exact value or an error naming the
// unit and the port; with every answer garbled, every read fails.
TEST_F(SerialLine, DamagedAndLostAnswersAreRetriedAndNeverMisread)
{
    ASSERT_EQ(inProcess->OpenPort(QStringLiteral("COM1")), CmdOk);
    std::vector<qint16> expected;
    for (const ModuleGet get : ModuleNumbers) {
        qint16 v = 0;
        ASSERT_EQ((inProcess.get()->*get)(UnitArg(1), 1, v), CmdOk);
        expected.push_back(v);
    }
    inProcess->ClosePort();

    const struct
    {
        const char *garble;
        const char *drop;
        bool someSucceed;
    } lines[] = {{"0.25", "0.1", true}, {"1", "0", false}};
    for (const auto &line : lines) {
        startLine({"--garble-rate", line.garble, "--drop-rate", line.drop, "--seed", "7"});
        int bad = 0, lost = 0, ok = 0;
        serial->setFrameTap([&](const ModbusFrameEvent &e) {
            bad += e.kind == ModbusFrameEvent::Kind::BadFrame;
            lost += e.kind == ModbusFrameEvent::Kind::Timeout;
        });
        // Every value on its own: many exchanges, each retried alone.
        serial->setBlockReads(false);
        ASSERT_EQ(serial->OpenPort(QStringLiteral("COM1")), CmdOk);
        for (int round = 0; round < 4; ++round) {
            for (std::size_t i = 0; i < std::size(ModuleNumbers); ++i) {
                qint16 v = -1;
                const ModuleGet get = ModuleNumbers[i];
                const QString reply = (serial->*get)(UnitArg(1), 1, v);
                if (reply == CmdOk) {
                    ++ok;
                    EXPECT_EQ(v, expected[i]) << i;
                } else {
                    EXPECT_TRUE(reply.startsWith(QLatin1String("ERR_TIMEOUT")) &&
                                reply.contains(QLatin1String("unit 1")) && reply.contains(link))
                        << reply.toStdString();
                }
            }
        }
        serial->ClosePort();
        serial->setFrameTap({});
        EXPECT_GT(bad, 0) << line.garble;
        EXPECT_EQ(lost > 0, line.drop != std::string_view("0")) << line.drop;
        EXPECT_EQ(ok > 0, line.someSucceed) << line.garble;
        unitsim.kill();
    }
}

// Catches a silent unit that holds the caller longer than its settings
// allow, or fails before its retries: a unit the emulator keeps silent
// fails after ReadTimeout x (RetryCount + 1), each retry after the late
// answer of the try before could have come (ReadTimeout more), naming the
// unit and the port.
TEST_F(SerialLine, SilentUnitFailsAfterItsRetries)
{
    startLine({"--silent", "1"});
    ASSERT_EQ(serial->OpenPort(QStringLiteral("COM1")), CmdOk);
    QElapsedTimer timer;
    timer.start();
    qint16 value = 0;
    const QString reply = serial->GetFanFailPolarity(UnitArg(1), value);
    const qint64 elapsedMs = timer.elapsed();
    serial->ClosePort();
    EXPECT_TRUE(reply.startsWith(QLatin1String("ERR_TIMEOUT")) &&
                reply.contains(QLatin1String("unit 1")) && reply.contains(link))
        << reply.toStdString();
    EXPECT_GE(elapsedMs, TimeoutMs * (2 * Retries + 1));
    EXPECT_LE(elapsedMs, TimeoutMs * (2 * Retries + 1) + 100);
}

// Catches a window that a dead line leaves locked or frozen: the emulator is
// killed in the middle of the editor's own read; the editor offers the error
// file, collapses and takes the next choice, and reads the unit once the
// emulator is back.
TEST_F(SerialLine, EditorStaysUsableWhenTheLineDies)
{
    startLine();
    EditorState::reset();
    ZelkApplication::wire();
    ASSERT_TRUE(ZelkApplication::start());
    auto *line = dynamic_cast<SerialBus *>(SharedLineDevice::behind(ZelkGlobals::Device.get()));
    ASSERT_NE(line, nullptr);
    QTest::mouseClick(MainForm::instance().Picture1, Qt::LeftButton);
    SupplyConfig &e = SupplyConfig::instance();
    const auto readUnit = [&e] {
        const int index = e.UnitList->findText(QStringLiteral("1"));
        e.UnitList->setCurrentIndex(index);
        emit e.UnitList->activated(index);
        QTest::mouseClick(e.SelectButton, Qt::LeftButton);
    };
    int requests = 0;
    line->setFrameTap([&](const ModbusFrameEvent &ev) {
        if (ev.kind == ModbusFrameEvent::Kind::Request && ++requests == 2)
            ::kill(pid_t(unitsim.process.processId()), SIGKILL);
    });
    QElapsedTimer timer;
    timer.start();
    readUnit();
    line->setFrameTap({});
    EXPECT_LT(timer.elapsed(), TimeoutMs * (Retries + 1) + 2000);
    EXPECT_FALSE(EditorState::UnitShown);
    EXPECT_TRUE(!e.ErrorButton->isHidden() && e.ErrorButton->isEnabled());
    EXPECT_TRUE(ZelkGlobals::LastError.contains(QLatin1String("ERR_PORT_LOST")))
        << ZelkGlobals::LastError.toStdString();
    for (QWidget *w : {static_cast<QWidget *>(e.SelectButton), static_cast<QWidget *>(e.UnitList),
                       static_cast<QWidget *>(e.cmdComSettings)})
        EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();

    unitsim.kill();
    startLine();
    readUnit();
    EXPECT_TRUE(EditorState::UnitShown);
    ZelkApplication::unwire();
    EditorState::reset();
}
