// The alarm events of Monitor Mode, from the simulated bus's forced alarms
// and a silent unit, in the trend window's list and in the alarm log file.
#include "LogFiles.h"
#include "WindowFixture.h"
#include "monitor/AlarmLog.h"
#include "monitor/MonitorTrend.h"
#include "monitor/TrendWindow.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTreeWidget>

namespace {

const QString Fault = QStringLiteral("O u t p u t   F a u l t !");
const QString Good = QStringLiteral("Module Good");

struct Expected
{
    int module;
    QString event, state, previous, severity;
};

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
    // The events since `from`, oldest first.
    std::vector<Expected> eventsSince(std::size_t from) const
    {
        std::vector<Expected> out;
        const auto &all = form->trend().events();
        for (std::size_t i = from; i < all.size(); ++i) {
            const AlarmEvent &e = all[i];
            EXPECT_EQ(e.unitId, "1");
            out.push_back(
                {e.module, e.event, e.state, e.previous, AlarmEvent::severityText(e.severity)});
        }
        return out;
    }
    std::size_t eventCount() const { return form->trend().events().size(); }
    MonitorForm *form = nullptr;

private:
    qint64 m_at = 0;
};

bool operator==(const Expected &a, const Expected &b)
{
    return a.module == b.module && a.event == b.event && a.state == b.state &&
           a.previous == b.previous && a.severity == b.severity;
}
void PrintTo(const Expected &e, std::ostream *os)
{
    *os << e.module << "|" << e.event.toStdString() << "|" << e.state.toStdString() << "|"
        << e.previous.toStdString() << "|" << e.severity.toStdString();
}

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

    const auto flag = [](const char *name, bool raised, const char *severity) {
        return Expected{0, QString::fromLatin1(name), raised ? "Fail" : "Ok",
                        raised ? "Ok" : "Fail", raised ? severity : "Cleared"};
    };
    struct Case
    {
        int element;
        std::vector<Expected> raised, cleared;
    };
    std::vector<Expected> ovp{flag("Global DC Good", true, "Alarm"), flag("OVP", true, "Alarm")};
    std::vector<Expected> ovpCleared{flag("Global DC Good", false, ""), flag("OVP", false, "")};
    for (int m = 1; m <= 5; ++m) {
        ovp.push_back({m, "Module state", Fault, Good, "Alarm"});
        ovpCleared.push_back({m, "Module state", Good, Fault, "Cleared"});
    }
    const std::vector<Case> cases = {
        {1, {flag("Over Temp", true, "Alarm")}, {flag("Over Temp", false, "")}},
        {2, {flag("Fan Fail", true, "Alarm")}, {flag("Fan Fail", false, "")}},
        {3, {flag("AC Good", true, "Alarm")}, {flag("AC Good", false, "")}},
        {4, {flag("Global DC Good", true, "Alarm")}, {flag("Global DC Good", false, "")}},
        {5,
         {flag("Global Current Limit", true, "Warning")},
         {flag("Global Current Limit", false, "")}},
        {6, {}, {}}, // the unit's alarm bit names no flag of its own
        {7, ovp, ovpCleared},
        {8, {flag("Fan Warning", true, "Warning")}, {flag("Fan Warning", false, "")}},
    };
    std::vector<Expected> all;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.element);
        std::size_t from = eventCount();
        bus->forceAlarm(1, c.element, true);
        poll();
        poll(); // a lasting alarm is told once
        EXPECT_EQ(eventsSince(from), c.raised);
        from = eventCount();
        bus->forceAlarm(1, c.element, false);
        poll();
        poll();
        EXPECT_EQ(eventsSince(from), c.cleared);
        all.insert(all.end(), c.raised.begin(), c.raised.end());
        all.insert(all.end(), c.cleared.begin(), c.cleared.end());
    }

    // The list shows them newest first, with their texts.
    QTreeWidget *list = form->trendWindow().lstEvents;
    ASSERT_EQ(list->topLevelItemCount(), int(all.size()));
    for (std::size_t i = 0; i < all.size(); ++i) {
        const QTreeWidgetItem *item = list->topLevelItem(int(all.size() - 1 - i));
        EXPECT_EQ(item->text(3), all[i].event) << i;
        EXPECT_EQ(item->text(4), all[i].state) << i;
    }

    // The file kept the earlier run's bytes and has one line per event after
    // them, its states in plain words.
    const QByteArray file = env.readFile("Log-alarms.csv");
    ASSERT_TRUE(file.startsWith(earlier));
    const QStringList lines =
        QString::fromUtf8(file.mid(earlier.size())).split("\r\n", Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), qsizetype(all.size()));
    EXPECT_TRUE(file.mid(earlier.size()).startsWith("\r\n04/12/2026,10:30:"));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QStringList f = csvFields(lines[i]);
        ASSERT_EQ(f.size(), 8) << lines[i].toStdString();
        Expected e = all[std::size_t(i)];
        for (QString *state : {&e.state, &e.previous}) {
            if (*state == Fault)
                *state = QStringLiteral("Output Fault!");
        }
        EXPECT_EQ((Expected{f[3].toInt(), f[4], f[5], f[6], f[7]}), e) << i;
        EXPECT_EQ(f[2], "1");
    }
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
    EXPECT_EQ(eventsSince(0), (std::vector<Expected>{
                                  {0, "No answer", "Unit does not respond!", "Answering", "Alarm"},
                                  {0, "No answer", "Answering", "No answer for 3 polls", "Cleared"},
                              }));
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
    int notices = 0;
    for (const auto &shown : env.dialogs.shown)
        notices += shown.kind == "Notice" && shown.text.contains("alarm log") ? 1 : 0;
    EXPECT_EQ(notices, 1);
    access.writable = true;
    poll();
    const QStringList lines =
        QString::fromUtf8(env.readFile("Log-alarms.csv")).split("\r\n", Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0], AlarmLog::header());
    EXPECT_TRUE(lines[1].endsWith(",Fan Warning,Fail,Ok,Warning"));
    EXPECT_TRUE(lines[2].endsWith(",Fan Warning,Ok,Fail,Cleared"));
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
    EXPECT_TRUE(window.lblNoCharts->isVisible());
    EXPECT_TRUE(window.lblNoCharts->text().contains(QLatin1String("no-such-charts.so")));
    for (int i = 0; i <= 1005; ++i) {
        poll.seen.stamp = start.addSecs(i);
        poll.seen.fine[AlarmWatch::FanFail] = i % 2 == 0;
        (void)trend.record(poll);
    }
    EXPECT_FALSE(window.shownPoints(1).isEmpty()); // still drawn, for the CSV export
    ASSERT_EQ(trend.events().size(), 1000u);
    EXPECT_EQ(trend.events().back().stamp, start.addSecs(1005));
    ASSERT_EQ(window.lstEvents->topLevelItemCount(), 1000);
    EXPECT_EQ(window.lstEvents->topLevelItem(0)->text(0), "04/12/2026 08:16:45");
    EXPECT_EQ(window.lstEvents->topLevelItem(0)->text(4), "Fail");
    EXPECT_EQ(window.lstEvents->topLevelItem(999)->text(0), "04/12/2026 08:00:06");
}

