// The indicators' behaviour (truth values, blinking, clicks), every picture
// of every control, checked for distinctness, and a gallery of the controls,
// checked for content and written to PNGs beside the test executable for a
// person to look at.
#include "controls/DigitPictures.h"
#include "controls/DisplayPictures.h"
#include "controls/Label3D.h"
#include "controls/OstransBigSquareLed.h"
#include "controls/OstransDisplay.h"
#include "controls/OstransLed.h"
#include "controls/OstransPushButton.h"
#include "controls/OstransSunkenSwitch.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGridLayout>
#include <QHash>
#include <QLabel>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

namespace {
constexpr qint16 True = OstransIndicator::True;
constexpr qint16 False = OstransIndicator::False;

// Every indicator with the tooltip it starts with: only the output push
// button explains itself.
struct IndicatorKind
{
    std::function<OstransIndicator *(QWidget *)> make;
    QString toolTip;
};
const IndicatorKind Indicators[] = {
    {[](QWidget *p) -> OstransIndicator * { return new OstransLed(p); }, {}},
    {[](QWidget *p) -> OstransIndicator * { return new OstransBigSquareLed(p); }, {}},
    {[](QWidget *p) -> OstransIndicator * { return new OstransSunkenSwitch(p); }, {}},
    {[](QWidget *p) -> OstransIndicator * { return new OstransPushButton(p); },
     QStringLiteral("Click to switch Module Output ON/OFF")},
};

// Draws one picture at size on the grey of the windows.
QImage renderPicture(const std::function<void(QPainter &, const QRectF &)> &draw, QSize size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(0xd4, 0xd0, 0xc8));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    draw(painter, QRectF(QPointF(0, 0), QSizeF(size)));
    return image;
}

// How many pixels of rect differ from the colour most of it has: the ink of
// a caption, a lamp's rim, a display's digits.
int inkedPixels(const QImage &image, const QRect &rect)
{
    QHash<QRgb, int> counts;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            ++counts[image.pixel(x, y)];
    return int(rect.width() * rect.height()) - *std::max_element(counts.cbegin(), counts.cend());
}

// Each indicator off and on at its own size and twice it, the display in both
// digit sets, and the 3D label in every Phase, each row with a caption.
std::unique_ptr<QWidget> buildGallery()
{
    auto gallery = std::make_unique<QWidget>();
    gallery->setAutoFillBackground(true);
    auto *grid = new QGridLayout(gallery.get());
    grid->setSpacing(10);
    const auto add = [grid](QWidget *w, int row, int column) {
        grid->addWidget(w, row, column, Qt::AlignCenter);
    };
    int row = 0;
    for (const IndicatorKind &kind : Indicators) {
        int column = 1;
        for (const int scale : {1, 2}) {
            for (const qint16 status : {OstransIndicator::False, OstransIndicator::True}) {
                OstransIndicator *indicator = kind.make(gallery.get());
                indicator->setFixedSize(indicator->sizeHint() * scale);
                indicator->setStatus(status);
                add(indicator, row, column++);
                if (column == 2)
                    add(new QLabel(indicator->metaObject()->className()), row, 0);
            }
        }
        ++row;
    }
    for (const qint16 set : {qint16(1), qint16(2)}) {
        add(new QLabel(QStringLiteral("OstransDisplay %1").arg(set)), row, 0);
        int column = 1;
        for (const char *text : {"12345", "67890", "12.5", "0.5", "0", "24.00", ""}) {
            auto *display = new OstransDisplay;
            display->setFixedSize(display->sizeHint());
            display->setFocusPolicy(Qt::NoFocus);
            display->TextValue(set, QString::fromLatin1(text));
            add(display, row, column++);
        }
        ++row;
    }
    add(new QLabel(QStringLiteral("Label3D")), row, 0);
    for (int phase = 0; phase < 4; ++phase) {
        auto *label = new Label3D;
        label->setFont(QFont(label->Font().family(), 14, QFont::Bold));
        label->setCaption(QStringLiteral("Phase %1").arg(phase));
        label->setPhase(phase);
        label->setAlignment(Label3D::Center);
        label->setBorderStyle(phase == 3 ? 1 : 0);
        label->setFixedSize(110, 34);
        label->setBackColor(0xA0A0A0);
        add(label, row, phase + 1);
    }
    return gallery;
}
} // namespace

