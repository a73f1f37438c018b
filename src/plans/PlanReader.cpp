#include "plans/PlanReader.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <algorithm>
#include <climits>
#include <cmath>
#include <string_view>
#include <vector>

namespace PlanReader {
namespace {

using Words = std::vector<std::string_view>;

QString text(std::string_view s)
{
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

QString quoted(std::string_view s)
{
    return u'"' + text(s) + u'"';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// The offset of the first byte that is no part of well-formed UTF-8 text (a
// NUL counts as such), or npos.
std::size_t firstBinaryByte(std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c == 0)
            return i;
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t length = 0;
        unsigned char low = 0x80, high = 0xBF; // the second byte's range
        if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            low = c == 0xE0 ? 0xA0 : 0x80;  // no overlong form
            high = c == 0xED ? 0x9F : 0xBF; // no surrogate
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            low = c == 0xF0 ? 0x90 : 0x80;
            high = c == 0xF4 ? 0x8F : 0xBF; // nothing past U+10FFFF
        } else {
            return i;
        }
        if (i + length > s.size())
            return i;
        for (std::size_t k = 1; k < length; ++k) {
            const auto b = static_cast<unsigned char>(s[i + k]);
            if (k == 1 ? (b < low || b > high) : (b < 0x80 || b > 0xBF))
                return i;
        }
        i += length;
    }
    return std::string_view::npos;
}

qsizetype characters(std::string_view s)
{
    qsizetype n = 0;
    for (const char c : s)
        n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

// The words of a line up to its comment: a '#' that starts a word.
Words split(std::string_view line)
{
    Words words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && isBlank(line[i]))
            ++i;
        if (i == line.size() || line[i] == '#')
            break;
        const std::size_t start = i;
        while (i < line.size() && !isBlank(line[i]))
            ++i;
        words.push_back(line.substr(start, i - start));
    }
    return words;
}

QString tooLarge(qint64 bytes)
{
    return QStringLiteral("the file is %1 bytes: a plan is at most 1 MiB (%2 bytes)")
        .arg(bytes)
        .arg(MaxFileBytes);
}

// A count or total for a message; one that no run could reach is not worth its digits.
QString amount(double value)
{
    if (!std::isfinite(value) || value >= 1e15)
        return QStringLiteral("more than a million billion");
    return QString::number(qint64(value));
}

QString days(double ms)
{
    const double d = ms / (24.0 * 60 * 60 * 1000);
    if (!std::isfinite(d) || d >= 1e12)
        return QStringLiteral("more than a million million days");
    return QString::number(d, 'f', 1) + QStringLiteral(" days");
}

QString decimal(double value)
{
    // Fixed notation: the reader takes no exponent.
    return QString::number(value, 'f', QLocale::FloatingPointShortest);
}

// What a value must be written as, for the messages that say how.
enum class Measure { Volts, Amperes, Tolerance, Duration };

struct Unit
{
    std::string_view symbol;
    Measure measure;
    double factor; // to volts, amperes, percent or milliseconds
    bool percent = false;
};

constexpr Unit Units[] = {
    {"V", Measure::Volts, 1},           {"A", Measure::Amperes, 1},
    {"%", Measure::Tolerance, 1, true}, {"ms", Measure::Duration, 1},
    {"s", Measure::Duration, 1000},     {"min", Measure::Duration, 60000},
};

QString measureName(Measure m)
{
    switch (m) {
    case Measure::Volts:
        return QStringLiteral("volts");
    case Measure::Amperes:
        return QStringLiteral("amperes");
    case Measure::Tolerance:
        return QStringLiteral("a tolerance");
    case Measure::Duration:
        break;
    }
    return QStringLiteral("a duration");
}

// How to write `number` as m.
QString howToWrite(Measure m, const QString &number)
{
    switch (m) {
    case Measure::Volts:
        return QStringLiteral("write volts as %1V").arg(number);
    case Measure::Amperes:
        return QStringLiteral("write amperes as %1A").arg(number);
    case Measure::Tolerance:
        return QStringLiteral("write a tolerance in volts or percent, as %1V or %1%").arg(number);
    case Measure::Duration:
        break;
    }
    return QStringLiteral("write a duration as %1ms, %1s or %1min").arg(number);
}

QString examples(Measure m)
{
    switch (m) {
    case Measure::Volts:
        return QStringLiteral("5.1V");
    case Measure::Amperes:
        return QStringLiteral("1.5A");
    case Measure::Tolerance:
        return QStringLiteral("0.05V or 2%");
    case Measure::Duration:
        break;
    }
    return QStringLiteral("200ms, 5s or 2min");
}

struct Quantity
{
    double value = 0; // volts, amperes, percent or milliseconds
    bool percent = false;
};

