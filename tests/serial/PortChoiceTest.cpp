// Choosing the bus and setting up the serial line: the port dialog, --bus,
// the COM port names and the bounds of the line's settings; stable port
// names, a folder of links like /dev/serial/by-id that the port dialog lists
// and stores, and the serial line that follows a replugged adapter to its
// new device.
#include "LineFixture.h"
#include "core/ProgramModule.h"
#include "core/StablePorts.h"
#include "core/ZelkRoutines.h"
#include "core_windows/CommParamsForm.h"
#include "device/SwitchableBus.h"

#include <QFileInfo>
#include <QTest>

namespace {

const QString Params = QStringLiteral("PARAMS");

const QString AdapterA = QStringLiteral("usb-Zelk_Adapter_A-if00-port0");
const QString AdapterB = QStringLiteral("usb-Zelk_Adapter_B-if00-port0");

// A scratch by-id folder in a test folder, given back to the default after.
struct StableFolder
{
    explicit StableFolder(const TestEnvironment &env)
        : dir(env.path(QStringLiteral("by-id")))
    {
        QDir().mkpath(dir);
        QDir().mkpath(env.path(QStringLiteral("dev")));
        StablePorts::setFolder(dir);
    }
    ~StableFolder() { StablePorts::setFolder({}); }
    bool link(const QString &name, const QString &target) const
    {
        return QFile::link(target, dir + '/' + name);
    }
    QString path(const QString &name) const { return dir + '/' + name; }
    QString dir;
};

QString canonical(const QString &path)
{
    return QFileInfo(path).canonicalFilePath();
}

// dev/ttyUSB0 and dev/ttyUSB1 are the devices, dev/alias a link to ttyUSB1;
// adapter A is at ttyUSB0, B at ttyUSB1 through the alias, "gone" nowhere.
void plugIn(const TestEnvironment &env, const StableFolder &stable)
{
    for (const char *device : {"dev/ttyUSB0", "dev/ttyUSB1", "dev/other"})
        env.writeFile(QLatin1String(device), {});
    ASSERT_TRUE(QFile::link(env.path(QStringLiteral("dev/ttyUSB1")),
                            env.path(QStringLiteral("dev/alias"))));
    ASSERT_TRUE(stable.link(AdapterA, QStringLiteral("../dev/ttyUSB0")));
    ASSERT_TRUE(stable.link(AdapterB, env.path(QStringLiteral("dev/alias"))));
    ASSERT_TRUE(stable.link(QStringLiteral("usb-gone"), QStringLiteral("../dev/ttyUSB9")));
}

} // namespace

