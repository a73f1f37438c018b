// The emulator's constant-current loads and alarms, as a read over the line
// sees them once a command or an option has set them.
#include "LineFixture.h"
#include "core/ZelkRoutines.h"

#include <gmock/gmock.h>
#include <string>
#include <vector>

namespace {

using UnitSimCommandLine = LineFixture;
using ::testing::HasSubstr;

// Catches a load the module does not draw, one that passes its current limit,
// a store load that no longer applies, an option not applied at the start,
// and an alarm name on the wrong status flag: unit 1's module 1 (80 counts an
// ampere, limit 80 A in Normal mode, a store load of 40 A) and module 2 (200
// counts an ampere, 3 A from --load), then each alarm on and off alone.
TEST_F(UnitSimCommandLine, LoadsAndAlarmsChangeWhatAReadOfTheUnitGives)
{
    startLine({"--commands", "--load", "1:2:3"});
    ASSERT_EQ(serial->OpenPort(QStringLiteral("COM1")), CmdOk);
    serial->setBlockReads(false); // every read asks the unit, none a kept run
    const auto current = [&](int module) {
        qint16 raw = -1;
        EXPECT_EQ(serial->MeasureOutputCurrent(UnitArg(1), qint16(module), raw), CmdOk);
        return raw;
    };
    EXPECT_EQ(current(2), 600);
    EXPECT_EQ(current(1), 3200);
    for (const auto &[command, raw] : {std::pair{"load 1 1 2.5", 200},
                                       {"load 1 1 0", 0},
                                       {"load 1 1 100", 6400},
                                       {"load 1 1 2.5", 200}}) {
        ASSERT_TRUE(unitsim.command(QLatin1String(command))) << command;
        EXPECT_EQ(current(1), raw) << command;
    }

    const struct
    {
        const char *name;
        bool ZelkData::*fine;
    } alarms[] = {{"over-temp", &ZelkData::OverTemp},
                  {"fan-fail", &ZelkData::FanFail},
                  {"ac-fail", &ZelkData::AcOk},
                  {"dc-good", &ZelkData::GlobalDC}};
    const auto flags = [&] {
        ZelkData data;
        data.UnitID = QStringLiteral("1");
        data.GetGlobalStatusByte();
        std::vector<bool> fine;
        for (const auto &alarm : alarms)
            fine.push_back(data.*alarm.fine);
        return fine;
    };
    const std::vector<bool> allFine(std::size(alarms), true);
    ASSERT_EQ(flags(), allFine);
    for (std::size_t i = 0; i < std::size(alarms); ++i) {
        const QString name = QLatin1String(alarms[i].name);
        ASSERT_TRUE(unitsim.command(QStringLiteral("alarm 1 %1 on").arg(name)));
        std::vector<bool> raised = allFine;
        raised[i] = false;
        EXPECT_EQ(flags(), raised) << alarms[i].name;
        ASSERT_TRUE(unitsim.command(QStringLiteral("alarm 1 %1 off").arg(name)));
        EXPECT_EQ(flags(), allFine) << alarms[i].name;
    }
}

// Catches a wrong load or alarm taken (or confirmed), and a refusal that does
// not say what the command takes or what the bus lacks; the same for --load,
// which ends the emulator with 2 before it serves.
TEST_F(UnitSimCommandLine, WrongLoadsAndAlarmsAreRefusedWithWhatTheyTake)
{
    for (const auto &[loads, told] : {std::pair{"1:1:2,1:0:1", "module 1..5"},
                                      {"9:1:1", "no unit 9 on the bus"},
                                      {"5:1:1", "unit 5 has no module 1"}}) {
        UnitSimProcess wrong;
        EXPECT_TRUE(wrong.start({"--store", store, "--pty", "--load", loads}).isEmpty()) << loads;
        wrong.process.waitForFinished(10000); // false when it has ended already
        ASSERT_EQ(wrong.process.state(), QProcess::NotRunning) << loads;
        EXPECT_EQ(wrong.process.exitCode(), 2) << loads;
        const std::string errors = wrong.errors().toStdString();
        EXPECT_THAT(errors, HasSubstr("--load: ")) << loads;
        EXPECT_THAT(errors, HasSubstr(told)) << loads;
    }

    startLine({"--commands"});
    for (const auto &[command, told] :
         {std::pair{"load 1 1", "(load UNIT MODULE AMPS: unit 1..32, module 1..5, AMPS 0 or more)"},
          {"load 1 6 2", "module 1..5"},
          {"load 1 1 inf", "AMPS 0 or more"},
          {"load 5 1 2", "load 5 1 2: unit 5 has no module 1"},
          {"load 9 1 2", "load 9 1 2: no unit 9 on the bus"},
          {"alarm 1 smoke on", "NAME over-temp, fan-fail, ac-fail or dc-good"},
          {"alarm 1 over-temp yes", "alarm UNIT NAME on|off"},
          {"alarm 9 fan-fail on", "no unit 9 on the bus"},
          {"unload 1", "load UNIT MODULE AMPS, alarm UNIT NAME on|off"}})
        EXPECT_THAT(unitsim.refusal(QLatin1String(command)).toStdString(), HasSubstr(told))
            << command;
    // Nothing refused was confirmed: the next line out is the next command's.
    EXPECT_TRUE(unitsim.command(QStringLiteral("alarm 3 ac-fail on")));
}

} // namespace
