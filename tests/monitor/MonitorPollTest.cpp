// Monitor Mode: the polling period, the two record windows, the log file
// name checks and the log file that follows the status log; the alarm events
// from the simulated bus's forced alarms and a silent unit, in the trend
// window's list and in the alarm log file.
#include "LogFiles.h"
#include "MonitorShown.h"
#include "WindowFixture.h"
#include "controls/OstransIndicator.h"
#include "controls/OstransPushButton.h"
#include "controls/OstransSunkenSwitch.h"
#include "core/Ini.h"
#include "core/SettingsKeys.h"
#include "monitor/AlarmLog.h"
#include "monitor/LogRotation.h"
#include "monitor/MonitorTrend.h"
#include "monitor/StatusLogFormat.h"
#include "monitor/TrendWindow.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTreeWidget>

namespace {

const QString Header = StatusLogFormat::header(); // as the stored files hold it

QByteArray stored(const char *name)
{
    QFile golden(QStringLiteral(ZELK_TEST_DATA_DIR "/") + QLatin1String(name));
    return golden.open(QIODevice::ReadOnly) ? golden.readAll() : QByteArray("<unreadable>");
}

class MonitorPoll : public WindowFixture
{
protected:
    void SetUp() override
    {
        WindowFixture::SetUp();
        form = &monitorRead("1");
    }
    void TearDown() override
    {
        form->setLogFileAccess(nullptr);
        WindowFixture::TearDown();
    }
    QByteArray logFile() { return env.readFile(form->txtFileName->text()); }
    MonitorForm *form = nullptr;
};

TEST_F(MonitorPoll, PeriodsPollOnTheRightTicksButNotInsideARefresh)
{
    // Catches the period's box not reaching the schedule (PollScheduleTest
    // holds its arithmetic), and a poll that runs inside a refresh and writes
    // a half-made record.
    startMonitoring("5   Sec.");
    EXPECT_EQ(form->pollSchedule().intervalMs(), 5000);
    form->RefreshBusy = true;
    pollAt(5000);
    form->RefreshBusy = false;
    EXPECT_EQ(form->RichTextBox1->toPlainText(), "");
    for (int i = 2; i <= 4; ++i)
        pollAt(5000 * i);
    EXPECT_EQ(records(), 3);
    form->Check1->setChecked(false);
    startMonitoring("2   Min.");
    EXPECT_EQ(form->pollSchedule().periodSeconds(), 120);
}

TEST_F(MonitorPoll, RecordsMatchTheStoredFormatsExactly)
{
    // Catches a changed field order, a missing comma, a line break after the
    // header, a wrong date layout or a misaligned display line.
    form->Check2->setChecked(true);
    startMonitoring("5   Sec.");
    pollAt(10000);
    pollAt(15000);
    EXPECT_EQ(form->rtbNewLogText().toUtf8(), stored("unit1_two_polls.csv"));
    EXPECT_EQ(logFile(), stored("unit1_two_polls.csv"));
    // The window starts with the line break of its first record.
    EXPECT_EQ(form->RichTextBox1->toPlainText().toUtf8(), stored("unit1_two_polls_shown.txt"));
}

TEST_F(MonitorPoll, OffModulesGetNoDisplayPart)
{
    // Catches a display line that lists modules whose output is off.
    monitorRead("5");
    startMonitoring("5   Sec.");
    pollAt(5000);
    const QString line = form->RichTextBox1->toPlainText().split('\n').last();
    EXPECT_TRUE(line.contains("Fail  Ok   3  ") && line.contains("5  15.00") &&
                !line.contains("4  "))
        << line.toStdString();
}

TEST_F(MonitorPoll, LogFileNamesAreCheckedWithTheirMessages)
{
    // Catches a name that escapes the program folder or a wrong file kind accepted.
    const QString pathMessage = "Invalid log file name or path.\r\nLog file can be saved only in " +
                                ZelkGlobals::ApplicationFolder;
    const QString kindMessage = "Invalid log file name or path.\r\nYou can specify only text or "
                                "csv files to log power supply status.";
    const struct
    {
        const char *name;
        QString message;
    } cases[] = {{"log.txt", {}},
                 {"x.csv", {}},
                 {"Log.CSV", kindMessage},
                 {"logfile", kindMessage},
                 {"a.b.csv", kindMessage},
                 {"c:\\x.csv", pathMessage},
                 {"../x.csv", pathMessage},
                 {"a/x.csv", pathMessage},
                 {"", "Please specify a log file name."}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        env.dialogs.shown.clear();
        form->Check2->setChecked(false);
        form->txtFileName->setText(QString::fromLatin1(c.name));
        form->Check2->setChecked(true);
        EXPECT_EQ(env.dialogs.texts(),
                  c.message.isEmpty() ? QStringList() : QStringList{c.message});
        EXPECT_TRUE(c.message.isEmpty() || env.dialogs.shown[0].buttons == MsgButtons::OK);
        EXPECT_EQ(form->Check2->isChecked(), c.message.isEmpty());
        EXPECT_EQ(form->txtFileName->isEnabled(), !c.message.isEmpty());
    }
}

TEST_F(MonitorPoll, HeaderOnceAndBackAfterClearWhileTheFileKeepsEveryRecord)
{
    // Catches a doubled header, a cleared window that loses it, or a Clear
    // that takes the records already written out of the file.
    startMonitoring("5   Sec.");
    form->Check2->setChecked(true);
    pollAt(5000);
    EXPECT_EQ(form->rtbNewLogText().count(Header), 1);
    const QByteArray first = logFile();
    form->Check1->setChecked(false);
    form->cmdClear_Click();
    EXPECT_EQ(form->rtbNewLogText(), "");
    startMonitoring("5   Sec.");
    EXPECT_EQ(form->rtbNewLogText(), Header);
    pollAt(5000);
    EXPECT_TRUE(form->rtbNewLogText().startsWith(Header + "\r\n"));
    const QByteArray record = form->rtbNewLogText().mid(Header.size()).toUtf8();
    EXPECT_EQ(logFile(), first + record);
}

TEST_F(MonitorPoll, UnwritableLogIsToldOnceAndItsRecordsFollowLater)
{
    // Catches a notice at every poll, a box that waits for the user (left open
    // unattended, it would hold up the poll timer), one that does not name the
    // file, records lost while the file could not be written, or monitoring
    // that stops.
    SwitchableLogAccess access;
    form->setLogFileAccess(&access);
    form->Check2->setChecked(true);
    startMonitoring("5   Sec.");
    pollAt(5000);
    access.writable = false;
    pollAt(10000);
    pollAt(15000);
    ASSERT_EQ(env.dialogs.count(), 1);
    EXPECT_TRUE(env.dialogs.shown[0].kind == "Notice" &&
                env.dialogs.shown[0].icon == MsgIcon::Exclamation &&
                env.dialogs.shown[0].text.contains(form->txtFileName->text()));
    EXPECT_EQ(records(), 3);
    EXPECT_NE(logFile(), form->rtbNewLogText().toUtf8());
    access.writable = true;
    pollAt(20000);
    EXPECT_EQ(logFile(), form->rtbNewLogText().toUtf8());
    EXPECT_EQ(records(), 4);
    access.writable = false;
    pollAt(25000);
    EXPECT_EQ(env.dialogs.count(), 2); // a new stretch of failures is told again
}

TEST_F(MonitorPoll, LeavingMonitorModeDuringAPollTakesEffectWhenItEnds)
{
    // Catches a control left usable in Monitor Mode that could change the unit
    // or the running log, a poll that locks the window again after the user
    // left Monitor Mode in its middle, or that writes one more record after leaving.
    startMonitoring("5   Sec.");
    pollAt(5000);
    for (QWidget *w :
         std::initializer_list<QWidget *>{form->cmdSelectUnit, form->cmdRefresh, form->cmdClear,
                                          form->txtSP[2], form->UnitList, form->Combo1})
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    EXPECT_EQ(form->OstransOS[2]->Enable(), OstransIndicator::False);
    EXPECT_TRUE(form->Check1->isEnabled() && form->Check2->isEnabled());

    const int before = records();
    bool unticked = false;
    record().onCall = [&](const RecordingDevice::Call &c) {
        if (c.method == "GetOutputState" && !unticked) {
            unticked = true;
            form->Check1->setChecked(false);
        }
    };
    pollAt(10000);
    ASSERT_TRUE(unticked);
    EXPECT_EQ(records(), before);
    EXPECT_TRUE(form->windowTitle().contains("I n t e r a c t i v e"));
    for (QWidget *w : std::initializer_list<QWidget *>{
             form->UnitList, form->cmdSelectUnit, form->cmdClose, form->cmdRefresh, form->Combo1,
             form->cmdEeprom, form->txtSP[2], form->Check1, form->cmdClear})
        EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();
    EXPECT_EQ(form->OstransOS[2]->Enable(), OstransIndicator::True);
    EXPECT_EQ(form->OstransOutputOnOff->Enable(), OstransIndicator::True);
    EXPECT_EQ(form->lblReady->text(), "R e a d y");
    EXPECT_FALSE(form->Timer2->isActive());
    pollAt(15000);
    EXPECT_EQ(records(), before);
}

TEST_F(MonitorPoll, WindowsKeepTheirNewestLinesTheFileEveryRecord)
{
    // Catches text windows that grow with every poll of a long run, a status
    // log window that loses its header or its newest records, or a file that
    // is rewritten from the shortened window.
    form->Check2->setChecked(true);
    startMonitoring("5   Sec.");
    for (int i = 1; i <= 1500; ++i)
        pollAt(5000 * i);
    const QStringList file = QString::fromUtf8(logFile()).split("\r\n");
    ASSERT_EQ(file.size(), 1501);
    const QStringList shown = form->RichTextBox1->toPlainText().split(u'\n');
    ASSERT_EQ(shown.size(), 1000);
    const QString newestTime = file.last().section(u',', 1, 1);
    EXPECT_TRUE(shown.last().contains(newestTime)) << shown.last().toStdString();
    const QStringList log = form->rtbNewLogText().split("\r\n");
    ASSERT_EQ(log.size(), 1001);
    EXPECT_EQ(log.first(), Header);
    EXPECT_EQ(file.last(), log.last());
    EXPECT_EQ(file[501], log[1]);
}

TEST_F(MonitorPoll, LogCutAtMidnightKeepsEveryRecordWhilePollingGoesOn)
{
    // Catches Monitor Mode that ignores the rotation settings, a cut that
    // loses or doubles a record when the new file cannot be written at
    // first, or polling that stops meanwhile.
    WriteIni(GuiIniKeys::MonitorSection, LogRotationKeys::Cut, "day", ZelkGlobals::GuiIniPath);
    form->ReloadForm();
    form = &monitorRead("1");
    SwitchableLogAccess access;
    form->setLogFileAccess(&access);
    form->Check2->setChecked(true);
    startMonitoring("5   Sec.");
    env.clock.now = QDateTime(QDate(2026, 12, 4), QTime(23, 59, 50));
    for (int i = 1; i <= 6; ++i) {
        access.writable = i != 2 && i != 3; // 00:00:00 and 00:00:05
        pollAt(5000 * i);
    }
    EXPECT_EQ(records(), 6);
    const QByteArray before = env.readFile("Log-2026-12-04.csv");
    const QByteArray after = env.readFile("Log-2026-12-05.csv");
    ASSERT_TRUE(before.startsWith(Header.toUtf8()) && after.startsWith(Header.toUtf8()));
    EXPECT_EQ(before.count("\r\n"), 1);
    EXPECT_EQ(before + after.mid(Header.size()), form->rtbNewLogText().toUtf8());
    EXPECT_FALSE(QFile::exists(env.path(form->txtFileName->text())));
}

const QString Fault = QStringLiteral("O u t p u t   F a u l t !");
const QString Good = QStringLiteral("Module Good");

// An event as "module|event|state|previous|severity", the module empty for the unit's own.
QString event(int module, const QString &name, const QString &state, const QString &previous,
              const QString &severity)
{
    return QStringList{module ? QString::number(module) : QString(), name, state, previous,
                       severity}
        .join(u'|');
}

class AlarmEvents : public MonitorPoll
{
protected:
    void poll() { pollAt(m_at += 5000); }
    // The events since `from`, oldest first, one a line.
    QString eventsSince(std::size_t from) const
    {
        QStringList out;
        const auto &all = form->trend().events();
        for (std::size_t i = from; i < all.size(); ++i) {
            const AlarmEvent &e = all[i];
            EXPECT_EQ(e.unitId, "1");
            out << event(e.module, e.event, e.state, e.previous,
                         AlarmEvent::severityText(e.severity));
        }
        return out.join(u'\n');
    }
    std::size_t eventCount() const { return form->trend().events().size(); }

private:
    qint64 m_at = 0;
};

TEST_F(AlarmEvents, EachForcedAlarmAndItsClearingGiveTheirEventsInOrderInListAndFile)
{
    // Catches a missed or doubled event, a flag read from the wrong bit, a
    // wrong module or text, events out of order, and a file whose lines do
    // not match the list (or that repeats its header or loses a line).
    const QByteArray earlier =
        AlarmLog::header().toUtf8() + "\r\n01/12/2026,08:00:00,1,,Over Temp,Fail,Ok,Alarm";
    env.writeFile("Log-alarms.csv", earlier);
    form->Check2->setChecked(true);
    form->trendWindow().show();
    startMonitoring("5   Sec.");
    poll();
    ASSERT_EQ(eventCount(), 0u);

    const struct
    {
        int element;
        QStringList flags; // raised in this order, then cleared in it
        const char *severity;
    } cases[] = {
        {1, {"Over Temp"}, "Alarm"},
        {2, {"Fan Fail"}, "Alarm"},
        {3, {"AC Good"}, "Alarm"},
        {4, {"Global DC Good"}, "Alarm"},
        {5, {"Global Current Limit"}, "Warning"},
        {6, {}, ""},                             // the unit's alarm bit names no flag of its own
        {7, {"Global DC Good", "OVP"}, "Alarm"}, // and every module's output fails
        {8, {"Fan Warning"}, "Warning"},
    };
    QStringList all;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.element);
        QStringList raised, cleared;
        for (const QString &flag : c.flags) {
            raised << event(0, flag, "Fail", "Ok", c.severity);
            cleared << event(0, flag, "Ok", "Fail", "Cleared");
        }
        for (int m = 1; m <= 5 && c.element == 7; ++m) {
            raised << event(m, "Module state", Fault, Good, "Alarm");
            cleared << event(m, "Module state", Good, Fault, "Cleared");
        }
        for (const auto &[on, expected] : {std::pair{true, raised}, {false, cleared}}) {
            const std::size_t from = eventCount();
            bus->forceAlarm(1, c.element, on);
            poll();
            poll(); // a lasting alarm is told once
            EXPECT_EQ(eventsSince(from), expected.join(u'\n'));
            all << expected;
        }
    }

    // The list shows them newest first, with their texts.
    QTreeWidget *list = form->trendWindow().lstEvents;
    ASSERT_EQ(list->topLevelItemCount(), all.size());
    for (int i = 0; i < all.size(); ++i) {
        const QTreeWidgetItem *item = list->topLevelItem(int(all.size()) - 1 - i);
        EXPECT_EQ(item->text(3) + u'|' + item->text(4), all[i].section(u'|', 1, 2)) << i;
    }

    // The file kept the earlier run's bytes and has one line per event after
    // them, its states in plain words.
    const QByteArray file = env.readFile("Log-alarms.csv");
    ASSERT_TRUE(file.startsWith(earlier));
    EXPECT_TRUE(file.mid(earlier.size()).startsWith("\r\n04/12/2026,10:30:"));
    QStringList logged;
    for (const QString &line :
         QString::fromUtf8(file.mid(earlier.size())).split("\r\n", Qt::SkipEmptyParts)) {
        const QStringList f = csvFields(line);
        EXPECT_EQ(f.value(2), "1") << line.toStdString();
        logged << (f.size() == 8 ? f.mid(3).join(u'|') : line);
    }
    EXPECT_EQ(logged, all.join(u'\n').replace(Fault, "Output Fault!").split(u'\n'));
}

