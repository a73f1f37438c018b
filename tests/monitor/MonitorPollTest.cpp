// Monitor Mode: the polling period, the two record windows, the log file
// name checks and the log file that follows the status log; the alarm events
// from the simulated bus's forced alarms and a silent unit, in the trend
// window's list and in the alarm log file; and the trend window as a user
// sees it while Monitor Mode polls: its points, gaps and limit lines, its
// exports, its picture, and a unit that stops answering and comes back.
#include "LogFiles.h"
#include "MonitorShown.h"
#include "WindowFixture.h"
#include "controls/OstransDisplay.h"
#include "controls/OstransIndicator.h"
#include "controls/OstransPushButton.h"
#include "controls/OstransSunkenSwitch.h"
#include "core/Ini.h"
#include "core/SettingsKeys.h"
#include "monitor/AlarmLog.h"
#include "monitor/LogRotation.h"
#include "monitor/MonitorTexts.h"
#include "monitor/MonitorTrend.h"
#include "monitor/StatusLogFormat.h"
#include "monitor/TrendWindow.h"

#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QLineSeries>
#include <QMap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSet>
#include <QTreeWidget>
#include <QValueAxis>

namespace {

const QString Header = StatusLogFormat::header(); // as the stored files hold it

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
    // holds its arithmetic), a poll that runs inside a refresh and writes a
    // half-made record, and a display line that lists modules whose output is
    // off (unit 5's module 4).
    monitorRead("5");
    startMonitoring("5   Sec.");
    EXPECT_EQ(form->pollSchedule().intervalMs(), 5000);
    form->RefreshBusy = true;
    pollAt(5000);
    form->RefreshBusy = false;
    EXPECT_EQ(form->RichTextBox1->toPlainText(), "");
    for (int i = 2; i <= 4; ++i)
        pollAt(5000 * i);
    EXPECT_EQ(records(), 3);
    const QString line = form->RichTextBox1->toPlainText().split('\n').last();
    EXPECT_TRUE(line.contains("Fail  Ok   3  ") && line.contains("5  15.00") &&
                !line.contains("4  "))
        << line.toStdString();
    form->Check1->setChecked(false);
    startMonitoring("2   Min.");
    EXPECT_EQ(form->pollSchedule().periodSeconds(), 120);
}

TEST_F(MonitorPoll, RecordsMatchTheStoredFormatsAndClearKeepsTheFile)
{
    // Catches a changed field order, a missing comma, a line break after the
    // header, a wrong date layout or a misaligned display line; a doubled
    // header, a cleared window that loses it, or a Clear that takes the
    // records already written out of the file.
    form->Check2->setChecked(true);
    startMonitoring("5   Sec.");
    pollAt(10000);
    pollAt(15000);
    EXPECT_EQ(form->rtbNewLogText().toUtf8(), stored("unit1_two_polls.csv"));
    EXPECT_EQ(logFile(), stored("unit1_two_polls.csv"));
    // The window starts with the line break of its first record.
    EXPECT_EQ(form->RichTextBox1->toPlainText().toUtf8(), stored("unit1_two_polls_shown.txt"));

    form->Check1->setChecked(false);
    form->cmdClear_Click();
    EXPECT_EQ(form->rtbNewLogText(), "");
    startMonitoring("5   Sec.");
    EXPECT_EQ(form->rtbNewLogText(), Header);
    pollAt(20000);
    EXPECT_TRUE(form->rtbNewLogText().startsWith(Header + "\r\n"));
    const QByteArray record = form->rtbNewLogText().mid(Header.size()).toUtf8();
    EXPECT_EQ(logFile(), stored("unit1_two_polls.csv") + record);
}

