// Settings access and module ratings as the program sees them.
#include "TestSeams.h"
#include "core/Ini.h"
#include "core/NumberText.h"
#include "core/ZelkGlobals.h"
#include "core/clsScalability.h"

#include <QDir>
#include <QFile>
#include <array>
#include <gtest/gtest.h>
#include <optional>

// Catches a read buffer that returns more than 254 characters, empty or missing values coming
// back as empty text, or the separator replacement skipped for texts that are not numbers;
// and a failed write reported as success, without the path, or by making a folder, and a
// folder nobody may write to (not even root: /proc) crashing.
TEST(IniCallsTest, ReadsCutToTheBufferNAForNothingAndWriteFailuresShowTheirPath)
{
    TestEnvironment env;
    env.writeFile("a.ini", "[s]\r\nk=" + QByteArray(300, 'x') +
                               "\r\nempty=\r\nv=12.50\r\ntip=Read the unit. Then save.\r\n");
    const QString a = env.path("a.ini");
    EXPECT_EQ(ReadIni("s", "k", a), QString(254, 'x'));
    EXPECT_EQ((QStringList{ReadIni("s", "empty", a), ReadIni("s", "none", a), ReadIni("t", "k", a),
                           ReadIni("s", "k", env.path("nofile.ini"))}),
              QStringList(4, "N/A"));
    ZelkGlobals::DecimalSeparator = ",";
    EXPECT_EQ(ReadIni("s", "v", a), "12,50");
    EXPECT_EQ(ReadIni("s", "tip", a), "Read the unit, Then save,");
    ZelkGlobals::DecimalSeparator = ".";
    EXPECT_EQ(ReadIni("s", "v", a), "12.50");

    const QString path = env.path("no/such/folder/x.ini");
    EXPECT_EQ(WriteIni("s", "k", "v", path), "0");
    EXPECT_EQ(Ini::IniWriteResult, "0");
    ASSERT_EQ(env.dialogs.count(), 1);
    EXPECT_EQ(env.dialogs.shown[0].text,
              "Error: Writing to INI file failed! Check the file path!" + path);
    EXPECT_TRUE(env.dialogs.shown[0].title == "Error" &&
                env.dialogs.shown[0].icon == MsgIcon::Critical &&
                !QFileInfo::exists(env.path("no")));

    EXPECT_EQ(WriteIni("s", "k", "new", "/proc/zelk-settings.ini"), "0");
    EXPECT_TRUE(!QFileInfo::exists("/proc/zelk-settings.ini") && env.dialogs.count() == 2);

    EXPECT_EQ(WriteIni("s", "k", "v", env.path("ok.ini")), "1");
    EXPECT_TRUE(env.dialogs.count() == 2 && ReadIni("s", "k", env.path("ok.ini")) == "v");
}

// Catches numbers accepted with junk or the wrong separator, halves not rounded to even, or
// 16-bit limits off by one.
TEST(NumberTextTest, StrictDecimalTextsInTheGivenSeparator)
{
    const struct
    {
        const char *text, *separator;
        std::optional<double> value;
    } doubles[] = {{"5,0", ",", 5.0},    {" 12.34 ", ".", 12.34}, {"-0.5", ".", -0.5},
                   {"1e3", ".", 1000.0}, {"15V", ".", {}},        {"N/A", ".", {}},
                   {"5.0", ",", {}},     {"", ".", {}},           {".", ".", {}},
                   {"1e999", ".", {}}};
    for (const auto &c : doubles)
        EXPECT_EQ(NumberText::toDouble(c.text, c.separator), c.value) << c.text;
    const std::pair<const char *, std::optional<qint16>> ints[] = {
        {"2.5", 2}, {"3.5", 4}, {"32767", 32767}, {"32768", {}}, {"-32768", -32768}};
    for (const auto &[text, value] : ints)
        EXPECT_EQ(NumberText::toInt16(text, "."), value) << text;
}

namespace {
class RatingsTest : public ::testing::Test
{
protected:
    void SetUp() override { ZelkGlobals::ScaleIniPath = env.path("scale.ini"); }
    TestEnvironment env;
};
} // namespace

// Catches an unknown type code or a missing ratings file giving anything but "N/A" and zeros,
// or stopping the program, a text that is not a number read as its leading digits, and
// shipped ratings whose full-scale readings would not fit 16 bits.
TEST_F(RatingsTest, TypesWithoutRatingsNonNumericRatingsAndShippedRatings)
{
    clsScalability noFile;
    noFile.fillFromScaleIni(1);
    EXPECT_TRUE(noFile.Type == "N/A" && noFile.VoltageScaleFactor == 0.0);
    ZelkGlobals::ModuleRatings(3).fillFromScaleIni(1);
    EXPECT_TRUE(ZelkGlobals::ModuleRatings.exists(3) && !ZelkGlobals::ModuleRatings.exists(4));

    env.copyShipped("scale.ini");
    clsScalability r;
    r.fillFromScaleIni(99);
    EXPECT_TRUE(r.TypeCode == 99 && r.Type == "N/A");
    for (double v :
         {r.MinVoltage, r.MaxVoltage, r.MaxCurrent, r.VoltageScaleFactor, r.MaxMeasuredVoltage,
          r.CurrentScaleFactor, r.MaxMeasuredCurrent, r.VAScaleFactor})
        EXPECT_EQ(v, 0.0);
    EXPECT_EQ(GetVoltageRange(scaleSectionName(99)) + "|" + GetMaxCurrent("TYPE99"),
              "N/A - N/A|N/A");

    env.writeFile("scale.ini", "[TYPE12]\r\nType=Test\r\nMinVoltage=5.0\r\nMaxVoltage=15V\r\n"
                               "MaxCurrent=2.5\r\n");
    ZelkGlobals::DecimalSeparator = ",";
    clsScalability t;
    t.fillFromScaleIni(12);
    EXPECT_EQ(t.Type, "Test");
    // "5.0" is read as 5 under a comma separator.
    EXPECT_EQ((std::array{t.MinVoltage, t.MaxVoltage, t.MaxCurrent}), (std::array{5.0, 0.0, 2.5}));
    EXPECT_EQ(GetVoltageRange("TYPE12") + "|" + GetMaxCurrent("TYPE12"), "5,0 - 15V|2,5");

    // The shipped ratings, read with the usual separator.
    ZelkGlobals::DecimalSeparator = ".";
    env.copyShipped("scale.ini");
    clsScalability none;
    none.fillFromScaleIni(0);
    EXPECT_EQ(none.Type, "Not Present");
    int types = 0;
    for (int code = 1; code < 100; ++code) {
        clsScalability r;
        r.fillFromScaleIni(code);
        if (r.Type == "N/A")
            continue;
        ++types;
        SCOPED_TRACE(r.Type.toStdString());
        EXPECT_TRUE(r.VoltageScaleFactor > 0 && r.CurrentScaleFactor > 0 &&
                    r.MinVoltage < r.MaxVoltage);
        // The measuring range covers the highest module-good limit the editor allows.
        EXPECT_GE(r.MaxMeasuredVoltage, r.MaxVoltage * 1.125);
        EXPECT_TRUE(r.MaxMeasuredVoltage * r.VoltageScaleFactor <= 32767 &&
                    r.MaxMeasuredCurrent * r.CurrentScaleFactor <= 32767);
    }
    EXPECT_GE(types, 6);
}
