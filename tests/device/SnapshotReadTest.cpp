// Unit snapshot reads on the demo bus (the editor's set-up read with its
// progress log, and the monitor's status read), and the recording decorator,
// the device registry and the status arrays they rely on.
#include "../serial/UnitSimProcess.h"
#include "BusFixture.h"
#include "MockZelkDevice.h"
#include "ReadSteps.h"
#include "device/ZelkData.h"

#include <array>
#include <gmock/gmock.h>

namespace {

const QString ModuleTypeLabel = QLatin1String(ReadSteps[10].first);

class SnapshotTest : public BusFixture
{
protected:
    // The unit's set-up read on a fresh log and call record.
    void readSetup(const QString &unit)
    {
        ZelkGlobals::SelectedUnitID = unit;
        record().clear();
        log.text.clear();
        data.ReadZelkSetup(unit, &log);
    }
    QStringList calls() { return record().methodNames(); }

    ZelkData data;
    TextLog log;
};

QStringList repeat(const QString &name, int times)
{
    QStringList l;
    for (int i = 0; i < times; ++i)
        l << name;
    return l;
}

} // namespace

// Catches a unit that stops answering being asked anything more, or its log
// going on past the step that failed.
TEST_F(SnapshotTest, UnitStoppingAtAnyStepIsAskedNothingMore)
{
    for (const auto &[label, method] : ReadSteps) {
        if (!method)
            continue;
        SCOPED_TRACE(method);
        bus->clearFailures();
        bus->failMethod(method, "ERR_TIMEOUT");
        readSetup("1");

        EXPECT_TRUE(log.text.endsWith("Ok\r\n" + QLatin1String(label)));
        EXPECT_TRUE(ZelkGlobals::ErrorFlag);
        const QStringList names = calls();
        const qsizetype first = names.indexOf(method);
        ASSERT_GE(first, 0);
        // Other modules of the failing step may still be asked; then only the port closes.
        const QStringList after = names.mid(first);
        for (qsizetype i = 0; i + 1 < after.size(); ++i)
            EXPECT_EQ(after.at(i), method);
        EXPECT_EQ(after.constLast(), "ClosePort");
    }
}

// Catches the inhibit path reading modules or missing its log text, and a
// unit held off by default asked for its module types.
TEST_F(SnapshotTest, GlobalInhibitAndDefaultOff)
{
    int inhibit = 0;
    bus->failMethod("GetModuleType", "ERR");
    QObject::connect(&data, &ZelkData::globalInhibitDetected, [&] { ++inhibit; });
    readSetup("1");
    EXPECT_TRUE(
        log.text.endsWith(ModuleTypeLabel + "Ok\r\n\r\nModules OFF by GLOBAL INHIBIT.Ok\r\n"));
    EXPECT_EQ(inhibit, 1);
    EXPECT_FALSE(calls().contains("GetModuleSerialN"));

    bus->clearFailures();
    readSetup("7");
    EXPECT_TRUE(log.text.endsWith(ModuleTypeLabel + "Ok\r\n"));
    EXPECT_FALSE(log.text.contains("INHIBIT"));
    const QStringList names = calls();
    EXPECT_FALSE(names.mid(names.indexOf("GetDefaultGlobalOutputState")).contains("GetModuleType"));
}

