// Choosing the bus and setting up the serial line, without a line: the port
// dialog, --bus, the COM port names and the bounds of the line's settings.
#include "TestSeams.h"
#include "core/DeviceRegistry.h"
#include "core/IniFile.h"
#include "core/ProgramModule.h"
#include "core/ZelkGlobals.h"
#include "core/ZelkRoutines.h"
#include "core_windows/CommParamsForm.h"
#include "device/SerialBus.h"
#include "device/SwitchableBus.h"

#include <QFile>
#include <QTest>
#include <gtest/gtest.h>

namespace {

const QString Params = QStringLiteral("PARAMS");

void prepare(TestEnvironment &env)
{
    for (const char *file : {"scale.ini", "ZelkGui.ini", "Zelk.ini", "Tooltips.ini"})
        env.copyShipped(QString::fromLatin1(file));
}

} // namespace

// Catches a dialog choice that is not stored, or that the device object
// ignores: choosing the serial line at 115200 baud in the port dialog writes
// both to ZelkGui.ini, and the next port opening goes to the serial line.
TEST(BusChoice, PortDialogChoiceReachesTheSettingsAndTheDevice)
{
    TestEnvironment env;
    prepare(env);
    ZelkGlobals::GuiIniPath = env.path(QStringLiteral("ZelkGui.ini"));
    ZelkGlobals::ComPort = QStringLiteral("COM1");
    SwitchableBus bus(env.folder());
    ASSERT_EQ(ZelkGlobals::Bus, GuiIniKeys::BusSimulated);

    CommParamsForm form;
    EXPECT_TRUE(form.lblPortList->isHidden()) << form.lblPortList->text().toStdString();
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(form.ComPort->itemText(i), QStringLiteral("COM%1").arg(i + 1));
    EXPECT_EQ(form.Baud->text(), QStringLiteral("9600")); // the display-only box stays
    EXPECT_EQ(form.cboBaudRate->currentText(), QStringLiteral("9600"));
    form.cboBus->setCurrentIndex(form.cboBus->findData(GuiIniKeys::BusSerial));
    form.cboBaudRate->setCurrentIndex(form.cboBaudRate->findText(QStringLiteral("115200")));
    form.ComPort->setEditText(env.path(QStringLiteral("no-such-tty")));
    QTest::mouseClick(form.OKButton, Qt::LeftButton);

    const QString gui = ZelkGlobals::GuiIniPath;
    EXPECT_EQ(IniFile::readString(gui, Params, QStringLiteral("Bus")), QStringLiteral("serial"));
    EXPECT_EQ(IniFile::readString(gui, Params, QStringLiteral("BaudRate")),
              QStringLiteral("115200"));
    EXPECT_EQ(SwitchableBus::initialChoice(env.folder()), GuiIniKeys::BusSerial);
    // Only the serial line fails this way: the simulated bus knows no paths.
    // The line module beside the program was loaded: the port itself failed.
    const QString reply = bus.OpenPort(ZelkGlobals::ComPort);
    EXPECT_TRUE(reply.startsWith(QLatin1String("ERR_PORT_UNAVAILABLE")) &&
                reply.contains(ZelkGlobals::ComPort) && ProgramModule::failureIn(reply).isEmpty())
        << reply.toStdString();
    EXPECT_EQ(bus.kind(), GuiIniKeys::BusSerial);

    // The stored choice comes back in the dialog.
    CommParamsForm again;
    EXPECT_EQ(again.cboBus->currentData().toString(), GuiIniKeys::BusSerial);
    EXPECT_EQ(again.cboBaudRate->currentText(), QStringLiteral("115200"));
}

// Catches a line module that cannot be loaded taken for a wrong port, or a
// crash: the port opening fails with the loader's reason, which the user is
// shown after the usual message.
TEST(BusChoice, AMissingLineModuleIsToldAsSuch)
{
    TestEnvironment env;
    ProgramModule missing(QStringLiteral("no-such-line.so"), QStringLiteral("the line"));
    SerialBus bus([&](const QString &target, int baud, int connectTimeoutMs) {
        return SerialBus::lineTransport(missing, target, baud, connectTimeoutMs);
    });
    const QString reply = bus.OpenPort(QStringLiteral("/dev/ttyS3"));
    ASSERT_TRUE(reply.startsWith(QLatin1String("ERR_PORT_UNAVAILABLE"))) << reply.toStdString();
    const QString why = ProgramModule::failureIn(reply);
    EXPECT_TRUE(why == missing.why() && why.contains(QLatin1String("the line")) &&
                why.contains(ProgramModule::folder() + QStringLiteral("/no-such-line.so")))
        << why.toStdString();
    reportPortNotOpened(reply);
    EXPECT_EQ(env.dialogs.texts().value(1), why);
}

