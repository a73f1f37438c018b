// The frame inspector against the unit emulator on a pseudo-terminal: what
// the window shows is what went over the line, and closed it costs nothing.
#include "inspector/FrameTraffic.h"
#include "LineFixture.h"
#include "core/ZelkRoutines.h"
#include "core_windows/MainForm.h"
#include "core_windows/WindowRegistry.h"
#include "device/FrameLog.h"
#include "device/SharedLineDevice.h"
#include "monitor/MonitorForm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTableView>
#include <QTest>

namespace {

using FrameTrafficLine = LineFixture;
using C = FrameLog::Column;

QStringList linesOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace

// Catches a frame shown twice or not at all, out of order, decoded from the
// wrong registers or named for the wrong method: each call of unit 1 is one
// request and one answer with good check bytes, and the bytes are those of
// the wire page's examples; an exception answer shows its code, and the
// filters keep exactly the matching rows. Catches too a log that watches,
// copies or formats while nobody looks.
TEST_F(FrameTrafficLine, EachCallIsOneRequestAndOneAnswer)
{
    startLine();
    serial->setBlockReads(false); // one exchange a call
    FrameTraffic inspector;
    inspector.show();
    ASSERT_EQ(serial->OpenPort(QStringLiteral("COM1")), CmdOk);
    qint16 v = 0;
    QString text;
    StatusArray flags;
    const struct
    {
        std::function<QString()> call;
        const char *method;
        const char *registers;
        const char *request;
    } calls[] = {
        {[&] { return serial->GetFanFailPolarity(UnitArg(1), v); }, "GetFanFailPolarity",
         "holding 9", "01 03 00 09 00 01 54 08"},
        {[&] { return serial->GetUnitSerialN(UnitArg(1), text); }, "GetUnitSerialN", "holding 1..6",
         "01 03 00 01 00 06 94 08"},
        {[&] { return serial->GetPresentModules(UnitArg(1), flags); }, "GetPresentModules",
         "input 0", "01 04 00 00 00 01 31 CA"},
        {[&] { return serial->GetCurrentLimit(UnitArg(1), 2, v); }, "GetCurrentLimit m2",
         "holding 55", "01 03 00 37 00 01 35 C4"},
        {[&] { return serial->MeasureOutputVoltage(UnitArg(1), 1, v); }, "MeasureOutputVoltage m1",
         "input 9", "01 04 00 09 00 01 E1 C8"},
    };
    for (const auto &c : calls)
        ASSERT_EQ(c.call(), CmdOk) << c.method;
    EXPECT_EQ(serial->GetCurrentLimit(UnitArg(3), 2, v), QStringLiteral("ERR_NO_MODULE"));
    inspector.refresh();

    ASSERT_EQ(inspector.shownRows(), 2 * int(std::size(calls)) + 2);
    double lastMs = -1;
    for (std::size_t i = 0; i < std::size(calls); ++i) {
        const QStringList sent = inspector.shownRow(int(2 * i));
        const QStringList got = inspector.shownRow(int(2 * i + 1));
        EXPECT_EQ(sent[C::Direction], QStringLiteral("send"));
        EXPECT_EQ(got[C::Direction], QStringLiteral("recv"));
        EXPECT_EQ(sent[C::Bytes], QLatin1String(calls[i].request));
        for (const QStringList &row : {sent, got}) {
            EXPECT_EQ(row[C::Unit], QStringLiteral("1"));
            EXPECT_EQ(row[C::Crc], QStringLiteral("good"));
            EXPECT_EQ(row[C::Method], QLatin1String(calls[i].method));
            EXPECT_EQ(row[C::Registers], QLatin1String(calls[i].registers));
            EXPECT_EQ(row[C::Try], QStringLiteral("1"));
            EXPECT_GT(row[C::TimeMs].toDouble(), lastMs);
            lastMs = row[C::TimeMs].toDouble();
        }
        EXPECT_EQ(got[C::Result], QStringLiteral("answer"));
        EXPECT_GT(got[C::AnswerMs].toDouble(), 0.0);
    }
    const QStringList refused = inspector.shownRow(inspector.shownRows() - 1);
    EXPECT_EQ(refused[C::Bytes], QStringLiteral("03 83 02 61 31"));
    EXPECT_EQ(refused[C::Exception], QStringLiteral("02 illegal address"));

    inspector.chkErrors->setChecked(true);
    ASSERT_EQ(inspector.shownRows(), 1);
    EXPECT_EQ(inspector.shownRow(0)[C::Unit], QStringLiteral("3"));
    inspector.chkErrors->setChecked(false);
    inspector.cboUnit->setCurrentIndex(inspector.cboUnit->findData(3));
    EXPECT_EQ(inspector.shownRows(), 2);
    inspector.cmdClear->click();
    EXPECT_EQ(inspector.shownRows(), 0);
    serial->ClosePort();

    // Closed (and paused), the editor's whole read of a unit makes no frame
    // event and no row; open again, every frame of it is taken.
    inspector.close();
    const quint64 events = frameEventsMade();
    const quint64 rows = FrameLog::rowsMade();
    readSetup(*serial, QStringLiteral("1"));
    EXPECT_EQ(frameEventsMade(), events);
    EXPECT_EQ(FrameLog::rowsMade(), rows);
    EXPECT_EQ(inspector.log().size(), 0u);
    inspector.show();
    inspector.cmdPause->click();
    readSetup(*serial, QStringLiteral("1"));
    EXPECT_EQ(frameEventsMade(), events);
    inspector.cmdPause->click();
    readSetup(*serial, QStringLiteral("1"));
    EXPECT_GT(frameEventsMade(), events + 100);
    EXPECT_EQ(inspector.log().added(), frameEventsMade() - events);
    inspector.close();
}

// Catches a garbled answer taken as good, a retry not shown as one, and an
// export that does not give back the table: with answers garbled, a bad
// frame is followed by the same request again (try 2) and, in the end, a
// good answer; the CSV parses back to the shown rows and the hex dump has a
// line each. The window is opened as users open it (launcher's Setup menu,
// monitor's button) and its picture is kept and checked for drawn rows.
TEST_F(FrameTrafficLine, GarbledAnswerShowsBadFrameRetryAndGoodAnswer)
{
    startLine({"--garble-rate", "0.3", "--seed", "11"});
    startProgram();
    MainForm::instance().FrameTraffic->trigger();
    auto *inspector =
        dynamic_cast<FrameTraffic *>(WindowRegistry::existing(WindowRegistry::FrameTraffic));
    ASSERT_NE(inspector, nullptr);
    EXPECT_TRUE(inspector->isVisible());
    // After the menu's own items, which keep their places.
    const QList<QAction *> setup = MainForm::instance().Setup->actions();
    EXPECT_GT(setup.indexOf(MainForm::instance().FrameTraffic),
              setup.indexOf(MainForm::instance().CommParams));
    inspector->close();
    MonitorForm::instance().cmdFrames->click();
    EXPECT_TRUE(inspector->isVisible());

    ZelkDevice &device = *ZelkGlobals::Device;
    auto *line = dynamic_cast<SerialBus *>(SharedLineDevice::behind(&device));
    ASSERT_NE(line, nullptr);
    line->setBlockReads(false);
    device.ClosePort();
    ASSERT_EQ(device.OpenPort(QStringLiteral("COM1")), CmdOk);
    qint16 v = 0;
    for (int i = 0; i < 12; ++i)
        device.GetCurrentLimit(UnitArg(1), qint16(1 + i % 5), v);
    inspector->refresh();

    int retried = 0, recovered = 0;
    for (int row = 0; row + 1 < inspector->shownRows(); ++row) {
        const QStringList bad = inspector->shownRow(row);
        if (!bad[C::Result].startsWith(QLatin1String("bad frame")))
            continue;
        EXPECT_EQ(bad[C::Crc], QStringLiteral("BAD"));
        const QStringList again = inspector->shownRow(row + 1);
        const QStringList first = inspector->shownRow(row - 1);
        if (first[C::Try].toInt() > Retries) { // the last try: the next call starts afresh
            EXPECT_EQ(again[C::Try], QStringLiteral("1"));
            continue;
        }
        EXPECT_EQ(again[C::Result], QStringLiteral("retry"));
        EXPECT_EQ(again[C::Bytes], first[C::Bytes]);
        EXPECT_EQ(again[C::Try].toInt(), first[C::Try].toInt() + 1);
        ++retried;
        // Until the next call: the good answer, if a retry got one.
        for (int next = row + 2; next < inspector->shownRows(); ++next) {
            const QStringList r = inspector->shownRow(next);
            if (r[C::Try] == QLatin1String("1"))
                break;
            if (r[C::Result] == QLatin1String("answer")) {
                EXPECT_EQ(r[C::Crc], QStringLiteral("good"));
                EXPECT_EQ(r[C::Method], first[C::Method]);
                ++recovered;
                break;
            }
        }
    }
    EXPECT_GT(retried, 0);
    EXPECT_GT(recovered, 0);

    const QString csv = env.path(QStringLiteral("frames.csv"));
    const QString dump = env.path(QStringLiteral("frames.txt"));
    env.dialogs.fileAnswers = {csv, dump};
    inspector->cmdExportCsv->click();
    inspector->cmdExportHex->click();
    const QStringList lines = linesOf(csv);
    ASSERT_EQ(lines.size(), inspector->shownRows() + 1);
    EXPECT_EQ(lines[0], FrameLog::csvHeader());
    for (int row = 0; row < inspector->shownRows(); ++row)
        EXPECT_EQ(lines[row + 1].split(QLatin1Char(',')), inspector->shownRow(row)) << row;
    const QStringList hexLines = linesOf(dump);
    ASSERT_EQ(hexLines.size(), inspector->shownRows());
    EXPECT_TRUE(hexLines[0].endsWith(inspector->shownRow(0)[C::Bytes]));

    inspector->resize(1280, 460);
    QCoreApplication::processEvents();
    const QImage picture = inspector->grab().toImage();
    picture.save(QDir(QCoreApplication::applicationDirPath())
                     .filePath(QStringLiteral("frame_inspector.png")));
    // Rows drawn: a shaded error row and dark text in the table's viewport.
    const QImage table =
        inspector->grdFrames->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    int shaded = 0, ink = 0;
    for (int y = 0; y < table.height(); ++y) {
        for (int x = 0; x < table.width(); ++x) {
            const QColor c = table.pixelColor(x, y);
            shaded += c == QColor(255, 224, 224);
            ink += c.lightness() < 80;
        }
    }
    EXPECT_GT(shaded, 1000);
    EXPECT_GT(ink, 1000);
    device.ClosePort();
}

namespace {

// A request of unit 1 at `ns` on the line's clock.
ModbusFrameEvent requestAt(qint64 ns)
{
    return {
        ModbusFrameEvent::Kind::Request, 1, QByteArray::fromHex("0103000900015408"), ns, false, 1};
}

} // namespace

// Catches a time column that cuts the times of a long watch ("10000...") or
// grows with them: times past 1,000 s and up to a day after the first frame
// fit, whole, in the column the window opens with. Catches too a view that
// stops following the newest row once the window was closed and opened again
// at another height, and one that pulls a user who scrolled up back down.
TEST(FrameTrafficWindow, LongWatchTimesFitAndNewRowsAreFollowedAfterReopening)
{
    FrameTraffic inspector;
    const int column = inspector.grdFrames->columnWidth(C::TimeMs);
    for (const qint64 s : {0, 1'234, 86'399})
        inspector.log().add(requestAt(s * 1'000'000'000 + 123'456'789));
    inspector.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&inspector));
    inspector.refresh();
    ASSERT_EQ(inspector.shownRows(), 3);
    EXPECT_EQ(inspector.shownRow(2)[C::TimeMs], QStringLiteral("86399000.000"));
    const QFontMetrics metrics = inspector.grdFrames->fontMetrics();
    // The cell's own margins, as the item delegate leaves them.
    const int margins =
        2 * (inspector.grdFrames->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1);
    for (int row = 0; row < inspector.shownRows(); ++row) {
        const QString time = inspector.shownRow(row)[C::TimeMs];
        EXPECT_LE(metrics.horizontalAdvance(time) + margins, column) << time.toStdString();
    }
    EXPECT_EQ(inspector.grdFrames->columnWidth(C::TimeMs), column);

    qint64 ns = 86'400'000'000'000;
    // The window takes them in on its next look, or as it closes.
    const auto comeIn = [&](int count) {
        for (int i = 0; i < count; ++i)
            inspector.log().add(requestAt(ns += 1'000'000));
    };
    const auto frames = [&](int count) {
        comeIn(count);
        inspector.refresh();
    };
    QScrollBar *bar = inspector.grdFrames->verticalScrollBar();
    const auto atBottom = [&] {
        return bar->maximum() > 0 && bar->value() == bar->maximum();
    };
    frames(200);
    EXPECT_TRUE(atBottom());

    // Opened again lower (a smaller screen, a window manager's choice): the
    // bottom moved away from the scroll position the view had.
    comeIn(20);
    inspector.close();
    inspector.resize(inspector.width(), inspector.height() - 120);
    inspector.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&inspector));
    frames(50);
    EXPECT_TRUE(atBottom()) << bar->value() << " of " << bar->maximum();

    bar->triggerAction(QAbstractSlider::SliderPageStepSub);
    const int readingAt = bar->value();
    frames(50);
    EXPECT_EQ(bar->value(), readingAt);
    inspector.close();
    inspector.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&inspector));
    frames(5);
    EXPECT_EQ(bar->value(), readingAt);

    bar->triggerAction(QAbstractSlider::SliderToMaximum);
    frames(50);
    EXPECT_TRUE(atBottom());
}
