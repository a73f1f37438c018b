// The bus overview's scan, and the one line it shares with the monitor.
#include "monitor/BusOverview.h"
#include "MockZelkDevice.h"
#include "WindowFixture.h"
#include "configfile/ConfigSession.h"
#include "controls/Label3D.h"
#include "device/SharedLine.h"

#include <QCheckBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QTreeWidget>
#include <functional>

namespace {

class BusOverviewTest : public WindowFixture
{
protected:
    BusOverview &openOverview()
    {
        QTest::mouseClick(monitor().cmdBusOverview, Qt::LeftButton);
        BusOverview &o = monitor().busOverview();
        EXPECT_TRUE(o.isVisible());
        return o;
    }
    static bool scanEnds(BusOverview &o)
    {
        return QTest::qWaitFor([&] { return !o.scan().running(); }, 10000);
    }
    static QStringList row(BusOverview &o, int i)
    {
        QStringList texts;
        for (int c = 0; c < 5; ++c)
            texts << o.lstUnits->topLevelItem(i)->text(c);
        return texts;
    }
    // The units each port sequence of the log spoke to, in order.
    static QList<QSet<QString>> sequences(const RecordingDevice &log)
    {
        QList<QSet<QString>> out;
        bool open = false;
        for (const RecordingDevice::Call &c : log.calls()) {
            if (c.method == "OpenPort") {
                EXPECT_FALSE(open) << "a sequence opened inside another";
                open = true;
                out.append(QSet<QString>());
            } else if (c.method == "ClosePort") {
                open = false;
            } else if (open && !c.arguments.isEmpty()) {
                out.last().insert(c.arguments[0]);
            }
        }
        return out;
    }
};

TEST_F(BusOverviewTest, ScanListsTheAnsweringUnitsAndADoubleClickReadsOne)
{
    // Catches a unit missed or invented by the scan, wrong serial, firmware,
    // module types or alarms, progress that does not reach the end, and a
    // double-click that reads nothing or the wrong unit. The picture is kept
    // beside the test program for a person to look at.
    bus->forceAlarm(5, 8, true);
    BusOverview &o = openOverview();
    ASSERT_TRUE(scanEnds(o));
    EXPECT_EQ(o.progressScan->value(), 32);
    EXPECT_EQ(o.lblScan->text(), "4 units answer on IDs 1 to 32.");
    ASSERT_EQ(o.lstUnits->topLevelItemCount(), 4);
    EXPECT_EQ(row(o, 0).mid(0, 3), (QStringList{"1", "ZX5-21A0117", "2.11"}));
    EXPECT_EQ(row(o, 1).mid(0, 3), (QStringList{"3", "ZX2-21B0342", "2.10"}));
    // Unit 7 starts with its outputs held off: no DC good.
    const QStringList alarms{row(o, 0)[4], row(o, 1)[4], row(o, 2)[4], row(o, 3)[4]};
    EXPECT_EQ(alarms, (QStringList{"None", "None", "Fan Warning: Fail", "Global DC Good: Fail"}));
    EXPECT_EQ(row(o, 3)[0], "7");
    // The module types as the monitor's read shows them.
    MonitorForm &m = monitorRead("3");
    QStringList types;
    for (int k = 1; k <= 5; ++k) {
        if (m.session().data().modulePresent(k))
            types << QStringLiteral("%1: %2").arg(k).arg(m.session().ratings(k).Type);
    }
    EXPECT_EQ(row(o, 1)[3], types.join("; "));

    ASSERT_TRUE(QTest::qWaitForWindowExposed(&o));
    const QImage picture = o.grab().toImage();
    picture.save(QDir(QCoreApplication::applicationDirPath()).filePath("bus_overview.png"));
    QWidget *rows = o.lstUnits->viewport();
    for (int i = 0; i < 4; ++i) {
        for (int c = 0; c < 5; ++c) {
            QRect r = o.lstUnits->visualItemRect(o.lstUnits->topLevelItem(i));
            r.setLeft(o.lstUnits->header()->sectionViewportPosition(c));
            r.setWidth(o.lstUnits->header()->sectionSize(c));
            const QRect where(rows->mapTo(&o, r.topLeft()), r.size());
            QSet<QRgb> colours;
            for (int y = where.top(); y <= where.bottom(); ++y)
                for (int x = where.left(); x <= where.right(); ++x)
                    colours.insert(picture.pixel(x, y));
            EXPECT_GT(colours.size(), 1) << "row " << i << " column " << c;
        }
    }

    const QRect unit7 = o.lstUnits->visualItemRect(o.lstUnits->topLevelItem(3));
    QTest::mouseClick(rows, Qt::LeftButton, {}, unit7.center());
    QTest::mouseDClick(rows, Qt::LeftButton, {}, unit7.center());
    EXPECT_EQ(m.UnitList->currentText(), "7");
    EXPECT_EQ(m.Label3D3->Caption(), "Power supply Id: 7");
    EXPECT_TRUE(m.UnitSelected);
}

// Catches a double-click that reads another unit over the panels of the one
// shown: unit 3 has no modules 2, 4 and 5, and their group captions must be
// those a read of unit 3 picked in the list shows, not unit 1's.
TEST_F(BusOverviewTest, DoubleClickReadsAUnitAsAPickInTheListDoes)
{
    MonitorForm &m = monitorRead("1");
    const auto groups = [&] {
        QStringList texts;
        for (int k = 1; k <= 5; ++k)
            texts << m.GID[k]->text();
        return texts;
    };
    ASSERT_EQ(groups().mid(3), (QStringList{"M[3]", "S[3]"}));
    BusOverview &o = openOverview();
    ASSERT_TRUE(scanEnds(o));
    QWidget *rows = o.lstUnits->viewport();
    const QRect unit3 = o.lstUnits->visualItemRect(o.lstUnits->topLevelItem(1));
    ASSERT_EQ(o.lstUnits->topLevelItem(1)->text(0), "3");
    QTest::mouseClick(rows, Qt::LeftButton, {}, unit3.center());
    QTest::mouseDClick(rows, Qt::LeftButton, {}, unit3.center());
    ASSERT_EQ(m.Label3D3->Caption(), "Power supply Id: 3");
    const QStringList fromOverview = groups();

    monitorRead("1");
    const int three = m.UnitList->findText("3");
    m.UnitList->setCurrentIndex(three);
    emit m.UnitList->activated(three);
    QTest::mouseClick(m.cmdSelectUnit, Qt::LeftButton);
    ASSERT_EQ(m.Label3D3->Caption(), "Power supply Id: 3");
    EXPECT_EQ(fromOverview.join(" | ").toStdString(), groups().join(" | ").toStdString());
    for (int k : {2, 4, 5})
        EXPECT_EQ(m.MMessage[k]->text(), "Not Present") << k;
}

// Catches a watch line that does not say what its time measures, or one
// that goes on showing the last cycle once Watch is off.
TEST_F(BusOverviewTest, WatchLineTellsTheCycleAndWhenItStops)
{
    BusOverview &o = openOverview();
    ASSERT_TRUE(scanEnds(o));
    QTest::mouseClick(o.cmdWatch, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return o.lblScan->text().startsWith("Watching"); }, 10000));
    const QRegularExpression cycle("^Watching: 4 units found, a cycle of all units in \\d+ ms\\.$");
    EXPECT_TRUE(cycle.match(o.lblScan->text()).hasMatch()) << o.lblScan->text().toStdString();
    QTest::mouseClick(o.cmdWatch, Qt::LeftButton);
    EXPECT_FALSE(o.watching());
    EXPECT_EQ(o.lblScan->text().toStdString(), "Not watching.");
}