// Catches the monitor's read asking the wrong things in the wrong order.
TEST_F(SnapshotTest, MonitorReadSequencesFullAndShort)
{
    ZelkGlobals::SelectedUnitID = "3"; // modules 1 and 3
    const QString type = "GetModuleType";
    for (const bool shortRead : {false, true}) {
        SCOPED_TRACE(shortRead);
        record().clear();
        ZelkGlobals::MonitorCycleActive = shortRead;
        data.ReadZelkMonitor("3");
        const QStringList full =
            QStringList{"OpenPort", "GetPresentModules"} + repeat(type, 2) +
            QStringList{"GetModuleGoodStatusByte"} + repeat(type, 2) +
            QStringList{"GetOutputState", "GetGlobalStatusByte", "GetOperatingHoursString",
                        "GetGlobalOutputState", "GetGroupState"} +
            repeat(type, 2) + repeat("GetDefaultOutputVoltage", 2) +
            repeat("MeasureOutputCurrent", 2) + repeat("MeasureOutputVoltage", 2) +
            QStringList{"GetMasterSlaveMode"} + repeat("GetGroupID", 2) +
            repeat("GetModuleGoodLowThreshold", 2) + repeat("GetModuleGoodHighThreshold", 2) +
            QStringList{"GetCurrentLimit", type, "GetCurrentLimit", type, "ClosePort"};
        const QStringList brief =
            QStringList{"OpenPort", "GetPresentModules"} + repeat(type, 2) +
            QStringList{"GetModuleGoodStatusByte"} + repeat(type, 2) +
            QStringList{"GetGlobalStatusByte", "GetOperatingHoursString", "GetGlobalOutputState"} +
            repeat(type, 2) + repeat("MeasureOutputCurrent", 2) +
            repeat("MeasureOutputVoltage", 2) + QStringList{"ClosePort"};
        EXPECT_EQ(calls(), shortRead ? brief : full);
    }
}

using ::testing::_;
using ::testing::DoAll;
using ::testing::Return;
using ::testing::SetArgReferee;

// Catches calls logged out of order, with in-values instead of answers, or
// with the unit's kind (text or number) lost; an unregistered identifier
// creating a device object, or a registered one failing; and status arrays
// read or written outside 1..8.
TEST(DevicePieces, RecordingRegistryAndStatusArrays)
{
    MockZelkDevice inner;
    EXPECT_CALL(inner, OpenPort(QString("COM1"))).WillOnce(Return("CMD_OK"));
    EXPECT_CALL(inner, GetGroupID(_, qint16(2), _))
        .WillOnce(DoAll(SetArgReferee<2>(qint16(7)), Return("CMD_OK")));
    EXPECT_CALL(inner, SetGlobalOutputState(_, qint16(0))).WillOnce(Return("ERR"));
    EXPECT_CALL(inner, GetPresentModules(_, _)).WillOnce([](const UnitArg &, StatusArray &a) {
        a.set(1, 1);
        a.set(3, 1);
        return QString("CMD_OK");
    });

    RecordingDevice device(inner);
    EXPECT_EQ(device.OpenPort("COM1"), "CMD_OK");
    qint16 group = 0;
    EXPECT_EQ(device.GetGroupID(QString("3"), 2, group), "CMD_OK");
    EXPECT_EQ(group, 7);
    EXPECT_EQ(device.SetGlobalOutputState(qint16(3), 0), "ERR");
    StatusArray modules;
    EXPECT_EQ(device.GetPresentModules(QString("3"), modules), "CMD_OK");

    EXPECT_EQ(device.callTexts(),
              (QStringList{"OpenPort(\"COM1\") -> CMD_OK", "GetGroupID(\"3\", 2, 7) -> CMD_OK",
                           "SetGlobalOutputState(3, 0) -> ERR",
                           "GetPresentModules(\"3\", 10100000) -> CMD_OK"}));
    EXPECT_EQ(device.methodNames(),
              (QStringList{"OpenPort", "GetGroupID", "SetGlobalOutputState", "GetPresentModules"}));

    QString error;
    EXPECT_FALSE(CreateDeviceObject("ZelkX.Nothing.1", &error));
    EXPECT_TRUE(error.contains("ZelkX.Nothing.1"));

    registerDeviceObject("Test.Device.1",
                         [] { return std::make_unique<::testing::NiceMock<MockZelkDevice>>(); });
    EXPECT_TRUE(CreateDeviceObject("test.device.1")); // identifiers ignore case
    unregisterDeviceObject("Test.Device.1");
    EXPECT_FALSE(CreateDeviceObject("Test.Device.1"));

    StatusArray a;
    a.set(2, 1);
    a.set(3, 1);
    a.set(0, 1);
    a.set(9, 1);
    EXPECT_EQ(a.toStatusText(), "01100000");
    EXPECT_EQ((std::array{a(0), a(9), a(2)}), (std::array<qint16, 3>{0, 0, 1}));
    // Odd values from a device keep every position in place.
    a.set(1, 2);
    a.set(4, -1);
    a.set(8, 10);
    EXPECT_EQ(a.toStatusText(), "01100000");
}