TEST_F(AlarmEvents, SilentStreakGivesOneStartAndOneEnd)
{
    // Catches an event per silent poll, a streak that never ends, and module
    // states reported as changed by the silence.
    startMonitoring("5   Sec.");
    poll();
    bus->setUnitSilent(1, true);
    for (int i = 0; i < 3; ++i)
        poll();
    bus->setUnitSilent(1, false);
    poll();
    poll();
    EXPECT_EQ(eventsSince(0), "|No answer|Unit does not respond!|Answering|Alarm\n"
                              "|No answer|Answering|No answer for 3 polls|Cleared");
}

TEST_F(AlarmEvents, UnwritableAlarmLogKeepsPollingAndWritesTheWaitingLinesOnce)
{
    // Catches an alarm log failure that blocks or stops polling, lines lost
    // or written twice after the file can be written again, and a notice per
    // poll instead of one per streak.
    SwitchableLogAccess access;
    form->setLogFileAccess(&access);
    form->Check2->setChecked(true);
    startMonitoring("5   Sec.");
    poll();
    access.writable = false;
    bus->forceAlarm(1, 8, true);
    poll();
    bus->forceAlarm(1, 8, false);
    poll();
    poll();
    EXPECT_EQ(records(), 4);
    EXPECT_EQ(env.dialogs.texts().filter("alarm log").size(), 1);
    access.writable = true;
    poll();
    const QString lines = QString::fromUtf8(env.readFile("Log-alarms.csv"));
    EXPECT_TRUE(QRegularExpression("^" + QRegularExpression::escape(AlarmLog::header()) +
                                   "\r\n[^\r]*,Fan Warning,Fail,Ok,Warning"
                                   "\r\n[^\r]*,Fan Warning,Ok,Fail,Cleared\r\n$")
                    .match(lines)
                    .hasMatch())
        << lines.toStdString();
}

