// The trend window as a user sees it while Monitor Mode polls: its points,
// gaps and limit lines, its exports, its picture, and a unit that stops
// answering and comes back.
#include "monitor/TrendWindow.h"
#include "LogFiles.h"
#include "MonitorShown.h"
#include "WindowFixture.h"
#include "controls/OstransDisplay.h"
#include "monitor/MonitorTexts.h"

#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QLineSeries>
#include <QMap>
#include <QPushButton>
#include <QScreen>
#include <QSet>
#include <QTreeWidget>
#include <QValueAxis>

namespace {

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
    EXPECT_TRUE(form->cmdStopMonitoring->isHidden());
    EXPECT_EQ(records(), 5); // the status log has every poll, silent ones too

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

    // Silent again: the small layout still lets the user leave Monitor Mode.
    bus->setUnitSilent(1, true);
    pollAt(30000);
    ASSERT_TRUE(compact(*form));
    QTest::mouseClick(form->cmdStopMonitoring, Qt::LeftButton);
    EXPECT_FALSE(form->monitorModeOn() || form->Check1->isChecked());
    EXPECT_TRUE(form->cmdStopMonitoring->isHidden());
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
    EXPECT_GE(trends->shownPoints(1).size(), 5); // the polls are all in the newest minute
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
