// zelkctl as a process: its outputs, files and exit codes on the simulated bus.
#include "../cli/ProgramRun.h"
#include "TestSeams.h"
#include "core/IniFile.h"
#include "device/FrameLog.h"
#include "monitor/StatusLogFormat.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>

namespace {

class ZelkCtlTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        shippedFolder(env); // the demo bus, without line timing
        edit("simbus.ini", "Bus", "WireModel", "0");
    }

    // The fixture's own run names the folder first.
    Ran zelkctl(QStringList args)
    {
        return runProgram(QStringLiteral(ZELK_CTL), QStringList{"--app-dir", env.folder()} + args);
    }

    // The emulator on a copy of the demo bus at 115200 baud, as COM1 of the
    // serial line.
    void startLine(QProcess &unitsim, const QStringList &more = {}, int retries = 2)
    {
        QDir(env.folder()).mkdir("line");
        for (const QString file : {"simbus.ini", "scale.ini"})
            ASSERT_TRUE(QFile::copy(env.path(file), env.path("line/" + file)));
        const QString link = env.path("line.tty");
        edit("ZelkGui.ini", "PORTS", "COM1", link);
        edit("ZelkGui.ini", "PARAMS", "BaudRate", "115200");
        env.writeFile("Zelk.ini", "[Serial COM Parameters]\r\nReadTimeout=150\r\nRetryCount=" +
                                      QByteArray::number(retries) + "\r\n");
        unitsim.start(QStringLiteral(ZELK_UNITSIM),
                      QStringList{"--store", env.path("line/simbus.ini"), "--pty", "--link", link,
                                  "--baud", "115200", "--no-noise"} +
                          more);
        ASSERT_TRUE(QTest::qWaitFor([&] { return unitsim.canReadLine(); }, 20000))
            << unitsim.readAllStandardError().constData();
        unitsim.readLine();
    }

    QJsonObject json(const Ran &r)
    {
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(r.out.toUtf8(), &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << r.out.toStdString();
        return doc.object();
    }

    // The saved file with one key of one section set to another value.
    void edit(const QString &file, const QString &section, const QString &key, const QString &value)
    {
        ASSERT_TRUE(IniFile::writeString(env.path(file), section, key, value));
    }

    TestEnvironment env;
};

} // namespace

// Catches a tool that needs a bus or a window to say what it is, or that
// links a widget library (it must run where there is no display), and the
// emulator ending a usage mistake otherwise than its manual page says (2), or
// serving although it was given an argument it does not take.
TEST_F(ZelkCtlTest, VersionHelpAndUsage)
{
    const QString ctl = QStringLiteral(ZELK_CTL), unitsim = QStringLiteral(ZELK_UNITSIM);
    const QStringList here{"--app-dir", env.folder()};
    const struct
    {
        QString program;
        QStringList args;
        int rc;
        QStringList says; // in the output; a text ending a line is the whole output
    } runs[] = {{ctl, here + QStringList{"--version"}, 0, {"zelkctl " ZELK_VERSION "\n"}},
                {ctl,
                 here + QStringList{"--help"},
                 0,
                 {"\n  scan ", "\n  read ", "\n  save ", "\n  diff ", "\n  apply ", "\n  set ",
                  "\n  output ", "\n  monitor "}},
                {ctl, here + QStringList{"apply", "--help"}, 0, {"--dry-run"}},
                {unitsim, {"--bogus"}, 2, {}},
                {unitsim, {"--baud"}, 2, {}},
                {unitsim, {"--store", "simbus.ini", "--pty", "stray"}, 2, {}},
                {unitsim, {"--help"}, 0, {}},
                {unitsim, {"--version"}, 0, {}}};
    for (const auto &run : runs) {
        const Ran r = runProgram(run.program, run.args);
        SCOPED_TRACE(run.args.join(' ').toStdString() + "\n" + show(r));
        EXPECT_EQ(r.rc, run.rc);
        EXPECT_EQ(r.err.startsWith(run.program.section('/', -1) + ": "), run.rc != 0);
        EXPECT_EQ(r.out.isEmpty(), run.rc != 0);
        for (const QString &text : run.says)
            EXPECT_TRUE(text.endsWith('\n') ? r.out == text : r.out.contains(text));
    }

    const QString needed = runProgram(QStringLiteral("readelf"), {"-d", ctl}).out;
    ASSERT_TRUE(needed.contains("libQt6Core")) << needed.toStdString();
    EXPECT_FALSE(needed.contains("libQt6Widgets"));
    EXPECT_FALSE(needed.contains("libQt6Gui"));
}