TEST_F(MonitorPoll, LogFileNamesAndLeavingMonitorModeDuringAPoll)
{
    // Catches a log file name that escapes the program folder or a wrong file
    // kind accepted; a control left usable in Monitor Mode that could change
    // the unit or the running log, a poll that locks the window again after
    // the user left Monitor Mode in its middle, or that writes one more record
    // after leaving.
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
    startMonitoring("5   Sec.");
    pollAt(5000);
    for (QWidget *w :
         std::initializer_list<QWidget *>{form->cmdSelectUnit, form->cmdRefresh, form->cmdClear,
                                          form->txtSP[2], form->UnitList, form->Combo1})
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    EXPECT_TRUE(form->OstransOS[2]->Enable() == OstransIndicator::False &&
                form->Check1->isEnabled() && form->Check2->isEnabled());

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
    EXPECT_TRUE(form->OstransOS[2]->Enable() == OstransIndicator::True &&
                form->OstransOutputOnOff->Enable() == OstransIndicator::True &&
                !form->Timer2->isActive());
    EXPECT_EQ(form->lblReady->text(), "R e a d y");
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
    EXPECT_EQ((QStringList{log.first(), log[1], log.last()}),
              (QStringList{Header, file[501], file.last()}));
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

TEST_F(AlarmEvents, UnwritableLogsAreToldOncePerStreakAndTheirLinesFollowLater)
{
    // Catches a notice at every poll instead of one per log and streak, a box
    // that waits for the user (left open unattended, it would hold up the poll
    // timer), one that does not name the file, status records or alarm lines
    // lost or written twice once the files can be written again, and a
    // failure that blocks or stops polling.
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
    const QStringList told = env.dialogs.texts();
    EXPECT_EQ(told.filter("alarm log").size(), 1);
    ASSERT_EQ(told.filter("status log").size(), 1) << told.join('\n').toStdString();
    EXPECT_TRUE(told.filter("status log")[0].contains(form->txtFileName->text()));
    for (const auto &shown : env.dialogs.shown)
        EXPECT_TRUE(shown.kind == "Notice" && shown.icon == MsgIcon::Exclamation);
    EXPECT_NE(logFile(), form->rtbNewLogText().toUtf8());
    access.writable = true;
    poll();
    EXPECT_EQ(logFile(), form->rtbNewLogText().toUtf8());
    const QString lines = QString::fromUtf8(env.readFile("Log-alarms.csv"));
    EXPECT_TRUE(QRegularExpression("^" + QRegularExpression::escape(AlarmLog::header()) +
                                   "\r\n[^\r]*,Fan Warning,Fail,Ok,Warning"
                                   "\r\n[^\r]*,Fan Warning,Ok,Fail,Cleared\r\n$")
                    .match(lines)
                    .hasMatch())
        << lines.toStdString();
    access.writable = false;
    poll();
    EXPECT_EQ(env.dialogs.texts().filter("status log").size(), 2); // a new streak is told again
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

class TrendWindowTest : public MonitorPoll
{
protected:
    void SetUp() override
    {
        MonitorPoll::SetUp();
        QTest::mouseClick(form->cmdTrends, Qt::LeftButton);
        trends = &form->trendWindow();
        ASSERT_TRUE(trends->isVisible());
    }
    QList<bool> gaps(int m) const
    {
        QList<bool> out;
        for (const TrendData::Point &p : trends->shownPoints(m))
            out << p.gap;
        return out;
    }
    TrendWindow *trends = nullptr;
};

TEST_F(TrendWindowTest, OnePointPerPollAGapPerSilentPollExportsAndTheUnitComesBack)
{
    // Catches polls that miss the chart, zeros or stale values drawn for a
    // silent unit, a line joined across the silence, polling that stops, and
    // a window left in the small layout once the unit answers again; an
    // export that drops gaps, rounds or shifts values or times, a picture
    // that is not one, a pause that does not hold the charts and a zoom that
    // Reset does not undo.
    startMonitoring("5   Sec.");
    pollAt(5000);
    pollAt(10000);
    ASSERT_EQ(form->size(), LargeLayout);
    bus->setUnitSilent(1, true);
    pollAt(15000);
    pollAt(20000);
    EXPECT_TRUE(compact(*form) && !form->cmdStopMonitoring->isHidden());
    EXPECT_EQ(form->lblReady->text(), MonitorTexts::NotResponding);
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
    form->grab().save(
        QDir(QCoreApplication::applicationDirPath()).filePath("monitor_silent_unit.png"));
    EXPECT_TRUE(form->rect().contains(placeIn(form->cmdStopMonitoring, form)));
    bus->setUnitSilent(1, false);
    pollAt(25000);
    // The large layout within the screen's free area, less the frame.
    EXPECT_EQ(form->size(), LargeLayout.boundedTo(form->screen()->availableGeometry().size() -
                                                  (form->frameGeometry().size() - form->size())));
    EXPECT_EQ(texts(form->lblReady, form->MMessage[1]),
              (QStringList{MonitorTexts::MonitorModeText, "Module Good"}));
    // The status log has every poll, silent ones too.
    EXPECT_TRUE(form->cmdStopMonitoring->isHidden() && records() == 5);

    // The read, the entry into Monitor Mode and five polls.
    const QList<bool> expected{false, false, false, false, true, true, false};
    for (int m = 1; m <= 5; ++m) {
        SCOPED_TRACE(m);
        ASSERT_NE(trends->chartView(m), nullptr);
        EXPECT_EQ(gaps(m), expected);
        const auto volts = trends->voltsLines(m);
        ASSERT_EQ((QList<qsizetype>{volts.size(), volts.value(0).size(), volts.value(1).size(),
                                    trends->ampsLines(m).size()}),
                  (QList<qsizetype>{2, 4, 1, 2}));
        EXPECT_DOUBLE_EQ(volts[1][0].y(), form->OstransDisplay[m]->text().toDouble());
        // Stamped when the poll's reads are done, as its status log record.
        const qint64 at = qint64(volts[1][0].x()) - env.clock.now.toMSecsSinceEpoch();
        EXPECT_TRUE(at >= 25000 && at < 25500) << at;
    }
    // The window follows the newest poll over the default ten minutes, or
    // the span chosen.
    EXPECT_EQ(trends->cboSpan->currentText(), "10 min");
    EXPECT_EQ(trends->shownTo() - trends->shownFrom(), 10 * 60 * 1000);
    EXPECT_EQ(trends->cboSpan->itemText(0) +
                  trends->cboSpan->itemText(trends->cboSpan->count() - 1),
              "1 min24 h");
    trends->cboSpan->setCurrentText("24 h");
    EXPECT_EQ(trends->shownTo() - trends->shownFrom(), 24 * 3600 * 1000);
    trends->cboSpan->setCurrentText("10 min");

    env.dialogs.fileAnswers = {env.path("t.csv"), env.path("t.png")};
    QTest::mouseClick(trends->cmdExportCsv, Qt::LeftButton);
    QTest::mouseClick(trends->cmdExportPng, Qt::LeftButton);
    const QStringList lines =
        QString::fromUtf8(env.readFile("t.csv")).split("\r\n", Qt::SkipEmptyParts);
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines[0], "Module,Time,Volts,Amps");
    qsizetype row = 1;
    for (int m = 1; m <= 5; ++m) {
        for (const TrendData::Point &p : trends->shownPoints(m)) {
            ASSERT_LT(row, lines.size());
            const QStringList f = csvFields(lines[row++]);
            ASSERT_EQ(f.size(), 4);
            EXPECT_EQ(f[0].toInt(), m);
            EXPECT_EQ(QDateTime::fromString(f[1], "yyyy-MM-dd HH:mm:ss.zzz").toMSecsSinceEpoch(),
                      p.ms);
            EXPECT_EQ(f[2].isEmpty(), p.gap);
            if (!p.gap) {
                EXPECT_DOUBLE_EQ(f[2].toDouble(), p.volts);
                EXPECT_DOUBLE_EQ(f[3].toDouble(), p.amps);
            }
        }
    }
    EXPECT_TRUE(row == lines.size() && row == 1 + 5 * 7) << row;
    // The charts with their caption line above.
    const QImage png(env.path("t.png"));
    EXPECT_EQ(png.width(), trends->chartsArea->width());
    EXPECT_GT(png.height(), trends->chartsArea->height() + 10);
    int ink = 0;
    for (int x = 0; x < png.width(); ++x)
        for (int y = 0; y < png.height() - trends->chartsArea->height(); ++y)
            ink += qGray(png.pixel(x, y)) < 100;
    EXPECT_GT(ink, 200);
    EXPECT_EQ(trends->pictureCaption(),
              "Unit 1, modules 1-5 - " +
                  QDateTime::fromMSecsSinceEpoch(trends->shownTo()).toString("dd/MM/yyyy HH:mm") +
                  " - last 10 minutes");

    trends->chkPause->setChecked(true);
    pollAt(30000);
    EXPECT_EQ(trends->shownPoints(1).size(), 7);
    trends->chkPause->setChecked(false);
    EXPECT_EQ(trends->shownPoints(1).size(), 8);

    const qint64 from = env.clock.now.addMSecs(12000).toMSecsSinceEpoch();
    trends->zoomTo(from, from + 5000);
    ASSERT_TRUE(trends->zoomed() && trends->shownPoints(2).size() == 1);
    EXPECT_NEAR(double(trends->shownPoints(2)[0].ms - from), 3000.0, 500.0);
    QTest::mouseClick(trends->cmdReset, Qt::LeftButton);
    EXPECT_TRUE(!trends->zoomed() && trends->shownPoints(2).size() == 8);

    // A drag over the right half of one chart zooms every chart to it.
    auto *view = qobject_cast<QChartView *>(trends->chartView(3));
    ASSERT_NE(view, nullptr);
    const QRectF plot = view->chart()->plotArea();
    const QPoint a = view->mapFromScene(QPointF(plot.center().x(), plot.center().y()));
    const QPoint b = view->mapFromScene(QPointF(plot.right() - 1, plot.center().y()));
    const qint64 span = trends->shownTo() - trends->shownFrom();
    QTest::mousePress(view->viewport(), Qt::LeftButton, {}, a);
    QTest::mouseMove(view->viewport(), b);
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, b);
    ASSERT_TRUE(QTest::qWaitFor([&] { return trends->zoomed(); }, 2000));
    EXPECT_NEAR(double(trends->shownTo() - trends->shownFrom()), span / 2.0, span * 0.05);
    for (const TrendData::Point &p : trends->shownPoints(1))
        EXPECT_TRUE(p.ms >= trends->shownFrom() && p.ms <= trends->shownTo());
    EXPECT_GE(trends->shownPoints(1).size(), 7); // the polls are all in the newest minute

    // Silent again: the small layout still lets the user leave Monitor Mode.
    bus->setUnitSilent(1, true);
    pollAt(35000);
    ASSERT_TRUE(compact(*form));
    QTest::mouseClick(form->cmdStopMonitoring, Qt::LeftButton);
    EXPECT_FALSE(form->monitorModeOn() || form->Check1->isChecked() ||
                 !form->cmdStopMonitoring->isHidden());
}

