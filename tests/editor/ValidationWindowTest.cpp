// Field checks and change marking in the window: what a refusal does to the
// focus and the text, which buttons an edit enables, the mode layouts and
// the key filters.
#include "EditingFixture.h"

#include <QTabBar>
#include <functional>

namespace {
using Validation = EditingFixture;
const QString Title = QStringLiteral("Halvex Electronics");
} // namespace

// Catches a refusal that lets the focus go or clears the typed text, an
// accepted value that still pulls the focus back, or a message with the
// wrong title or icon.
TEST_F(Validation, RefusedValueKeepsFocusAndTextUntilCorrected)
{
    readUnit();
    SupplyConfig &e = editor();
    showModule(2);
    struct Case
    {
        QWidget *field;
        QString text;
        QString message;
        QString good;
    };
    const Case cases[] = {
        {e.hl(2), QStringLiteral("16.9"),
         QStringLiteral("16.9  is invalid value, should be between 4.375 (-12.5% of Min. Volt.) "
                        "and 16.875 (+12.5% of Max. Volt.)  And greater than Low-Limit [Or 0 to "
                        "Disable]"),
         QStringLiteral("14")},
        {e.vsp(2), QStringLiteral("15.5"),
         QStringLiteral("15.5 is out of range, please enter value between 5 and 15"),
         QStringLiteral("15")},
        {e.CurrentLimit(2), QStringLiteral("31"),
         QStringLiteral("31 is out of range, please enter value between 0 and 30"),
         QStringLiteral("30")},
        {e.cboxActivationTime(2), QStringLiteral("65536"),
         QStringLiteral("65536 is out of range, please enter value between 0ms and 65536ms"),
         QStringLiteral("65535")},
    };
    for (const Case &c : cases) {
        const int before = env.dialogs.count();
        enterAndLeave(c.field, c.text);
        EXPECT_FALSE(c.field->hasFocus()) << c.text.toStdString(); // it did leave
        ASSERT_EQ(env.dialogs.count(), before + 1) << c.text.toStdString();
        EXPECT_EQ(env.dialogs.shown.back().text, c.message);
        EXPECT_EQ(env.dialogs.shown.back().title, Title);
        EXPECT_EQ(env.dialogs.shown.back().icon, MsgIcon::Information);
        EXPECT_TRUE(QTest::qWaitFor([&] { return c.field->hasFocus(); }, 2000));
        EXPECT_EQ(lineOf(c.field)->text(), c.text);

        // A good value lets the focus go for good.
        enterAndLeave(c.field, c.good);
        EXPECT_EQ(env.dialogs.count(), before + 1);
        QTest::qWait(0);
        EXPECT_FALSE(c.field->hasFocus()) << c.good.toStdString();
    }

    // High limits at both margins and 0; a low limit equal to the high one.
    enterAndLeave(e.ll(2), QStringLiteral("0"));
    for (const QString &good :
         {QStringLiteral("4.375"), QStringLiteral("16.875"), QStringLiteral("0")}) {
        const int before = env.dialogs.count();
        enterAndLeave(e.hl(2), good);
        EXPECT_EQ(env.dialogs.count(), before) << good.toStdString();
        EXPECT_EQ(e.hl(2)->text(), good);
    }
    enterAndLeave(e.hl(2), QStringLiteral("12"));
    enterAndLeave(e.ll(2), QStringLiteral("12"));
    EXPECT_TRUE(env.dialogs.shown.back().text.endsWith(
        QStringLiteral("And smaller than High-Limit [Or 0 to Disable]")));
    EXPECT_TRUE(QTest::qWaitFor([&] { return e.ll(2)->hasFocus(); }, 2000));
    enterAndLeave(e.ll(2), QStringLiteral("11"));

    // Start-up delay of module 1: 65000 passes, 65001 and -1 (pasted) do not.
    showModule(1);
    const int before = env.dialogs.count();
    enterAndLeave(e.startupdelay(1), QStringLiteral("65000"));
    EXPECT_EQ(env.dialogs.count(), before);
    enterAndLeave(e.startupdelay(1), QStringLiteral("65001"));
    EXPECT_EQ(env.dialogs.shown.back().text,
              QStringLiteral("65001 is out of range, please enter value between 0ms and 65000ms"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return e.startupdelay(1)->hasFocus(); }, 2000));
    e.startupdelay(1)->setText(QStringLiteral("-1"));
    QTest::keyClick(e.startupdelay(1), Qt::Key_Tab);
    EXPECT_EQ(env.dialogs.shown.back().text,
              QStringLiteral("-1 is out of range, please enter value between 0ms and 65000ms"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return e.startupdelay(1)->hasFocus(); }, 2000));
    EXPECT_EQ(e.startupdelay(1)->text(), QStringLiteral("-1"));
}