// Catches a save, diff or apply that differs from its documented output, a
// diff that misses or invents a change, and an apply that writes twice.
TEST_F(ZelkCtlTest, SaveDiffApplyRoundTrip)
{
    const Ran scan = zelkctl({"scan", "--json"});
    ASSERT_EQ(scan.rc, 0) << show(scan);
    const QJsonArray units = json(scan)["units"].toArray();
    ASSERT_EQ(units.size(), 4);
    EXPECT_EQ(units.at(0)["serialNumber"].toString(), "ZX5-21A0117");
    EXPECT_EQ(units.at(0)["modules"].toArray().size(), 5);

    const Ran saved = zelkctl({"save", env.path("all.txt")});
    ASSERT_EQ(saved.rc, 0) << show(saved);
    EXPECT_EQ(saved.out, "Saved unit(s) 1, 3, 5, 7 to " + env.path("all.txt") + "\n");
    const QByteArray original = env.readFile("all.txt");

    // The technician changes two settings of unit 1 in a copy of the file.
    env.writeFile("changed.txt", original);
    edit("changed.txt", "PS1MODULE2", "OutputVoltageSetpoint", "11,5");
    edit("changed.txt", "PS1", "Colour", "blue");
    const Ran diff = zelkctl({"diff", env.path("changed.txt"), "1", "--json"});
    ASSERT_EQ(diff.rc, 0) << show(diff);
    const QJsonObject d = json(diff);
    EXPECT_EQ(d["section"].toString(), "PS1");
    QStringList writes;
    for (const QJsonValue &row : d["rows"].toArray())
        if (row["kind"].toString() == "write")
            writes << row["name"].toString() + ": " + row["unitText"].toString() + " -> " +
                          row["fileText"].toString();
    EXPECT_EQ(writes, QStringList{"Module 2 Set-point: 12 V -> 11.5 V"});
    // The file's problems are in the output, not only on the terminal.
    EXPECT_TRUE(d["notes"].toArray().at(0).toString().endsWith(
        "changed.txt:13: unknown key \"Colour\" in [PS1]; it is ignored"))
        << show(diff);

    // Every unit that answers gets its own diff; the others' modules are refused.
    const Ran all =
        zelkctl({"apply", env.path("changed.txt"), "all", "--from", "PS1", "--dry-run"});
    EXPECT_EQ(all.rc, 4) << show(all);
    for (const char *unit : {"1", "3", "5", "7"})
        EXPECT_TRUE(
            all.out.contains(QStringLiteral("Unit %1 from [PS1] (dry run, nothing written):")
                                 .arg(QLatin1String(unit))))
            << unit << show(all);
    const Ran dry = zelkctl({"apply", env.path("changed.txt"), "1", "--dry-run"});
    EXPECT_EQ(dry.rc, 0) << show(dry);
    EXPECT_TRUE(dry.out.contains("Unit 1: 1 difference(s)\n")) << show(dry);
    const Ran apply = zelkctl({"apply", env.path("changed.txt"), "1", "--json"});
    ASSERT_EQ(apply.rc, 0) << show(apply);
    const QJsonObject a = json(apply)["units"].toArray().at(0).toObject();
    ASSERT_EQ(a["written"].toArray().size(), 1);
    EXPECT_EQ(a["written"].toArray().at(0)["result"].toString(), "written, verified");
    EXPECT_EQ(a["written"].toArray().at(0)["value"].toInt(), 11500);

    // Back to the saved file: one write; then nothing is left to write.
    const Ran back = zelkctl({"apply", env.path("all.txt"), "1", "--restart"});
    EXPECT_EQ(back.rc, 0) << show(back);
    EXPECT_TRUE(
        back.out.contains("Unit 1: 1 difference(s), 1 written, verified, outputs restarted"))
        << show(back);
    const Ran again = zelkctl({"apply", env.path("all.txt"), "1", "--json"});
    EXPECT_EQ(json(again)["units"].toArray().at(0)["writes"].toInt(), 0) << show(again);
    EXPECT_EQ(zelkctl({"save", env.path("again.txt")}).rc, 0);
    EXPECT_EQ(env.readFile("again.txt"), original);

    // One unit saved as the editor saves it after reading that unit alone.
    ASSERT_EQ(zelkctl({"save", env.path("unit3.txt"), "3"}).rc, 0);
    QFile golden(QStringLiteral(ZELK_EDITOR_SAVED_UNIT3));
    ASSERT_TRUE(golden.open(QIODevice::ReadOnly));
    EXPECT_EQ(env.readFile("unit3.txt"), golden.readAll());
}

