// The serial device object against real processes on a pseudo-terminal: the
// unit emulator and a Modbus server nobody here wrote.
#include "LineFixture.h"
#include "core/ZelkRoutines.h"
#include "core_windows/MainForm.h"
#include "device/ModbusFrame.h"
#include "device/SharedLineDevice.h"
#include "editor/EditorState.h"
#include "editor/EepromWriter.h"
#include "editor/SupplyConfig.h"

#include <QElapsedTimer>
#include <QFileInfo>
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
// decoded wrongly, a read that ends early, a line that is not paced, or an
// editor write the emulator does not keep: the editor's read of every demo
// unit (empty positions, the global inhibit) through the serial line equals
// the read in this process, record and progress log alike, and takes at least
// the wire time of its frames; options written through the editor's writer
// are in the emulator's simbus.ini after Ctrl-C (which must end it cleanly)
// and read back through the line. Catches too a map or a framing that only
// our own two ends agree on (WireProtocolDoc holds both to the page): a
// pymodbus server filled with unit 1's runs serves it, and the editor's read
// through our serial device object equals the in-process read.
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
    serial->setFrameTap({});

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

    // A pymodbus server filled with unit 1's runs, as the register server in
    // this process answers them, serves unit 1 on a line of its own.
    const RegisterImage image = imageOf(*inProcess, 1);
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
    const QString expected = readSetup(*inProcess, QStringLiteral("1")).record;
    ZelkGlobals::ComPort = readLine(server, 20000);
    ASSERT_FALSE(ZelkGlobals::ComPort.isEmpty()) << server.readAllStandardError().toStdString();
    EXPECT_EQ(readSetup(*serial, QStringLiteral("1")).record.toStdString(), expected.toStdString());
    server.kill();
    server.waitForFinished(10000);
}

// Catches a call that hangs on a dead line, a failure without the port and
// unit in its text, a port that cannot be opened again, and a window that a
// dead line leaves locked or frozen: the emulator is killed in the middle of
// the editor's read; the rest of the read fails at once (the terminal hangs
// up, as an unplugged adapter does), well within ReadTimeout x (RetryCount +
// 1); on a new emulator on the same link, killed in the middle of the
// editor's own read, the editor offers the error file, collapses and takes
// the next choice, and reads the unit once the emulator is back.
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

    // The editor's own read, on a new emulator on the same link, killed alike.
    unitsim.kill();
    startLine();
    startProgram();
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
    requests = 0;
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
}
