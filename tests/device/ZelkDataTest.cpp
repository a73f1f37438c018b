// Device wrappers: the error convention, decoding and scaling.
#include "device/ZelkData.h"
#include "MockZelkDevice.h"
#include "TestSeams.h"
#include "core/ZelkGlobals.h"

#include <QRegularExpression>
#include <array>
#include <functional>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <tuple>

using std::placeholders::_1;
using ::testing::_;
using ::testing::DefaultValue;
using ::testing::DoAll;
using ::testing::NiceMock;
using ::testing::Return;
using ::testing::SetArgReferee;

namespace {

// A unit 7 with modules 1 and 3, every device call answering `reply` unless a
// test scripts otherwise.
class WrapperTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        env.prepareDeviceGlobals("7");
        env.clock.autoAdvanceMs = 0;
        auto mock = std::make_unique<NiceMock<MockZelkDevice>>();
        device = mock.get();
        ZelkGlobals::Device = std::move(mock);
        data.UnitID = "7";
        data.MODULES = "10100000";
        data.Responding = true;
        DefaultValue<QString>::Set(QStringLiteral("CMD_OK"));
    }
    void TearDown() override { DefaultValue<QString>::Clear(); }

    // The messages of the error file, without their date stamps.
    QStringList errorFileMessages() const
    {
        QStringList messages;
        static const QRegularExpression line(QStringLiteral("^.* \\[(.*)\\]$"));
        for (const QString &l : QString::fromUtf8(env.readFile("error124.txt")).split("\r\n")) {
            const auto match = line.match(l);
            if (match.hasMatch())
                messages << match.captured(1);
        }
        return messages;
    }

    TestEnvironment env;
    NiceMock<MockZelkDevice> *device = nullptr;
    ZelkData data;
};

// How a wrapper names its failures: "Error in X in Unit  " in the file and
// "Error in X in Unit " in LastError, or "Error in X for Unit " in both, with
// " and Module m" after the unit for a wrapper that asks each present module.
enum Kind { InUnit, ForUnit, PerModule };
struct WrapperCase
{
    const char *text;
    std::function<void(ZelkData &)> run;
    Kind kind = InUnit;
    bool clearsResponding = true;
};

const WrapperCase FamilyCases[] = {
    {"GetModuleGoodStatusByte", &ZelkData::GetModuleGoodStatusByte, ForUnit},
    {"GetOutputState", &ZelkData::GetOutputState, ForUnit},
    {"GetGlobalStatusByte", &ZelkData::GetGlobalStatusByte},
    {"GetMasterSlaveMode", &ZelkData::GetMasterSlaveMode, ForUnit},
    {"GetUnitSerialNumber", &ZelkData::GetUnitSerialN, ForUnit},
    {"GetFanFailPolarity", &ZelkData::GetFanFailPolarity},
    {"GetGlobalDCGoodPolarity", &ZelkData::GetGlobalDCGoodPolarity},
    {"GetOTFailPolarity", &ZelkData::GetOTFailPolarity},
    {"GetGroupState", &ZelkData::GetGroupState},
    {"GetDefaultGroupState", &ZelkData::GetDefaultGroupState},
    {"GetDefaultGlobalOutputPolarity", &ZelkData::GetDefaultGlobalOutputPolarity},
    {"GetDefaultGlobalOutputState", &ZelkData::GetDefaultGlobalOutputState},
    {"GetGlobalOutputState", &ZelkData::GetGlobalOutputState},
    {"GetUnitVersion", &ZelkData::GetUnitVersion, ForUnit},
    {"GetOperatingHours", &ZelkData::GetOperatingHours},
    {"SetGlobalOutputState", std::bind(&ZelkData::SetGlobalOutputState, _1, 7, 1)},
    {"SetGroupState", std::bind(&ZelkData::SetGroupState, _1, 1)},
    {"GetModuleSerialN", &ZelkData::GetModuleSerialN, PerModule},
    {"GetCurrentLimitMode", &ZelkData::GetCurrentLimitMode, PerModule},
    {"GetDefaultOutputOnOffPolarity", &ZelkData::GetDefaultOutputOnOffPolarity, PerModule},
    {"GetDefaultOutputOnOffState", &ZelkData::GetDefaultOutputOnOffState, PerModule},
    {"GetProgrammingMode", &ZelkData::GetProgrammingMode, PerModule},
    {"GetOutputTurnONDelay", &ZelkData::GetOutputTurnONDelay, PerModule},
    {"GetModuleGoodLowThreshold", &ZelkData::GetModuleGoodLowThreshold, PerModule},
    {"GetModuleGoodHighThreshold", &ZelkData::GetModuleGoodHighThreshold, PerModule},
    {"GetCurrentLimitONTime", &ZelkData::GetCurrentLimitONTime, PerModule},
    {"GetCurrentLimitOFFTime", &ZelkData::GetCurrentLimitOFFTime, PerModule},
    {"GetGroupID", &ZelkData::GetGroupID, PerModule},
    {"GetModuleVersion", &ZelkData::GetModuleVersion, PerModule},
    {"GetOutputVoltageSetpoint", &ZelkData::GetOutputVoltageSetpoint, PerModule},
    {"GetCurrentLimit", &ZelkData::GetCurrentLimit, PerModule},
    {"SetCurrentLimit",
     [](ZelkData &d) {
         d.Module(1).CurrentLimit = d.Module(3).CurrentLimit = "2";
         d.SetCurrentLimit();
     },
     PerModule},
    {"MeasureOutputCurrent", &ZelkData::MeasureOutputCurrent, PerModule},
    {"MeasureOutputVoltage", &ZelkData::MeasureOutputVoltage, PerModule, false},
};

} // namespace