TEST(AlarmEventList, KeepsTheNewestThousandNewestFirst)
{
    // Catches an event list that grows without end or drops the newest; and
    // a window whose charts module cannot be loaded that crashes or does not
    // say why, rather than keep its events.
    MonitorTrend trend;
    MonitorTrend::Poll poll;
    poll.seen.unitId = "2";
    poll.seen.fine.fill(true);
    poll.modules[1].present = true;
    poll.readings[1] = MonitorTrend::Reading{12.0, 1.5};
    const QDateTime start(QDate(2026, 12, 4), QTime(8, 0));
    ProgramModule missing(QStringLiteral("no-such-charts.so"), QStringLiteral("the charts"));
    TrendWindow window(trend, nullptr, missing);
    window.show();
    ASSERT_NE(window.lblNoCharts, nullptr);
    EXPECT_TRUE(window.lblNoCharts->isVisible() &&
                window.lblNoCharts->text().contains(QLatin1String("no-such-charts.so")));
    for (int i = 0; i <= 1005; ++i) {
        poll.seen.stamp = start.addSecs(i);
        poll.seen.fine[AlarmWatch::FanFail] = i % 2 == 0;
        (void)trend.record(poll);
    }
    EXPECT_FALSE(window.shownPoints(1).isEmpty()); // still drawn, for the CSV export
    ASSERT_EQ(trend.events().size(), 1000u);
    EXPECT_EQ(trend.events().back().stamp, start.addSecs(1005));
    ASSERT_EQ(window.lstEvents->topLevelItemCount(), 1000);
    QTreeWidget *list = window.lstEvents;
    EXPECT_EQ((QStringList{list->topLevelItem(0)->text(0), list->topLevelItem(0)->text(4),
                           list->topLevelItem(999)->text(0)}),
              (QStringList{"04/12/2026 08:16:45", "Fail", "04/12/2026 08:00:06"}));
}