// Catches --bus that loses against the settings file, or takes a bus name
// it does not know.
TEST(BusChoice, CommandLineWinsForOneRun)
{
    const struct
    {
        const char *stored;
        QStringList arguments;
        bool accepted;
        const char *bus;
    } rows[] = {
        {"serial", {"ZelkSoft"}, true, "serial"},
        {"serial", {"ZelkSoft", "--bus", "simulated"}, true, "simulated"},
        {"", {"ZelkSoft", "--bus=SERIAL"}, true, "serial"},
        {"", {"ZelkSoft"}, true, "simulated"},
        {"modem", {"ZelkSoft"}, true, "simulated"},
        {"", {"ZelkSoft", "--bus", "modem"}, false, "simulated"},
    };
    for (const auto &row : rows) {
        TestEnvironment env;
        prepare(env);
        ASSERT_TRUE(IniFile::writeValue(env.path(QStringLiteral("ZelkGui.ini")), Params,
                                        QStringLiteral("Bus"), QLatin1String(row.stored)));
        ZelkGlobals::BusOverride.clear();
        QString why;
        EXPECT_EQ(SwitchableBus::takeOverride(row.arguments, &why), row.accepted)
            << row.arguments.join(' ').toStdString();
        EXPECT_EQ(why.isEmpty(), row.accepted);
        EXPECT_EQ(SwitchableBus::initialChoice(env.folder()), QLatin1String(row.bus))
            << row.stored << " " << row.arguments.join(' ').toStdString();
        ZelkGlobals::BusOverride.clear();
    }
}

// Catches a COM name mapped to the wrong device, and a path or gateway
// address taken for a COM name.
TEST(BusChoice, PortNamesBecomeDevicePaths)
{
    TestEnvironment env;
    env.writeFile(QStringLiteral("ZelkGui.ini"), "[PORTS]\r\nCOM3=/dev/ttyUSB0\r\nCOM4=\r\n");
    const QString gui = env.path(QStringLiteral("ZelkGui.ini"));
    const std::pair<const char *, const char *> rows[] = {
        {"COM3", "/dev/ttyUSB0"},         {"com3", "/dev/ttyUSB0"},
        {"COM1", "/dev/ttyS0"},           {"COM4", "/dev/ttyS3"},
        {"COM9", "/dev/ttyS8"},           {"COM10", "COM10"},
        {"/dev/ttyACM1", "/dev/ttyACM1"}, {"tcp://10.0.0.5:502", "tcp://10.0.0.5:502"}};
    for (const auto &[port, path] : rows)
        EXPECT_EQ(SerialBus::devicePath(QLatin1String(port), gui), QLatin1String(path)) << port;
}

// Catches settings that would let a silent unit hold a window for minutes:
// a timeout or retry count outside its bounds leaves the line's defaults and
// writes one line to the error file; values inside reach the device.
TEST(BusChoice, LineSettingsOutsideTheirBoundsKeepTheDefaults)
{
    const struct
    {
        const char *timeout;
        const char *retries;
        int appliedTimeout;
        int appliedRetries;
        int errorLines;
    } rows[] = {{"40", "0", 40, 0, 0},
                {"5000", "5", 5000, 5, 0},
                {"9", "2", SerialBus::DefaultTimeoutMs, SerialBus::DefaultRetries, 1},
                {"9000", "2", SerialBus::DefaultTimeoutMs, SerialBus::DefaultRetries, 1},
                {"500", "6", SerialBus::DefaultTimeoutMs, SerialBus::DefaultRetries, 1},
                {"500", "-1", SerialBus::DefaultTimeoutMs, SerialBus::DefaultRetries, 1}};
    registerDeviceObject(ZelkGlobals::DeviceIdentifier,
                         [] { return std::make_unique<SerialBus>(); });
    for (const auto &row : rows) {
        TestEnvironment env;
        prepare(env);
        env.writeFile(
            QStringLiteral("Zelk.ini"),
            QStringLiteral("[Serial COM Parameters]\r\nReadTimeout=%1\r\nRetryCount=%2\r\n")
                .arg(QLatin1String(row.timeout), QLatin1String(row.retries))
                .toLatin1());
        ASSERT_TRUE(InitGlobals(env.folder()));
        const auto *serial = dynamic_cast<SerialBus *>(ZelkGlobals::Device.get());
        ASSERT_NE(serial, nullptr);
        EXPECT_EQ(serial->readTimeoutMs(), row.appliedTimeout) << row.timeout;
        EXPECT_EQ(serial->retryCount(), row.appliedRetries) << row.retries;
        QFile errors(ZelkGlobals::ErrorFilePath);
        const int lines = errors.open(QIODevice::ReadOnly) ? int(errors.readAll().count('\n')) : 0;
        EXPECT_EQ(lines, row.errorLines) << row.timeout << " " << row.retries;
    }
    unregisterDeviceObject(ZelkGlobals::DeviceIdentifier);
}