// Catches exit codes that hide a refusal, an ignored write or a silent unit,
// and a precedence other than 2, 4, 3; and port failures that zelkctl tells
// only on the terminal: the error file that its help names gets the line the
// windows write, from each road.
TEST_F(ZelkCtlTest, ExitCodesTheirPrecedenceAndPortFailures)
{
    const QString port = env.path(QStringLiteral("no-such-port"));
    const QString line = "Can not open Com port, make sure you selected the correct Com port "
                         "(COM1, COM2 ...)" +
                         port + "]";
    qsizetype logged = 0;
    for (const QStringList &command :
         {QStringList{"scan"}, {"read", "1"}, {"set", "1", "1", "--volts", "5"}}) {
        const Ran r = zelkctl(QStringList{"--bus", "serial", "--port", port} + command);
        EXPECT_EQ(r.rc, 2) << show(r);
        const QStringList files = QDir(env.folder()).entryList({QStringLiteral("error*.txt")});
        ASSERT_EQ(files.size(), 1) << files.join(' ').toStdString();
        const qsizetype now = QString::fromUtf8(env.readFile(files.first())).count(line);
        EXPECT_GT(now, logged) << command.join(' ').toStdString();
        logged = now;
    }

    ASSERT_EQ(zelkctl({"save", env.path("all.txt")}).rc, 0);
    // A set-point above module 2's rating, and an ignored write on module 1.
    edit("all.txt", "PS1MODULE2", "OutputVoltageSetpoint", "16");
    edit("all.txt", "PS1MODULE1", "StartUpDelay", "40");
    edit("simbus.ini", "Faults", "Fail1", "SetOutputTurnONDelayExUShort, 0, 1, always, CMD_OK");

    const Ran refused = zelkctl({"diff", env.path("all.txt"), "1"});
    EXPECT_EQ(refused.rc, 4) << show(refused);
    EXPECT_TRUE(
        refused.out.contains("Module 2 Set-point: REFUSED: OutputVoltageSetpoint=16 (line "))
        << show(refused);

    // Refused and a verify difference in one unit, then each in a unit of its own.
    const Ran both = zelkctl({"apply", env.path("all.txt"), "1"});
    EXPECT_EQ(both.rc, 4) << show(both); // refused wins over the verify
    EXPECT_TRUE(both.out.contains("Module 1 Start-up delay = 40 ms: verify: the unit holds 0 ms, "
                                  "not 40 ms"))
        << show(both);
    edit("all.txt", "PS1MODULE2", "OutputVoltageSetpoint", "12");
    const Ran apart = zelkctl({"apply", env.path("all.txt"), "1", "3", "--from", "PS1", "--json"});
    EXPECT_EQ(apart.rc, 4) << show(apart);
    const QJsonArray units = json(apart)["units"].toArray();
    EXPECT_EQ(units.at(0)["exitCode"].toInt(), 3) << show(apart); // unit 1: the verify
    EXPECT_EQ(units.at(1)["exitCode"].toInt(), 4) << show(apart); // unit 3 has no module 2

    edit("simbus.ini", "Supply2", "Silent", "1"); // unit 3
    const Ran silent = zelkctl({"apply", env.path("all.txt"), "1", "3", "--from", "PS1"});
    EXPECT_EQ(silent.rc, 2) << show(silent); // no answer wins over the rest
    EXPECT_TRUE(silent.out.contains("  Unit 3: unit 3 does not answer")) << show(silent);
    EXPECT_TRUE(silent.out.contains("  Unit 1: 1 difference(s), 1 written, verify found 1"))
        << show(silent);
}