// Catches a monitor that grows from its compact window past the screen's
// bottom, and a trend window opened larger than the screen or off it. Qt's
// offscreen platform gives the tests one screen of 800x800.
TEST_F(TrendWindowTest, NewButtonsCoverNoControlAndWindowsOpenWithinTheScreen)
{
    // Catches the Trends or Bus overview button pushing a control of the
    // monitor aside or lying over one.
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
    const auto geometries = [&] {
        QMap<QString, QRect> out;
        for (QWidget *w : form->findChildren<QWidget *>()) {
            if (!w->objectName().isEmpty() && w->isVisible() && w->window() == form)
                out.insert(w->objectName(), placeIn(w, form));
        }
        return out;
    };
    const QMap<QString, QRect> with = geometries();
    for (QPushButton *added : {form->cmdTrends, form->cmdBusOverview}) {
        ASSERT_TRUE(added->isVisible());
        const QRect mine = with.value(added->objectName());
        for (auto it = with.begin(); it != with.end(); ++it) {
            QWidget *other = form->findChild<QWidget *>(it.key());
            if (other == added || other->isAncestorOf(added))
                continue; // the frame that holds the button
            EXPECT_FALSE(mine.intersects(it.value())) << it.key().toStdString();
        }
    }
    form->cmdTrends->hide();
    form->cmdBusOverview->hide();
    QMap<QString, QRect> before = with;
    before.remove("cmdTrends");
    before.remove("cmdBusOverview");
    EXPECT_EQ(geometries(), before);
    form->cmdTrends->show();
    form->cmdBusOverview->show();

    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    ASSERT_EQ(screen, QRect(0, 0, 800, 800));
    trends->close();
    // The compact window low on the screen, then a read makes it large.
    form->UnitList->setCurrentIndex(form->UnitList->findText("3"));
    emit form->UnitList->activated(form->UnitList->currentIndex());
    ASSERT_TRUE(compact(*form));
    form->move(300, 400);
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->frameGeometry().top() == 400; }, 2000));
    QTest::mouseClick(form->cmdSelectUnit, Qt::LeftButton);
    ASSERT_TRUE(form->UnitSelected);
    EXPECT_EQ(form->width(), LargeLayout.width());
    EXPECT_TRUE(QTest::qWaitFor([&] { return screen.contains(form->frameGeometry()); }, 2000))
        << form->frameGeometry().top() << " " << form->frameGeometry().bottom();

    form->cmdTrends->click();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(trends));
    EXPECT_TRUE(QTest::qWaitFor([&] { return screen.contains(trends->frameGeometry()); }, 2000))
        << trends->frameGeometry().width() << "x" << trends->frameGeometry().height();
}

