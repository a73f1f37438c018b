// Every window on one serial line for a while: Monitor Mode polling with
// Autosave, the bus overview watching, the trends open and the editor reading
// a unit now and then, while the emulator takes unit 1 off the line and puts
// it back. bench/soaks.sh runs it for half an hour.
#include "LineFixture.h"
#include "core/ZelkRoutines.h"
#include "core_windows/MainForm.h"
#include "device/SharedLine.h"
#include "editor/SupplyConfig.h"
#include "monitor/BusOverview.h"
#include "monitor/MonitorForm.h"
#include "monitor/MonitorTrend.h"

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <cstdio>

namespace {

using SharedLineSoak = LineFixture;

// The soak's length: ZELK_SOAK_SECONDS, else two minutes in the test command.
int soakSeconds()
{
    bool ok = false;
    const int s = qEnvironmentVariableIntValue("ZELK_SOAK_SECONDS", &ok);
    return ok && s > 0 ? s : 120;
}

} // namespace

// Catches windows whose sequences interleave on a real line (a port message,
// an error-file line, a poll failing for a collision), a silent poll logged
// as a reading, and alarm events that no change of the unit caused.
TEST_F(SharedLineSoak, PollsWatchTrendsAndReadsShareTheLine)
{
    startLine({"--commands"});
    // A retry, and time for an emulator that a busy machine runs late: a
    // unit that answered must never read as silent here.
    lineSettings(400, 1);
    startProgram();
    MonitorForm &m = MonitorForm::instance();
    m.UnitList->setCurrentText(QStringLiteral("1"));
    m.cmdSelectUnit_Click();
    ASSERT_TRUE(m.UnitRead);
    m.cmdBusOverview->click();
    BusOverview &o = m.busOverview();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !o.scan().running(); }, 30000));
    o.cmdWatch->click();
    m.cmdTrends_Click();
    m.txtFileName->setText(QStringLiteral("Soak.csv"));
    m.Check2->setChecked(true); // Autosave
    m.Combo1->setCurrentText(QStringLiteral("5   Sec."));
    m.Check1->setChecked(true);
    m.Timer2->stop(); // the soak gives the ticks, every 2 s of the log's clock
    SupplyConfig &editor = SupplyConfig::instance();
    QTest::mouseClick(MainForm::instance().Picture1, Qt::LeftButton);
    editor.UnitList->setCurrentIndex(editor.UnitList->findText(QStringLiteral("3")));

    const std::size_t eventsBefore = m.trend().events().size();
    QElapsedTimer soak;
    soak.start();
    int polls = 0, reads = 0;
    bool silentNow = false;
    // Whole rounds of 40 polls: each takes unit 1 off the line at its 20th
    // poll and puts it back at its 30th.
    while (soak.elapsed() < soakSeconds() * 1000LL || polls % 40 != 0) {
        env.clock.monotonic += 2000;
        m.Timer2_Timer();
        ++polls;
        if (polls % 5 == 0) { // the editor, every 10 s of the log's clock
            QTest::mouseClick(editor.SelectButton, Qt::LeftButton);
            ++reads;
        }
        if (polls % 40 == 20 || polls % 40 == 30) {
            silentNow = !silentNow;
            ASSERT_TRUE(unitsim.command(silentNow ? QStringLiteral("silent 1")
                                                  : QStringLiteral("answer 1")));
        }
        // The watch and the waiting work take their turns.
        EXPECT_TRUE(QTest::qWaitFor([] { return !SharedLine::instance().busy(); }, 5000));
        QCoreApplication::processEvents();
    }
    ASSERT_TRUE(QTest::qWaitFor(
        [] { return !SharedLine::instance().busy() && SharedLine::instance().waiting() == 0; },
        10000));

    // Nothing told of the port, nothing in the error file but unit 1's
    // silence (its failed calls, any of them).
    const QStringList portMessages =
        env.dialogs.texts().filter(QStringLiteral("port"), Qt::CaseInsensitive);
    EXPECT_TRUE(portMessages.isEmpty()) << env.dialogs.texts().join('\n').toStdString();
    QFile errorFile(ZelkGlobals::ErrorFilePath);
    (void)errorFile.open(QIODevice::ReadOnly); // none at all is fine
    const QStringList errorLines =
        QString::fromUtf8(errorFile.readAll())
            .split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)
            .filter(QRegularExpression(QStringLiteral("[Pp]ort|^(?!.*Unit +1\\b)")));
    EXPECT_TRUE(errorLines.isEmpty()) << errorLines.join('\n').toStdString();
    // Only the silences the emulator was told, each a start and an end.
    const auto &events = m.trend().events();
    int silences = 0;
    for (std::size_t i = eventsBefore; i < events.size(); ++i) {
        EXPECT_EQ(events[i].event, QStringLiteral("No answer"))
            << i - eventsBefore << ' ' << events[i].module << ' ' << events[i].state.toStdString()
            << " <- " << events[i].previous.toStdString() << " at "
            << events[i].stamp.toString().toStdString();
        silences += events[i].severity == AlarmEvent::Severity::Alarm;
    }
    EXPECT_EQ(silences, polls / 40);
    // Each record a whole reading like the first, or the unit's silence.
    const QStringList records = QString::fromUtf8(env.readFile(QStringLiteral("Soak.csv")))
                                    .split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)
                                    .mid(1);
    // A tick while the poll before still waits for the line is that poll.
    ASSERT_LE(records.size(), polls);
    ASSERT_GE(records.size(), polls * 9 / 10);
    const QString reading = records.first().section(u',', 11); // after the hours
    int silentRecords = 0;
    for (const QString &r : records) {
        if (r.section(u',', 3) == QString(23, u','))
            ++silentRecords;
        else
            EXPECT_EQ(r.section(u',', 11), reading) << r.toStdString();
    }
    EXPECT_GT(silentRecords, 0);
    // The port messages and error-file lines are none, as checked above.
    std::printf("soak: %lld s, %d polls, %lld records (%d silent), %d editor reads, %d silences\n",
                soak.elapsed() / 1000, polls, static_cast<long long>(records.size()), silentRecords,
                reads, silences);
}
