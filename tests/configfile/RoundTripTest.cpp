// A unit read from the simulated bus, saved and read back, is unchanged.
#include "TestSeams.h"
#include "configfile/ZelkConfigFile.h"
#include "core/ZelkGlobals.h"
#include "device/SimulatedBus.h"
#include "device/ZelkData.h"

#include <gtest/gtest.h>

// Catches a field lost or altered between the record, the file and back.
TEST(ConfigRoundTripTest, FullRecordFromTheBusSurvivesTheFile)
{
    for (const QString &sep : {QStringLiteral("."), QStringLiteral(",")}) {
        TestEnvironment env;
        env.prepareDeviceGlobals("1");
        ZelkGlobals::DecimalSeparator = sep;
        ZelkGlobals::Device = std::make_unique<SimulatedBus>(env.folder());

        ZelkData read;
        read.ReadZelkSetup("1");
        ASSERT_FALSE(ZelkGlobals::ErrorFlag) << ZelkGlobals::LastError.toStdString();
        ASSERT_EQ(read.MODULES, "11111000");
        read.GlobalOutput = read.Global; // the editor copies its Global option before saving

        ZelkGlobals::ConfigFileToWrite = env.path("saved.ini");
        ZelkGlobals::ConfigFileToRead = env.path("saved.ini");
        ZelkConfigFile::WriteZelkFile(read, "1");
        ZelkData back;
        ASSERT_TRUE(ZelkConfigFile::ReadZelkFile(back, "1"));

        EXPECT_EQ(back.PowerSupplyID, read.PowerSupplyID);
        EXPECT_EQ(back.SerialNumber, read.SerialNumber);
        EXPECT_EQ(back.MajorVersion, read.MajorVersion);
        EXPECT_EQ(back.MinorVersion, read.MinorVersion);
        EXPECT_EQ(back.FanFail, read.FanFail);
        EXPECT_EQ(back.GlobalDC, read.GlobalDC);
        EXPECT_EQ(back.OverTemp, read.OverTemp);
        EXPECT_EQ(back.GlobalOnOff, read.GlobalOnOff);
        EXPECT_EQ(back.Group, read.Group);
        EXPECT_EQ(back.Global, read.Global);
        EXPECT_EQ(back.MODULES, read.MODULES);
        for (int m = 1; m <= 5; ++m) {
            SCOPED_TRACE(m);
            const ZelkModuleRecord &a = read.Module(m);
            const ZelkModuleRecord &b = back.Module(m);
            EXPECT_FALSE(a.SerialNumber.isEmpty());
            EXPECT_EQ(b.ModuleCode, a.ModuleCode);
            EXPECT_EQ(b.SerialNumber, a.SerialNumber);
            EXPECT_EQ(b.MajorVersion, a.MajorVersion);
            EXPECT_EQ(b.MinorVersion, a.MinorVersion);
            EXPECT_EQ(b.DefaultOutputPolarity, a.DefaultOutputPolarity);
            EXPECT_EQ(b.StartUpState, a.StartUpState);
            EXPECT_EQ(b.OutputVoltageSetpoint, a.OutputVoltageSetpoint);
            EXPECT_EQ(b.VoltageHighLimit, a.VoltageHighLimit);
            EXPECT_EQ(b.VoltageLowLimit, a.VoltageLowLimit);
            EXPECT_EQ(b.CurrentLimitMode, a.CurrentLimitMode);
            EXPECT_EQ(b.CurrentLimit, a.CurrentLimit);
            EXPECT_EQ(b.StartUpDelay, a.StartUpDelay);
            EXPECT_EQ(b.ActivationTime, a.ActivationTime);
            EXPECT_EQ(b.ResetTime, a.ResetTime);
            EXPECT_EQ(b.EnableReset, a.EnableReset);
            EXPECT_EQ(b.GroupId, a.GroupId);
            EXPECT_EQ(b.ProgrammingMode, a.ProgrammingMode);
        }
    }
}