// Catches an alarm log that overwrites the status log or lands elsewhere, one
// whose last record has no line end, states written as the panel's spaced-out
// captions, and a field with a comma or a quote that spills over. (The events
// test above sees new lines kept off the open last line of an older file.)
TEST(AlarmLogFile, BesideTheStatusLogEveryRecordIsAWholeLineInPlainWords)
{
    for (const auto &[status, alarms] : {std::pair{"/a/Log.csv", "/a/Log-alarms.csv"},
                                         {"/a/log.txt", "/a/log-alarms.txt"},
                                         {"/a/Log-alarms.csv", "/a/Log-alarms-alarms.csv"}})
        EXPECT_EQ(AlarmLog::pathBeside(status), alarms);
    TestEnvironment env;
    const QDateTime at(QDate(2026, 12, 4), QTime(9, 5, 7));
    AlarmLog log;
    log.add({{at, "3", 4, "Module state", "Not Present", "M o d u l e s   O F F",
              AlarmEvent::Severity::Info},
             {at.addSecs(10), " 3 ", 2, "Module state", "Out of Limits Voltage",
              "Module \"Good\", ok", AlarmEvent::Severity::Alarm}});
    ASSERT_TRUE(log.write(env.path("a-alarms.csv")));
    EXPECT_EQ(env.readFile("a-alarms.csv").toStdString(),
              "Date,Time,UnitID,Module,Event,State,Previous,Severity\r\n"
              "04/12/2026,09:05:07,3,4,Module state,Not Present,Modules OFF,Info\r\n"
              "04/12/2026,09:05:17,3,2,Module state,Out of Limits Voltage,"
              "\"Module \"\"Good\"\", ok\",Alarm\r\n");
}

} // namespace

