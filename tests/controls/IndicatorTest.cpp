// Behaviour of the four indicators: truth values, blinking, clicks.
#include "controls/OstransBigSquareLed.h"
#include "controls/OstransLed.h"
#include "controls/OstransPushButton.h"
#include "controls/OstransSunkenSwitch.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {
constexpr qint16 True = OstransIndicator::True;
constexpr qint16 False = OstransIndicator::False;

struct Factory
{
    const char *name;
    const char *toolTip;
    std::function<std::unique_ptr<OstransIndicator>()> create;
    std::unique_ptr<OstransIndicator> operator()() const { return create(); }
};

// Names the variant in test output instead of printing the factory's bytes.
void PrintTo(const Factory &f, std::ostream *os)
{
    *os << f.name;
}

template<typename T> Factory make(const char *name, const char *toolTip = "")
{
    return {name, toolTip, [] {
                return std::make_unique<T>();
            }};
}

class EveryIndicator : public ::testing::TestWithParam<Factory>
{
};

INSTANTIATE_TEST_SUITE_P(
    Variants, EveryIndicator,
    ::testing::Values(make<OstransLed>("OstransLed"),
                      make<OstransBigSquareLed>("OstransBigSquareLed"),
                      make<OstransSunkenSwitch>("OstransSunkenSwitch"),
                      make<OstransPushButton>("OstransPushButton",
                                              "Click to switch Module Output ON/OFF")),
    [](const auto &info) { return std::string(info.param.name); });
} // namespace

// Catches a new indicator that starts lit, clickable or with its timer running, or
// a missing or reworded tooltip (only the output push button explains itself).
TEST_P(EveryIndicator, StartsUnlitDisabledAndStill)
{
    auto led = GetParam()();
    EXPECT_EQ(led->toolTip(), QLatin1String(GetParam().toolTip));
    EXPECT_EQ(led->Status(), True);
    EXPECT_EQ(led->shownPicture(), OstransIndicator::OffPicture);
    EXPECT_EQ(led->Enable(), False);
    EXPECT_FALSE(led->isEnabled());
    EXPECT_FALSE(led->Timer1()->isActive());
}

// Catches a click that is not raised, raised while disabled, or raised for the right button.
TEST_P(EveryIndicator, ClickRaisesMouseClickOnlyWhenEnabled)
{
    auto led = GetParam()();
    led->resize(40, 40);
    led->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(led.get()));
    QSignalSpy clicks(led.get(), &OstransIndicator::MouseClick);

    QTest::mouseClick(led.get(), Qt::LeftButton);
    EXPECT_EQ(clicks.count(), 0);

    led->setEnable(True);
    QTest::mouseClick(led.get(), Qt::LeftButton);
    EXPECT_EQ(clicks.count(), 1);
    QTest::mouseClick(led.get(), Qt::RightButton);
    EXPECT_EQ(clicks.count(), 1);

    led->setEnable(False);
    QTest::mouseClick(led.get(), Qt::LeftButton);
    EXPECT_EQ(clicks.count(), 1);
}

// Catches truth values taken as "non-zero" instead of exactly -1 and 0.
TEST(Indicator, OnlyMinusOneAndZeroAreTruthValues)
{
    OstransLed led;
    led.setEnable(1);
    EXPECT_EQ(led.Enable(), False);
    EXPECT_FALSE(led.isEnabled());
    led.setEnable(True);
    EXPECT_EQ(led.Enable(), True);
    EXPECT_TRUE(led.isEnabled());

    led.setBInterval(200);
    led.setBlinking(1);
    EXPECT_EQ(led.Blinking(), False);
    EXPECT_FALSE(led.Timer1()->isActive());

    led.setStatus(True);
    EXPECT_EQ(led.shownPicture(), OstransIndicator::OnPicture);
    led.setStatus(1);
    EXPECT_EQ(led.Status(), 1);
    EXPECT_EQ(led.shownPicture(), OstransIndicator::OffPicture);
}

// Catches an off-by-one at either end of the blink interval range, a timer left running at 0 ms
// when blinking starts before any interval, and a blink stopped with the lamp lit or its timer
// still running.
TEST(Indicator, BlinkIntervalAndTimer)
{
    OstransLed led;
    for (const auto &[set, kept] :
         {std::pair{99, 0}, {100, 100}, {10001, 100}, {10000, 10000}, {-1, 10000}}) {
        led.setBInterval(set);
        EXPECT_EQ(led.BInterval(), kept) << set;
    }
    OstransLed fresh;
    fresh.setBlinking(True);
    EXPECT_FALSE(fresh.Timer1()->isActive());
    fresh.setBInterval(300);
    EXPECT_TRUE(fresh.Timer1()->isActive());
    EXPECT_EQ(fresh.Timer1()->interval(), 300);
    fresh.setBInterval(99);
    EXPECT_EQ(fresh.Timer1()->interval(), 300);

    fresh.setStatus(True);
    fresh.setBlinking(False);
    EXPECT_EQ(fresh.Status(), False);
    EXPECT_EQ(fresh.shownPicture(), OstransIndicator::OffPicture);
    EXPECT_FALSE(fresh.Timer1()->isActive());
}

// Catches a blink that does not alternate, or runs at the wrong period.
TEST(Indicator, BlinksEvery500Milliseconds)
{
    OstransLed led;
    led.show();
    led.setStatus(True);
    led.setBInterval(500);
    led.setBlinking(True);
    QElapsedTimer clock;
    clock.start();

    // The first tick complements the Status it finds: lit becomes unlit.
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return led.shownPicture() == OstransIndicator::OffPicture; }, 2000));
    const qint64 firstTick = clock.elapsed();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return led.shownPicture() == OstransIndicator::OnPicture; }, 2000));
    const qint64 secondTick = clock.elapsed();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return led.shownPicture() == OstransIndicator::OffPicture; }, 2000));
    const qint64 thirdTick = clock.elapsed();

    EXPECT_GE(firstTick, 450);
    EXPECT_LE(firstTick, 900);
    EXPECT_GE(secondTick - firstTick, 400);
    EXPECT_LE(secondTick - firstTick, 900);
    EXPECT_GE(thirdTick - secondTick, 400);
    EXPECT_LE(thirdTick - secondTick, 900);
}

// Catches the bitwise complement of a stray Status (1 -> -2 -> 1) that never lights.
TEST(Indicator, BlinkingFromAStrayStatusStillLights)
{
    OstransLed led;
    led.setStatus(1);
    led.setBInterval(100);
    led.setBlinking(True);
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return led.shownPicture() == OstransIndicator::OnPicture; }, 1000));
    EXPECT_EQ(led.Status(), True);
}