// Whether the picture has a pixel other than the background within r of p.
bool drawnNear(const QImage &picture, QPoint p, QRgb background, int r = 2)
{
    for (int y = p.y() - r; y <= p.y() + r; ++y)
        for (int x = p.x() - r; x <= p.x() + r; ++x)
            if (picture.valid(x, y) && picture.pixel(x, y) != background)
                return true;
    return false;
}

TEST_F(TrendWindowTest, PictureShowsLinesLimitsAxesTextsAndEvents)
{
    // Catches charts that stay blank or cramped: every point of the volts
    // and amps lines, both limit lines, the heading and the event rows must
    // be drawn where they stand. The picture is kept beside the test program.
    // Catches limit lines from the wrong module, in raw units, or swapped, and
    // volts and amps drawn against one scale or an unnamed one: each chart's
    // volts (and limit lines) hang on the left axis in V, its amps on the
    // right axis in A.
    startMonitoring("5   Sec.");
    for (int i = 1; i <= 12; ++i) {
        bus->setUnitSilent(1, i == 6 || i == 7);
        bus->forceAlarm(1, 8, i >= 9);
        pollAt(5000 * i);
    }
    ASSERT_TRUE(QTest::qWaitForWindowExposed(trends));
    trends->resize(1040, 820); // as it opens where the screen has room
    QCoreApplication::processEvents();
    const QImage picture = trends->grab().toImage();
    picture.save(QDir(QCoreApplication::applicationDirPath()).filePath("trend_window.png"));
    EXPECT_GE(picture.width(), 900);

    for (int m = 1; m <= 5; ++m) {
        SCOPED_TRACE(m);
        auto *view = qobject_cast<QChartView *>(trends->chartView(m));
        ASSERT_NE(view, nullptr);
        EXPECT_TRUE(view->width() >= 320 && view->height() >= 150);
        QChart *chart = view->chart();
        const QRgb background = picture.pixel(
            view->mapTo(trends, view->mapFromScene(chart->plotArea().center().toPoint())));
        int lines = 0;
        for (QAbstractSeries *s : chart->series()) {
            auto *line = qobject_cast<QLineSeries *>(s);
            lines += line && line->count() > 0;
            for (const QPointF &p : line ? line->points() : QList<QPointF>()) {
                const QPoint at = view->mapTo(
                    trends, view->mapFromScene(chart->mapToPosition(p, line).toPoint()));
                EXPECT_TRUE(drawnNear(picture, at, background)) << line->name().toStdString();
            }
        }
        EXPECT_GE(lines, 4); // volts and amps (in two stretches) at least

        const double limits[] = {form->VLL[m]->text().toDouble(), form->VLH[m]->text().toDouble()};
        for (bool high : {false, true}) {
            const QList<QPointF> line = trends->limitLine(m, high);
            if (limits[0] == 0.0 && limits[1] == 0.0) {
                EXPECT_TRUE(line.isEmpty());
                continue;
            }
            ASSERT_EQ(line.size(), 2);
            EXPECT_TRUE(line[0].y() == line[1].y() && line[0].x() < line[1].x());
            EXPECT_DOUBLE_EQ(line[0].y(), limits[high]);
        }
        // Each series name: the side and title of every value axis it hangs on.
        QMap<QString, QSet<QString>> sides;
        for (QAbstractSeries *series : chart->series()) {
            for (QAbstractAxis *axis : series->attachedAxes()) {
                if (axis->orientation() == Qt::Vertical)
                    sides[series->name()]
                        << (axis->alignment() == Qt::AlignLeft ? "left " : "right ") +
                               axis->titleText();
            }
        }
        const QSet<QString> volts{"left Volts (V)"};
        EXPECT_EQ(sides, (QMap<QString, QSet<QString>>{{"Volts", volts},
                                                       {"Amps", {"right Amps (A)"}},
                                                       {"Module good limits", volts}}));
    }
    EXPECT_TRUE(inked(picture, placeIn(trends->lblUnit, trends)));
    ASSERT_GE(trends->lstEvents->topLevelItemCount(), 3);
    QWidget *rows = trends->lstEvents->viewport();
    for (int i = 0; i < 3; ++i) {
        const QRect r = trends->lstEvents->visualItemRect(trends->lstEvents->topLevelItem(i));
        EXPECT_TRUE(r.bottom() < rows->height() &&
                    inked(picture, QRect(rows->mapTo(trends, r.topLeft()), r.size())))
            << i;
    }
    EXPECT_EQ(trends->lstEvents->topLevelItem(0)->text(3), "Fan Warning");
}