// Catches a write button that sends a refused value: while a value waits
// for correction, Apply writes nothing.
TEST_F(Validation, ApplyWritesNothingWhileAValueIsRefused)
{
    readUnit();
    SupplyConfig &e = editor();
    showModule(2);
    record();
    enterAndLeave(e.hl(2), QStringLiteral("16.9"));
    ASSERT_TRUE(e.cmdApplyCLM(1)->isEnabled());
    QTest::mouseClick(e.cmdApplyCLM(1), Qt::LeftButton);
    EXPECT_TRUE(log->calls().empty());
    EXPECT_TRUE(QTest::qWaitFor([&] { return e.hl(2)->hasFocus(); }, 2000));
}

// Catches a refused value that reaches the unit once the user has moved to
// another tab or current-limit mode: every write checks what it sends, shows
// the field's message, brings its tab and focus back and writes nothing.
TEST_F(Validation, RefusalOutlivesTabAndModeSwitchesAndNothingIsWritten)
{
    readUnit();
    SupplyConfig &e = editor();
    const auto clickTab = [&](int m) {
        QTabBar *bar = e.SSTab1(1)->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {},
                          bar->tabRect(SupplyConfig::tabOfModule(m)).center());
    };
    const auto onBox = [](QAbstractButton *b) {
        QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(6, b->height() / 2));
    };
    struct Case
    {
        const char *road;
        QWidget *field;
        QString typed, message;
        std::function<void()> move; // what the user does after the refusal
        QPushButton *apply;
    };
    const Case cases[] = {
        {"set-point, another tab, apply all", e.vsp(2), QStringLiteral("3"),
         QStringLiteral("3 is out of range, please enter value between 5 and 15"),
         [&] { clickTab(1); }, e.cmdSave},
        {"current limit, Normal then Hiccup, module apply", e.CurrentLimit(2), QStringLiteral("31"),
         QStringLiteral("31 is out of range, please enter value between 0 and 30"),
         [&] {
             onBox(e.optCurrentLimit(4));
             onBox(e.optCurrentLimit(6));
             QCoreApplication::processEvents();
         },
         e.cmdApplyCLM(1)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.road);
        showModule(2);
        QCoreApplication::processEvents();
        enterAndLeave(c.field, c.typed);
        ASSERT_EQ(env.dialogs.shown.back().text, c.message);
        // Another module waits to be written too: apply all must not write it either.
        showModule(1);
        enterAndLeave(e.vsp(1), QStringLiteral("3.3"));
        c.move();
        record();
        EditorState::clearChangeFlags();
        const int before = env.dialogs.count();
        ASSERT_TRUE(c.apply->isEnabled());
        QTest::mouseClick(c.apply, Qt::LeftButton);
        EXPECT_TRUE(log->calls().empty()) << log->callTexts().join(QLatin1Char('\n')).toStdString();
        ASSERT_EQ(env.dialogs.count(), before + 1);
        EXPECT_EQ(env.dialogs.shown.back().text, c.message);
        EXPECT_EQ(e.SSTab1(1)->currentIndex(), SupplyConfig::tabOfModule(2));
        EXPECT_TRUE(QTest::qWaitFor([&] { return c.field->hasFocus(); }, 2000));
        EXPECT_FALSE(EditorState::ChangesWritten);
        EXPECT_TRUE(c.apply->isEnabled());
        enterAndLeave(c.field,
                      c.typed == QStringLiteral("3") ? QStringLiteral("12") : QStringLiteral("24"));
        QTest::mouseClick(e.cmdSave, Qt::LeftButton);
    }
}

