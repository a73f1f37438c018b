// Field checks and change marking in the window: each field reaches its rule
// with its module's ratings, what a refusal does to the focus and the text,
// which buttons an edit enables, the mode layouts and the key filters.
#include "EditorShown.h"
#include "WindowFixture.h"

#include <QTabBar>
#include <functional>

namespace {
using Validation = WindowFixture;
} // namespace

// Catches a refused value that reaches the unit once the user has moved to
// another tab or current-limit mode: every write checks what it sends, shows
// the field's message, brings its tab and focus back and writes nothing.
TEST_F(Validation, RefusalOutlivesTabAndModeSwitchesAndNothingIsWritten)
{
    SupplyConfig &e = editorRead();
    const auto clickTab = [&](int m) {
        QTabBar *bar = e.SSTab1(1)->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {},
                          bar->tabRect(SupplyConfig::tabOfModule(m)).center());
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
        {"set-point, another tab, apply all", e.vsp(2), "3",
         "3 is out of range, please enter value between 5 and 15", [&] { clickTab(1); }, e.cmdSave},
        {"current limit, Normal then Hiccup, module apply", e.CurrentLimit(2), "31",
         "31 is out of range, please enter value between 0 and 30",
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
        enterAndLeave(e.vsp(1), "3.3");
        c.move();
        record();
        EditorState::clearChangeFlags();
        const int before = env.dialogs.count();
        ASSERT_TRUE(c.apply->isEnabled());
        QTest::mouseClick(c.apply, Qt::LeftButton);
        EXPECT_TRUE(log->calls().empty()) << log->callTexts().join(QLatin1Char('\n')).toStdString();
        ASSERT_EQ(env.dialogs.count(), before + 1);
        EXPECT_EQ(env.dialogs.shown.back().text, c.message);
        EXPECT_TRUE(QTest::qWaitFor([&] { return c.field->hasFocus(); }, 2000));
        EXPECT_TRUE(e.SSTab1(1)->currentIndex() == SupplyConfig::tabOfModule(2) &&
                    !EditorState::ChangesWritten && c.apply->isEnabled());
        enterAndLeave(c.field, c.typed == "3" ? "12" : "24");
        QTest::mouseClick(e.cmdSave, Qt::LeftButton);
    }
}

// Catches a time box without the short-span warning or held by it, a sixth
// character or a letter that gets into a time box, a unit list that takes
// typed keys, a typed set-point cut to the slider's tenths after the slider
// was pushed against either end of its range, and a mode button that shows or
// hides the wrong current-limit controls.
TEST_F(Validation, KeyFiltersTypedSetpointAndEachModesControls)
{
    SupplyConfig &e = editorRead();
    showModule(2); // stored as Hiccup: both time boxes shown
    QCoreApplication::processEvents();
    enterAndLeave(e.cboxResetTime(2), "2");
    EXPECT_EQ(env.dialogs.texts(),
              QStringList{"2 is a short time span, this may lead to unexpected operation"});
    EXPECT_EQ(e.cboxResetTime(2)->currentText(), "2");
    QCoreApplication::processEvents(); // the queued focus change
    EXPECT_FALSE(e.cboxResetTime(2)->hasFocus());

    QComboBox *box = e.cboxActivationTime(2);
    box->setFocus(Qt::MouseFocusReason);
    box->setEditText("1234");
    box->lineEdit()->end(false);
    QTest::keyClicks(box, "56.");
    // A full box refuses silently.
    EXPECT_TRUE(box->currentText() == "12345" && env.dialogs.count() == 1);
    QTest::keyClick(box, Qt::Key_A);
    EXPECT_EQ(env.dialogs.texts().last(), "Please enter numeric values");
    EXPECT_EQ(box->currentText(), "12345");

    const int unitIndex = e.UnitList->currentIndex();
    e.UnitList->setFocus(Qt::MouseFocusReason);
    QTest::keyClick(e.UnitList, Qt::Key_Down);
    QTest::keyClick(e.UnitList, Qt::Key_3);
    EXPECT_EQ(e.UnitList->currentIndex(), unitIndex);

    for (Qt::Key end : {Qt::Key_End, Qt::Key_Home}) {
        QSlider *slider = e.slrVsp(2);
        slider->setFocus(Qt::MouseFocusReason);
        QTest::keyClick(slider, end);
        QTest::keyClick(slider, end); // already there: the slider does not move
        enterAndLeave(e.vsp(2), "12.34");
        EXPECT_TRUE(e.vsp(2)->text() == "12.34" && slider->value() == 123) << int(end);
    }
    record();
    QTest::mouseClick(e.cmdApplyCLM(1), Qt::LeftButton);
    EXPECT_TRUE(log->callTexts().contains("SetDefaultOutputVoltage(\"1\", 2, 12340) -> CMD_OK"))
        << log->callTexts().join(QLatin1Char('\n')).toStdString();

    QWidget *const limit = e.CurrentLimit(2), *const scroll = e.hscrollCurrentLimit(2),
                   *const activation = e.cboxActivationTime(2), *const reset = e.cboxResetTime(2),
                   *const resetCaption = e.LabelRT(2), *const enableReset = e.EnableReset(2);
    const struct
    {
        int button;
        std::vector<QWidget *> shown, hidden;
    } modes[] = {
        {4, {}, {limit, scroll, activation, reset, enableReset, e.Label5(2)}}, // Normal
        {6, {limit, scroll, activation, reset}, {enableReset}},                // Hiccup
        {5, {activation, enableReset}, {reset, resetCaption}},                 // Latching
        {17, {}, {limit, activation}},                                         // Current Share
    };
    for (const auto &mode : modes) {
        QTest::mouseClick(e.optCurrentLimit(mode.button), Qt::LeftButton);
        for (const auto &[widgets, shown] : {std::pair{mode.shown, true}, {mode.hidden, false}})
            for (QWidget *w : widgets)
                EXPECT_EQ(w->isVisibleTo(e.fraCurrentLimit(2)), shown)
                    << mode.button << " " << w->objectName().toStdString();
    }
}

