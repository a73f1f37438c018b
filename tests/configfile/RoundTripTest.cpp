// A unit read from the simulated bus, saved and read back, is unchanged.
#include "BusFixture.h"
#include "configfile/ZelkConfigFile.h"
#include "device/ZelkData.h"

using ConfigRoundTripTest = BusFixture;

// Catches a field lost or altered between the record, the file and back.
TEST_F(ConfigRoundTripTest, FullRecordFromTheBusSurvivesTheFile)
{
    ZelkGlobals::SelectedUnitID = "1";
    ZelkGlobals::ConfigFileToWrite = ZelkGlobals::ConfigFileToRead = env.path("saved.ini");
    for (const QString &sep : {QStringLiteral("."), QStringLiteral(",")}) {
        SCOPED_TRACE(sep.toStdString());
        ZelkGlobals::DecimalSeparator = sep;
        ZelkData read;
        read.ReadZelkSetup("1");
        ASSERT_FALSE(ZelkGlobals::ErrorFlag) << ZelkGlobals::LastError.toStdString();
        ASSERT_EQ(read.MODULES, "11111000");
        read.GlobalOutput = read.Global; // the editor copies its Global option before saving
        ZelkConfigFile::WriteZelkFile(read, "1");
        ZelkData back;
        ASSERT_TRUE(ZelkConfigFile::ReadZelkFile(back, "1"));

        for (QString ZelkData::*f :
             {&ZelkData::PowerSupplyID, &ZelkData::SerialNumber, &ZelkData::MajorVersion,
              &ZelkData::MinorVersion, &ZelkData::MODULES})
            EXPECT_EQ(back.*f, read.*f);
        for (bool ZelkData::*f : {&ZelkData::FanFail, &ZelkData::GlobalDC, &ZelkData::OverTemp,
                                  &ZelkData::GlobalOnOff, &ZelkData::Group, &ZelkData::Global})
            EXPECT_EQ(back.*f, read.*f);
        for (int m = 1; m <= 5; ++m) {
            SCOPED_TRACE(m);
            const ZelkModuleRecord &a = read.Module(m);
            const ZelkModuleRecord &b = back.Module(m);
            EXPECT_FALSE(a.SerialNumber.isEmpty());
            EXPECT_EQ(b.GroupId, a.GroupId);
            using R = ZelkModuleRecord;
            for (QString R::*f :
                 {&R::ModuleCode, &R::SerialNumber, &R::MajorVersion, &R::MinorVersion,
                  &R::DefaultOutputPolarity, &R::StartUpState, &R::OutputVoltageSetpoint,
                  &R::VoltageHighLimit, &R::VoltageLowLimit, &R::CurrentLimitMode, &R::CurrentLimit,
                  &R::StartUpDelay, &R::ActivationTime, &R::ResetTime, &R::EnableReset,
                  &R::ProgrammingMode})
                EXPECT_EQ(b.*f, a.*f);
        }
    }
}
