// The editor's numeric validators on arbitrary texts, ratings and keys: a
// rule never accepts a value outside its range nor refuses one inside it, the
// texts it makes parse back to their numbers, a guarded box only ever takes
// what its key filter allows, and a refused value keeps the focus until it is
// corrected.
#include "FuzzApp.h"
#include "FuzzCheck.h"
#include "TestSeams.h"
#include "configfile/FieldRules.h"
#include "core/NumberText.h"
#include "core/ZelkGlobals.h"
#include "editor/FieldGuard.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QVBoxLayout>

#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdint>
#include <optional>

namespace {

using Rules = FieldRules;

// Ratings products land a hair off the decimals typed; the rules allow 1e-9.
constexpr double Slack = 2e-9;

TestEnvironment *g_env = nullptr;

std::optional<double> numberOf(const QString &text, const QString &sep)
{
    return NumberText::toDouble(text.trimmed(), sep);
}

bool closeTo(double a, double b, double relative)
{
    return std::fabs(a - b) <= relative * std::max({1.0, std::fabs(a), std::fabs(b)});
}

// A number as a message shows it reads back as that number.
void checkNumberText(double value, const QString &sep)
{
    if (!std::isfinite(value))
        return;
    const auto back = NumberText::toDouble(Rules::numberText(value, sep), sep);
    FUZZ_CHECK(back.has_value());
    FUZZ_CHECK(closeTo(*back, value, 1e-14));
}

// Whatever the rule, the parser agrees with the C locale on what it accepts.
void checkParser(const QString &text, const QString &sep)
{
    const auto value = NumberText::toDouble(text, sep);
    if (!value)
        return;
    QString plain = text.trimmed();
    plain.replace(sep.at(0), u'.');
    bool ok = false;
    const double c = QLocale::c().toDouble(plain, &ok);
    FUZZ_CHECK(ok);
    FUZZ_CHECK_EQ(c, *value);
}

void checkVerdictShape(const Rules::Verdict &v)
{
    // A refusal always says why.
    if (!v.accepted)
        FUZZ_CHECK(!v.message.isEmpty());
}

struct Ratings
{
    double minV = 0;
    double maxV = 0;
};

// A module's voltage range: any, or one whose low or high end, stretched by
// the rule's margin, lies right at the typed value or a hair off it, where a
// wrong comparison shows.
Ratings ratingsFor(FuzzedDataProvider &in, std::optional<double> typed, double lowScale,
                   double highScale)
{
    const int how = typed ? in.ConsumeIntegralInRange(0, 2) : 0;
    const double off = in.ConsumeBool() ? 0.0 : in.ConsumeFloatingPointInRange(-0.02, 0.02);
    const double width = in.ConsumeFloatingPointInRange(0.0, 60.0);
    if (how == 1) {
        const double maxV = *typed / highScale * (1.0 + off);
        return {maxV - width, maxV};
    }
    if (how == 2) {
        const double minV = *typed / lowScale * (1.0 + off);
        return {minV, minV + width};
    }
    const double minV = in.ConsumeFloatingPointInRange(0.0, 60.0);
    return {minV, minV + width};
}

void checkSetpoint(FuzzedDataProvider &in, const QString &text, const QString &sep)
{
    const int slider = in.ConsumeIntegralInRange(-100, 1000);
    const auto [minV, maxV] = ratingsFor(in, numberOf(text, sep), 1.0, 1.0);
    const Rules::Verdict v = Rules::setpoint(text, slider, minV, maxV, sep);
    checkVerdictShape(v);
    if (text.isEmpty()) {
        // The slider's value, in tenths, written out in the user's separator.
        const auto fromSlider = numberOf(v.text, sep);
        FUZZ_CHECK(fromSlider.has_value());
        FUZZ_CHECK(std::fabs(*fromSlider - slider / 10.0) < 1e-9);
    } else {
        FUZZ_CHECK_EQ(v.text, text);
    }
    const auto value = numberOf(v.text, sep);
    if (v.accepted) {
        FUZZ_CHECK(v.message.isEmpty());
        FUZZ_CHECK(value && *value == v.value);
        FUZZ_CHECK(v.value >= minV - Slack && v.value <= maxV + Slack);
    } else if (value) {
        FUZZ_CHECK(*value < minV || *value > maxV);
    }
    checkNumberText(minV, sep);
    checkNumberText(maxV, sep);
}

void checkLimits(FuzzedDataProvider &in, const QString &text, const QString &sep)
{
    const QString other = QString::fromStdString(in.ConsumeRandomLengthString(12));
    const auto [minV, maxV] =
        ratingsFor(in, numberOf(text, sep), 1.0 - Rules::LimitMargin, 1.0 + Rules::LimitMargin);
    const double lo = minV * (1.0 - Rules::LimitMargin);
    const double hi = maxV * (1.0 + Rules::LimitMargin);
    const Rules::Verdict high = Rules::highLimit(text, other, minV, maxV, sep);
    const Rules::Verdict low = Rules::lowLimit(text, other, minV, maxV, sep);
    const auto value = numberOf(text, sep);
    const double otherValue = numberOf(other, sep).value_or(0.0);
    for (const Rules::Verdict *v : {&high, &low}) {
        checkVerdictShape(*v);
        const bool isHigh = v == &high;
        if (!value) {
            // No number switches the limit off.
            FUZZ_CHECK(v->accepted && v->text == QLatin1String("0") && v->value == 0);
            continue;
        }
        FUZZ_CHECK_EQ(v->text, text);
        const bool ordered =
            otherValue == 0 || (isHigh ? *value > otherValue : *value < otherValue);
        if (v->accepted) {
            FUZZ_CHECK_EQ(v->value, *value);
            FUZZ_CHECK(*value == 0 || (*value >= lo - Slack && *value <= hi + Slack && ordered));
        } else {
            FUZZ_CHECK(*value != 0 && (*value < lo || *value > hi || !ordered));
        }
    }
    // The high limit above a low one means that low limit is below it.
    if (value && *value != 0 && otherValue != 0 && otherValue >= lo && otherValue <= hi &&
        *value >= lo && *value <= hi) {
        const Rules::Verdict mirrored = Rules::lowLimit(other, text, minV, maxV, sep);
        FUZZ_CHECK_EQ(mirrored.accepted, high.accepted);
    }
    checkNumberText(lo, sep);
    checkNumberText(hi, sep);
}

void checkCurrentLimit(FuzzedDataProvider &in, const QString &text, const QString &sep)
{
    const int scrollMax = in.ConsumeIntegralInRange(0, 400);
    const int scroll = in.ConsumeIntegralInRange(0, scrollMax);
    const Rules::Verdict v = Rules::currentLimit(text, scroll, scrollMax, sep);
    checkVerdictShape(v);
    if (text.isEmpty())
        FUZZ_CHECK(v.accepted && v.value == scroll);
    const auto value = numberOf(v.text, sep);
    if (v.accepted)
        FUZZ_CHECK(value && *value == v.value && v.value >= 0 && v.value <= scrollMax + Slack);
    else if (value)
        FUZZ_CHECK(*value < 0 || *value > scrollMax);
}

void checkTimes(const QString &text, const QString &sep)
{
    const auto value = numberOf(text, sep);
    const bool blank = text.trimmed().isEmpty();

    const Rules::Verdict delay = Rules::startUpDelay(text, sep);
    checkVerdictShape(delay);
    if (blank)
        FUZZ_CHECK(delay.accepted && delay.text == QLatin1String("0"));
    else if (delay.accepted)
        FUZZ_CHECK(value && delay.value == *value && *value >= 0 &&
                   *value <= Rules::MaxStartUpDelayMs);
    else
        FUZZ_CHECK(!value || *value < 0 || *value > Rules::MaxStartUpDelayMs);

    const Rules::Verdict time = Rules::limitTime(text, sep);
    checkVerdictShape(time);
    if (blank) {
        FUZZ_CHECK(time.accepted && time.text == QLatin1String("0"));
    } else if (time.accepted) {
        FUZZ_CHECK(value && time.value == *value && *value <= Rules::MaxLimitTimeMs);
        // A short time is taken, with a warning; a usual one without.
        FUZZ_CHECK_EQ(time.message.isEmpty(), *value >= Rules::ShortTimeSpanMs);
    } else {
        FUZZ_CHECK(!value || *value > Rules::MaxLimitTimeMs);
    }
    // A time marked for writing is one the unit can hold.
    if (Rules::limitTimeMarksChange(text, sep))
        FUZZ_CHECK(value && *value >= 0 && *value < Rules::MaxLimitTimeMs + 1);
}

void checkLimitButtons(int index)
{
    const int m = Rules::moduleOfLimitButton(index);
    if (index < 1 || index > 20) {
        FUZZ_CHECK_EQ(m, 0);
        return;
    }
    FUZZ_CHECK(m >= 1 && m <= 5);
    FUZZ_CHECK_EQ(Rules::limitButton(m, Rules::modeOfLimitButton(index)), index);
}

struct KeyPress
{
    int key = 0;
    QString text;
    Qt::KeyboardModifiers modifiers = Qt::NoModifier;
};

// A key a user may press in a field: digits, separators, other characters,
// editing and caret keys, a selection to type over, Enter.
KeyPress nextKey(FuzzedDataProvider &in)
{
    KeyPress k;
    switch (in.ConsumeIntegralInRange(0, 8)) {
    case 0: {
        const int digit = in.ConsumeIntegralInRange(0, 9);
        k.key = Qt::Key_0 + digit;
        k.text = QString::number(digit);
        break;
    }
    case 1:
        k.key = in.ConsumeBool() ? Qt::Key_Period : Qt::Key_Comma;
        k.text = QChar(k.key);
        break;
    case 2: {
        const QChar c(in.ConsumeIntegralInRange<char16_t>(0x20, 0x7e));
        k.key = c.toUpper().unicode();
        k.text = c;
        break;
    }
    case 3:
        k.key = Qt::Key_unknown;
        k.text = QChar(in.ConsumeIntegralInRange<char16_t>(0xa0, 0xd7ff));
        break;
    case 4:
        k.key = Qt::Key_Backspace;
        k.text = QStringLiteral("\b");
        break;
    case 5:
        k.key = Qt::Key_Delete;
        break;
    case 6:
        k.key = in.PickValueInArray({Qt::Key_Left, Qt::Key_Right, Qt::Key_Home, Qt::Key_End});
        break;
    case 7:
        k.key = in.ConsumeBool() ? Qt::Key_Home : Qt::Key_Left;
        k.modifiers = Qt::ShiftModifier; // a selection the next key types over
        break;
    default:
        k.key = Qt::Key_Return;
        k.text = QStringLiteral("\r");
        break;
    }
    return k;
}

void press(QWidget *target, const KeyPress &k)
{
    QKeyEvent event(QEvent::KeyPress, k.key, k.modifiers, k.text);
    QApplication::sendEvent(target, &event);
}

// Types keys into boxes guarded as the editor guards its fields.
void typeKeys(FuzzedDataProvider &in, const QString &sep)
{
    QLineEdit numeric, five, locked;
    locked.setText(QStringLiteral("12"));
    FieldGuard guard;
    guard.watch(&numeric, FieldGuard::Keys::Numeric);
    guard.watch(&five, FieldGuard::Keys::NumericFive);
    guard.watch(&locked, FieldGuard::Keys::None);
    const QChar separator = sep.at(0);
    const auto onlyNumeric = [&](const QString &text) {
        for (const QChar c : text) {
            if (!(c >= u'0' && c <= u'9') && c != separator)
                return false;
        }
        return true;
    };

    for (int n = 0; n < 24 && in.remaining_bytes() > 0; ++n) {
        const KeyPress k = nextKey(in);
        const QString &text = k.text;
        QLineEdit *box = in.PickValueInArray({&numeric, &five, &locked});
        const QString before = box->text();
        g_env->dialogs.shown.clear();
        press(box, k);
        const QString after = box->text();

        const bool typed = text.size() == 1 && text.at(0).unicode() >= 32;
        const bool digit = typed && text.at(0) >= u'0' && text.at(0) <= u'9';
        if (box == &locked) {
            FUZZ_CHECK_EQ(after, before);
            FUZZ_CHECK(g_env->dialogs.shown.empty());
            continue;
        }
        FUZZ_CHECK(onlyNumeric(after));
        // A refused character is explained once; digits never are.
        const bool refused = typed && !digit && text.at(0) != separator;
        FUZZ_CHECK_EQ(g_env->dialogs.shown.size(), std::size_t(refused ? 1 : 0));
        if (refused)
            FUZZ_CHECK_EQ(after, before);
        if (box == &five && (digit || text == QLatin1String(".")) && after.size() > before.size())
            FUZZ_CHECK(after.size() <= Rules::TimeBoxChars);
    }
}

// Two checked fields and a plain one in a shown window, as in the editor.
struct FocusWindow
{
    QWidget window;
    QLineEdit *delay = nullptr;   // checked as a current-limit delay
    QLineEdit *startUp = nullptr; // checked as a start-up delay
    QLineEdit *plain = nullptr;
    FieldGuard guard;
};
FocusWindow *g_focus = nullptr;

bool acceptedNow(const QWidget *field)
{
    const QString &sep = ZelkGlobals::DecimalSeparator;
    if (field == g_focus->delay)
        return Rules::limitTime(g_focus->delay->text(), sep).accepted;
    if (field == g_focus->startUp)
        return Rules::startUpDelay(g_focus->startUp->text(), sep).accepted;
    return true;
}

void openFocusWindow()
{
    g_focus = new FocusWindow;
    FocusWindow &w = *g_focus;
    auto *layout = new QVBoxLayout(&w.window);
    for (QLineEdit **field : {&w.delay, &w.startUp, &w.plain}) {
        *field = new QLineEdit;
        layout->addWidget(*field);
    }
    w.guard.watch(w.delay, FieldGuard::Keys::NumericFive,
                  [] { return acceptedNow(g_focus->delay); });
    w.guard.watch(w.startUp, FieldGuard::Keys::Numeric,
                  [] { return acceptedNow(g_focus->startUp); });
    w.window.show();
    w.window.activateWindow();
    for (int i = 0; i < 100 && !w.window.isActiveWindow(); ++i)
        QCoreApplication::processEvents();
    FUZZ_CHECK(w.window.isActiveWindow());
}

// Typing, moving between fields and actions that settle the fields, in any
// order: a refused value keeps the focus until it is corrected.
void walkFocus(FuzzedDataProvider &in)
{
    FocusWindow &w = *g_focus;
    for (QLineEdit *field : {w.delay, w.startUp, w.plain})
        field->clear();
    w.guard.forgetRefusal();
    w.plain->setFocus(Qt::OtherFocusReason);
    QCoreApplication::processEvents();
    FUZZ_CHECK(!w.guard.refusedField() && QApplication::focusWidget() == w.plain);

    for (int n = 0; n < 32 && in.remaining_bytes() > 0; ++n) {
        const QWidget *refusedBefore = w.guard.refusedField();
        switch (in.ConsumeIntegralInRange(0, 3)) {
        case 0:
        case 1:
            press(QApplication::focusWidget(), nextKey(in));
            break;
        case 2:
            in.PickValueInArray({w.delay, w.startUp, w.plain})
                ->setFocus(in.PickValueInArray(
                    {Qt::TabFocusReason, Qt::BacktabFocusReason, Qt::MouseFocusReason}));
            break;
        default: {
            const bool settled = w.guard.settle();
            FUZZ_CHECK_EQ(settled, !w.guard.refusedField());
            if (refusedBefore)
                FUZZ_CHECK(!settled);
            if (settled)
                FUZZ_CHECK(acceptedNow(QApplication::focusWidget()));
            break;
        }
        }
        QCoreApplication::processEvents();
        g_env->dialogs.shown.clear();
        if (const QWidget *refused = w.guard.refusedField())
            FUZZ_CHECK(QApplication::focusWidget() == refused);
        // A refused field lets go only of a value its check accepts.
        if (refusedBefore && w.guard.refusedField() != refusedBefore)
            FUZZ_CHECK(acceptedNow(refusedBefore));
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    startFuzzApplication();
    g_env = new TestEnvironment;
    openFocusWindow();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    const QString sep = in.ConsumeBool() ? QStringLiteral(",") : QStringLiteral(".");
    ZelkGlobals::DecimalSeparator = sep;
    const QString text = QString::fromStdString(in.ConsumeRandomLengthString(24));

    checkParser(text, sep);
    checkSetpoint(in, text, sep);
    checkLimits(in, text, sep);
    checkCurrentLimit(in, text, sep);
    checkTimes(text, sep);
    checkLimitButtons(in.ConsumeIntegralInRange(-2, 22));
    if (const auto value = numberOf(text, sep))
        checkNumberText(*value, sep);
    if (in.ConsumeBool())
        walkFocus(in);
    else
        typeKeys(in, sep);
    return 0;
}