// Catches two states of a control or two display pictures drawn alike (a wrong
// segment table, a set drawn in the other colour), a picture that draws
// nothing, and a control or caption that paints nothing on the offscreen
// platform, at one or at twice the pixel density; leaves the gallery PNGs.
TEST(Gallery, EveryPictureIsDistinctAndEveryControlShowsInTheGallery)
{
    QWidget host;
    std::vector<QImage> pictures;
    for (const IndicatorKind &kind : Indicators) {
        OstransIndicator *indicator = kind.make(&host);
        for (const int picture : {OstransIndicator::OnPicture, OstransIndicator::OffPicture}) {
            pictures.push_back(renderPicture(
                [&](QPainter &p, const QRectF &r) { indicator->drawPicture(p, r, picture); },
                {40, 40}));
            EXPECT_GT(inkedPixels(pictures.back(), pictures.back().rect()), 0)
                << indicator->metaObject()->className();
        }
    }
    for (int picture = 1; picture <= DisplayPictures::Count; ++picture)
        pictures.push_back(renderPicture(
            [&](QPainter &p, const QRectF &r) { DigitPictures::draw(p, r, picture); }, {22, 38}));
    for (std::size_t i = 0; i < pictures.size(); ++i)
        for (std::size_t j = i + 1; j < pictures.size(); ++j)
            EXPECT_NE(pictures[i], pictures[j]) << "pictures " << i << " and " << j;

    auto gallery = buildGallery();
    gallery->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(gallery.get()));
    const QImage image = gallery->grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(image.size(), gallery->size());
    QImage sharp(gallery->size() * 2, QImage::Format_RGB32);
    sharp.setDevicePixelRatio(2.0);
    gallery->render(&sharp);
    const QString folder = QCoreApplication::applicationDirPath();
    EXPECT_TRUE(image.save(folder + QStringLiteral("/controls_gallery.png")));
    EXPECT_TRUE(sharp.save(folder + QStringLiteral("/controls_gallery@2x.png")));

    int shown = 0;
    for (QWidget *w : gallery->findChildren<QWidget *>()) {
        if (!qobject_cast<QLabel *>(w) && !qobject_cast<OstransIndicator *>(w) &&
            !qobject_cast<OstransDisplay *>(w) && !qobject_cast<Label3D *>(w))
            continue;
        if (qobject_cast<Label3D *>(w->parentWidget()))
            continue; // the label's own two captions: the label stands for them
        ++shown;
        const QRect at(w->mapTo(gallery.get(), QPoint(0, 0)), w->size());
        const QString name = w->metaObject()->className();
        SCOPED_TRACE(name.toStdString());
        // A caption of a few letters, a lamp's rim, a digit's segments.
        EXPECT_GE(inkedPixels(image, at), 20);
        EXPECT_GE(inkedPixels(sharp, QRect(at.topLeft() * 2, at.size() * 2)), 80);
    }
    EXPECT_EQ(shown, 7 + 4 * 4 + 14 + 4); // captions, indicators, displays, 3D labels
}

