// Unit snapshot reads: the editor's set-up read with its progress log, and
// the monitor's status read.
#include "MockZelkDevice.h"
#include "TestSeams.h"
#include "core/ZelkGlobals.h"
#include "device/RecordingDevice.h"
#include "device/ZelkData.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::_;
using ::testing::DefaultValue;
using ::testing::DoAll;
using ::testing::NiceMock;
using ::testing::Return;
using ::testing::SetArgReferee;

namespace {

class StringLog final : public ReadProgressLog
{
public:
    void appendText(const QString &text) override { text_ += text; }
    QString text_;
};

const char *const UnitLabels[] = {
    "Get present modules................", "Get Module Good Status Byte........",
    "Get Unit Serial Number.............", "Get Unit Version...................",
    "Get Fan Fail Polarity..............", "Get Global DCGood Polarity.........",
    "Get O.T. Fail Polarity.............", "Get Default Global Output Polarity.",
    "Get Default Group State............", "Get Default Global Output State....",
    "Get Module Type...................."};
const char *const ModuleLabels[] = {
    "Get Module Serial Number...........", "Get Module Version.................",
    "Get Programming Mode...............", "Get Default Output On Off Polarity.",
    "Get Default Output On Off State....", "Get Output Turn ON Delay...........",
    "Get Output Voltage Setpoint........", "Get Module Good Low Threshold......",
    "Get Module Good High Threshold.....", "Get Current Limit Mode.............",
    "Get Current Limit..................", "Get Current Limit ON Time..........",
    "Get Current Limit OFF Time.........", "Get Output State..................."};

// The device method each labelled step asks first, in step order.
const char *const StepMethods[] = {"GetPresentModules",
                                   "GetModuleGoodStatusByte",
                                   "GetUnitSerialN",
                                   "GetUnitVersion",
                                   "GetFanFailPolarity",
                                   "GetGlobalDCGoodPolarity",
                                   "GetOTFailPolarity",
                                   "GetDefaultGlobalOutputPolarity",
                                   "GetDefaultGroupState",
                                   "GetDefaultGlobalOutputState",
                                   nullptr /* module type: a failure there is the inhibit path */,
                                   "GetModuleSerialN",
                                   "GetModuleVersion",
                                   "GetProgrammingMode",
                                   "GetDefaultOutputOnOffPolarity",
                                   "GetDefaultOutputOnOffState",
                                   "GetOutputTurnONDelayExUShort",
                                   "GetDefaultOutputVoltage",
                                   "GetModuleGoodLowThreshold",
                                   "GetModuleGoodHighThreshold",
                                   "GetCurrentLimitMode",
                                   "GetCurrentLimit",
                                   "GetCurrentLimitONTimeExUShort",
                                   "GetCurrentLimitOFFTimeExUShort",
                                   "GetOutputState"};

QString label(int step)
{
    return QLatin1String(step < 11 ? UnitLabels[step] : ModuleLabels[step - 11]);
}

// A unit 3 whose every call succeeds unless a test says otherwise; the
// recorder sees every call.
class SnapshotTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        env.prepareDeviceGlobals("3");
        DefaultValue<QString>::Set(QStringLiteral("CMD_OK"));
        ON_CALL(mock, GetPresentModules(_, _))
            .WillByDefault([this](const UnitArg &, StatusArray &a) {
                for (int m = 1; m <= 5; ++m)
                    a.set(m, modules.at(m - 1) == '1' ? 1 : 0);
                return QString("CMD_OK");
            });
        ON_CALL(mock, GetDefaultGlobalOutputState(_, _))
            .WillByDefault(DoAll(SetArgReferee<1>(qint16(1)), Return("CMD_OK")));
        ON_CALL(mock, GetModuleType(_, _, _))
            .WillByDefault(DoAll(SetArgReferee<2>(qint16(2)), Return("CMD_OK")));
        ZelkGlobals::Device = std::make_unique<RecordingDevice>(mock);
    }
    void TearDown() override { DefaultValue<QString>::Clear(); }
    RecordingDevice &recorder() { return static_cast<RecordingDevice &>(*ZelkGlobals::Device); }

    // Makes the named device method fail.
    void failMethod(const QString &name);

    TestEnvironment env;
    NiceMock<MockZelkDevice> mock;
    QString modules = "11111";
    ZelkData data;
    StringLog log;
};