// Catches an edit that enables the wrong apply button, sets the wrong change
// flag, or misses cmdSave; a field checked by another field's rule or
// ratings, a refusal that lets the focus go or clears the typed text, an
// accepted value that still pulls the focus back, or a message with the wrong
// title or icon.
TEST_F(Validation, EachEditEnablesItsButtonsAndARefusedValueKeepsFocusAndText)
{
    SupplyConfig &e = editorRead();
    showModule(2);
    QPushButton *const buttons[] = {e.cmdApply,       e.cmdSave,        e.cmdApplyCLM(0),
                                    e.cmdApplyCLM(1), e.cmdApplyCLM(2), e.cmdApplyCLM(3),
                                    e.cmdApplyCLM(4)};
    // The buttons enabled, then the change flags set.
    const auto pending = [&] {
        QStringList names;
        for (QPushButton *b : buttons)
            if (b->isEnabled())
                names << b->objectName();
        return (names.join(' ') + (EditorState::UnitOptionsChanged ? " unit" : "") +
                (EditorState::ModuleOptionsChanged ? " module" : ""))
            .toStdString();
    };
    EXPECT_EQ(pending(), ""); // nothing pending after a read
    const bool fanFail = e.optFanFail(0)->isChecked(), progMode = e.OptProgMode(3)->isChecked();
    const struct
    {
        const char *what;
        std::function<void()> act;
        const char *pending;
    } edits[] = {
        {"fan fail", [&] { onBox(e.optFanFail(fanFail)); }, "cmdApply cmdSave unit"},
        {"programming mode", [&] { onBox(e.OptProgMode(progMode ? 4 : 3)); },
         "cmdSave cmdApplyCLM_1 module"},
        {"set-point", [&] { enterAndLeave(e.vsp(2), "11"); }, "cmdSave cmdApplyCLM_1 module"},
        {"high limit", [&] { enterAndLeave(e.hl(2), "14"); }, "cmdSave cmdApplyCLM_1 module"},
        {"current limit", [&] { enterAndLeave(e.CurrentLimit(2), "20"); }, "cmdSave cmdApplyCLM_1"},
        {"reset time", [&] { enterAndLeave(e.cboxResetTime(2), "700"); }, "cmdSave cmdApplyCLM_1"},
        {"mode", [&] { onBox(e.optCurrentLimit(5)); }, "cmdSave cmdApplyCLM_1"},
        {"enable reset", [&] { onBox(e.EnableReset(2)); }, "cmdSave cmdApplyCLM_1"},
    };
    for (const auto &edit : edits) {
        SCOPED_TRACE(edit.what);
        for (QPushButton *b : buttons)
            b->setEnabled(false);
        EditorState::clearChangeFlags();
        QCoreApplication::processEvents(); // lay out what the last edit showed
        edit.act();
        EXPECT_EQ(pending(), edit.pending);
    }

    // Module 2 is rated 5 to 15 V and 30 A.
    const QString limits = QStringLiteral(
        "  is invalid value, should be between 4.375 (-12.5% of Min. Volt.) and 16.875 (+12.5% "
        "of Max. Volt.)  And ");
    struct Case
    {
        QWidget *field;
        QString text, message, good;
    };
    const Case cases[] = {
        {e.hl(2), "16.9", "16.9" + limits + "greater than Low-Limit [Or 0 to Disable]", "12"},
        {e.ll(2), "12", "12" + limits + "smaller than High-Limit [Or 0 to Disable]", "11"},
        {e.vsp(2), "15.5", "15.5 is out of range, please enter value between 5 and 15", "15"},
        {e.CurrentLimit(2), "31", "31 is out of range, please enter value between 0 and 30", "30"},
        {e.cboxActivationTime(2), "65536",
         "65536 is out of range, please enter value between 0ms and 65536ms", "65535"},
        {e.startupdelay(1), "65001",
         "65001 is out of range, please enter value between 0ms and 65000ms", "65000"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        if (c.field == e.startupdelay(1))
            showModule(1);
        const int before = env.dialogs.count();
        enterAndLeave(c.field, c.text);
        EXPECT_FALSE(c.field->hasFocus()); // it did leave
        ASSERT_EQ(env.dialogs.count(), before + 1);
        const ScriptedDialogs::Shown &box = env.dialogs.shown.back();
        EXPECT_EQ(box.text, c.message);
        EXPECT_TRUE(box.title == "Halvex Electronics" && box.icon == MsgIcon::Information);
        EXPECT_TRUE(QTest::qWaitFor([&] { return c.field->hasFocus(); }, 2000));
        EXPECT_EQ(lineOf(c.field)->text(), c.text);

        // A good value lets the focus go for good.
        enterAndLeave(c.field, c.good);
        QCoreApplication::processEvents(); // the queued focus change
        EXPECT_TRUE(env.dialogs.count() == before + 1 && !c.field->hasFocus());
    }
}
