// The configuration file reader on a file of arbitrary bytes: a rejected file
// leaves the record as it was and says why; an accepted record, saved and read
// back, gives every value as the reading rules make of what was saved. The
// same bytes set against a five-module unit give a plan that writes only
// values its unit can hold, and nothing of a module with a refused value.
#include "FuzzCheck.h"
#include "TestSeams.h"
#include "configfile/ConfigFileContents.h"
#include "configfile/ConfigFileKeys.h"
#include "configfile/ConfigPlan.h"
#include "configfile/ZelkConfigFile.h"
#include "core/Ini.h"
#include "core/ZelkGlobals.h"
#include "device/ZelkData.h"

#include <QFile>

#include <array>
#include <cstdint>

namespace {

TestEnvironment *g_env = nullptr;

// The record's fields that the configuration file holds, in one list.
QStringList fileFields(const ZelkData &d)
{
    QStringList out{d.PowerSupplyID,
                    d.SerialNumber,
                    d.MajorVersion,
                    d.MinorVersion,
                    d.MODULES,
                    ZelkConfigFile::BoolToStr(d.FanFail),
                    ZelkConfigFile::BoolToStr(d.GlobalDC),
                    ZelkConfigFile::BoolToStr(d.OverTemp),
                    ZelkConfigFile::BoolToStr(d.GlobalOnOff),
                    ZelkConfigFile::BoolToStr(d.Group),
                    ZelkConfigFile::BoolToStr(d.Global)};
    for (int m = 1; m <= 5; ++m) {
        const ZelkModuleRecord &r = d.Module(m);
        out << r.ModuleCode << r.SerialNumber << r.MajorVersion << r.MinorVersion
            << r.DefaultOutputPolarity << r.StartUpState << r.OutputVoltageSetpoint
            << r.VoltageHighLimit << r.VoltageLowLimit << r.CurrentLimitMode << r.CurrentLimit
            << r.StartUpDelay << r.ActivationTime << r.ResetTime << r.EnableReset << r.Master
            << r.Slave << r.Delay << r.State << r.ProgrammingMode << QString::number(r.GroupId);
    }
    return out;
}

// A lone surrogate: no text read from a file holds one.
const QString Unread = QChar(0xD800) + QStringLiteral("unread");

void fillWithMarkers(ZelkData &d)
{
    const QString &marker = Unread;
    d.PowerSupplyID = d.SerialNumber = d.MajorVersion = d.MinorVersion = d.MODULES = marker;
    d.FanFail = d.GlobalDC = d.OverTemp = d.GlobalOnOff = d.Group = d.Global = true;
    for (int m = 1; m <= 5; ++m) {
        ZelkModuleRecord &r = d.Module(m);
        for (QString *field : {&r.ModuleCode,
                               &r.SerialNumber,
                               &r.MajorVersion,
                               &r.MinorVersion,
                               &r.DefaultOutputPolarity,
                               &r.StartUpState,
                               &r.OutputVoltageSetpoint,
                               &r.VoltageHighLimit,
                               &r.VoltageLowLimit,
                               &r.CurrentLimitMode,
                               &r.CurrentLimit,
                               &r.StartUpDelay,
                               &r.ActivationTime,
                               &r.ResetTime,
                               &r.EnableReset,
                               &r.Master,
                               &r.Slave,
                               &r.Delay,
                               &r.State,
                               &r.ProgrammingMode})
            *field = marker;
        r.GroupId = -12345;
    }
}

// What a saved text reads back as: blanks trimmed, one pair of quotes
// stripped, and an empty result as "N/A".
QString readBack(const QString &saved)
{
    qsizetype begin = 0;
    qsizetype end = saved.size();
    const auto blank = [&](qsizetype i) {
        return saved.at(i) == u' ' || saved.at(i) == u'\t' || saved.at(i) == u'\v';
    };
    while (begin < end && blank(begin))
        ++begin;
    while (end > begin && blank(end - 1))
        --end;
    QString text = saved.mid(begin, end - begin);
    if (text.size() >= 2 && (text.front() == u'"' || text.front() == u'\'') &&
        text.back() == text.front())
        text = text.mid(1, text.size() - 2);
    return text.isEmpty() ? Ini::NotAvailable : text;
}

// The unit a file is about: the number of its first "[PS<n>" header, else 1.
QString unitOf(const QByteArray &file)
{
    const qsizetype at = file.indexOf("[PS");
    if (at >= 0) {
        qsizetype end = at + 3;
        while (end < file.size() && end < at + 5 && file.at(end) >= '0' && file.at(end) <= '9')
            ++end;
        const int unit = file.mid(at + 3, end - at - 3).toInt();
        if (unit >= 1 && unit <= 32)
            return QString::number(unit);
    }
    return QStringLiteral("1");
}

// A unit with modules 1..4 of the shipped types 1..4 and position 5 empty,
// every setting at a plain value.
UnitState planUnit(int unit)
{
    UnitState state;
    state.unit = unit;
    state.presentModules = QStringLiteral("11110");
    for (int m = 1; m <= 4; ++m) {
        const std::size_t i = std::size_t(m - 1);
        state.typeCode[i] = qint16(m);
        state.typeKnown[i] = true;
        state.ratings[i].fillFromScaleIni(m);
        for (ConfigSetting::Id id : ConfigSetting::ModuleIds)
            state.setValue(m, id, 1);
    }
    for (ConfigSetting::Id id : ConfigSetting::UnitIds)
        state.setValue(0, id, 0);
    return state;
}

void checkPlans(const QByteArray &bytes)
{
    using Kind = ConfigPlan::Kind;
    namespace CS = ConfigSetting;
    const ConfigFileContents file = ConfigFileContents::parse(bytes);
    for (const ConfigFileContents::Issue &issue : file.issues())
        FUZZ_CHECK(issue.line >= 1 && issue.line <= file.lineCount() && !issue.message.isEmpty());
    for (int number : file.units()) {
        const ConfigPlan plan = ConfigPlan::make(*file.unit(number), planUnit(number));
        for (const ConfigPlan::Row &row : plan.rows) {
            FUZZ_CHECK(row.module >= 0 && row.module <= 5);
            FUZZ_CHECK(row.line >= 0 && row.line <= file.lineCount());
            if (row.kind == Kind::Refused)
                FUZZ_CHECK(!row.message.isEmpty());
            if (row.kind != Kind::Write)
                continue;
            FUZZ_CHECK(row.setting && row.fileValue && row.fileValue != row.unitValue);
            FUZZ_CHECK(CS::isModule(*row.setting) == (row.module > 0));
            FUZZ_CHECK(row.module == 0 || plan.state.present(row.module));
            const qint32 v = *row.fileValue;
            switch (CS::kind(*row.setting)) {
            case CS::Kind::Option:
                FUZZ_CHECK(v == 0 || v == 1);
                break;
            case CS::Kind::Milliseconds:
                FUZZ_CHECK(v >= 0 && v <= 65535);
                break;
            case CS::Kind::Mode:
                FUZZ_CHECK(CS::modeOf(v) <= 3);
                break;
            default:
                FUZZ_CHECK(v >= -32768 && v <= 32767);
            }
            // A module with a refused value writes nothing at all.
            for (const ConfigPlan::Row &other : plan.rows)
                FUZZ_CHECK(other.module != row.module || other.kind != Kind::Refused);
        }
        const QList<int> all = plan.writable();
        for (int m = 1; m <= 5; ++m)
            (void)plan.limitsRefusal(m, all);
    }
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    FUZZ_CHECK(file.write(bytes) == bytes.size());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    g_env = new TestEnvironment;
    g_env->copyShipped(QStringLiteral("scale.ini"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray file(reinterpret_cast<const char *>(data), qsizetype(size));
    checkPlans(file);
    const QString unit = unitOf(file);
    const QString readPath = g_env->path(QStringLiteral("read.ini"));
    const QString savedPath = g_env->path(QStringLiteral("saved.ini"));
    writeFile(readPath, file);
    QFile::remove(savedPath);
    g_env->dialogs.shown.clear();

    // The file is refused exactly when a module's GroupId is neither "N/A"
    // nor a 16-bit whole number.
    bool acceptable = true;
    std::array<qint16, 5> groups{};
    for (int m = 1; m <= 5; ++m) {
        const QString group =
            ReadIni(ConfigFileKeys::moduleSection(unit, m), ConfigFileKeys::GroupId, readPath);
        bool ok = true;
        if (group != Ini::NotAvailable)
            groups[m - 1] = group.trimmed().toShort(&ok);
        acceptable = acceptable && ok;
    }

    ZelkGlobals::ConfigFileToRead = readPath;
    ZelkData first;
    fillWithMarkers(first);
    const QStringList untouched = fileFields(first);
    QString error;
    const bool accepted = ZelkConfigFile::ReadZelkFile(first, unit, &error);
    FUZZ_CHECK_EQ(accepted, acceptable);
    if (!accepted) {
        // A rejected file changes nothing and names the value at fault.
        FUZZ_CHECK(fileFields(first) == untouched);
        FUZZ_CHECK(error.contains(QStringLiteral("GroupId")));
        FUZZ_CHECK(error.contains(readPath));
        return 0;
    }
    // Every text comes from the file: a missing or empty one reads "N/A".
    for (const QString &field : fileFields(first))
        FUZZ_CHECK(!field.isEmpty() && field != Unread);
    for (int m = 1; m <= 5; ++m)
        FUZZ_CHECK_EQ(first.Module(m).GroupId, groups[m - 1]);

    // Saved as the editor saves it, with its Global choice, then read back.
    first.GlobalOutput = first.Global;
    ZelkGlobals::ConfigFileToWrite = savedPath;
    ZelkConfigFile::WriteZelkFile(first, unit);
    FUZZ_CHECK(g_env->dialogs.shown.empty());
    ZelkGlobals::ConfigFileToRead = savedPath;
    ZelkData second;
    fillWithMarkers(second);
    FUZZ_CHECK(ZelkConfigFile::ReadZelkFile(second, unit, &error));

    FUZZ_CHECK_EQ(second.PowerSupplyID, readBack(first.PowerSupplyID));
    FUZZ_CHECK_EQ(second.SerialNumber, readBack(first.SerialNumber));
    FUZZ_CHECK_EQ(second.MajorVersion, readBack(first.MajorVersion));
    FUZZ_CHECK_EQ(second.MinorVersion, readBack(first.MinorVersion));
    FUZZ_CHECK_EQ(second.MODULES, readBack(first.MODULES));
    FUZZ_CHECK_EQ(second.FanFail, first.FanFail);
    FUZZ_CHECK_EQ(second.GlobalDC, first.GlobalDC);
    FUZZ_CHECK_EQ(second.OverTemp, first.OverTemp);
    FUZZ_CHECK_EQ(second.GlobalOnOff, first.GlobalOnOff);
    FUZZ_CHECK_EQ(second.Group, first.Group);
    FUZZ_CHECK_EQ(second.Global, first.Global);
    for (int m = 1; m <= 5; ++m) {
        const ZelkModuleRecord &a = first.Module(m);
        const ZelkModuleRecord &b = second.Module(m);
        // Only modules with a serial number are saved; the others read back empty.
        const bool saved = a.SerialNumber != Ini::NotAvailable;
        const auto expect = [saved](const QString &read) {
            return saved ? readBack(read) : Ini::NotAvailable;
        };
        FUZZ_CHECK_EQ(b.ModuleCode, expect(a.ModuleCode));
        FUZZ_CHECK_EQ(b.SerialNumber, expect(a.SerialNumber));
        FUZZ_CHECK_EQ(b.MajorVersion, expect(a.MajorVersion));
        FUZZ_CHECK_EQ(b.MinorVersion, expect(a.MinorVersion));
        FUZZ_CHECK_EQ(b.DefaultOutputPolarity, expect(a.DefaultOutputPolarity));
        FUZZ_CHECK_EQ(b.StartUpState, expect(a.StartUpState));
        FUZZ_CHECK_EQ(b.OutputVoltageSetpoint, expect(a.OutputVoltageSetpoint));
        FUZZ_CHECK_EQ(b.VoltageHighLimit, expect(a.VoltageHighLimit));
        FUZZ_CHECK_EQ(b.VoltageLowLimit, expect(a.VoltageLowLimit));
        FUZZ_CHECK_EQ(b.CurrentLimitMode, expect(a.CurrentLimitMode));
        FUZZ_CHECK_EQ(b.CurrentLimit, expect(a.CurrentLimit));
        FUZZ_CHECK_EQ(b.StartUpDelay, expect(a.StartUpDelay));
        FUZZ_CHECK_EQ(b.ActivationTime, expect(a.ActivationTime));
        FUZZ_CHECK_EQ(b.ResetTime, expect(a.ResetTime));
        FUZZ_CHECK_EQ(b.EnableReset, expect(a.EnableReset));
        FUZZ_CHECK_EQ(b.Master, expect(a.Master));
        FUZZ_CHECK_EQ(b.Slave, expect(a.Slave));
        FUZZ_CHECK_EQ(b.Delay, expect(a.Delay));
        FUZZ_CHECK_EQ(b.State, expect(a.State));
        FUZZ_CHECK_EQ(b.ProgrammingMode, expect(a.ProgrammingMode));
        FUZZ_CHECK_EQ(b.GroupId, saved ? a.GroupId : qint16(0));
    }
    return 0;
}
