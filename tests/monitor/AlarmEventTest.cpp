// The alarm events of Monitor Mode, from the simulated bus's forced alarms
// and a silent unit, in the trend window's list and in the alarm log file.
#include "LogFiles.h"
#include "MonitorShown.h"
#include "WindowFixture.h"
#include "monitor/AlarmLog.h"
#include "monitor/MonitorTrend.h"
#include "monitor/TrendWindow.h"

#include <QCheckBox>
#include <QLabel>
#include <QRegularExpression>
#include <QTreeWidget>

namespace {

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

class AlarmEvents : public WindowFixture
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
    MonitorForm *form = nullptr;

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