// Catches a look for units that asks an empty ID with the reads' timeout and
// retries (no short question first), one that reads an ID where nobody
// answered it, and a read the user asked for that asks the short question.
TEST_F(BusOverviewTest, OnlyALookForUnitsAsksTheShortQuestion)
{
    BusOverview &o = openOverview();
    RecordingDevice &log = record();
    ASSERT_TRUE(scanEnds(o));
    QStringList probed, read;
    for (const RecordingDevice::Call &c : log.calls())
        (c.method == "ProbeUnit" ? probed : read) << c.arguments.value(0);
    QStringList all;
    for (int id = 1; id <= 32; ++id)
        all << QString::number(id);
    EXPECT_EQ(probed, all);
    EXPECT_EQ(QSet<QString>(read.begin(), read.end()),
              (QSet<QString>{"1", "3", "5", "7", "\"COM1\"", ""}));
    log.clear();
    EXPECT_EQ(ConfigSession(*ZelkGlobals::Device, "COM1").answeringUnits(),
              (QList<int>{1, 3, 5, 7}));
    EXPECT_EQ(log.methodNames().count("ProbeUnit"), 32);
    EXPECT_EQ(log.methodNames().count("GetUnitID"), 4);

    const std::pair<const char *, std::function<void()>> asked[] = {
        {"watch",
         [&] {
             QTest::mouseClick(o.cmdWatch, Qt::LeftButton);
         }},
        {"monitor read",
         [&] {
             monitorRead("3");
         }},
        {"editor read",
         [&] {
             editorRead("5");
         }}, // Detect Unit ID: UnitIdTools
    };
    for (const auto &[road, run] : asked) {
        log.clear();
        run();
        ASSERT_TRUE(QTest::qWaitFor([&] { return log.calls().size() > 2; }, 10000)) << road;
        EXPECT_FALSE(log.methodNames().contains("ProbeUnit")) << road;
        if (o.watching())
            QTest::mouseClick(o.cmdWatch, Qt::LeftButton);
    }
}