// Catches time marks at odd times (18:40:26), too many or too few of them,
// or a mark outside the stretch: for every span offered, the marks stand on
// whole steps of the clock, one step apart, from 3 to 6 of them.
TEST(TrendTicks, EverySpanMarksRoundTimesAndThePictureSaysWhatItShows)
{
    const struct
    {
        const char *span;
        qint64 stepMs;
        const char *format;
    } cases[] = {
        {"1 min", 10'000, "HH:mm:ss"},       {"5 min", 60'000, "HH:mm"},
        {"10 min", 120'000, "HH:mm"},        {"30 min", 300'000, "HH:mm"},
        {"1 h", 600'000, "HH:mm"},           {"2 h", 1'200'000, "HH:mm"},
        {"6 h", 3'600'000, "dd/MM HH:mm"},   {"12 h", 7'200'000, "dd/MM HH:mm"},
        {"24 h", 14'400'000, "dd/MM HH:mm"},
    };
    ASSERT_EQ(std::size(cases), std::size_t(TrendWindow::spanChoices().size()));
    const qint64 to = QDateTime(QDate(2026, 12, 7), QTime(16, 27, 43, 217)).toMSecsSinceEpoch();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.span);
        const qint64 span = TrendWindow::spanMs(c.span);
        EXPECT_EQ(TrendWindow::tickStepMs(span), c.stepMs);
        EXPECT_EQ(TrendWindow::tickFormat(c.stepMs, span), c.format);
        const QList<qint64> ticks = TrendWindow::tickTimes(to - span, to);
        EXPECT_TRUE(ticks.size() >= 3 && ticks.size() <= 6) << ticks.size();
        for (qsizetype i = 0; i < ticks.size(); ++i) {
            const QDateTime at = QDateTime::fromMSecsSinceEpoch(ticks[i]);
            EXPECT_EQ(at.time().msecsSinceStartOfDay() % c.stepMs, 0)
                << at.toString().toStdString();
            EXPECT_TRUE(ticks[i] >= to - span && ticks[i] <= to);
            EXPECT_TRUE(i == 0 || ticks[i] - ticks[i - 1] == c.stepMs) << i;
        }
    }
    // A zoom into seconds marks fractions of a second.
    EXPECT_EQ(TrendWindow::tickFormat(TrendWindow::tickStepMs(2000), 2000), "HH:mm:ss.zzz");

    // Catches an exported picture that does not say what it shows: the unit,
    // the modules (runs of them joined), the day and the span or the stretch.
    const qint64 end = QDateTime(QDate(2026, 12, 7), QTime(16, 30, 12)).toMSecsSinceEpoch();
    const struct
    {
        QList<int> modules;
        qint64 spanMs;
        bool zoomed;
        const char *caption;
    } captions[] = {
        {{2}, 600'000, false, "Unit 1, module 2 - 07/12/2026 16:30 - last 10 minutes"},
        {{1, 2, 3, 5}, 3'600'000, false, "Unit 1, modules 1-3, 5 - 07/12/2026 16:30 - last 1 hour"},
        {{1, 2}, 86'400'000, false, "Unit 1, modules 1, 2 - 07/12/2026 16:30 - last 24 hours"},
        {{4}, 150'000, true, "Unit 1, module 4 - 07/12/2026 16:27:42 to 16:30:12"},
        {{4}, 86'400'000, true, "Unit 1, module 4 - 06/12/2026 16:30:12 to 07/12/2026 16:30:12"},
    };
    for (const auto &c : captions)
        EXPECT_EQ(TrendWindow::pictureCaption("1", c.modules, end - c.spanMs, end, c.zoomed),
                  c.caption);
}

} // namespace

