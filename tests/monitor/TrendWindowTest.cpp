// The trend window as a user sees it while Monitor Mode polls: its points,
// gaps and limit lines, its exports, its picture, and a unit that stops
// answering and comes back.
#include "monitor/TrendWindow.h"
#include "CsvFields.h"
#include "WindowFixture.h"
#include "controls/OstransDisplay.h"
#include "core/Twips.h"
#include "monitor/MonitorTexts.h"

#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLineSeries>
#include <QMap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>

namespace {

const QSize TrendSmall(Twips::toPixels(2750), Twips::toPixels(2690));
const QSize TrendLarge(Twips::toPixels(8850), Twips::toPixels(12075));

class TrendWindowTest : public WindowFixture
{
protected:
    void SetUp() override
    {
        WindowFixture::SetUp();
        form = &monitorRead("1");
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
    MonitorForm *form = nullptr;
    TrendWindow *trends = nullptr;
};

TEST_F(TrendWindowTest, OnePointPerPollAGapPerSilentPollAndTheUnitComesBack)
{
    // Catches polls that miss the chart, zeros or stale values drawn for a
    // silent unit, a line joined across the silence, polling that stops, and
    // a window left in the small layout once the unit answers again.
    startMonitoring("5   Sec.");
    pollAt(5000);
    pollAt(10000);
    ASSERT_EQ(form->size(), TrendLarge);
    bus->setUnitSilent(1, true);
    pollAt(15000);
    pollAt(20000);
    EXPECT_EQ(form->size(), TrendSmall);
    EXPECT_EQ(form->lblReady->text(), MonitorTexts::NotResponding);
    EXPECT_FALSE(form->cmdStopMonitoring->isHidden());
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
    const QImage small = form->grab().toImage();
    small.save(QDir(QCoreApplication::applicationDirPath()).filePath("monitor_silent_unit.png"));
    const QRect stop(form->cmdStopMonitoring->mapTo(form, QPoint(0, 0)),
                     form->cmdStopMonitoring->size());
    EXPECT_TRUE(QRect(QPoint(0, 0), small.size()).contains(stop)); // in the small layout
    bus->setUnitSilent(1, false);
    pollAt(25000);
    EXPECT_EQ(form->size(), TrendLarge);
    EXPECT_EQ(form->lblReady->text(), MonitorTexts::MonitorModeText);
    EXPECT_EQ(form->MMessage[1]->text(), "Module Good");
    EXPECT_TRUE(form->cmdStopMonitoring->isHidden());
    EXPECT_EQ(records(), 5); // the status log has every poll, silent ones too

    // The read, the entry into Monitor Mode and five polls.
    const QList<bool> expected{false, false, false, false, true, true, false};
    for (int m = 1; m <= 5; ++m) {
        SCOPED_TRACE(m);
        ASSERT_NE(trends->chartView(m), nullptr);
        EXPECT_EQ(gaps(m), expected);
        const auto volts = trends->voltsLines(m);
        ASSERT_EQ(volts.size(), 2);
        EXPECT_EQ(volts[0].size(), 4);
        EXPECT_EQ(volts[1].size(), 1);
        EXPECT_EQ(trends->ampsLines(m).size(), 2);
        const double shown = form->OstransDisplay[m]->text().toDouble();
        EXPECT_DOUBLE_EQ(volts[1][0].y(), shown);
        // Stamped when the poll's reads are done, as its status log record.
        const qint64 at = qint64(volts[1][0].x()) - env.clock.now.toMSecsSinceEpoch();
        EXPECT_TRUE(at >= 25000 && at < 25500) << at;
    }
    // The window follows the newest poll over the default ten minutes, or
    // the span chosen.
    EXPECT_EQ(trends->cboSpan->currentText(), "10 min");
    EXPECT_EQ(trends->shownTo() - trends->shownFrom(), 10 * 60 * 1000);
    EXPECT_EQ(trends->cboSpan->itemText(0), "1 min");
    EXPECT_EQ(trends->cboSpan->itemText(trends->cboSpan->count() - 1), "24 h");
    trends->cboSpan->setCurrentText("24 h");
    EXPECT_EQ(trends->shownTo() - trends->shownFrom(), 24 * 3600 * 1000);
    trends->cboSpan->setCurrentText("10 min");

    // Silent again: the small layout still lets the user leave Monitor Mode.
    bus->setUnitSilent(1, true);
    pollAt(30000);
    ASSERT_EQ(form->size(), TrendSmall);
    QTest::mouseClick(form->cmdStopMonitoring, Qt::LeftButton);
    EXPECT_FALSE(form->monitorModeOn());
    EXPECT_FALSE(form->Check1->isChecked());
    EXPECT_TRUE(form->cmdStopMonitoring->isHidden());
}

TEST_F(TrendWindowTest, LimitLinesStandAtTheModuleGoodThresholds)
{
    // Catches limit lines from the wrong module, in raw units, or swapped.
    startMonitoring("5   Sec.");
    pollAt(5000);
    int drawn = 0;
    for (int m = 1; m <= 5; ++m) {
        SCOPED_TRACE(m);
        const QList<QPointF> low = trends->limitLine(m, false);
        const QList<QPointF> high = trends->limitLine(m, true);
        const double vll = form->VLL[m]->text().toDouble();
        const double vlh = form->VLH[m]->text().toDouble();
        if (vll == 0.0 && vlh == 0.0) {
            EXPECT_TRUE(low.isEmpty() && high.isEmpty());
            continue;
        }
        ASSERT_EQ(low.size(), 2);
        ASSERT_EQ(high.size(), 2);
        EXPECT_DOUBLE_EQ(low[0].y(), vll);
        EXPECT_DOUBLE_EQ(low[1].y(), vll);
        EXPECT_DOUBLE_EQ(high[0].y(), vlh);
        EXPECT_LT(low[0].x(), low[1].x());
        ++drawn;
    }
    EXPECT_GT(drawn, 0);
}

TEST_F(TrendWindowTest, ExportsParseBackToThePointsShownAndPauseZoomReset)
{
    // Catches an export that drops gaps, rounds or shifts values or times, a
    // picture that is not one, a pause that does not hold the charts and a
    // zoom that Reset does not undo.
    startMonitoring("5   Sec.");
    pollAt(5000);
    bus->setUnitSilent(1, true);
    pollAt(10000);
    bus->setUnitSilent(1, false);
    pollAt(15000);

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
    EXPECT_EQ(row, lines.size());
    EXPECT_EQ(row, 1 + 5 * 5);
    const QImage png(env.path("t.png"));
    EXPECT_EQ(png.size(), trends->chartsArea->size());

    trends->chkPause->setChecked(true);
    pollAt(20000);
    EXPECT_EQ(trends->shownPoints(1).size(), 5);
    trends->chkPause->setChecked(false);
    EXPECT_EQ(trends->shownPoints(1).size(), 6);

    const qint64 from = env.clock.now.addMSecs(12000).toMSecsSinceEpoch();
    trends->zoomTo(from, from + 5000);
    EXPECT_TRUE(trends->zoomed());
    ASSERT_EQ(trends->shownPoints(2).size(), 1);
    EXPECT_NEAR(double(trends->shownPoints(2)[0].ms - from), 3000.0, 500.0);
    QTest::mouseClick(trends->cmdReset, Qt::LeftButton);
    EXPECT_FALSE(trends->zoomed());
    EXPECT_EQ(trends->shownPoints(2).size(), 6);

    // A drag over the right half of one chart zooms every chart to it.
    QChartView *view = trends->chartView(3);
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
    EXPECT_GE(trends->shownPoints(1).size(), 5); // the polls are all in the newest minute
}

TEST_F(TrendWindowTest, NewButtonsMoveAndCoverNoControl)
{
    // Catches the Trends or Bus overview button pushing a control of the
    // monitor aside or lying over one.
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
    const auto geometries = [&] {
        QMap<QString, QRect> out;
        for (QWidget *w : form->findChildren<QWidget *>()) {
            if (!w->objectName().isEmpty() && w->isVisible() && w->window() == form)
                out.insert(w->objectName(), QRect(w->mapTo(form, QPoint(0, 0)), w->size()));
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
    QMap<QString, QRect> without = geometries();
    QMap<QString, QRect> before = with;
    before.remove("cmdTrends");
    before.remove("cmdBusOverview");
    EXPECT_EQ(without, before);
    form->cmdTrends->show();
    form->cmdBusOverview->show();
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

TEST_F(TrendWindowTest, PictureShowsLinesLimitsTextsAndEvents)
{
    // Catches charts that stay blank or cramped: every point of the volts
    // and amps lines, both limit lines, the heading and the event rows must
    // be drawn where they stand. The picture is kept beside the test program.
    startMonitoring("5   Sec.");
    for (int i = 1; i <= 12; ++i) {
        bus->setUnitSilent(1, i == 6 || i == 7);
        bus->forceAlarm(1, 8, i >= 9);
        pollAt(5000 * i);
    }
    ASSERT_TRUE(QTest::qWaitForWindowExposed(trends));
    const QImage picture = trends->grab().toImage();
    picture.save(QDir(QCoreApplication::applicationDirPath()).filePath("trend_window.png"));
    EXPECT_GE(picture.width(), 900);

    for (int m = 1; m <= 5; ++m) {
        SCOPED_TRACE(m);
        QChartView *view = trends->chartView(m);
        ASSERT_NE(view, nullptr);
        EXPECT_GE(view->width(), 320);
        EXPECT_GE(view->height(), 150);
        QChart *chart = view->chart();
        const QRgb background = picture.pixel(
            view->mapTo(trends, view->mapFromScene(chart->plotArea().center().toPoint())));
        const auto check = [&](QLineSeries *series) {
            for (const QPointF &p : series->points()) {
                const QPoint at = view->mapTo(
                    trends, view->mapFromScene(chart->mapToPosition(p, series).toPoint()));
                EXPECT_TRUE(drawnNear(picture, at, background))
                    << series->name().toStdString() << " " << p.y();
            }
        };
        int series = 0;
        for (QAbstractSeries *s : chart->series()) {
            auto *line = qobject_cast<QLineSeries *>(s);
            if (line && line->count() > 0) {
                check(line);
                ++series;
            }
        }
        EXPECT_GE(series, 4); // volts and amps (in two stretches) at least
    }
    const auto textDrawn = [&](QWidget *w, QRect r) {
        const QRect where(w->mapTo(trends, r.topLeft()), r.size());
        QSet<QRgb> colours;
        for (int y = where.top(); y <= where.bottom(); ++y)
            for (int x = where.left(); x <= where.right(); ++x)
                colours.insert(picture.pixel(x, y));
        return colours.size() > 1;
    };
    EXPECT_TRUE(textDrawn(trends->lblUnit, trends->lblUnit->rect()));
    ASSERT_GE(trends->lstEvents->topLevelItemCount(), 3);
    QWidget *rows = trends->lstEvents->viewport();
    for (int i = 0; i < 3; ++i) {
        const QRect r = trends->lstEvents->visualItemRect(trends->lstEvents->topLevelItem(i));
        EXPECT_TRUE(r.bottom() < rows->height() && textDrawn(rows, r)) << i;
    }
    EXPECT_EQ(trends->lstEvents->topLevelItem(0)->text(3), "Fan Warning");
}

} // namespace