TEST_F(AlarmEvents, APollThatSawNothingGivesNoReadingNoPointAndNoModuleEvent)
{
    // Catches a poll the unit did not answer, or whose read a failure ended,
    // logged and drawn with the last poll's values and DC Good "Ok", and its
    // blank panels told as modules gone and back.
    form->Check1->setChecked(true);
    startMonitoring("5   Sec.");
    for (const bool silent : {true, false}) { // or the port lost in the middle of the read
        SCOPED_TRACE(silent);
        poll();
        const std::size_t before = eventCount();
        const qsizetype pointsBefore = form->trend().data().points(1, 0, 1LL << 50).size();
        if (silent)
            bus->setUnitSilent(1, true);
        else
            bus->failMethod("GetGlobalStatusByte", "ERR_PORT_LOST: the port has gone");
        poll();
        const QString record = form->rtbNewLogText().section("\r\n", -1);
        EXPECT_TRUE(record.endsWith(",1" + QString(24, u','))) << record.toStdString();
        bus->setUnitSilent(1, false);
        bus->clearFailures();
        poll();
        for (const QString &e : eventsSince(before).split(u'\n', Qt::SkipEmptyParts))
            EXPECT_EQ(e.section(u'|', 1, 1), "No answer") << e.toStdString();
        // One gap and one reading: nothing drawn for the poll that saw nothing.
        const QList<TrendData::Point> points = form->trend().data().points(1, 0, 1LL << 50);
        ASSERT_EQ(points.size(), pointsBefore + 2);
        EXPECT_TRUE(points[pointsBefore].gap && !points[pointsBefore + 1].gap);
    }
}
