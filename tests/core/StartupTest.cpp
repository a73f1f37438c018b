// Start-up: globals, error-file name, serial parameters, one copy only.
#include "MockZelkDevice.h"
#include "TestSeams.h"
#include "core/DeviceRegistry.h"
#include "core/ZelkGlobals.h"
#include "core_windows/MainForm.h"

#include <QFile>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::_;
using ::testing::NiceMock;

namespace {

// Each test gets a fresh folder with the shipped settings and a device
// factory it can script.
class StartupTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (const char *file : {"ZelkGui.ini", "Zelk.ini", "scale.ini"})
            env.copyShipped(QString::fromLatin1(file));
    }
    void TearDown() override
    {
        unregisterDeviceObject(ZelkGlobals::DeviceIdentifier);
        MainForm::destroyInstance();
    }

    // Registers a mock device that expects SetINIParams with the given values
    // exactly `times` times.
    void registerMock(int timeout, int retries, int times)
    {
        registerDeviceObject(ZelkGlobals::DeviceIdentifier, [=] {
            auto mock = std::make_unique<NiceMock<MockZelkDevice>>();
            EXPECT_CALL(
                *mock, SetINIParams(::testing::Eq(qint16(timeout)), ::testing::Eq(qint16(retries))))
                .Times(times);
            if (times == 0)
                EXPECT_CALL(*mock, SetINIParams(_, _)).Times(0);
            return mock;
        });
    }

    TestEnvironment env;
};

} // namespace

// Catches globals formed in the wrong place or from the wrong keys, serial parameters
// handed to the device altered or more than once, and an error file's month and day
// written with leading zeros or in the wrong order.
TEST_F(StartupTest, InitGlobalsFormsPathsAndReadsSettings)
{
    registerMock(500, 2, 1);
    env.clock.now = QDateTime(QDate(2026, 12, 4), QTime(9, 0));
    ASSERT_TRUE(InitGlobals(env.folder()));

    // The error file inside the application folder, not glued to its name.
    const QString in = env.folder() + '/';
    EXPECT_EQ((QStringList{ZelkGlobals::ScaleIniPath, ZelkGlobals::GuiIniPath,
                           ZelkGlobals::TooltipsIniPath, ZelkGlobals::ZelkIniPath,
                           ZelkGlobals::ErrorFilePath}),
              (QStringList{in + "scale.ini", in + "ZelkGui.ini", in + "Tooltips.ini",
                           in + "Zelk.ini", in + "error124.txt"}));
    EXPECT_EQ((QStringList{ZelkGlobals::ComPort, ZelkGlobals::TestSetting,
                           ZelkGlobals::NormalTextColor, ZelkGlobals::DesktopColor,
                           ZelkGlobals::DecimalSeparator, ZelkGlobals::FileDialogAction}),
              (QStringList{"COM1", "N", "-2147483640", "-2147483647", ".", ""}));
    EXPECT_TRUE(!ZelkGlobals::TestMode && ZelkGlobals::Device);

    // The error file is named by month then day, without leading zeros.
    EXPECT_EQ(errorFileName(QDate(2026, 12, 4)), "error124.txt");
    EXPECT_EQ(errorFileName(QDate(2026, 3, 25)), "error325.txt");
    // Two dates share a name: the rule is kept as it stands.
    EXPECT_EQ(errorFileName(QDate(2026, 11, 1)), errorFileName(QDate(2026, 1, 11)));
    EXPECT_EQ(errorFileName(QDate(2026, 1, 11)), "error111.txt");
}

// Catches a case-insensitive test flag, a missing port not read as "N/A", the separator
// taken from somewhere other than the locale, and unreadable serial parameters crashing
// start-up or reaching the device.
TEST_F(StartupTest, TestFlagPortSeparatorAndBadSerialParameters)
{
    registerMock(500, 2, 1);
    env.writeFile("ZelkGui.ini", "[DEV]\r\nTest=y\r\n");
    ASSERT_TRUE(InitGlobals(env.folder()));
    EXPECT_TRUE(!ZelkGlobals::TestMode && ZelkGlobals::ComPort == "N/A");

    ZelkGlobals::reset();
    env.writeFile("ZelkGui.ini", "[DEV]\r\nTest=Y\r\n");
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    ASSERT_TRUE(InitGlobals(env.folder()));
    EXPECT_TRUE(ZelkGlobals::TestMode && ZelkGlobals::DecimalSeparator == ",");

    // Unreadable serial parameters keep the device's defaults and are logged.
    for (const QByteArray &timeout : {QByteArray("N/A"), QByteArray("abc"), QByteArray("99999")}) {
        ZelkGlobals::reset();
        registerMock(0, 0, 0);
        env.writeFile("Zelk.ini",
                      "[Serial COM Parameters]\r\nReadTimeout=" + timeout + "\r\nRetryCount=2\r\n");
        QFile::remove(env.path("error124.txt"));
        ASSERT_TRUE(InitGlobals(env.folder())) << timeout.constData();
        const QByteArray log = env.readFile("error124.txt");
        EXPECT_TRUE(log.count("\r\n") == 1 && log.contains("ReadTimeout=" + timeout))
            << log.constData();
    }
    // A missing file is the "N/A" case.
    ZelkGlobals::reset();
    registerMock(0, 0, 0);
    QFile::remove(env.path("Zelk.ini"));
    EXPECT_TRUE(InitGlobals(env.folder()));
}

// Catches start-up going on without a device object, and a second copy
// doing anything before it ends.
TEST_F(StartupTest, UnknownDeviceOrASecondCopyEndsStartup)
{
    ZelkGlobals::ApplicationFolder = env.folder();
    registerMock(500, 2, 0);
    env.desktop.instanceFree = false;
    EXPECT_FALSE(MainForm::instance().Form_Load());
    EXPECT_TRUE(env.dialogs.count() == 0 && !ZelkGlobals::Device);

    env.desktop.instanceFree = true;
    unregisterDeviceObject(ZelkGlobals::DeviceIdentifier);
    EXPECT_FALSE(MainForm::instance().Form_Load());
    ASSERT_EQ(env.dialogs.count(), 1);
    EXPECT_TRUE(env.dialogs.shown[0].text.contains("ZelkX.Zelk.1") &&
                env.dialogs.shown[0].icon == MsgIcon::Critical && !ZelkGlobals::Device);
}