// Catches a typed set-point cut to the slider's tenths after the slider was
// pushed against either end of its range.
TEST_F(Validation, TypedSetpointStaysAsTypedAfterTheSliderHitsAnEnd)
{
    readUnit();
    SupplyConfig &e = editor();
    showModule(2);
    QCoreApplication::processEvents();
    for (Qt::Key end : {Qt::Key_End, Qt::Key_Home}) {
        QSlider *slider = e.slrVsp(2);
        slider->setFocus(Qt::MouseFocusReason);
        QTest::keyClick(slider, end);
        QTest::keyClick(slider, end); // already there: the slider does not move
        enterAndLeave(e.vsp(2), QStringLiteral("12.34"));
        EXPECT_EQ(e.vsp(2)->text(), QStringLiteral("12.34")) << int(end);
        EXPECT_EQ(slider->value(), 123);
    }
    record();
    QTest::mouseClick(e.cmdApplyCLM(1), Qt::LeftButton);
    EXPECT_TRUE(log->callTexts().contains(
        QStringLiteral("SetDefaultOutputVoltage(\"1\", 2, 12340) -> CMD_OK")))
        << log->callTexts().join(QLatin1Char('\n')).toStdString();
}

// Catches a short time span taken without its warning, a sixth character
// that gets into a time box, and a unit list that takes typed keys.
TEST_F(Validation, TimeBoxesAndUnitListFilterKeys)
{
    readUnit();
    SupplyConfig &e = editor();
    showModule(2); // stored as Hiccup: both time boxes shown
    enterAndLeave(e.cboxResetTime(2), QStringLiteral("2"));
    EXPECT_EQ(env.dialogs.shown.back().text,
              QStringLiteral("2 is a short time span, this may lead to unexpected operation"));
    EXPECT_EQ(e.cboxResetTime(2)->currentText(), QStringLiteral("2"));
    QTest::qWait(0);
    EXPECT_FALSE(e.cboxResetTime(2)->hasFocus());

    QComboBox *box = e.cboxActivationTime(2);
    box->setFocus(Qt::MouseFocusReason);
    box->setEditText(QStringLiteral("1234"));
    box->lineEdit()->end(false);
    const int before = env.dialogs.count();
    QTest::keyClicks(box, QStringLiteral("56."));
    EXPECT_EQ(box->currentText(), QStringLiteral("12345"));
    EXPECT_EQ(env.dialogs.count(), before); // a full box refuses silently
    QTest::keyClick(box, Qt::Key_A);
    EXPECT_EQ(env.dialogs.shown.back().text, QStringLiteral("Please enter numeric values"));
    EXPECT_EQ(box->currentText(), QStringLiteral("12345"));

    const int unitIndex = e.UnitList->currentIndex();
    e.UnitList->setFocus(Qt::MouseFocusReason);
    QTest::keyClick(e.UnitList, Qt::Key_Down);
    QTest::keyClick(e.UnitList, Qt::Key_3);
    EXPECT_EQ(e.UnitList->currentIndex(), unitIndex);
}

// Catches a mode button that shows or hides the wrong current-limit
// controls.
TEST_F(Validation, CurrentLimitModeSetsTheLayout)
{
    readUnit();
    SupplyConfig &e = editor();
    showModule(2);
    const auto shown = [&](QWidget *w) {
        return w->isVisibleTo(e.fraCurrentLimit(2));
    };
    QTest::mouseClick(e.optCurrentLimit(4), Qt::LeftButton); // Normal
    for (QWidget *w :
         {static_cast<QWidget *>(e.CurrentLimit(2)),
          static_cast<QWidget *>(e.hscrollCurrentLimit(2)),
          static_cast<QWidget *>(e.cboxActivationTime(2)),
          static_cast<QWidget *>(e.cboxResetTime(2)), static_cast<QWidget *>(e.EnableReset(2)),
          static_cast<QWidget *>(e.Label5(2))})
        EXPECT_FALSE(shown(w)) << w->objectName().toStdString();
    QTest::mouseClick(e.optCurrentLimit(6), Qt::LeftButton); // Hiccup
    EXPECT_TRUE(shown(e.CurrentLimit(2)) && shown(e.hscrollCurrentLimit(2)));
    EXPECT_TRUE(shown(e.cboxActivationTime(2)) && shown(e.cboxResetTime(2)));
    EXPECT_FALSE(shown(e.EnableReset(2)));
    QTest::mouseClick(e.optCurrentLimit(5), Qt::LeftButton); // Latching
    EXPECT_TRUE(shown(e.cboxActivationTime(2)) && shown(e.EnableReset(2)));
    EXPECT_FALSE(shown(e.cboxResetTime(2)) || shown(e.LabelRT(2)));
    QTest::mouseClick(e.optCurrentLimit(17), Qt::LeftButton); // Current Share
    EXPECT_FALSE(shown(e.CurrentLimit(2)) || shown(e.cboxActivationTime(2)));
}