TEST_F(AlarmEvents, PollsThatSawNothingGiveNoReadingNoPointAndOneStartAndEnd)
{
    // Catches a poll the unit did not answer, or whose read a failure ended,
    // logged and drawn with the last poll's values and DC Good "Ok", and its
    // blank panels told as modules gone and back; an event per silent poll,
    // and a streak that never ends.
    form->Check1->setChecked(true);
    startMonitoring("5   Sec.");
    const struct
    {
        bool silent; // or the port lost in the middle of the read
        int polls;
    } cases[] = {{true, 3}, {false, 1}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.silent);
        poll();
        const std::size_t before = eventCount();
        const qsizetype pointsBefore = form->trend().data().points(1, 0, 1LL << 50).size();
        if (c.silent)
            bus->setUnitSilent(1, true);
        else
            bus->failMethod("GetGlobalStatusByte", "ERR_PORT_LOST: the port has gone");
        for (int i = 0; i < c.polls; ++i)
            poll();
        const QString record = form->rtbNewLogText().section("\r\n", -1);
        EXPECT_TRUE(record.endsWith(",1" + QString(24, u','))) << record.toStdString();
        bus->setUnitSilent(1, false);
        bus->clearFailures();
        poll();
        const QString events = eventsSince(before);
        EXPECT_TRUE(!c.silent || events == "|No answer|Unit does not respond!|Answering|Alarm\n"
                                           "|No answer|Answering|No answer for 3 polls|Cleared")
            << events.toStdString();
        for (const QString &e : events.split(u'\n', Qt::SkipEmptyParts))
            EXPECT_EQ(e.section(u'|', 1, 1), "No answer") << e.toStdString();
        // A gap for each poll that saw nothing, then a reading.
        QList<bool> gaps;
        for (const TrendData::Point &p :
             form->trend().data().points(1, 0, 1LL << 50).mid(pointsBefore))
            gaps << p.gap;
        EXPECT_EQ(gaps, QList<bool>(c.polls, true) << false);
    }
}
