#include "metrics/MetricsText.h"

#include "device/SerialBus.h"

#include <charconv>
#include <cmath>

namespace MetricsText {

namespace {

void appendNumber(QByteArray &out, double value)
{
    if (std::isnan(value)) {
        out += "NaN";
        return;
    }
    if (std::isinf(value)) {
        out += value > 0 ? "+Inf" : "-Inf";
        return;
    }
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    out.append(text, end - text);
}

void appendNumber(QByteArray &out, quint64 value)
{
    char text[24];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    out.append(text, end - text);
}

// A label value as both formats escape it.
void appendLabel(QByteArray &out, const char *name, const QString &value, bool first = false)
{
    if (!first)
        out += ',';
    out += name;
    out += "=\"";
    for (const char c : value.toUtf8()) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '"')
            out += "\\\"";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    out += '"';
}

enum class Type { Gauge, Counter, Summary };

// One metric family: its header once, then its samples.
struct Family
{
    const char *name; // the sample name without a counter's _total
    Type type;
    const char *unit; // OpenMetrics unit, "" for none
    const char *help;
};

class Writer
{
public:
    Writer(QByteArray &out, Format format)
        : m_out(out)
        , m_open(format == Format::OpenMetrics)
    {}

    void header(const Family &f)
    {
        const bool total = f.type == Type::Counter && !m_open;
        m_out += "# HELP ";
        m_out += f.name;
        if (total)
            m_out += "_total";
        m_out += ' ';
        m_out += f.help;
        m_out += "\n# TYPE ";
        m_out += f.name;
        if (total)
            m_out += "_total";
        m_out += f.type == Type::Gauge     ? " gauge\n"
                 : f.type == Type::Counter ? " counter\n"
                                           : " summary\n";
        if (m_open && *f.unit) {
            m_out += "# UNIT ";
            m_out += f.name;
            m_out += ' ';
            m_out += f.unit;
            m_out += '\n';
        }
    }
    template<typename Number>
    void sample(const Family &f, const char *suffix, const QByteArray &labels, Number value)
    {
        m_out += f.name;
        m_out += suffix;
        if (!labels.isEmpty()) {
            m_out += '{';
            m_out += labels;
            m_out += '}';
        }
        m_out += ' ';
        appendNumber(m_out, value);
        m_out += '\n';
    }
    void end()
    {
        if (m_open)
            m_out += "# EOF\n";
    }

private:
    QByteArray &m_out;
    bool m_open;
};

const Family UnitUp{"zelk_unit_up", Type::Gauge, "",
                    "1 when the unit answered its last poll, else 0 (and none of its readings)."};
const Family LastAnswer{"zelk_unit_last_answer_timestamp_seconds", Type::Gauge, "seconds",
                        "When the unit last answered a poll, in seconds since the epoch."};
const Family Alarm{"zelk_unit_alarm", Type::Gauge, "",
                   "1 while the unit reports the alarm (over_temperature, fan_fail, ac_fail)."};
const Family DcGood{"zelk_unit_dc_good", Type::Gauge, "",
                    "1 when every present module of the unit is good (global DC good)."};
const Family Hours{"zelk_unit_operating_seconds", Type::Counter, "seconds",
                   "The unit's operating time as it counts it (whole hours)."};
const Family Volts{"zelk_module_voltage_volts", Type::Gauge, "volts",
                   "The module's measured output voltage."};
const Family Amps{"zelk_module_current_amperes", Type::Gauge, "amperes",
                  "The module's measured output current."};
const Family Setpoint{"zelk_module_setpoint_volts", Type::Gauge, "volts",
                      "The module's output voltage set-point."};
const Family OutputOn{"zelk_module_output_on", Type::Gauge, "",
                      "1 while the module's output is on."};
const Family Good{"zelk_module_good", Type::Gauge, "",
                  "1 when the module is good (its voltage inside its module-good limits)."};
const Family GoodLow{"zelk_module_good_low_volts", Type::Gauge, "volts",
                     "The module-good low limit."};
const Family GoodHigh{"zelk_module_good_high_volts", Type::Gauge, "volts",
                      "The module-good high limit."};
const Family Frames{
    "zelk_line_frames", Type::Counter, "",
    "Exchanges on the serial line by what came back (good, damaged, timeout, late)."};
const Family Silent{"zelk_line_silent_units", Type::Gauge, "",
                    "Units polled that did not answer their last poll."};
const Family PollDuration{"zelk_line_poll_duration_seconds", Type::Summary, "seconds",
                          "Time the unit polls took on the line."};

} // namespace