// Catches an edit that enables the wrong apply button, sets the wrong
// change flag, or misses cmdSave.
TEST_F(Validation, EachEditEnablesItsButtons)
{
    readUnit();
    SupplyConfig &e = editor();
    showModule(2);
    const auto clear = [&] {
        e.cmdApply->setEnabled(false);
        e.cmdSave->setEnabled(false);
        for (int i = 0; i <= 4; ++i)
            e.cmdApplyCLM(i)->setEnabled(false);
        EditorState::clearChangeFlags();
    };
    const auto enabled = [&] {
        QStringList names;
        for (QPushButton *b : {e.cmdApply, e.cmdSave, e.cmdApplyCLM(0), e.cmdApplyCLM(1),
                               e.cmdApplyCLM(2), e.cmdApplyCLM(3), e.cmdApplyCLM(4)})
            if (b->isEnabled())
                names << b->objectName();
        return names;
    };
    const QStringList unitButtons{QStringLiteral("cmdApply"), QStringLiteral("cmdSave")};
    const QStringList moduleButtons{QStringLiteral("cmdSave"), QStringLiteral("cmdApplyCLM_1")};
    EXPECT_TRUE(enabled().isEmpty()); // nothing pending after a read

    clear();
    QTest::mouseClick(e.optFanFail(e.optFanFail(0)->isChecked() ? 1 : 0), Qt::LeftButton);
    EXPECT_EQ(enabled(), unitButtons);
    EXPECT_TRUE(EditorState::UnitOptionsChanged && !EditorState::ModuleOptionsChanged);

    struct Edit
    {
        const char *what;
        std::function<void()> act;
        bool setsModuleFlag;
    };
    const Edit edits[] = {
        {"programming mode",
         [&] {
             QTest::mouseClick(e.OptProgMode(e.OptProgMode(3)->isChecked() ? 4 : 3),
                               Qt::LeftButton);
         },
         true},
        {"set-point", [&] { enterAndLeave(e.vsp(2), QStringLiteral("11")); }, true},
        {"high limit", [&] { enterAndLeave(e.hl(2), QStringLiteral("14")); }, true},
        {"current limit", [&] { enterAndLeave(e.CurrentLimit(2), QStringLiteral("20")); }, false},
        {"reset time", [&] { enterAndLeave(e.cboxResetTime(2), QStringLiteral("700")); }, false},
        {"mode", [&] { QTest::mouseClick(e.optCurrentLimit(5), Qt::LeftButton); }, false},
        {"enable reset",
         [&] {
             QCoreApplication::processEvents(); // lay out the box the mode just showed
             // on the box itself: the wide row beside its caption is no button
             QTest::mouseClick(e.EnableReset(2), Qt::LeftButton, {},
                               QPoint(6, e.EnableReset(2)->height() / 2));
         },
         false},
    };
    for (const Edit &edit : edits) {
        clear();
        edit.act();
        EXPECT_EQ(enabled(), moduleButtons) << edit.what;
        EXPECT_EQ(EditorState::ModuleOptionsChanged, edit.setsModuleFlag) << edit.what;
        EXPECT_FALSE(EditorState::UnitOptionsChanged) << edit.what;
    }
}