TEST(AlarmLogName, NamedAfterTheStatusLogAndNeverTheSameFile)
{
    // Catches an alarm log that overwrites the status log or lands elsewhere.
    const std::pair<const char *, const char *> cases[] = {
        {"/a/Log.csv", "/a/Log-alarms.csv"},
        {"/a/log.txt", "/a/log-alarms.txt"},
        {"/a/Log-alarms.csv", "/a/Log-alarms-alarms.csv"},
    };
    for (const auto &[status, alarms] : cases)
        EXPECT_EQ(AlarmLog::pathBeside(status), alarms);
    AlarmEvent e{QDateTime(QDate(2026, 12, 4), QTime(9, 5, 7)),
                 " 3 ",
                 2,
                 "Module state",
                 "Out of Limits Voltage",
                 "Module \"Good\", ok",
                 AlarmEvent::Severity::Alarm};
    EXPECT_EQ(AlarmLog::record(e), "04/12/2026,09:05:07,3,2,Module state,Out of Limits "
                                   "Voltage,\"Module \"\"Good\"\", ok\",Alarm\r\n");
}

// Catches an alarm log whose last record has no line end, states written as
// the panel's spaced-out captions, and new lines glued onto the open last
// line a file of an earlier version ends with.
TEST(AlarmLogFile, EveryRecordIsAWholeLineInPlainWords)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QDateTime at(QDate(2026, 12, 4), QTime(9, 5, 7));
    const QList<AlarmEvent> events{
        {at, "3", 2, "Module state", "O u t p u t   F a u l t !", "Module Good",
         AlarmEvent::Severity::Alarm},
        {at.addSecs(5), "3", 0, "Fan Warning", "Fail", "Ok", AlarmEvent::Severity::Warning},
        {at.addSecs(9), "3", 4, "Module state", "Not Present", "M o d u l e s   O F F",
         AlarmEvent::Severity::Info},
    };
    const QByteArray lines =
        "04/12/2026,09:05:07,3,2,Module state,Output Fault!,Module Good,Alarm\r\n"
        "04/12/2026,09:05:12,3,,Fan Warning,Fail,Ok,Warning\r\n"
        "04/12/2026,09:05:16,3,4,Module state,Not Present,Modules OFF,Info\r\n";
    const QByteArray header = "Date,Time,UnitID,Module,Event,State,Previous,Severity\r\n";
    const QByteArray earlier = header + "01/12/2026,08:00:00,1,,Over Temp,Fail,Ok,Alarm";
    const auto contents = [](const QString &path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
    };
    const QString fresh = dir.filePath("fresh-alarms.csv");
    const QString kept = dir.filePath("kept-alarms.csv");
    QFile old(kept);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly) && old.write(earlier) == earlier.size());
    old.close();
    for (const QString &path : {fresh, kept}) {
        AlarmLog log;
        log.add(events.mid(0, 1));
        ASSERT_TRUE(log.write(path));
        log.add(events.mid(1));
        ASSERT_TRUE(log.write(path));
    }
    EXPECT_EQ(contents(fresh).toStdString(), (header + lines).toStdString());
    EXPECT_EQ(contents(kept).toStdString(), (earlier + "\r\n" + lines).toStdString());
}

} // namespace