// Catches a read whose JSON does not carry the unit as it is, a status log
// that is not the monitor's, and a bus-wide poll that leaves a unit out.
TEST_F(ZelkCtlTest, ReadJsonAndMonitorLog)
{
    const Ran read = zelkctl({"read", "3", "--json"});
    ASSERT_EQ(read.rc, 0) << show(read);
    const QJsonObject u = json(read);
    EXPECT_EQ(u["unit"].toInt(), 3);
    EXPECT_EQ(u["presentModules"].toString(), "10100");
    const QJsonArray modules = u["modules"].toArray();
    ASSERT_EQ(modules.size(), 2);
    EXPECT_EQ(modules.at(1)["module"].toInt(), 3);
    EXPECT_EQ(modules.at(1)["type"].toString(), "ZM 150V/2A");
    EXPECT_EQ(modules.at(0)["settings"]["OutputVoltageSetpoint"]["scaled"].toDouble(), 5.2);
    EXPECT_EQ(zelkctl({"read", "4"}).rc, 2);

    const Ran monitor = zelkctl(
        {"monitor", "1", "--interval", "0", "--log", env.path("status.csv"), "--count", "2"});
    ASSERT_EQ(monitor.rc, 0) << show(monitor);
    const QList<QByteArray> lines = env.readFile("status.csv").split('\n');
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines.at(0), StatusLogFormat::header().toUtf8() + '\r');
    EXPECT_TRUE(lines.at(1).contains(",1,Ok,Ok,Ok,Ok,Ok,")) << lines.at(1).constData();
    EXPECT_EQ(lines.at(2).count(','), lines.at(0).count(','));

    // --all: the units that answer (the demo's 1, 3, 5 and 7) in turn, each cycle.
    const QString allLog = env.path("all.csv");
    EXPECT_EQ(zelkctl({"monitor", "--all", "1", "--interval", "0", "--log", allLog}).rc, 1);
    const Ran all =
        zelkctl({"monitor", "--all", "--interval", "0", "--log", allLog, "--count", "2"});
    ASSERT_EQ(all.rc, 0) << show(all);
    const QList<QByteArray> polled = env.readFile("all.csv").split('\n');
    ASSERT_EQ(polled.size(), 9);
    for (int i = 1; i < polled.size(); ++i)
        EXPECT_EQ(polled.at(i).split(',').value(2), QByteArray::number(1 + 2 * ((i - 1) % 4)))
            << polled.at(i).constData();
}