void SnapshotTest::failMethod(const QString &name)
{
    const auto bad = Return(QStringLiteral("ERR_TIMEOUT"));
#define FAIL_IF(method, ...)                                                                       \
    if (name == QLatin1String(#method))                                                            \
        ON_CALL(mock, method(__VA_ARGS__)).WillByDefault(bad);
    FAIL_IF(GetPresentModules, _, _)
    FAIL_IF(GetModuleGoodStatusByte, _, _)
    FAIL_IF(GetUnitSerialN, _, _)
    FAIL_IF(GetUnitVersion, _, _, _)
    FAIL_IF(GetFanFailPolarity, _, _)
    FAIL_IF(GetGlobalDCGoodPolarity, _, _)
    FAIL_IF(GetOTFailPolarity, _, _)
    FAIL_IF(GetDefaultGlobalOutputPolarity, _, _)
    FAIL_IF(GetDefaultGroupState, _, _)
    FAIL_IF(GetDefaultGlobalOutputState, _, _)
    FAIL_IF(GetModuleSerialN, _, _, _)
    FAIL_IF(GetModuleVersion, _, _, _, _)
    FAIL_IF(GetProgrammingMode, _, _, _)
    FAIL_IF(GetDefaultOutputOnOffPolarity, _, _, _)
    FAIL_IF(GetDefaultOutputOnOffState, _, _, _)
    FAIL_IF(GetOutputTurnONDelayExUShort, _, _, _)
    FAIL_IF(GetDefaultOutputVoltage, _, _, _)
    FAIL_IF(GetModuleGoodLowThreshold, _, _, _)
    FAIL_IF(GetModuleGoodHighThreshold, _, _, _)
    FAIL_IF(GetCurrentLimitMode, _, _, _, _)
    FAIL_IF(GetCurrentLimit, _, _, _)
    FAIL_IF(GetCurrentLimitONTimeExUShort, _, _, _)
    FAIL_IF(GetCurrentLimitOFFTimeExUShort, _, _, _)
    FAIL_IF(GetOutputState, _, _)
#undef FAIL_IF
}

QStringList repeat(const QString &name, int times)
{
    QStringList l;
    for (int i = 0; i < times; ++i)
        l << name;
    return l;
}

} // namespace

// Catches a label missing, out of order or without its "Ok".
TEST_F(SnapshotTest, FullSetupReadLogsEveryStep)
{
    data.ReadZelkSetup("3", &log);
    QString expected;
    for (int step = 0; step < 25; ++step)
        expected += "Ok\r\n" + label(step);
    expected += "Ok\r\n";
    EXPECT_EQ(log.text_, expected);
    EXPECT_FALSE(ZelkGlobals::ErrorFlag);
    EXPECT_FALSE(data.Responding); // closing the port answers nothing
    EXPECT_EQ(data.PowerSupplyID, "3");
    EXPECT_EQ(data.MODULES, "11111000");
    EXPECT_EQ(recorder().methodNames().constFirst(), "OpenPort");
    EXPECT_EQ(recorder().methodNames().constLast(), "ClosePort");
    EXPECT_EQ(data.Module(5).ModuleCode, "ZM 12V/30A");
}

// Catches a silent unit not ending the log at its first step.
TEST_F(SnapshotTest, SilentUnitEndsTheLogAtPresentModules)
{
    failMethod("GetPresentModules");
    data.ReadZelkSetup("3", &log);
    EXPECT_EQ(log.text_, "Ok\r\nGet present modules................");
    EXPECT_EQ(data.MODULES, "00000000");
    EXPECT_TRUE(ZelkGlobals::LastError.contains("Does not Respond"));
    EXPECT_EQ(recorder().methodNames(),
              (QStringList{"OpenPort", "GetPresentModules", "ClosePort"}));
}

// Catches a unit that stops answering being asked anything more.
TEST_F(SnapshotTest, UnitStoppingAtAnyStepIsAskedNothingMore)
{
    for (int step = 0; step < 25; ++step) {
        if (!StepMethods[step])
            continue;
        SCOPED_TRACE(StepMethods[step]);
        ::testing::Mock::VerifyAndClear(&mock);
        SetUp();
        failMethod(StepMethods[step]);
        log.text_.clear();
        data.ReadZelkSetup("3", &log);

        EXPECT_TRUE(log.text_.endsWith("Ok\r\n" + label(step)));
        EXPECT_TRUE(ZelkGlobals::ErrorFlag);
        const QStringList names = recorder().methodNames();
        const qsizetype first = names.indexOf(StepMethods[step]);
        ASSERT_GE(first, 0);
        // Other modules of the failing step may still be asked; then only the port closes.
        const QStringList after = names.mid(first);
        for (qsizetype i = 0; i + 1 < after.size(); ++i)
            EXPECT_EQ(after.at(i), StepMethods[step]);
        EXPECT_EQ(after.constLast(), "ClosePort");
    }
}

// Catches the inhibit path reading modules or missing its log text.
TEST_F(SnapshotTest, GlobalInhibitAndDefaultOff)
{
    ON_CALL(mock, GetModuleType(_, _, _)).WillByDefault(Return("ERR"));
    int inhibit = 0;
    QObject::connect(&data, &ZelkData::globalInhibitDetected, [&] { ++inhibit; });
    data.ReadZelkSetup("3", &log);
    EXPECT_TRUE(log.text_.endsWith(label(10) + "Ok\r\n\r\nModules OFF by GLOBAL INHIBIT.Ok\r\n"));
    EXPECT_EQ(inhibit, 1);
    EXPECT_FALSE(recorder().methodNames().contains("GetModuleSerialN"));

    ::testing::Mock::VerifyAndClear(&mock);
    SetUp();
    ON_CALL(mock, GetDefaultGlobalOutputState(_, _))
        .WillByDefault(DoAll(SetArgReferee<1>(qint16(0)), Return("CMD_OK")));
    log.text_.clear();
    data.ReadZelkSetup("3", &log);
    EXPECT_TRUE(log.text_.endsWith(label(10) + "Ok\r\n"));
    EXPECT_FALSE(log.text_.contains("INHIBIT"));
    const QStringList names = recorder().methodNames();
    EXPECT_FALSE(names.mid(names.indexOf("GetDefaultGlobalOutputState")).contains("GetModuleType"));
}

// Catches the monitor's read asking the wrong things in the wrong order.
TEST_F(SnapshotTest, MonitorReadSequencesFullAndShort)
{
    modules = "10100";
    const QString type = "GetModuleType";
    ZelkGlobals::MonitorCycleActive = false;
    data.ReadZelkMonitor("3");
    QStringList full =
        QStringList{"OpenPort", "GetPresentModules"} + repeat(type, 2) +
        QStringList{"GetModuleGoodStatusByte"} + repeat(type, 2) +
        QStringList{"GetOutputState", "GetGlobalStatusByte", "GetOperatingHoursString",
                    "GetGlobalOutputState", "GetGroupState"} +
        repeat(type, 2) + repeat("GetDefaultOutputVoltage", 2) + repeat("MeasureOutputCurrent", 2) +
        repeat("MeasureOutputVoltage", 2) + QStringList{"GetMasterSlaveMode"} +
        repeat("GetGroupID", 2) + repeat("GetModuleGoodLowThreshold", 2) +
        repeat("GetModuleGoodHighThreshold", 2) +
        QStringList{"GetCurrentLimit", type, "GetCurrentLimit", type, "ClosePort"};
    EXPECT_EQ(recorder().methodNames(), full);

    recorder().clear();
    ZelkGlobals::MonitorCycleActive = true;
    data.ReadZelkMonitor("3");
    QStringList brief =
        QStringList{"OpenPort", "GetPresentModules"} + repeat(type, 2) +
        QStringList{"GetModuleGoodStatusByte"} + repeat(type, 2) +
        QStringList{"GetGlobalStatusByte", "GetOperatingHoursString", "GetGlobalOutputState"} +
        repeat(type, 2) + repeat("MeasureOutputCurrent", 2) + repeat("MeasureOutputVoltage", 2) +
        QStringList{"ClosePort"};
    EXPECT_EQ(recorder().methodNames(), brief);
}