// Catches a dangling link listed as a port, a chain of links not followed, an
// adapter followed to the wrong device (or a key that opens any file), and a
// port dialog that does not offer the stable name, stores the item's display
// text, or forgets (or wrongly keeps) a short name's adapter.
TEST(StablePorts, ListsFollowsChainsAndResolvesAdapters)
{
    TestEnvironment env;
    StableFolder stable(env);
    plugIn(env, stable);
    const QString usb0 = env.path(QStringLiteral("dev/ttyUSB0"));
    const QString usb1 = canonical(env.path(QStringLiteral("dev/ttyUSB1")));

    QStringList listed;
    for (const auto &entry : StablePorts::list())
        listed << entry.stablePath << entry.device;
    EXPECT_EQ(listed,
              (QStringList{stable.path(AdapterA), canonical(usb0), stable.path(AdapterB), usb1}));
    EXPECT_EQ(StablePorts::stableNameOf(env.path(QStringLiteral("dev/alias"))),
              stable.path(AdapterB));
    EXPECT_EQ(StablePorts::stableNameOf(env.path(QStringLiteral("dev/other"))), QString());
    EXPECT_EQ(StablePorts::stableNameOf(env.path(QStringLiteral("dev/ttyUSB9"))), QString());

    using F = StablePorts::Found;
    const struct
    {
        QString adapter;
        F found;
        QString path;
    } rows[] = {
        {stable.path(AdapterA), F::InPlace, usb0},
        {stable.path(AdapterB), F::Moved, usb1},
        {stable.path(QStringLiteral("usb-gone")), F::Unplugged, usb0},
        {env.path(QStringLiteral("dev/ttyUSB1")), F::NoAdapter, usb0},
        {QString(), F::NoAdapter, usb0},
    };
    for (const auto &row : rows) {
        const auto choice = StablePorts::resolve(QStringLiteral("COM3"), usb0, row.adapter);
        EXPECT_EQ(choice.found, row.found) << row.adapter.toStdString();
        EXPECT_EQ(choice.path, row.path) << row.adapter.toStdString();
        EXPECT_EQ(choice.notice.isEmpty(), row.found != F::Moved);
    }
    EXPECT_EQ(
        StablePorts::resolve(QStringLiteral("COM3"), usb0, stable.path(AdapterB)).notice,
        QStringLiteral("The adapter of COM3 (%1) now sits at %2: %2 is used.").arg(AdapterB, usb1));

    // The port dialog.
    shippedFolder(env, false);
    const QString gui = ZelkGlobals::GuiIniPath = env.path(QStringLiteral("ZelkGui.ini"));
    ASSERT_TRUE(IniFile::writeValue(gui, QStringLiteral("PORTS"), QStringLiteral("COM3"),
                                    env.path(QStringLiteral("dev/alias"))));
    ZelkGlobals::ComPort = QStringLiteral("COM1");

    {
        CommParamsForm form;
        EXPECT_EQ(form.ComPort->itemText(8), QStringLiteral("COM9"));
        EXPECT_EQ(form.ComPort->itemText(9),
                  QStringLiteral("%1  (%2)").arg(stable.path(AdapterA), canonical(usb0)));
        form.ComPort->setCurrentIndex(9);
        QTest::mouseClick(form.OKButton, Qt::LeftButton);
    }
    EXPECT_EQ(IniFile::readString(gui, GuiIniKeys::ParamsSection, QStringLiteral("port")),
              stable.path(AdapterA));
    EXPECT_EQ(ZelkGlobals::ComPort, stable.path(AdapterA));

    // Typed in turn; each save keeps the key or drops it.
    const struct
    {
        QString typed;
        QString adapter;
    } typedRows[] = {
        {usb0, stable.path(AdapterA)},
        {QStringLiteral("COM3"), stable.path(AdapterB)},
        {env.path(QStringLiteral("dev/other")), QString()},
        {usb0, stable.path(AdapterA)},
        {stable.path(AdapterB), QString()},
        {usb0, stable.path(AdapterA)},
    };
    for (const auto &row : typedRows) {
        CommParamsForm form;
        form.ComPort->setEditText(row.typed);
        QTest::mouseClick(form.OKButton, Qt::LeftButton);
        EXPECT_EQ(IniFile::readString(gui, GuiIniKeys::ParamsSection, QStringLiteral("port")),
                  row.typed);
        EXPECT_EQ(
            IniFile::readString(gui, GuiIniKeys::ParamsSection, QStringLiteral("PortAdapter")),
            row.adapter)
            << row.typed.toStdString();
    }
    // Saved again while its adapter is away: the adapter is not forgotten.
    ASSERT_TRUE(QFile::remove(usb0));
    CommParamsForm form;
    QTest::mouseClick(form.OKButton, Qt::LeftButton);
    EXPECT_EQ(IniFile::readString(gui, GuiIniKeys::ParamsSection, QStringLiteral("PortAdapter")),
              stable.path(AdapterA));
}

using StablePortLine = LineFixture;