// Catches live commands that act on a refused value or report a switch they did not make;
// usage mistakes that pass as success; and work done from what should stop it before
// anything: a section never read from a unit applied, an option of another command ignored
// (output switched, set-point set, file saved), a file problem told as a device error or not
// in JSON, a byte-order mark that hides the first section. A failure leaves the bus as it was.
TEST_F(ZelkCtlTest, LiveCommandsAndTheirRefusals)
{
    ASSERT_EQ(zelkctl({"save", env.path("one.txt"), "1"}).rc, 0);
    env.writeFile("bom.txt", "\xEF\xBB\xBF" + env.readFile("one.txt"));
    const struct
    {
        QStringList args;
        int rc;
        const char *said;  // start of the output, or in the error (and the JSON's error)
        double volts = -1; // measured after the set, within the bus's noise
    } cases[] = {
        {{"set", "1", "2", "--output", "off"}, 0, "Unit 1 module 2: 0.00 V, 0.00 A\n"},
        {{"set", "1", "2", "--volts", "12,5"}, 0, "Unit 1 module 2: ", 12.5},
        {{"output", "3", "off"}, 0, "Unit 3: global output off\n"},
        {{"diff", env.path("bom.txt"), "1"}, 0, ""},
        {{"set", "1", "2", "--volts", "20"},
         4,
         "zelkctl: 20 V is out of range for module 2: it takes 5 and 15 V"},
        {{"set", "5", "1", "--volts", "5"}, 4, "zelkctl: unit 5 has no module 1"},
        {{"set", "4", "1", "--volts", "1"}, 2, "zelkctl: unit 4 does not answer"},
        {{"set", "1", "2", "--volts", "5", "--output", "on"}, 1, "zelkctl: set takes"},
        {{"output", "1", "maybe"}, 1, "zelkctl: output takes"},
        {{"--port", "COM99", "read", "1"}, 2, "zelkctl: the port COM99 could not be opened"},
        {{"frobnicate"}, 1, ""},
        {{"read", "33"}, 1, ""},
        {{"read"}, 1, ""},
        {{"--bogus", "scan"}, 1, ""},
        {{"monitor", "1", "--interval", "1", "--log", "status.log"}, 1, ""},
        {{"--bus", "carrier", "scan"}, 1, ""},
        {{"apply", env.path("one.txt"), "3"}, 1, "[PS3] was never read from a unit"},
        {{"output", "3", "off", "--dry-run"}, 1, "output does not take --dry-run"},
        {{"set", "3", "1", "--volts", "6", "--dry-run"}, 1, "set does not take --dry-run"},
        {{"save", env.path("x.txt"), "3", "--dry-run"}, 1, "save does not take --dry-run"},
        {{"save", env.path("none/x.txt"), "3"}, 1, "could not be written"},
        {{"diff", env.path("none.txt"), "1", "--json"}, 1, "cannot read"},
        {{"read", "40", "--json"}, 1, "read takes one unit ID"},
    };
    for (const auto &c : cases) {
        const QByteArray bus = env.readFile("simbus.ini");
        const Ran r = zelkctl(c.args);
        SCOPED_TRACE(c.args.join(' ').toStdString() + "\n" + show(r));
        EXPECT_EQ(r.rc, c.rc);
        if (c.rc == 0) {
            EXPECT_TRUE(r.out.startsWith(QLatin1String(c.said)));
        } else {
            EXPECT_TRUE(r.err.startsWith("zelkctl: ") && r.err.contains(QLatin1String(c.said)));
            EXPECT_EQ(env.readFile("simbus.ini"), bus);
        }
        if (c.args.contains("--json")) {
            EXPECT_TRUE(json(r)["error"].toString().contains(QLatin1String(c.said)));
        }
        if (c.volts >= 0) {
            EXPECT_NEAR(r.out.section(' ', 4, 4).toDouble(), c.volts, 0.1);
        }
    }
    EXPECT_FALSE(QFile::exists(env.path("x.txt")));
}

// Catches a second process overwriting the units of the one that holds the
// bus, or refusing without saying who holds it.
TEST_F(ZelkCtlTest, SecondProcessIsToldWhoHoldsTheBus)
{
    QProcess holder;
    holder.start(QStringLiteral(ZELK_CTL),
                 {"--app-dir", env.folder(), "monitor", "1", "--interval", "0.2", "--log",
                  env.path("held.csv"), "--count", "300"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(env.path("held.csv")); }, 20000));
    const qint64 pid = holder.processId();
    const Ran second = zelkctl({"read", "1"});
    holder.kill();
    holder.waitForFinished();
    EXPECT_EQ(second.rc, 2) << show(second);
    EXPECT_TRUE(second.err.contains(QStringLiteral("is in use by zelkctl (process %1)").arg(pid)))
        << show(second);
}