struct Usage
{
    std::string_view keyword;
    const char *form;
    const char *example;
};

constexpr Usage Usages[] = {
    {"plan", "plan NAME", "plan Burn-in 12V line"},
    {"stop-on-fail", "stop-on-fail", "stop-on-fail"},
    {"stop-on-alarm", "stop-on-alarm ALARM...", "stop-on-alarm over-temp fan-fail"},
    {"poll", "poll INTERVAL", "poll 500ms"},
    {"apply", "apply FILE [section NAME]", "apply line-a.ini section PS1"},
    {"require", "require FILE [section NAME]", "require golden.ini"},
    {"setpoint", "setpoint MODULE VOLTS", "setpoint 1 5.1V"},
    {"output", "output MODULE on|off", "output 1 on"},
    {"global", "global on|off", "global on"},
    {"ramp", "ramp MODULE FROM to TO step STEP dwell DURATION",
     "ramp 1 3V to 5V step 0.5V dwell 200ms"},
    {"hold", "hold DURATION", "hold 30s"},
    {"voltage", "check voltage MODULE within TOLERANCE", "check voltage 1 within 2%"},
    {"current", "check current MODULE between LOW and HIGH", "check current 1 between 0.5A and 2A"},
    {"good", "check good MODULE", "check good 1"},
    {"no-alarm", "check no-alarm", "check no-alarm"},
    {"hours", "check hours", "check hours"},
    {"repeat", "repeat COUNT", "repeat 10"},
    {"finally", "finally", "finally"},
    {"end", "end", "end"},
};

QString usage(std::string_view keyword)
{
    for (const Usage &u : Usages) {
        if (u.keyword != keyword)
            continue;
        if (std::string_view(u.form) == u.example)
            return QStringLiteral("write %1 alone").arg(QLatin1String(u.form));
        return QStringLiteral("write %1, e.g. %2")
            .arg(QLatin1String(u.form), QLatin1String(u.example));
    }
    return {};
}

constexpr std::string_view HeaderWords[] = {"plan", "stop-on-fail", "stop-on-alarm", "poll"};
constexpr std::string_view StepWords[] = {"apply",  "require", "setpoint", "output",
                                          "global", "ramp",    "hold",     "check",
                                          "repeat", "finally", "end"};

template<std::size_t N> bool among(const std::string_view (&list)[N], std::string_view word)
{
    for (std::string_view w : list) {
        if (w == word)
            return true;
    }
    return false;
}

bool sameIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) {
            return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
        };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

struct Totals
{
    double actions = 0;
    double waitMs = 0;
};

// The set-points a ramp sends, counted as the runner steps it
// (PlanRunner::rampPoints): the k-th from FROM, rounded to a microvolt, and
// the first that reaches TO replaced by TO. Counted without stepping, in a
// double: a ramp whose step lost its decimal point may have more than any
// integer holds.
double rampPointCount(const PlanStep &s)
{
    const double direction = s.to >= s.from ? 1 : -1;
    const auto reaches = [&](double k) {
        const double v = std::nearbyint((s.from + direction * s.step * k) * 1e6) / 1e6;
        return direction > 0 ? v >= s.to - 1e-9 : v <= s.to + 1e-9;
    };
    // A microvolt past TO has surely reached it.
    double low = 0;
    double high = std::ceil((std::abs(s.to - s.from) + 1e-6) / s.step) + 1;
    if (!(high < 1e15))
        return high;
    while (low < high) {
        const double middle = std::floor((low + high) / 2);
        if (reaches(middle))
            high = middle;
        else
            low = middle + 1;
    }
    return low + 1;
}

Totals totals(const std::vector<PlanStep> &steps)
{
    Totals t;
    for (const PlanStep &s : steps) {
        switch (s.kind) {
        case PlanStep::Kind::Repeat: {
            const Totals body = totals(s.body);
            t.actions += body.actions * s.count;
            t.waitMs += body.waitMs * s.count;
            break;
        }
        case PlanStep::Kind::Ramp: {
            const double points = rampPointCount(s);
            t.actions += points;
            t.waitMs += points * s.dwellMs;
            break;
        }
        case PlanStep::Kind::Hold:
            t.actions += 1;
            t.waitMs += s.durationMs;
            break;
        default:
            t.actions += 1;
        }
    }
    return t;
}

class Reader
{
public:
    explicit Reader(const QString &path)
    {
        if (!path.isEmpty()) {
            const QFileInfo info(path);
            m_plan.path = info.absoluteFilePath();
            m_plan.name = info.completeBaseName();
        }
    }