QByteArray render(const LiveState &state, const LineFigures &line, Format format)
{
    QByteArray out;
    out.reserve(160 * 1024);
    Writer w(out, format);
    const QByteArray bench = [&] {
        QByteArray b;
        appendLabel(b, "bench", state.bench, true);
        return b;
    }();

    // Label sets made once: a unit's, and each present module's of an
    // answering unit.
    std::array<QByteArray, LiveState::MaxUnit + 1> unitLabels;
    std::array<std::array<QByteArray, LiveState::Modules>, LiveState::MaxUnit + 1> moduleLabels;
    int silent = 0;
    for (int id = 1; id <= LiveState::MaxUnit; ++id) {
        const LiveState::Unit &u = state.unit(id);
        if (!u.seen)
            continue;
        silent += u.up ? 0 : 1;
        QByteArray &labels = unitLabels[std::size_t(id)];
        labels = bench;
        labels += ",unit=\"";
        appendNumber(labels, quint64(id));
        labels += '"';
        appendLabel(labels, "unit_serial", u.serial);
        if (!u.up)
            continue;
        for (int m = 0; m < LiveState::Modules; ++m) {
            const LiveState::Module &mod = u.modules[std::size_t(m)];
            if (!mod.present)
                continue;
            QByteArray &ml = moduleLabels[std::size_t(id)][std::size_t(m)];
            ml = labels;
            ml += ",module=\"";
            appendNumber(ml, quint64(m + 1));
            ml += '"';
            appendLabel(ml, "module_type", mod.type);
            appendLabel(ml, "module_serial", mod.serial);
        }
    }
    const auto units = [&](auto &&each) {
        for (int id = 1; id <= LiveState::MaxUnit; ++id)
            if (state.unit(id).seen)
                each(state.unit(id), unitLabels[std::size_t(id)]);
    };
    const auto upUnits = [&](auto &&each) {
        units([&](const LiveState::Unit &u, const QByteArray &labels) {
            if (u.up)
                each(u, labels);
        });
    };
    // Each present module of each answering unit.
    const auto modules = [&](const Family &f, auto &&value) {
        w.header(f);
        for (int id = 1; id <= LiveState::MaxUnit; ++id) {
            const LiveState::Unit &u = state.unit(id);
            if (!u.seen || !u.up)
                continue;
            for (int m = 0; m < LiveState::Modules; ++m) {
                const LiveState::Module &mod = u.modules[std::size_t(m)];
                if (!mod.present)
                    continue;
                if (const std::optional<double> v = value(mod))
                    w.sample(f, "", moduleLabels[std::size_t(id)][std::size_t(m)], *v);
            }
        }
    };
    const auto flag = [](bool on) {
        return on ? 1.0 : 0.0;
    };

    w.header(UnitUp);
    units([&](const LiveState::Unit &u, const QByteArray &l) {
        w.sample(UnitUp, "", l, flag(u.up));
    });
    w.header(LastAnswer);
    units([&](const LiveState::Unit &u, const QByteArray &l) {
        if (u.lastAnswer > 0)
            w.sample(LastAnswer, "", l, u.lastAnswer);
    });
    w.header(Alarm);
    const struct
    {
        const char *name;
        bool LiveState::Unit::*on;
    } alarms[] = {{"over_temperature", &LiveState::Unit::overTemp},
                  {"fan_fail", &LiveState::Unit::fanFail},
                  {"ac_fail", &LiveState::Unit::acFail}};
    for (const auto &alarm : alarms) {
        upUnits([&](const LiveState::Unit &u, const QByteArray &l) {
            w.sample(Alarm, "", l + ",alarm=\"" + alarm.name + '"', flag(u.*alarm.on));
        });
    }
    w.header(DcGood);
    upUnits([&](const LiveState::Unit &u, const QByteArray &l) {
        w.sample(DcGood, "", l, flag(u.dcGood));
    });
    w.header(Hours);
    upUnits([&](const LiveState::Unit &u, const QByteArray &l) {
        if (u.hours)
            w.sample(Hours, "_total", l, *u.hours * 3600.0);
    });

    using Mod = LiveState::Module;
    using Value = std::optional<double>;
    modules(Volts, [](const Mod &m) { return Value(m.volts); });
    modules(Amps, [](const Mod &m) { return Value(m.amps); });
    modules(Setpoint, [](const Mod &m) { return m.setpoint; });
    modules(OutputOn, [&](const Mod &m) { return Value(flag(m.outputOn)); });
    modules(Good, [&](const Mod &m) { return Value(flag(m.good)); });
    modules(GoodLow, [](const Mod &m) { return m.low; });
    modules(GoodHigh, [](const Mod &m) { return m.high; });

    w.header(Frames);
    const struct
    {
        const char *result;
        quint64 count;
    } frames[] = {{"good", line.framesGood},
                  {"damaged", line.framesDamaged},
                  {"timeout", line.framesTimedOut},
                  {"late", line.framesLate}};
    for (const auto &f : frames)
        w.sample(Frames, "_total", bench + ",result=\"" + f.result + '"', f.count);
    w.header(Silent);
    w.sample(Silent, "", bench, quint64(silent));
    w.header(PollDuration);
    w.sample(PollDuration, "_sum", bench, state.pollSeconds());
    w.sample(PollDuration, "_count", bench, state.polls());
    w.end();
    return out;
}

QByteArray current(Format format)
{
    const SerialBus::FrameCounts counts = SerialBus::frameCounts();
    return render(LiveState::process(), {counts.good, counts.damaged, counts.timedOut, counts.late},
                  format);
}

Format formatFor(const QByteArray &accept)
{
    return accept.contains("application/openmetrics-text") ? Format::OpenMetrics
                                                           : Format::Prometheus;
}

QByteArray contentType(Format format)
{
    return format == Format::OpenMetrics
               ? QByteArrayLiteral("application/openmetrics-text; version=1.0.0; charset=utf-8")
               : QByteArrayLiteral("text/plain; version=0.0.4; charset=utf-8");
}

} // namespace MetricsText