// Catches a wrapper whose failure texts, flags or per-module loop differ from
// the convention (two blanks in the file, one in LastError, modules 1 and 3
// only), odd replies taken for success or crashing the error report, and a
// failed read that overwrites what the record held.
TEST_F(WrapperTest, EveryWrapperReportsAFailingReplyTheSameWay)
{
    for (const QString &reply : {QString("ERR_TIMEOUT"), QString(), QString(100000, 'x'),
                                 QString("CMD_OK "), QString("CMD_Ok"), QString("CMD_OK\n")}) {
        DefaultValue<QString>::Set(reply);
        for (const WrapperCase &c : FamilyCases) {
            SCOPED_TRACE(std::string(c.text) + " " + reply.left(12).toStdString());
            QFile::remove(env.path("error124.txt"));
            ZelkGlobals::ErrorFlag = false;
            ZelkGlobals::LastError.clear();
            data.Responding = true;
            data.SerialNumber = "kept";

            c.run(data);

            const QString head = QStringLiteral("Error in %1 %2 Unit ")
                                     .arg(QLatin1String(c.text), c.kind == ForUnit ? "for" : "in");
            const QString file = c.kind == ForUnit ? head : head + ' ';
            const QString last = c.kind == PerModule ? "7 and Module 3" : "7";
            EXPECT_EQ(ZelkGlobals::LastError, head + last + " " + reply);
            EXPECT_TRUE(ZelkGlobals::ErrorFlag);
            EXPECT_EQ(data.Responding, !c.clearsResponding);
            EXPECT_EQ(data.LastReply, reply);
            EXPECT_EQ(data.SerialNumber, "kept");
            const QStringList lines =
                c.kind == PerModule ? QStringList{file + "7 and Module 1", file + "7 and Module 3"}
                                    : QStringList{file + "7"};
            EXPECT_EQ(errorFileMessages(), lines);
        }
    }
}