    Result read(const QByteArray &bytes);

private:
    struct Block
    {
        bool isFinally = false;
        int line = 0;
        PlanStep repeat; // when not finally
        // A repeat nested too deep: kept open only so that its end closes
        // it, its steps never reach the plan.
        bool dropped = false;
        int issuesBefore = 0; // said before it opened
    };

    void issue(int line, const QString &reason)
    {
        if (m_issues.size() < MaxIssues)
            m_issues.push_back({line, reason});
        else
            ++m_leftOut;
    }
    void issue(const QString &reason) { issue(m_line, reason); }
    int issueCount() const { return int(m_issues.size()) + m_leftOut; }

    void statement(const Words &w);
    void header(const Words &w);
    void step(const Words &w);
    void check(const Words &w, PlanStep &s);
    void end();
    void closeUnended();
    void checkLength();
    bool count(const Words &w, std::size_t n, std::string_view use);
    bool keyword(const Words &w, std::size_t at, std::string_view expected, std::string_view use);

    std::optional<Quantity> quantity(std::string_view word, Measure m);
    std::optional<double> volts(std::string_view word);
    std::optional<int> duration(std::string_view word, int minMs, int maxMs, const QString &range);
    std::optional<int> module(std::string_view word);
    std::optional<bool> onOff(std::string_view word);
    std::vector<PlanStep> &target();

    TestPlan m_plan;
    QList<PlanIssue> m_issues;
    int m_leftOut = 0;
    int m_line = 0;
    std::vector<Block> m_open;
    int m_firstStepLine = 0; // 0 while still in the header
    // Where each header statement was first given, 0 while it was not.
    int m_planLine = 0, m_stopOnFailLine = 0, m_stopOnAlarmLine = 0, m_pollLine = 0;
    int m_finallyLine = 0;
};

std::vector<PlanStep> &Reader::target()
{
    if (m_open.empty())
        return m_plan.steps;
    if (m_open.back().isFinally)
        return m_plan.finallySteps;
    return m_open.back().repeat.body;
}

// Exactly n words, else the issue saying what is missing or extra.
bool Reader::count(const Words &w, std::size_t n, std::string_view use)
{
    if (w.size() < n) {
        issue(QStringLiteral("a value is missing: %1").arg(usage(use)));
        return false;
    }
    if (w.size() > n) {
        // "12 V": the unit parted from its number reads as one value too many.
        for (std::size_t i = 1; i + 1 < w.size(); ++i) {
            const bool number = !w[i].empty() && std::all_of(w[i].begin(), w[i].end(), [](char c) {
                return isDigit(c) || c == '.';
            });
            const bool unit = std::any_of(std::begin(Units), std::end(Units),
                                          [&](const Unit &u) { return u.symbol == w[i + 1]; });
            if (number && unit) {
                issue(QStringLiteral("\"%1 %2\": write the unit straight after the number: %1%2")
                          .arg(text(w[i]), text(w[i + 1])));
                return false;
            }
        }
        issue(QStringLiteral("extra value %1: %2").arg(quoted(w[n]), usage(use)));
        return false;
    }
    return true;
}

bool Reader::keyword(const Words &w, std::size_t at, std::string_view expected,
                     std::string_view use)
{
    if (w[at] == expected)
        return true;
    issue(QStringLiteral("%1 where \"%2\" belongs: %3")
              .arg(quoted(w[at]), text(expected), usage(use)));
    return false;
}