// Catches a replugged adapter that is not found, a notice at every opening
// (a poll opens the port often), or a notice that names another port: the
// emulator serves ttyUSB1, where the stored ttyUSB0's adapter now sits.
TEST_F(StablePortLine, FollowsTheAdapterToItsNewPortAndTellsOnce)
{
    StableFolder stable(env);
    const QString usb0 = env.path(QStringLiteral("dev/ttyUSB0"));
    const QString pty =
        unitsim.start({QStringLiteral("--store"), store, QStringLiteral("--pty"),
                       QStringLiteral("--link"), env.path(QStringLiteral("dev/ttyUSB1")),
                       QStringLiteral("--baud"), QStringLiteral("115200")});
    ASSERT_FALSE(pty.isEmpty()) << unitsim.errors().toStdString();
    ASSERT_TRUE(stable.link(AdapterA, QStringLiteral("../dev/ttyUSB1")));
    const QString gui = ZelkGlobals::GuiIniPath;
    ASSERT_TRUE(IniFile::writeValue(gui, GuiIniKeys::ParamsSection, QStringLiteral("port"), usb0));
    ASSERT_TRUE(IniFile::writeValue(gui, GuiIniKeys::ParamsSection, QStringLiteral("PortAdapter"),
                                    stable.path(AdapterA)));
    const QString notice = QStringLiteral("The adapter of %1 (%2) now sits at %3: %3 is used.")
                               .arg(usb0, AdapterA, canonical(pty));

    // ttyUSB0 absent, then another device.
    for (const bool otherDevice : {false, true}) {
        if (otherDevice)
            env.writeFile(QStringLiteral("dev/ttyUSB0"), {});
        env.dialogs.shown.clear();
        SerialBus bus;
        ASSERT_EQ(bus.OpenPort(usb0), CmdOk);
        qint16 id = 1, answer = 0;
        EXPECT_EQ(bus.GetUnitID(id, answer), CmdOk);
        EXPECT_EQ(answer, 1);
        bus.ClosePort();
        ASSERT_EQ(bus.OpenPort(usb0), CmdOk);
        bus.ClosePort();
        ASSERT_EQ(env.dialogs.count(), 1) << env.dialogs.texts().join('\n').toStdString();
        EXPECT_EQ(env.dialogs.shown[0].kind, QStringLiteral("Notice"));
        EXPECT_EQ(env.dialogs.shown[0].text, notice);
        QFile errors(ZelkGlobals::ErrorFilePath);
        ASSERT_TRUE(errors.open(QIODevice::ReadOnly));
        EXPECT_EQ(QString::fromUtf8(errors.readAll()).count(notice), otherDevice ? 2 : 1);
    }
    // A name other than the stored one is opened as it stands (COM1: the
    // fixture's absent link).
    SerialBus bus;
    EXPECT_NE(bus.OpenPort(QStringLiteral("COM1")), CmdOk);
    EXPECT_EQ(bus.OpenPort(stable.path(AdapterA)), CmdOk) << "a stable name opens as it stands";
    bus.ClosePort();
    ASSERT_TRUE(QFile::remove(stable.path(AdapterA)));
    ASSERT_TRUE(QFile::remove(usb0));
    const QString unplugged = bus.OpenPort(stable.path(AdapterA));
    EXPECT_TRUE(unplugged.startsWith(QLatin1String("ERR_PORT_UNAVAILABLE: cannot open ")) &&
                unplugged.contains(QLatin1String("adapter is not plugged in")))
        << unplugged.toStdString();
    const QString stays = bus.OpenPort(usb0);
    EXPECT_TRUE(stays.startsWith(QLatin1String("ERR_PORT_UNAVAILABLE")) && stays.contains(usb0) &&
                !stays.contains(QLatin1String("adapter")))
        << stays.toStdString();
    EXPECT_EQ(env.dialogs.count(), 1);
}

// Catches a dialog choice that is not stored, or that the device object
// ignores: choosing the serial line at 115200 baud in the port dialog writes
// both to ZelkGui.ini, and the next port opening goes to the serial line.
TEST(BusChoice, PortDialogChoiceReachesTheSettingsAndTheDevice)
{
    TestEnvironment env;
    shippedFolder(env, false);
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
        shippedFolder(env, false);
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
        shippedFolder(env, false);
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