// Catches unknown modes overwriting the stored mode or the enable-reset value
// lost, the alarm element clearing the error flag or element 7 ignored,
// status texts built in the wrong order or the globals not updated, and the
// master/slave patterns decoded wrongly.
TEST_F(WrapperTest, StatusBytesAndModesDecode)
{
    data.MODULES = "10000000";
    data.Module(1).CurrentLimitMode = "Hiccup";
    EXPECT_CALL(*device, GetCurrentLimitMode(_, 1, _, _))
        .WillOnce(DoAll(SetArgReferee<2>(qint16(7)), SetArgReferee<3>(qint16(1)), Return("CMD_OK")))
        .WillOnce(
            DoAll(SetArgReferee<2>(qint16(3)), SetArgReferee<3>(qint16(0)), Return("CMD_OK")));
    data.GetCurrentLimitMode();
    EXPECT_EQ(std::pair(data.Module(1).CurrentLimitMode, data.Module(1).EnableReset),
              std::pair(QString("Hiccup"), QString("1")));
    data.GetCurrentLimitMode();
    EXPECT_EQ(std::pair(data.Module(1).CurrentLimitMode, data.Module(1).EnableReset),
              std::pair(QString("CurrentShare"), QString("0")));

    EXPECT_CALL(*device, GetGlobalStatusByte(_, _)).WillOnce([](const UnitArg &, StatusArray &a) {
        for (int i : {1, 3, 5, 6, 7, 8})
            a.set(i, 1);
        a.set(2, 2); // not 1: reads as false
        return QString("CMD_OK");
    });
    data.ModuleGoodStatus = "11000000";
    ZelkGlobals::ErrorFlag = false;
    data.GetGlobalStatusByte();
    EXPECT_EQ(
        (std::array{data.OverTemp, data.FanFail, data.AcOk, data.GlobalDC, data.GlobalCurrentLimit,
                    data.FanWarn, ZelkGlobals::ErrorFlag, data.Responding}),
        (std::array{true, false, true, false, true, true, true, true}));
    EXPECT_EQ(data.ModuleGoodStatus, "00000000");

    EXPECT_CALL(*device, GetOutputState(_, _)).WillOnce([](const UnitArg &, StatusArray &a) {
        a.set(2, 1);
        a.set(3, 1);
        return QString("CMD_OK");
    });
    data.GetOutputState();
    EXPECT_EQ(data.OutputStatus, "01100000");
    EXPECT_EQ(ZelkGlobals::OutputStateText, "01100000");
    EXPECT_CALL(*device, GetGlobalOutputState(_, _))
        .WillOnce(DoAll(SetArgReferee<1>(qint16(110)), Return("CMD_OK")))
        .WillOnce(DoAll(SetArgReferee<1>(qint16(101)), Return("CMD_OK")));
    data.GetGlobalOutputState();
    EXPECT_TRUE(data.GlobalOutput);
    EXPECT_FALSE(data.Group);
    data.GetGlobalOutputState();
    EXPECT_TRUE(data.GlobalOutput); // never cleared here
    EXPECT_TRUE(data.Group);

    EXPECT_CALL(*device, GetMasterSlaveMode(_, _, _))
        .WillOnce([](const UnitArg &, StatusArray &a, StatusArray &b) {
            a.set(4, 1); // 0001 -> 1
            a.set(6, 1); // 0100 -> 4
            b.set(1, 1); // 1000 -> unknown
            b.set(7, 1); // 0010 -> 2
            return QString("CMD_OK");
        });
    data.GetMasterSlaveMode();
    EXPECT_EQ(data.MasterSlave, (std::array<qint16, 4>{1, 4, -1, 2}));
    EXPECT_EQ(ZelkData::GetDecimalNumber("0101"), "5");
    EXPECT_EQ(ZelkData::GetDecimalNumber("0110"), "");
}