std::optional<Quantity> Reader::quantity(std::string_view word, Measure m)
{
    if (!word.empty() && word.front() == '-') {
        issue(QStringLiteral("%1 is negative: values in a plan are never below 0 (a ramp goes "
                             "down when FROM is above TO)")
                  .arg(quoted(word)));
        return std::nullopt;
    }
    std::size_t i = 0;
    bool digits = false;
    while (i < word.size() && isDigit(word[i])) {
        ++i;
        digits = true;
    }
    if (i < word.size() && word[i] == '.') {
        ++i;
        while (i < word.size() && isDigit(word[i])) {
            ++i;
            digits = true;
        }
    }
    if (!digits) {
        issue(QStringLiteral("%1 is not %2: write a number and its unit, e.g. %3")
                  .arg(quoted(word), measureName(m), examples(m)));
        return std::nullopt;
    }
    const std::string_view number = word.substr(0, i);
    const std::string_view symbol = word.substr(i);
    if (!symbol.empty() && symbol.front() == ',' && symbol.size() > 1 && isDigit(symbol[1])) {
        QString fixed = text(word);
        fixed[qsizetype(i)] = u'.';
        issue(QStringLiteral("%1: the decimal point is \".\" in a plan, whatever the language: "
                             "write %2")
                  .arg(quoted(word), fixed));
        return std::nullopt;
    }
    if (symbol.empty()) {
        issue(QStringLiteral("%1 has no unit: %2").arg(quoted(word), howToWrite(m, text(number))));
        return std::nullopt;
    }
    const Unit *unit = nullptr;
    for (const Unit &u : Units) {
        if (u.symbol == symbol && (u.measure == m || (m == Measure::Tolerance && u.symbol == "V")))
            unit = &u;
    }
    // Units of a size the plan does not take, said in the ones it does.
    const struct
    {
        std::string_view symbol;
        Measure measure;
        double factor;
        const char *as;
    } Conversions[] = {{"h", Measure::Duration, 60, "min"},
                       {"mV", Measure::Volts, 0.001, "V"},
                       {"mV", Measure::Tolerance, 0.001, "V"},
                       {"mA", Measure::Amperes, 0.001, "A"}};
    for (const auto &c : Conversions) {
        if (!unit && c.symbol == symbol && c.measure == m) {
            const double value = QByteArray(number.data(), qsizetype(number.size())).toDouble();
            issue(QStringLiteral("%1: a plan does not take %2: write %3%4")
                      .arg(quoted(word), text(symbol), decimal(value * c.factor),
                           QLatin1String(c.as)));
            return std::nullopt;
        }
    }
    if (!unit) {
        issue(QStringLiteral("%1 is not %2: %3")
                  .arg(quoted(word), measureName(m), howToWrite(m, text(number))));
        return std::nullopt;
    }
    bool ok = false;
    const double value = QByteArray(number.data(), qsizetype(number.size())).toDouble(&ok);
    if (!ok || !std::isfinite(value * unit->factor)) {
        issue(QStringLiteral("%1 is too large").arg(quoted(word)));
        return std::nullopt;
    }
    return Quantity{value * unit->factor, unit->percent};
}

std::optional<double> Reader::volts(std::string_view word)
{
    const auto q = quantity(word, Measure::Volts);
    return q ? std::optional(q->value) : std::nullopt;
}

std::optional<int> Reader::duration(std::string_view word, int minMs, int maxMs,
                                    const QString &range)
{
    const auto q = quantity(word, Measure::Duration);
    if (!q)
        return std::nullopt;
    const double ms = std::round(q->value);
    if (std::abs(ms - q->value) > 1e-6) {
        issue(QStringLiteral("%1 is not whole milliseconds: a duration is counted in ms")
                  .arg(quoted(word)));
        return std::nullopt;
    }
    if (ms < minMs || ms > maxMs) {
        issue(QStringLiteral("%1 is out of range: %2").arg(quoted(word), range));
        return std::nullopt;
    }
    return int(ms);
}

std::optional<int> Reader::module(std::string_view word)
{
    if (word.size() == 1 && word[0] >= '1' && word[0] <= '5')
        return word[0] - '0';
    issue(QStringLiteral("%1 is not a module: modules are numbered 1 to 5").arg(quoted(word)));
    return std::nullopt;
}

std::optional<bool> Reader::onOff(std::string_view word)
{
    if (word == "on" || word == "off")
        return word == "on";
    issue(QStringLiteral("%1: write on or off (lower-case)").arg(quoted(word)));
    return std::nullopt;
}

void Reader::statement(const Words &w)
{
    const std::string_view first = w.front();
    if (among(HeaderWords, first))
        return header(w);
    if (among(StepWords, first))
        return step(w);
    for (std::string_view known : HeaderWords) {
        if (sameIgnoringCase(first, known))
            return issue(QStringLiteral("%1: statements are lower-case: write %2")
                             .arg(quoted(first), text(known)));
    }
    for (std::string_view known : StepWords) {
        if (sameIgnoringCase(first, known))
            return issue(QStringLiteral("%1: statements are lower-case: write %2")
                             .arg(quoted(first), text(known)));
    }
    issue(QStringLiteral("%1 is not a statement: a step is one of apply, require, setpoint, "
                         "output, global, ramp, hold, check, repeat, finally and end; before "
                         "the steps come plan, stop-on-fail, stop-on-alarm and poll")
              .arg(quoted(first)));
}

