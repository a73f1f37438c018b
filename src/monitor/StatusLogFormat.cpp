#include "monitor/StatusLogFormat.h"

#include <algorithm>

namespace {
const QString RecordBreak = QStringLiteral("\r\n");
const QLatin1Char Comma(',');
const QLatin1Char Quote('"');

void addField(QString &text, const QString &value)
{
    text += StatusLogFormat::quoted(value);
    text += Comma;
}
} // namespace

QString StatusLogFormat::quoted(const QString &value)
{
    // RFC 4180: a field that holds the separator, a quote or a line break is
    // put in quotes, with its own quotes doubled, so that a decimal comma
    // keeps a value in one column.
    const bool quoted = std::any_of(value.begin(), value.end(), [](QChar c) {
        return c == Comma || c == Quote || c == u'\r' || c == u'\n';
    });
    if (!quoted)
        return value;
    QString text(Quote);
    for (const QChar c : value) {
        if (c == Quote)
            text += Quote;
        text += c;
    }
    return text + Quote;
}

QString StatusLogFormat::okFail(bool good)
{
    return good ? QStringLiteral("Ok") : QStringLiteral("Fail");
}

QString StatusLogFormat::header()
{
    QString text = QStringLiteral("Date,Time,UnitID,OverTemp,FanFail,FanWarn,AC OK,Global DC Good,"
                                  "Global Current Limit,Global OVP,Operating Hours,");
    for (int m = 1; m <= 5; ++m) {
        text += QStringLiteral("Module %1 Good, Module %1 Volts, Module %1 Amps,").arg(m);
    }
    return text;
}

QString StatusLogFormat::logRecord(const PollRecord &r)
{
    QString text = RecordBreak;
    text.reserve(256);
    const auto field = [&text](const QString &value) {
        addField(text, value);
    };
    field(r.stamp.toString(QStringLiteral("dd/MM/yyyy")));
    field(r.stamp.toString(QStringLiteral("HH:mm:ss")));
    field(r.unitId.trimmed());
    if (!r.answered) {
        // The columns stay; a spreadsheet tells a silence from a reading.
        text += QString(8 + 3 * 5, Comma);
        return text;
    }
    field(r.overTemp);
    field(r.fanFail);
    field(r.fanWarn);
    field(r.acOk);
    field(r.globalDcGood);
    field(r.globalCurrentLimit);
    field(r.globalOvp);
    field(r.operatingHours);
    for (int i = 0; i < 5; ++i) {
        field(r.good[i]);
        field(r.volts[i]);
        field(r.amps[i]);
    }
    return text;
}

QString StatusLogFormat::displayValue(const QString &shown)
{
    if (shown.size() == 4)
        return QStringLiteral("  ") + shown;
    if (shown.size() == 1)
        return QStringLiteral("  0.00");
    return shown;
}

QString StatusLogFormat::displayRecord(const PollRecord &r)
{
    QString text = RecordBreak;
    text += r.stamp.toString(QStringLiteral("dd/MM,HH:mm:ss")).trimmed().leftJustified(16);
    text += r.unitId.trimmed().leftJustified(6);
    if (!r.answered)
        return text + QStringLiteral("No answer");
    text += r.fanFail.leftJustified(6);
    text += r.globalDcGood.leftJustified(6);
    text += r.overTemp.leftJustified(5);
    for (int m = 1; m <= 5; ++m) {
        if (r.outputState.mid(m - 1, 1) != QLatin1String("1"))
            continue;
        text += QString::number(m) + QStringLiteral("  ") + displayValue(r.volts[m - 1]) +
                QStringLiteral("  ") + displayValue(r.amps[m - 1]) + QString(63, QLatin1Char(' '));
    }
    return text;
}