// Catches truth values taken as "non-zero" instead of exactly -1 and 0, an
// off-by-one at either end of the blink interval range, a timer left running
// at 0 ms when blinking starts before any interval, and a blink stopped with
// the lamp lit or its timer still running; and a new indicator that starts
// lit, clickable or with its timer running, or a missing or reworded tooltip,
// and a click that is not raised, raised while disabled, or raised for the
// right button.
TEST(Indicator, TruthValuesIntervalsStartAndClicks)
{
    OstransLed led;
    led.setEnable(1);
    EXPECT_TRUE(led.Enable() == False && !led.isEnabled());
    led.setEnable(True);
    EXPECT_TRUE(led.Enable() == True && led.isEnabled());

    led.setBInterval(200);
    led.setBlinking(1);
    EXPECT_TRUE(led.Blinking() == False && !led.Timer1()->isActive());

    led.setStatus(True);
    EXPECT_EQ(led.shownPicture(), OstransIndicator::OnPicture);
    led.setStatus(1);
    EXPECT_TRUE(led.Status() == 1 && led.shownPicture() == OstransIndicator::OffPicture);

    for (const auto &[set, kept] :
         {std::pair{99, 200}, {100, 100}, {10001, 100}, {10000, 10000}, {-1, 10000}}) {
        led.setBInterval(set);
        EXPECT_EQ(led.BInterval(), kept) << set;
    }
    OstransLed fresh;
    fresh.setBlinking(True);
    EXPECT_FALSE(fresh.Timer1()->isActive());
    fresh.setBInterval(300);
    EXPECT_TRUE(fresh.Timer1()->isActive() && fresh.Timer1()->interval() == 300);
    fresh.setBInterval(99);
    EXPECT_EQ(fresh.Timer1()->interval(), 300);

    fresh.setStatus(True);
    fresh.setBlinking(False);
    EXPECT_TRUE(fresh.Status() == False && !fresh.Timer1()->isActive() &&
                fresh.shownPicture() == OstransIndicator::OffPicture);

    for (const auto &[make, toolTip] : Indicators) {
        const std::unique_ptr<OstransIndicator> led(make(nullptr));
        SCOPED_TRACE(led->metaObject()->className());
        EXPECT_EQ(led->toolTip(), toolTip);
        EXPECT_TRUE(led->Status() == True && led->shownPicture() == OstransIndicator::OffPicture &&
                    led->Enable() == False && !led->isEnabled() && !led->Timer1()->isActive());
        led->resize(40, 40);
        led->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(led.get()));
        QSignalSpy clicks(led.get(), &OstransIndicator::MouseClick);
        QList<qsizetype> counts; // after each click
        for (const auto &[enable, button] : {std::pair{False, Qt::LeftButton},
                                             {True, Qt::LeftButton},
                                             {True, Qt::RightButton},
                                             {False, Qt::LeftButton}}) {
            led->setEnable(enable);
            QTest::mouseClick(led.get(), button);
            counts << clicks.count();
        }
        EXPECT_EQ(counts, (QList<qsizetype>{0, 1, 1, 1}));
    }
}

// Catches a blink that does not alternate, or runs at the wrong period, and
// the bitwise complement of a stray Status (1 -> -2 -> 1) that never lights.
TEST(Indicator, BlinksEvery500MillisecondsAlsoFromAStrayStatus)
{
    OstransLed led;
    led.show();
    led.setStatus(1);
    led.setBInterval(500);
    led.setBlinking(True);
    QElapsedTimer clock;
    clock.start();

    // The first tick complements the Status it finds: the stray one lights.
    QList<qint64> ticks;
    for (const int picture :
         {OstransIndicator::OnPicture, OstransIndicator::OffPicture, OstransIndicator::OnPicture}) {
        ASSERT_TRUE(QTest::qWaitFor([&] { return led.shownPicture() == picture; }, 2000));
        ticks << clock.elapsed();
    }
    EXPECT_EQ(led.Status(), True);
    EXPECT_TRUE(ticks[0] >= 450 && ticks[0] <= 900) << ticks[0];
    for (int i = 1; i < 3; ++i)
        EXPECT_TRUE(ticks[i] - ticks[i - 1] >= 400 && ticks[i] - ticks[i - 1] <= 900) << i;
}