void Reader::header(const Words &w)
{
    const std::string_view what = w.front();
    if (m_firstStepLine) {
        issue(QStringLiteral("%1 after the first step (line %2): the plan's settings come before "
                             "its steps")
                  .arg(text(what))
                  .arg(m_firstStepLine));
    }
    int &first = what == "plan"            ? m_planLine
                 : what == "stop-on-fail"  ? m_stopOnFailLine
                 : what == "stop-on-alarm" ? m_stopOnAlarmLine
                                           : m_pollLine;
    if (first) {
        issue(QStringLiteral("%1 given twice: it was given at line %2 already")
                  .arg(text(what))
                  .arg(first));
    } else {
        first = m_line;
    }

    if (what == "plan") {
        if (w.size() < 2)
            return issue(QStringLiteral("the plan's name is missing: %1").arg(usage(what)));
        // The rest of the line as written, blanks inside it kept.
        const char *begin = w[1].data();
        const char *end = w.back().data() + w.back().size();
        m_plan.name = text(std::string_view(begin, std::size_t(end - begin)));
    } else if (what == "stop-on-fail") {
        if (count(w, 1, what))
            m_plan.stopOnFail = true;
    } else if (what == "stop-on-alarm") {
        if (w.size() < 2)
            return issue(QStringLiteral("no alarm named: %1").arg(usage(what)));
        for (std::size_t i = 1; i < w.size(); ++i) {
            std::optional<PlanAlarm> alarm;
            if (w[i] == "over-temp")
                alarm = PlanAlarm::OverTemp;
            else if (w[i] == "fan-fail")
                alarm = PlanAlarm::FanFail;
            else if (w[i] == "ac-fail")
                alarm = PlanAlarm::AcFail;
            else if (w[i] == "dc-good")
                alarm = PlanAlarm::DcGood;
            if (!alarm)
                issue(QStringLiteral("%1 is not an alarm: the alarms are over-temp, fan-fail, "
                                     "ac-fail and dc-good")
                          .arg(quoted(w[i])));
            else if (!m_plan.stopOnAlarms.contains(*alarm))
                m_plan.stopOnAlarms.push_back(*alarm);
        }
    } else if (count(w, 2, what)) {
        if (const auto ms = duration(w[1], 100, 60000, QStringLiteral("poll from 100ms to 60s")))
            m_plan.pollMs = *ms;
    }
}

void Reader::step(const Words &w)
{
    const std::string_view what = w.front();
    if (what == "end")
        return count(w, 1, what) ? end() : void();
    if (!m_firstStepLine)
        m_firstStepLine = m_line;

    const bool inFinally = !m_open.empty() && m_open.front().isFinally;
    if (what == "finally") {
        if (!m_open.empty()) {
            issue(QStringLiteral("finally inside the block opened at line %1: a finally block "
                                 "stands on its own, outside any repeat")
                      .arg(m_open.back().line));
        } else if (m_finallyLine) {
            issue(QStringLiteral("a second finally block: a plan has one, it began at line %1")
                      .arg(m_finallyLine));
        } else {
            m_finallyLine = m_line;
            m_plan.explicitFinally = true;
        }
        count(w, 1, what);
        // Opened whatever was wrong, so that its end closes it and not an outer block.
        m_open.push_back({true, m_line, {}, false, issueCount()});
        return;
    }
    if (inFinally && what != "setpoint" && what != "output" && what != "global") {
        issue(QStringLiteral("%1 in the finally block (line %2): only setpoint, output and "
                             "global can be there")
                  .arg(text(what))
                  .arg(m_open.front().line));
    }

    PlanStep s;
    s.line = m_line;
    bool ok = true;
    const auto need = [&](const auto &value) {
        ok = ok && value.has_value();
        return value ? *value : std::decay_t<decltype(*value)>{};
    };

    if (what == "repeat") {
        s.kind = PlanStep::Kind::Repeat;
        int depth = 1;
        for (const Block &b : m_open)
            depth += !b.isFinally;
        const bool tooDeep = depth > MaxRepeatDepth;
        if (tooDeep)
            issue(QStringLiteral("repeats nest at most %1 deep").arg(MaxRepeatDepth));
        if (count(w, 2, what)) {
            const std::string_view n = w[1];
            bool whole = !n.empty() && n.size() <= 6;
            for (const char c : n)
                whole = whole && isDigit(c);
            const int times = whole ? QByteArray(n.data(), qsizetype(n.size())).toInt() : 0;
            if (!whole)
                issue(QStringLiteral("%1 is not a whole number of times: %2")
                          .arg(quoted(n), usage(what)));
            else if (times < 1 || times > MaxRepeatCount)
                issue(QStringLiteral("%1 is out of range: repeat 1 to %2 times")
                          .arg(quoted(n))
                          .arg(MaxRepeatCount));
            s.count = times;
        }
        m_open.push_back({false, m_line, s, tooDeep, issueCount()});
        return;
    }

    if (what == "apply" || what == "require") {
        s.kind = what == "apply" ? PlanStep::Kind::Apply : PlanStep::Kind::Require;
        if (w.size() == 3 && w[2] == "section")
            return issue(QStringLiteral("the section's name is missing: %1").arg(usage(what)));
        if (w.size() == 3)
            return void(keyword(w, 2, "section", what));
        if (w.size() == 2 || (count(w, 4, what) && keyword(w, 2, "section", what))) {
            s.file = text(w[1]);
            if (w.size() == 4)
                s.section = text(w[3]);
        } else {
            ok = false;
        }
    } else if (what == "setpoint") {
        s.kind = PlanStep::Kind::Setpoint;
        if (!count(w, 3, what))
            return;
        s.module = need(module(w[1]));
        s.volts = need(volts(w[2]));
    } else if (what == "output") {
        s.kind = PlanStep::Kind::Output;
        if (!count(w, 3, what))
            return;
        s.module = need(module(w[1]));
        s.on = need(onOff(w[2]));
    } else if (what == "global") {
        s.kind = PlanStep::Kind::GlobalOutput;
        if (!count(w, 2, what))
            return;
        s.on = need(onOff(w[1]));
    } else if (what == "ramp") {
        s.kind = PlanStep::Kind::Ramp;
        if (!count(w, 9, what))
            return;
        s.module = need(module(w[1]));
        s.from = need(volts(w[2]));
        ok = keyword(w, 3, "to", what) && ok;
        s.to = need(volts(w[4]));
        ok = keyword(w, 5, "step", what) && ok;
        s.step = need(volts(w[6]));
        ok = keyword(w, 7, "dwell", what) && ok;
        s.dwellMs = need(duration(w[8], 1, 24 * 60 * 60 * 1000,
                                  QStringLiteral("a dwell is 1ms to 24h (1440min)")));
        if (ok && s.step <= 0) {
            ok = false;
            issue(QStringLiteral("%1: a ramp's step must be more than 0V").arg(quoted(w[6])));
        }
    } else if (what == "hold") {
        s.kind = PlanStep::Kind::Hold;
        if (!count(w, 2, what))
            return;
        s.durationMs = need(duration(w[1], 1, 24 * 60 * 60 * 1000,
                                     QStringLiteral("a hold is 1ms to 24h (1440min)")));
    } else {
        check(w, s);
        return;
    }
    if (ok)
        target().push_back(std::move(s));
}

