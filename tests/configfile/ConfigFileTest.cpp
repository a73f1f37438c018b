// The unit configuration file: layout, encodings, and reading it back.
#include "TestSeams.h"
#include "configfile/ZelkConfigFile.h"
#include "core/ZelkGlobals.h"
#include "device/ZelkData.h"

#include <QDir>
#include <QFile>
#include <array>
#include <gtest/gtest.h>

namespace {

QByteArray golden(const char *name)
{
    QFile f(QStringLiteral(ZELK_TEST_DATA_DIR "/") + QLatin1String(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Unit 7 with modules 1 and 3, as an editor read would leave it.
void fillUnit7(ZelkData &d)
{
    d.PowerSupplyID = "7";
    d.SerialNumber = "SN-07-4411";
    d.MajorVersion = "2";
    d.MinorVersion = "1";
    d.FanFail = true;
    d.OverTemp = true;
    d.Global = false; // the file takes "Global" from GlobalOutput
    d.GlobalOutput = true;
    d.MODULES = "10100000";
    d.Module(1) = {"ZM 12V/30A", "M-0701", "1",   "4",    "1", "1",   "12.5", "13500", "11500",
                   "Hiccup",     "20.5",   "100", "1000", "0", "250", "1",    2,       "1",
                   "0",          "250",    "1",   {},     {},  {}};
    d.Module(3) = {"ZM 48V/8A", "M-0703", "1", "2", "0", "0", "48", "10000",
                   "8600",      "Normal", "8", "0", "0", "1", "0",  "0",
                   0,           {},       {},  {},  {},  {},  {},   {}};
    d.Module(2).SerialNumber = "N/A"; // absent modules get no section
    d.Module(4).SerialNumber = "";
}

class ConfigFileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ZelkGlobals::ConfigFileToWrite = env.path("units.ini");
        ZelkGlobals::ConfigFileToRead = env.path("units.ini");
    }
    TestEnvironment env;
};

} // namespace

// Catches keys written out of order, a wrong "Global" source, sections for
// modules without a serial number, or a save that clears sections a previous
// save wrote; and a 32-unit save that does not tell its progress unit by unit,
// or reports a failure once per key, or without why. (The 32-unit save's bytes
// are the editor's saved file:
// Save.FileHoldsAllUnitsInTheStoredFormatAndTheLimitsShown.)
TEST_F(ConfigFileTest, UnitSevenMatchesTheStoredLayoutAndA32UnitSaveTellsEachUnitAndOneFailure)
{
    ZelkData d;
    fillUnit7(d);
    ZelkConfigFile::WriteZelkFile(d, "7");
    QByteArray expected = golden("unit7.ini");
    EXPECT_EQ(env.readFile("units.ini"), expected);
    EXPECT_EQ(env.dialogs.count(), 0);

    d.Module(3).SerialNumber = "N/A";
    d.Module(1).CurrentLimit = "10.25";
    ZelkConfigFile::WriteZelkFile(d, "7");
    expected.replace("CurrentLimit=20.5", "CurrentLimit=10.25");
    EXPECT_EQ(env.readFile("units.ini"), expected);

    const auto unit = [&d](int) {
        return &d;
    };
    QList<int> seen;
    ASSERT_TRUE(ZelkConfigFile::WriteAllUnits(unit, [&](int u) { seen << u; }));
    EXPECT_EQ(seen.size(), 32);

    ASSERT_TRUE(QDir(env.folder()).mkdir("folder.ini"));
    env.writeFile("read-only.ini", "[PS1]\r\nFanFail=0\r\n");
    ASSERT_TRUE(QFile::setPermissions(env.path("read-only.ini"), QFile::ReadOwner));
    const struct
    {
        const char *file, *reason;
    } cases[] = {{"missing-folder/units.ini", "No such file or directory"},
                 {"folder.ini", "Is a directory"},
                 {"read-only.ini", "The file is read-only"}};
    for (const auto &c : cases) {
        ZelkGlobals::ConfigFileToWrite = env.path(c.file);
        EXPECT_FALSE(ZelkConfigFile::WriteAllUnits(unit));
        EXPECT_EQ(env.dialogs.texts(),
                  QStringList{"Error: Writing to INI file failed! Check the file path!" +
                              ZelkGlobals::ConfigFileToWrite + '\n' + c.reason});
        env.dialogs.shown.clear();
    }
    EXPECT_EQ(env.readFile("read-only.ini"), "[PS1]\r\nFanFail=0\r\n");
}

// Catches flags read as true from anything but "1", absent data not read as
// "N/A"/false/0, a later duplicate section read, a value not cut to 254
// characters, numbers read back in the wrong decimal separator, or a bad
// group number half-loading a file.
TEST_F(ConfigFileTest, ReadBackFlagsGroupsSeparatorsAbsentSectionsAndBadGroups)
{
    env.writeFile("units.ini", "[PS4]\r\nFanFail=True\r\nGlobalDC=-1\r\nOverTemp=1\r\n"
                               "Global=1\r\nMODULES=01000000\r\n"
                               "[PS4MODULE1]\r\nOutputVoltageSetpoint=12.5\r\n"
                               "[PS4MODULE2]\r\nSerialNumber=X2\r\nGroupId=N/A\r\n"
                               "OutputVoltageSetpoint=12,5\r\n"
                               "[PS4MODULE3]\r\nGroupId=3\r\nCurrentLimit=" +
                                   QByteArray(300, '7') + "\r\n[ps4]\r\nFanFail=1\r\n");
    ZelkData d;
    d.GlobalOutput = true;   // not touched by a file read
    d.Module(1).GroupId = 9; // missing reads 0
    ZelkGlobals::DecimalSeparator = ",";
    ASSERT_TRUE(ZelkConfigFile::ReadZelkFile(d, "4"));
    EXPECT_EQ((std::array{d.FanFail, d.GlobalDC, d.OverTemp, d.Global, d.GlobalOutput}),
              (std::array{false, false, true, true, true}));
    EXPECT_EQ((QStringList{d.MODULES, d.SerialNumber, d.Module(2).SerialNumber,
                           d.Module(5).CurrentLimitMode, d.Module(1).OutputVoltageSetpoint}),
              (QStringList{"01000000", "N/A", "X2", "N/A", "12,5"}));
    EXPECT_EQ((std::array{d.Module(1).GroupId, d.Module(2).GroupId, d.Module(3).GroupId}),
              (std::array<qint16, 3>{0, 0, 3}));
    EXPECT_EQ(d.Module(3).CurrentLimit, QString(254, '7'));

    ZelkGlobals::DecimalSeparator = ".";
    ASSERT_TRUE(ZelkConfigFile::ReadZelkFile(d, "4"));
    EXPECT_EQ(d.Module(2).OutputVoltageSetpoint, "12,5");
    ZelkData absent;
    ASSERT_TRUE(ZelkConfigFile::ReadZelkFile(absent, "30"));
    EXPECT_EQ(absent.MODULES + absent.PowerSupplyID, "N/AN/A");
    EXPECT_FALSE(absent.Group);

    // A bad group number rejects the whole file and keeps the record.
    for (const QByteArray &bad : {QByteArray("abc"), QByteArray("70000"), QByteArray("2.5")}) {
        env.writeFile("units.ini",
                      "[PS2]\r\nSerialNumber=NEW\r\n[PS2MODULE4]\r\nGroupId=" + bad + "\r\n");
        ZelkData d;
        d.SerialNumber = "OLD";
        QString error;
        EXPECT_FALSE(ZelkConfigFile::ReadZelkFile(d, "2", &error)) << bad.constData();
        EXPECT_EQ(d.SerialNumber, "OLD");
        EXPECT_TRUE(error.contains("GroupId")) << error.toStdString();
    }
}