// Catches measurements scaled with the wrong factor (a rounded current factor
// included), rounded away from zero on an exact half instead of to even, shown
// with the wrong separator, or produced from a factor that is not usable; and
// a decimal text padded wrongly.
TEST_F(WrapperTest, MeasurementScaling)
{
    env.writeFile("scale.ini", "[TYPE9]\r\nVoltageScaleFactor=100\r\nCurrentScaleFactor=2.5\r\n"
                               "[TYPE8]\r\nVoltageScaleFactor=abc\r\nCurrentScaleFactor=0\r\n"
                               "[TYPE7]\r\nVoltageScaleFactor=160\r\nCurrentScaleFactor=80\r\n");
    data.MODULES = "10000000";
    qint16 raw = 0;
    const auto measure = [&raw](const UnitArg &, qint16, qint16 &r) {
        r = raw;
        return QString("CMD_OK");
    };
    ON_CALL(*device, MeasureOutputCurrent(_, _, _)).WillByDefault(measure);
    ON_CALL(*device, MeasureOutputVoltage(_, _, _)).WillByDefault(measure);
    const struct
    {
        const char *section;
        bool volts;
        qint16 raw;
        const char *separator, *shown; // nullptr: nothing produced, the error flag set
    } cases[] = {{"TYPE9", true, 1234, ".", "12.34"}, {"TYPE9", true, 1200, ",", "12,00"},
                 {"TYPE9", false, 10, ".", "4.00"},   {"TYPE8", true, 50, ".", nullptr},
                 {"TYPE8", false, 50, ".", nullptr},  {"TYPE99", false, 10, ".", nullptr},
                 {"TYPE7", false, 10, ".", "0.12"},   {"TYPE7", false, 30, ".", "0.38"},
                 {"TYPE7", false, 10, ",", "0,12"},   {"TYPE7", true, 4020, ".", "25.12"},
                 {"TYPE7", true, 4060, ",", "25,38"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.section << " " << c.raw << (c.volts ? " V" : " A"));
        ZelkGlobals::DecimalSeparator = c.separator;
        ZelkGlobals::ErrorFlag = false;
        data.Module(1) = ZelkModuleRecord();
        data.Module(1).ModuleSection = c.section;
        raw = c.raw;
        if (c.volts)
            data.MeasureOutputVoltage();
        else
            data.MeasureOutputCurrent();
        const QString &shown =
            c.volts ? data.Module(1).MeasuredVoltage : data.Module(1).MeasuredCurrent;
        EXPECT_EQ(shown.isNull(), !c.shown);
        EXPECT_EQ(ZelkGlobals::ErrorFlag, !c.shown);
        if (c.shown)
            EXPECT_EQ(shown.toStdString(), c.shown);
        else
            EXPECT_TRUE(ZelkGlobals::LastError.contains(c.section));
    }

    const char *const padded[][3] = {{".", "5", "5.00"},   {".", "5.", "5.00"},
                                     {".", "5.1", "5.10"}, {".", "5.125", "5.125"},
                                     {",", "5,1", "5,10"}, {",", "5", "5,00"}};
    for (const auto &[separator, text, shown] : padded) {
        ZelkGlobals::DecimalSeparator = separator;
        EXPECT_EQ(ZelkData::FormatDecimals(text), shown) << text;
    }
}

// Catches status bytes not falling back to all-zero, and the global
// fallbacks not being set on failure.
TEST_F(WrapperTest, FailuresFallBack)
{
    DefaultValue<QString>::Set(QStringLiteral("BAD"));
    data.ModuleGoodStatus = "11111111";
    data.OutputStatus = "11111111";
    data.GetModuleGoodStatusByte();
    data.GetOutputState();
    EXPECT_EQ(data.ModuleGoodStatus, "00000000");
    EXPECT_EQ(data.OutputStatus, "00000000");

    ZelkGlobals::DefaultGlobalState = true;
    ZelkGlobals::DefaultGlobalPolarity = true;
    data.Global = true;
    data.GetDefaultGlobalOutputState();
    data.GetDefaultGlobalOutputPolarity();
    EXPECT_FALSE(ZelkGlobals::DefaultGlobalState);
    EXPECT_FALSE(ZelkGlobals::DefaultGlobalPolarity);
    EXPECT_TRUE(data.Global); // the field keeps its value

    // The set-point read also shows its own box before the usual report.
    env.dialogs.shown.clear();
    data.GetOutputVoltageSetpoint();
    ASSERT_GE(env.dialogs.count(), 1);
    EXPECT_EQ(env.dialogs.shown[0].text, "Error#2303");
    EXPECT_EQ(env.dialogs.shown[0].title, "Error Handler");
    EXPECT_EQ(env.dialogs.shown[0].icon, MsgIcon::Critical);
}