void Reader::check(const Words &w, PlanStep &s)
{
    if (w.size() < 2)
        return issue(QStringLiteral("check what? write check voltage, check current, check good, "
                                    "check no-alarm or check hours"));
    const std::string_view what = w[1];
    bool ok = true;
    const auto need = [&](const auto &value) {
        ok = ok && value.has_value();
        return value ? *value : std::decay_t<decltype(*value)>{};
    };
    if (what == "voltage") {
        s.kind = PlanStep::Kind::CheckVoltage;
        if (!count(w, 5, what))
            return;
        s.module = need(module(w[2]));
        ok = keyword(w, 3, "within", what) && ok;
        const auto tolerance = quantity(w[4], Measure::Tolerance);
        if (tolerance && tolerance->value <= 0) {
            ok = false;
            issue(QStringLiteral("%1: a tolerance of 0 fails every check: give more than 0")
                      .arg(quoted(w[4])));
        }
        ok = ok && tolerance;
        if (tolerance) {
            s.tolerance = tolerance->value;
            s.toleranceKind =
                tolerance->percent ? PlanStep::Tolerance::Percent : PlanStep::Tolerance::Volts;
        }
    } else if (what == "current") {
        s.kind = PlanStep::Kind::CheckCurrent;
        if (!count(w, 7, what))
            return;
        s.module = need(module(w[2]));
        ok = keyword(w, 3, "between", what) && ok;
        const auto low = quantity(w[4], Measure::Amperes);
        ok = keyword(w, 5, "and", what) && ok;
        const auto high = quantity(w[6], Measure::Amperes);
        s.low = need(low).value;
        s.high = need(high).value;
        if (ok && s.low > s.high) {
            ok = false;
            issue(QStringLiteral("the low limit %1 is above the high limit %2: write the lower "
                                 "one first")
                      .arg(text(w[4]), text(w[6])));
        }
    } else if (what == "good") {
        s.kind = PlanStep::Kind::CheckGood;
        if (!count(w, 3, what))
            return;
        s.module = need(module(w[2]));
    } else if (what == "no-alarm" || what == "hours") {
        s.kind = what == "hours" ? PlanStep::Kind::CheckHours : PlanStep::Kind::CheckNoAlarm;
        if (!count(w, 2, what))
            return;
    } else {
        return issue(QStringLiteral("%1 is not a check: the checks are voltage, current, good, "
                                    "no-alarm and hours")
                         .arg(quoted(what)));
    }
    if (ok)
        target().push_back(std::move(s));
}