TEST_F(BusOverviewTest, CancelStopsBetweenTwoIds)
{
    // Catches a Cancel that lets the scan run on, or one that cuts a unit's
    // sequence in half (its port left open).
    BusOverview &o = openOverview();
    RecordingDevice &log = record();
    log.onCall = [&](const RecordingDevice::Call &c) {
        if (c.method == "ProbeUnit" && c.arguments.value(0) == "4")
            QTest::mouseClick(o.cmdCancel, Qt::LeftButton);
    };
    ASSERT_TRUE(scanEnds(o));
    log.onCall = nullptr;
    EXPECT_EQ(o.scan().nextId(), 5);
    EXPECT_EQ(o.progressScan->value(), 4);
    EXPECT_EQ(o.lblScan->text(), "Scan cancelled before unit 5: 2 units answer.");
    EXPECT_EQ(log.methodNames().last(), "ClosePort");
    EXPECT_FALSE(SharedLine::instance().busy());
    EXPECT_TRUE(o.cmdScan->isEnabled());
    EXPECT_FALSE(o.cmdCancel->isEnabled());
}

TEST_F(BusOverviewTest, PortThatDoesNotOpenEndsTheScanSayingSo)
{
    // Catches a scan that reports "no unit answers" when it never reached
    // the line.
    ZelkGlobals::ComPort = "ttyNone";
    BusOverview &o = openOverview();
    ASSERT_TRUE(scanEnds(o));
    EXPECT_EQ(o.lstUnits->topLevelItemCount(), 0);
    EXPECT_TRUE(o.lblScan->text().startsWith("The port ttyNone could not be opened ("));
    EXPECT_TRUE(o.lblScan->text().endsWith("): the scan stopped at unit 1."));
    EXPECT_FALSE(SharedLine::instance().busy());
}

TEST_F(BusOverviewTest, ScanStepAndPollDueAtOnceRunInTurnWithTheirOwnValues)
{
    // Catches a poll that runs inside a scan step (interleaved sequences,
    // the port closed under one of them) and values of one unit landing in
    // the other's results.
    MonitorForm &m = monitorRead("1");
    startMonitoring("5   Sec.");
    pollAt(5000);
    const QString alone = m.rtbNewLogText().section("\r\n", -1).section(',', 2);
    BusOverview &o = openOverview();
    RecordingDevice &log = record();
    bool due = false;
    log.onCall = [&](const RecordingDevice::Call &c) {
        if (!due && c.method == "GetPresentModules" && c.arguments.value(0) == "3") {
            due = true;
            pollAt(10000); // the poll's tick comes while the scan asks unit 3
        }
    };
    ASSERT_TRUE(scanEnds(o));
    log.onCall = nullptr;
    ASSERT_TRUE(due);
    EXPECT_TRUE(QTest::qWaitFor([&] { return records() == 2; }, 5000));
    EXPECT_EQ(m.rtbNewLogText().section("\r\n", -1).section(',', 2), alone);
    EXPECT_EQ(o.lstUnits->topLevelItemCount(), 4);
    EXPECT_EQ(o.lstUnits->topLevelItem(1)->text(1), "ZX2-21B0342");

    // Every sequence speaks to one unit; unit 3's own comes before the poll's.
    const QList<QSet<QString>> seen = sequences(log);
    // The poll waited for unit 3's step and went before unit 4's.
    qsizetype three = -1, poll = -1, four = -1;
    for (qsizetype i = 0; i < seen.size(); ++i) {
        EXPECT_LE(seen[i].size(), 1) << i;
        for (auto [unit, at] : {std::pair{"3", &three}, {"\"1\"", &poll}, {"4", &four}}) {
            if (seen[i].contains(unit) && *at < 0)
                *at = i;
        }
    }
    EXPECT_GE(three, 0);
    EXPECT_GT(poll, three);
    EXPECT_GT(four, poll);
    EXPECT_FALSE(SharedLine::instance().busy());
}