// Catches an engine that only works against the in-process bus: the same
// round trip through the serial device object and the unit emulator, whose
// answers to writes are all damaged: the write is settled by reading it
// back, never called "not written" while the unit holds it.
TEST_F(ZelkCtlTest, RoundTripOverTheUnitEmulator)
{
    QProcess unitsim;
    ASSERT_NO_FATAL_FAILURE(startLine(unitsim, {"--writes-only", "--garble-rate", "1"}));

    const QString trace = env.path(QStringLiteral("trace.csv"));
    const Ran saved =
        zelkctl({"--bus", "serial", "--trace", trace, "save", env.path("line.txt"), "1"});
    ASSERT_EQ(saved.rc, 0) << show(saved);
    // The trace: the inspector's columns, then a request and its answer in turn.
    QFile traced(trace);
    ASSERT_TRUE(traced.open(QIODevice::ReadOnly | QIODevice::Text));
    const QStringList frames = QString::fromUtf8(traced.readAll()).split('\n', Qt::SkipEmptyParts);
    ASSERT_GT(frames.size(), 2);
    EXPECT_EQ(frames[0], FrameLog::csvHeader());
    for (int i = 1; i < frames.size(); ++i) {
        const QStringList cells = frames[i].split(',');
        ASSERT_EQ(cells.size(), FrameLog::ColumnCount) << i;
        EXPECT_EQ(cells[FrameLog::Direction], i % 2 ? "send" : "recv") << i;
        EXPECT_EQ(cells[FrameLog::Crc], "good") << i;
    }
    edit("line.txt", "PS1MODULE2", "OutputVoltageSetpoint", "11.5");
    const Ran apply = zelkctl({"--bus", "serial", "apply", env.path("line.txt"), "1", "--json"});
    EXPECT_EQ(apply.rc, 0) << show(apply);
    const QJsonObject unit = json(apply)["units"].toArray().at(0).toObject();
    EXPECT_EQ(unit["summary"].toString(), "Unit 1: 1 difference(s), 1 written, verified");
    const QJsonObject written = unit["written"].toArray().at(0).toObject();
    EXPECT_EQ(written["outcome"].toString(), "confirmed") << show(apply);
    EXPECT_EQ(written["result"].toString(), "written (confirmed by reading it back), verified");
    const Ran again = zelkctl({"--bus", "serial", "diff", env.path("line.txt"), "1"});
    EXPECT_TRUE(again.out.contains("Unit 1: 0 to write, 0 held back, 0 refused")) << show(again);
    unitsim.kill();
    unitsim.waitForFinished();
    // The emulator's units took the write; the simulated bus here did not.
    for (const auto &[store, millivolts] :
         {std::pair{"line/simbus.ini", "11500"}, std::pair{"simbus.ini", "12000"}})
        EXPECT_EQ(IniFile::readString(env.path(store), "Supply1.Module2", "DefaultVoltage"),
                  millivolts);
}

// Catches a unit that stopped answering and is not named as silent, or that
// slows the others: unit 7 taken off the line after the first cycle of
// monitor --all is named silent in the later cycles, while 1, 3 and 5 keep
// being logged each cycle.
TEST_F(ZelkCtlTest, MonitorAllNamesTheSilentUnit)
{
    QProcess unitsim;
    // No retries: the scan of the 28 IDs without a unit takes 4 s, not 13.
    ASSERT_NO_FATAL_FAILURE(startLine(unitsim, {"--commands"}, 0));
    const QString log = env.path(QStringLiteral("all.csv"));
    QProcess ctl;
    // A second between cycles, so that the unit goes away between two polls
    // and not in the middle of one (which makes its first miss already silent).
    ctl.start(QStringLiteral(ZELK_CTL), {"--app-dir", env.folder(), "--bus", "serial", "monitor",
                                         "--all", "--interval", "1", "--log", log, "--count", "5"});
    // The first cycle: a line for each of the demo's four units.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return ctl.peek(1 << 16).count('\n') >= 4 || ctl.state() == QProcess::NotRunning; },
        20000));
    unitsim.write("silent 7\n");
    ASSERT_TRUE(QTest::qWaitFor([&] { return unitsim.canReadLine(); }, 10000));
    const auto [rc, out, err] = finish(ctl, 60000);
    EXPECT_EQ(rc, 2) << err.toStdString();
    EXPECT_TRUE(err.contains("zelkctl: unit 7 does not answer (Unit 7 Does not Respond"))
        << err.toStdString();
    EXPECT_TRUE(err.contains("zelkctl: unit 7 is silent: asked once a cycle, with no retry, until "
                             "it answers (Unit 7 Does not Respond"))
        << err.toStdString();
    // Every unit in each of the five cycles; unit 7, once it went, with
    // nothing from it, in the log too.
    EXPECT_EQ(out.count(QLatin1Char('\n')), 5 * 4) << out.toStdString();
    EXPECT_GE(out.count(QRegularExpression(QStringLiteral("  7 +No answer\n"))), 1)
        << out.toStdString();
    EXPECT_TRUE(QString::fromUtf8(env.readFile(QStringLiteral("all.csv")))
                    .contains(QRegularExpression(QStringLiteral(",7,{24}(\r\n|$)"))));
    unitsim.kill();
    unitsim.waitForFinished();
}

