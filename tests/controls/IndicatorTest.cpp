// Behaviour of the four indicators: truth values, blinking, clicks.
#include "controls/OstransBigSquareLed.h"
#include "controls/OstransLed.h"
#include "controls/OstransPushButton.h"
#include "controls/OstransSunkenSwitch.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

namespace {
constexpr qint16 True = OstransIndicator::True;
constexpr qint16 False = OstransIndicator::False;

// Every indicator with the tooltip it starts with: only the output push
// button explains itself.
std::vector<std::pair<std::unique_ptr<OstransIndicator>, QString>> everyIndicator()
{
    std::vector<std::pair<std::unique_ptr<OstransIndicator>, QString>> all;
    all.emplace_back(std::make_unique<OstransLed>(), QString());
    all.emplace_back(std::make_unique<OstransBigSquareLed>(), QString());
    all.emplace_back(std::make_unique<OstransSunkenSwitch>(), QString());
    all.emplace_back(std::make_unique<OstransPushButton>(), "Click to switch Module Output ON/OFF");
    return all;
}
} // namespace

// Catches a new indicator that starts lit, clickable or with its timer
// running, or a missing or reworded tooltip; and a click that is not raised,
// raised while disabled, or raised for the right button.
TEST(EveryIndicator, StartsUnlitDisabledAndStillAndClicksOnlyWhenEnabled)
{
    for (const auto &[led, toolTip] : everyIndicator()) {
        SCOPED_TRACE(led->metaObject()->className());
        EXPECT_EQ(led->toolTip(), toolTip);
        EXPECT_EQ(led->Status(), True);
        EXPECT_EQ(led->shownPicture(), OstransIndicator::OffPicture);
        EXPECT_TRUE(led->Enable() == False && !led->isEnabled() && !led->Timer1()->isActive());
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

// Catches truth values taken as "non-zero" instead of exactly -1 and 0, an
// off-by-one at either end of the blink interval range, a timer left running
// at 0 ms when blinking starts before any interval, and a blink stopped with
// the lamp lit or its timer still running.
TEST(Indicator, OnlyMinusOneAndZeroAreTruthValuesAndIntervalsStayInRange)
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
    EXPECT_EQ(led.Status(), 1);
    EXPECT_EQ(led.shownPicture(), OstransIndicator::OffPicture);

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
    EXPECT_TRUE(fresh.Status() == False && !fresh.Timer1()->isActive());
    EXPECT_EQ(fresh.shownPicture(), OstransIndicator::OffPicture);
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