// Catches a current limit that reads back as another number than was written.
TEST_F(WrapperTest, CurrentLimitRoundTripAndRange)
{
    env.writeFile("scale.ini",
                  "[TYPE9]\r\nCurrentScaleFactor=3\r\n[TYPE4]\r\nCurrentScaleFactor=2.5\r\n");
    data.MODULES = "10000000";
    qint16 stored = 1000;
    qint16 code = 9;
    ON_CALL(*device, GetModuleType(_, _, _)).WillByDefault([&](const UnitArg &, qint16, qint16 &c) {
        c = code;
        return QString("CMD_OK");
    });
    ON_CALL(*device, GetCurrentLimit(_, _, _))
        .WillByDefault([&](const UnitArg &, qint16, qint16 &r) {
            r = stored;
            return QString("CMD_OK");
        });
    ON_CALL(*device, SetCurrentLimit(_, _, _))
        .WillByDefault([&](const UnitArg &, qint16, qint16 r) {
            stored = r;
            return QString("CMD_OK");
        });
    data.GetCurrentLimit();
    EXPECT_EQ(data.Module(1).CurrentLimit, "333.3"); // 333.333... cut to five characters
    data.SetCurrentLimit();
    data.GetCurrentLimit();
    EXPECT_EQ(data.Module(1).CurrentLimit, "333.3");

    code = 4;
    data.Module(1).CurrentLimit = "4.4";
    data.SetCurrentLimit();
    EXPECT_EQ(stored, 11);
    data.GetCurrentLimit();
    EXPECT_EQ(data.Module(1).CurrentLimit, "4.4");

    // 20000 A x 2.5 does not fit 16 bits: nothing is sent, the error is recorded.
    ZelkGlobals::ErrorFlag = false;
    data.Module(1).CurrentLimit = "20000";
    EXPECT_CALL(*device, SetCurrentLimit(_, _, _)).Times(0);
    data.SetCurrentLimit();
    EXPECT_TRUE(ZelkGlobals::ErrorFlag);
    EXPECT_TRUE(
        ZelkGlobals::LastError.startsWith("Error in SetCurrentLimit in Unit 7 and Module 1"));
}

// Catches a silent unit not reported the designed way, or absent modules read.
TEST_F(WrapperTest, PresentModulesAndTypes)
{
    int silentSignals = 0;
    QObject::connect(&data, &ZelkData::unitDoesNotRespond, [&] { ++silentSignals; });
    EXPECT_CALL(*device, GetPresentModules(_, _)).WillOnce(Return("ERR_TIMEOUT"));
    data.GetPresentModules();
    const QString text = "Unit 7 Does not Respond, make sure is properly connected and is the "
                         "correct UnitID Number";
    EXPECT_EQ(std::tuple(ZelkGlobals::LastError, ZelkGlobals::LastErrorCopy, data.MODULES,
                         data.Responding, silentSignals),
              std::tuple(text, text, QString("00000000"), false, 1));

    EXPECT_CALL(*device, GetPresentModules(_, _))
        .WillRepeatedly([](const UnitArg &, StatusArray &a) {
            a.set(1, 1);
            a.set(3, 1);
            return QString("CMD_OK");
        });
    EXPECT_CALL(*device, GetModuleType(_, 1, _))
        .WillRepeatedly(DoAll(SetArgReferee<2>(qint16(2)), Return("CMD_OK")));
    EXPECT_CALL(*device, GetModuleType(_, 3, _)).WillRepeatedly(Return("ERR"));
    QList<int> named;
    QObject::connect(&data, &ZelkData::moduleTypeNameRead, [&](int m, const QString &name) {
        named << m;
        EXPECT_EQ(name, "ZM 12V/30A");
    });
    data.GetPresentModules();
    data.GetPresentModules(); // counted afresh, not added up
    EXPECT_EQ(std::tuple(data.MODULES, ZelkGlobals::PresentModuleCount,
                         ZelkGlobals::ModulePresent[3], ZelkGlobals::ModulePresent[8], named),
              std::tuple(QString("10100000"), 2, QString("1"), QString("0"), QList<int>{1, 1}));

    data.Module(3).ModuleCode = "old";
    data.GetModuleType();
    EXPECT_TRUE(ZelkGlobals::ModuleTypesKnown); // module 1 answered
    EXPECT_EQ(std::tuple(data.Module(1).ModuleSection, data.Module(1).ModuleCode,
                         data.Module(3).ModuleCode),
              std::tuple(QString("TYPE2"), QString("ZM 12V/30A"), QString("old")));
}