void Reader::end()
{
    if (m_open.empty())
        return issue(QStringLiteral("end without a repeat or finally to close"));
    Block block = std::move(m_open.back());
    m_open.pop_back();
    if (block.isFinally)
        return;
    // Empty because its steps were refused: that was said already.
    if (block.repeat.body.empty() && issueCount() == block.issuesBefore) {
        issue(block.line,
              QStringLiteral("this repeat holds no step before its end (line %1)").arg(m_line));
    }
    if (!block.dropped && block.repeat.count >= 1 && block.repeat.count <= MaxRepeatCount)
        target().push_back(std::move(block.repeat));
}

void Reader::closeUnended()
{
    for (const Block &b : m_open) {
        issue(b.line, QStringLiteral("this %1 has no end: close it with a line \"end\"")
                          .arg(b.isFinally ? QStringLiteral("finally") : QStringLiteral("repeat")));
    }
}

// A plan that runs longer than anyone would wait is a mistake, usually a
// ramp's step or a repeat count that lost a decimal point. Said at the
// top-level step where the running total crosses the limit.
void Reader::checkLength()
{
    Totals running;
    const Totals whole = [this] {
        Totals t = totals(m_plan.steps);
        t.actions += totals(m_plan.finallySteps).actions;
        return t;
    }();
    bool actionsSaid = false, waitSaid = false;
    const auto at = [&](int line) {
        if (!actionsSaid && running.actions > MaxActions) {
            actionsSaid = true;
            issue(line, QStringLiteral("the plan never ends: with repeats and ramps counted out "
                                       "it makes %1 actions, at most %2")
                            .arg(amount(whole.actions))
                            .arg(qint64(MaxActions)));
        }
        if (!waitSaid && running.waitMs > MaxWaitMs) {
            waitSaid = true;
            issue(line, QStringLiteral("the plan never ends: with repeats and ramps counted out "
                                       "its waits add up to %1, at most 7 days")
                            .arg(days(whole.waitMs)));
        }
    };
    for (const PlanStep &s : m_plan.steps) {
        const Totals t = totals({s});
        running.actions += t.actions;
        running.waitMs += t.waitMs;
        at(s.line);
    }
    running.actions += totals(m_plan.finallySteps).actions;
    at(m_finallyLine);
}

Result Reader::read(const QByteArray &bytes)
{
    Result result;
    if (bytes.size() > MaxFileBytes) {
        result.issues.push_back({0, tooLarge(bytes.size())});
        return result;
    }
    std::string_view all(bytes.constData(), std::size_t(bytes.size()));
    // A byte-order mark is no part of the first line.
    if (all.starts_with("\xEF\xBB\xBF"))
        all.remove_prefix(3);
    if (const std::size_t bad = firstBinaryByte(all); bad != std::string_view::npos) {
        const std::string_view before = all.substr(0, bad);
        int line = 1;
        for (std::size_t i = 0; i < before.size(); ++i) {
            if (before[i] == '\n' ||
                (before[i] == '\r' && (i + 1 == all.size() || all[i + 1] != '\n')))
                ++line;
        }
        result.issues.push_back(
            {line, all[bad] == 0 ? QStringLiteral("binary: a NUL byte; a plan is UTF-8 text")
                                 : QStringLiteral("binary: a byte that is not UTF-8 text; save "
                                                  "the plan as UTF-8")});
        return result;
    }

    std::size_t at = 0;
    while (at < all.size()) {
        std::size_t end = at;
        while (end < all.size() && all[end] != '\r' && all[end] != '\n')
            ++end;
        ++m_line;
        const std::string_view line = all.substr(at, end - at);
        at = end;
        if (at < all.size())
            at += all[at] == '\r' && at + 1 < all.size() && all[at + 1] == '\n' ? 2 : 1;
        if (const qsizetype n = characters(line); n > MaxLineCharacters) {
            issue(QStringLiteral("the line is %1 characters long: at most %2")
                      .arg(n)
                      .arg(MaxLineCharacters));
            continue;
        }
        const Words words = split(line);
        if (!words.empty())
            statement(words);
    }
    closeUnended();
    if (m_plan.steps.empty() && m_issues.isEmpty())
        issue(0, QStringLiteral("the plan has no step: nothing would be done to a unit"));
    checkLength();

    // By line, as the technician reads the file; those about the whole file last.
    std::stable_sort(m_issues.begin(), m_issues.end(), [](const PlanIssue &a, const PlanIssue &b) {
        return (a.line ? a.line : INT_MAX) < (b.line ? b.line : INT_MAX);
    });
    if (m_leftOut > 0)
        m_issues.push_back({0, QStringLiteral("%1 more issues not listed").arg(m_leftOut)});
    result.issues = m_issues;
    if (m_issues.isEmpty())
        result.plan = std::move(m_plan);
    return result;
}

QString durationText(int ms)
{
    if (ms % 60000 == 0)
        return QString::number(ms / 60000) + QStringLiteral("min");
    if (ms % 1000 == 0)
        return QString::number(ms / 1000) + QStringLiteral("s");
    return QString::number(ms) + QStringLiteral("ms");
}