// Catches --app-dir=DIR ignored (the default folder's bus read instead), an
// --app-dir without a folder run on that default bus, and an installed
// zelkctl whose per-user folder cannot be made going on to a port "N/A" (a
// device error), instead of naming the folder and the reason with the exit
// code of a file problem.
TEST_F(ZelkCtlTest, AppDirInEitherFormWithoutAFolderOrUnmakeable)
{
    edit("simbus.ini", "Supply1", "SerialNumber", "ZX5-APPDIR");
    const QDir root(env.folder());
    ASSERT_TRUE(root.mkpath("prefix/bin") && root.mkpath("prefix/share/zelksoft"));
    const QString ctl = QStringLiteral(ZELK_CTL), installed = env.path("prefix/bin/zelkctl");
    ASSERT_TRUE(QFile::copy(ctl, installed));
    for (const char *file : {"scale.ini", "ZelkGui.ini", "Zelk.ini", "Tooltips.ini"})
        ASSERT_TRUE(QFile::copy(env.path(QLatin1String(file)),
                                env.path(QStringLiteral("prefix/share/zelksoft/") + file)));
    QProcessEnvironment variables = QProcessEnvironment::systemEnvironment();
    variables.remove(QStringLiteral("ZELK_APP_DIR"));
    // The installed copy's per-user folder has a file for a parent: mkdir fails even for root.
    env.writeFile("taken", "a file, not a folder");
    QProcessEnvironment unmakeable = variables;
    unmakeable.insert("XDG_DATA_HOME", env.path("taken/data"));
    unmakeable.insert("HOME", env.path("home"));
    const struct
    {
        QString program;
        QProcessEnvironment variables;
        QStringList args;
        int rc;
        QStringList says; // on standard output when done, else first on standard error
    } runs[] = {
        {ctl, variables, {"--app-dir", env.folder(), "read", "1"}, 0, {"serial ZX5-APPDIR"}},
        {ctl, variables, {"--app-dir=" + env.folder(), "read", "1"}, 0, {"serial ZX5-APPDIR"}},
        {ctl, variables, {"read", "1", "--app-dir"}, 1, {"zelkctl: --app-dir needs a value"}},
        {ctl, variables, {"--app-dir=", "read", "1"}, 1, {"zelkctl: --app-dir needs a value"}},
        {installed,
         unmakeable,
         {"read", "1"},
         1,
         {"zelkctl: Could not create the folder " + env.path("taken/data/zelksoft"),
          QString::fromLocal8Bit(std::strerror(ENOTDIR))}},
    };
    for (const auto &run : runs) {
        const Ran r = runProgram(run.program, run.args, run.variables);
        SCOPED_TRACE(show(r));
        EXPECT_EQ(r.rc, run.rc);
        EXPECT_TRUE(run.rc == 0 ? r.out.contains(run.says[0]) : r.err.startsWith(run.says[0]));
        for (const QString &text : run.says.mid(1))
            EXPECT_TRUE(r.err.contains(text)) << text.toStdString();
        if (run.rc != 0) {
            EXPECT_TRUE(r.out.isEmpty());
        }
    }
}