TEST_F(AlarmEvents, APollThatSawNothingGivesNoReadingNoPointAndNoModuleEvent)
{
    // Catches a poll the unit did not answer, or whose read a failure ended,
    // logged and drawn with the last poll's values and DC Good "Ok", and its
    // blank panels told as modules gone and back.
    const struct
    {
        const char *what;
        std::function<void()> fault;
    } faults[] = {
        {"silent",
         [this] {
             bus->setUnitSilent(1, true);
         }},
        {"port lost mid-read",
         [this] {
             bus->failMethod(QStringLiteral("GetGlobalStatusByte"),
                             QStringLiteral("ERR_PORT_LOST: the port has gone"), 1, 0,
                             SimBusFaults::Count::Always);
         }},
    };
    form->Check1->setChecked(true);
    startMonitoring("5   Sec.");
    for (const auto &f : faults) {
        SCOPED_TRACE(f.what);
        poll();
        const std::size_t before = eventCount();
        const qsizetype pointsBefore = form->trend().data().points(1, 0, 1LL << 50).size();
        f.fault();
        poll();
        const QString silent = form->rtbNewLogText().section(QStringLiteral("\r\n"), -1);
        EXPECT_TRUE(silent.endsWith(QStringLiteral(",1") + QString(24, u',')))
            << silent.toStdString();
        bus->setUnitSilent(1, false);
        bus->clearFailures();
        poll();
        for (const Expected &e : eventsSince(before))
            EXPECT_EQ(e.event, "No answer") << e.module << ' ' << e.state.toStdString();
        // One gap and one reading: nothing drawn for the poll that saw nothing.
        const QList<TrendData::Point> points = form->trend().data().points(1, 0, 1LL << 50);
        ASSERT_EQ(points.size(), pointsBefore + 2);
        EXPECT_TRUE(points[pointsBefore].gap);
        EXPECT_FALSE(points[pointsBefore + 1].gap);
    }
}