QString statementText(const PlanStep &s)
{
    using K = PlanStep::Kind;
    const QString m = QString::number(s.module);
    const QString onOff = s.on ? QStringLiteral("on") : QStringLiteral("off");
    switch (s.kind) {
    case K::Apply:
    case K::Require:
        return (s.kind == K::Apply ? QStringLiteral("apply ") : QStringLiteral("require ")) +
               s.file + (s.section.isEmpty() ? QString() : QStringLiteral(" section ") + s.section);
    case K::Setpoint:
        return QStringLiteral("setpoint %1 %2V").arg(m, decimal(s.volts));
    case K::Output:
        return QStringLiteral("output %1 %2").arg(m, onOff);
    case K::GlobalOutput:
        return QStringLiteral("global ") + onOff;
    case K::Ramp:
        return QStringLiteral("ramp %1 %2V to %3V step %4V dwell %5")
            .arg(m, decimal(s.from), decimal(s.to), decimal(s.step), durationText(s.dwellMs));
    case K::Hold:
        return QStringLiteral("hold ") + durationText(s.durationMs);
    case K::CheckVoltage:
        return QStringLiteral("check voltage %1 within %2%3")
            .arg(m, decimal(s.tolerance),
                 s.toleranceKind == PlanStep::Tolerance::Percent ? QStringLiteral("%")
                                                                 : QStringLiteral("V"));
    case K::CheckCurrent:
        return QStringLiteral("check current %1 between %2A and %3A")
            .arg(m, decimal(s.low), decimal(s.high));
    case K::CheckGood:
        return QStringLiteral("check good ") + m;
    case K::CheckNoAlarm:
        return QStringLiteral("check no-alarm");
    case K::CheckHours:
        return QStringLiteral("check hours");
    case K::Repeat:
        break;
    }
    return QStringLiteral("repeat ") + QString::number(s.count);
}

void appendSteps(QString &out, const std::vector<PlanStep> &steps, int depth)
{
    const QString indent(depth * 2, u' ');
    for (const PlanStep &s : steps) {
        out += indent + statementText(s) + u'\n';
        if (s.kind == PlanStep::Kind::Repeat) {
            appendSteps(out, s.body, depth + 1);
            out += indent + QStringLiteral("end\n");
        }
    }
}

} // namespace

QByteArray toText(const TestPlan &plan)
{
    QString out;
    if (!plan.name.isEmpty())
        out += QStringLiteral("plan ") + plan.name + u'\n';
    if (plan.stopOnFail)
        out += QStringLiteral("stop-on-fail\n");
    if (!plan.stopOnAlarms.isEmpty()) {
        out += QStringLiteral("stop-on-alarm");
        for (const PlanAlarm a : plan.stopOnAlarms) {
            out += a == PlanAlarm::OverTemp  ? QStringLiteral(" over-temp")
                   : a == PlanAlarm::FanFail ? QStringLiteral(" fan-fail")
                   : a == PlanAlarm::AcFail  ? QStringLiteral(" ac-fail")
                                             : QStringLiteral(" dc-good");
        }
        out += u'\n';
    }
    if (plan.pollMs != 1000)
        out += QStringLiteral("poll ") + durationText(plan.pollMs) + u'\n';
    appendSteps(out, plan.steps, 0);
    if (plan.explicitFinally) {
        out += QStringLiteral("finally\n");
        appendSteps(out, plan.finallySteps, 1);
        out += QStringLiteral("end\n");
    }
    return out.toUtf8();
}

Result parse(const QByteArray &text, const QString &path)
{
    return Reader(path).read(text);
}

Result read(const QString &path)
{
    const QFileInfo info(path);
    const QString shown = info.absoluteFilePath();
    const auto refused = [](const QString &reason) {
        return Result{{}, {{0, reason}}};
    };
    if (info.isDir())
        return refused(QStringLiteral("%1 is a folder, not a plan file").arg(shown));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return refused(QStringLiteral("cannot open %1: %2").arg(shown, file.errorString()));
    // A plan is small: anything larger is refused before it is read, and a
    // device that never ends is read no further than the limit.
    if (file.size() > MaxFileBytes)
        return refused(tooLarge(file.size()));
    const QByteArray bytes = file.read(MaxFileBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return refused(QStringLiteral("cannot read %1: %2").arg(shown, file.errorString()));
    if (bytes.size() > MaxFileBytes)
        return refused(QStringLiteral("the file is larger than 1 MiB (%1 bytes): a plan is at "
                                      "most 1 MiB")
                           .arg(MaxFileBytes));
    return parse(bytes, shown);
}

} // namespace PlanReader