TEST(SharedLineDeviceTest, OnlyTheLastClosePortReachesThePort)
{
    // Catches one sequence's ClosePort closing the port under another.
    auto owned = std::make_unique<testing::StrictMock<MockZelkDevice>>();
    MockZelkDevice &inner = *owned;
    testing::InSequence order;
    EXPECT_CALL(inner, OpenPort(QString("COM1"))).WillOnce(testing::Return(CmdOk));
    EXPECT_CALL(inner, ClosePort()).WillOnce(testing::Return(CmdOk));
    SharedLineDevice device(std::move(owned));
    SharedLine &line = SharedLine::instance();
    EXPECT_EQ(device.OpenPort("COM1"), CmdOk);
    EXPECT_EQ(device.OpenPort("COM1"), CmdOk); // a second window's sequence
    EXPECT_EQ(device.ClosePort(), CmdOk);
    EXPECT_TRUE(line.busy());
    int ran = 0;
    line.whenFree(nullptr, [&] { ran += 10; }); // its window is gone: dropped
    line.whenFree(&line, [&] { ++ran; });
    EXPECT_EQ(ran, 0);
    EXPECT_EQ(device.ClosePort(), CmdOk);
    EXPECT_FALSE(line.busy());
    EXPECT_TRUE(QTest::qWaitFor([&] { return ran == 1; }, 1000));
}

// Catches a watch that shows the alarms the scan saw rather than the ones
// raised now, one that stops after a cycle, or a Watch left on by a new scan.
TEST_F(BusOverviewTest, WatchShowsTheAlarmsOfNow)
{
    BusOverview &o = openOverview();
    ASSERT_TRUE(scanEnds(o));
    ASSERT_EQ(row(o, 0)[4], "None");
    bus->forceAlarm(1, 8, true);
    QTest::mouseClick(o.cmdWatch, Qt::LeftButton);
    ASSERT_TRUE(o.watching());
    EXPECT_TRUE(QTest::qWaitFor([&] { return row(o, 0)[4] == "Fan Warning: Fail"; }, 10000));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return o.lblScan->text().startsWith("Watching: 4 units found"); }, 10000))
        << o.lblScan->text().toStdString();
    bus->forceAlarm(1, 8, false);
    EXPECT_TRUE(QTest::qWaitFor([&] { return row(o, 0)[4] == "None"; }, 10000));
    QTest::mouseClick(o.cmdScan, Qt::LeftButton);
    EXPECT_FALSE(o.watching());
    EXPECT_FALSE(o.cmdWatch->isChecked());
    ASSERT_TRUE(scanEnds(o));
}

// Catches a watch that goes on asking the units once nobody can see it:
// closing the monitor closes its bus overview and ends the watch.
TEST_F(BusOverviewTest, ClosingTheMonitorEndsTheWatch)
{
    BusOverview &o = openOverview();
    ASSERT_TRUE(scanEnds(o));
    QTest::mouseClick(o.cmdWatch, Qt::LeftButton);
    ASSERT_TRUE(o.watching());
    QTest::mouseClick(monitor().cmdClose, Qt::LeftButton);
    EXPECT_FALSE(monitor().isVisible());
    EXPECT_FALSE(o.isVisible());
    EXPECT_FALSE(o.watching());
}

} // namespace
