#include "plans/PlanReport.h"

#include "core/FileBytes.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QSysInfo>
#include <QXmlStreamWriter>
#include <cmath>

bool PlanUnitResult::passed() const
{
    if (!stopReason.isEmpty())
        return false;
    for (const PlanCheckResult &check : checks) {
        if (!check.passed)
            return false;
    }
    return true;
}

// The helpers sit inside the named namespace: the library is built as one
// translation unit, where every file's anonymous namespace is the same one.
namespace PlanReport {
namespace {

// A reading that is not a number is no reading: the files hold only values a
// reader can parse back.
std::optional<double> usable(std::optional<double> value)
{
    if (value && !std::isfinite(*value))
        return std::nullopt;
    return value;
}

// Shortest text that reads back as the same double; always '.' as the point.
QString exactNumber(double value)
{
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

QString seconds(double value)
{
    return QString::number(std::isfinite(value) && value > 0 ? value : 0.0, 'f', 3);
}

// A value as the technician reads it: volts to 10 mV, amperes to the mA.
QString shownValue(double value, const QString &unit)
{
    QString text;
    if (unit == QLatin1String("V"))
        text = QString::number(value, 'f', 2);
    else if (unit == QLatin1String("A"))
        text = QString::number(value, 'f', 3);
    else
        text = exactNumber(value);
    return unit.isEmpty() ? text : text + QLatin1Char(' ') + unit;
}

// Local time with its offset, so a reader elsewhere knows the instant.
QString isoTime(const QDateTime &time)
{
    if (!time.isValid())
        return {};
    const QDateTime local = time.toLocalTime();
    return local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODateWithMs);
}

QString unitName(const PlanUnitResult &unit)
{
    return unit.serialNumber.isEmpty() ? QStringLiteral("unit %1").arg(unit.unit)
                                       : unit.serialNumber;
}

QString planName(const PlanRunResult &run)
{
    if (!run.planName.isEmpty())
        return run.planName;
    if (!run.planPath.isEmpty())
        return QFileInfo(run.planPath).completeBaseName();
    return QStringLiteral("plan");
}

QString caseName(const PlanCheckResult &check)
{
    return check.line > 0 ? QStringLiteral("%1 (line %2)").arg(check.name).arg(check.line)
                          : check.name;
}

// "measured 4.61 V, limits 4.90 V .. 5.10 V"; empty for a check without numbers.
QString readingText(const PlanCheckResult &check)
{
    const auto measured = usable(check.measured);
    const auto low = usable(check.low);
    const auto high = usable(check.high);
    if (!measured && !low && !high)
        return {};
    QString text = measured ? QStringLiteral("measured %1").arg(shownValue(*measured, check.unit))
                            : QStringLiteral("no reading");
    if (low && high)
        text += QStringLiteral(", limits %1 .. %2")
                    .arg(shownValue(*low, check.unit), shownValue(*high, check.unit));
    else if (low)
        text += QStringLiteral(", limit at least %1").arg(shownValue(*low, check.unit));
    else if (high)
        text += QStringLiteral(", limit at most %1").arg(shownValue(*high, check.unit));
    return text;
}

QString failureMessage(const PlanCheckResult &check)
{
    const QString reading = readingText(check);
    if (!reading.isEmpty())
        return reading;
    return check.message.isEmpty() ? QStringLiteral("check failed") : check.message;
}

// What a passed check read, so the CI page shows it beside the case.
QString passedOutput(const PlanCheckResult &check)
{
    QStringList parts{readingText(check), check.message};
    parts.removeAll(QString());
    return parts.join(QStringLiteral("; "));
}

// XML 1.0 cannot carry most control characters, not even escaped; a serial
// number read off a unit may hold some.
QString xmlSafe(const QString &text)
{
    QString safe = text;
    for (QChar &c : safe) {
        const char16_t u = c.unicode();
        if ((u < 0x20 && u != 0x9 && u != 0xA && u != 0xD) || u == 0xFFFE || u == 0xFFFF)
            c = QChar(QChar::ReplacementCharacter);
    }
    return safe;
}

void writeAttribute(QXmlStreamWriter &xml, const char *name, const QString &value)
{
    xml.writeAttribute(QLatin1String(name), xmlSafe(value));
}

void writeProperty(QXmlStreamWriter &xml, const QString &name, const QString &value)
{
    xml.writeEmptyElement(QStringLiteral("property"));
    writeAttribute(xml, "name", name);
    writeAttribute(xml, "value", value);
}

int failedChecks(const PlanUnitResult &unit)
{
    int count = 0;
    for (const PlanCheckResult &check : unit.checks)
        count += check.passed ? 0 : 1;
    return count;
}

QString csvField(const QString &field)
{
    static const QString special = QStringLiteral(",\"\r\n");
    for (QChar c : field) {
        if (special.contains(c)) {
            QString quoted = field;
            quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
            return QLatin1Char('"') + quoted + QLatin1Char('"');
        }
    }
    return field;
}

QString csvNumber(std::optional<double> value)
{
    value = usable(value);
    return value ? exactNumber(*value) : QString();
}

QJsonValue jsonText(const QString &text)
{
    return text.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(text);
}

QJsonValue jsonNumber(std::optional<double> value)
{
    value = usable(value);
    return value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
}

QString outcomeName(PlanRunResult::Outcome outcome)
{
    switch (outcome) {
    case PlanRunResult::Outcome::Passed:
        return QStringLiteral("passed");
    case PlanRunResult::Outcome::DeviceError:
        return QStringLiteral("device error");
    case PlanRunResult::Outcome::CheckFailed:
        return QStringLiteral("check failed");
    case PlanRunResult::Outcome::Stopped:
        return QStringLiteral("stopped");
    case PlanRunResult::Outcome::Refused:
        return QStringLiteral("refused");
    }
    return QStringLiteral("unknown");
}

} // namespace

QByteArray junitXml(const PlanRunResult &run)
{
    int tests = 0;
    int failures = 0;
    int errors = 0;
    double total = 0;
    for (const PlanUnitResult &unit : run.units) {
        const bool stopped = !unit.stopReason.isEmpty();
        tests += int(unit.checks.size()) + (stopped ? 1 : 0);
        failures += failedChecks(unit);
        errors += stopped ? 1 : 0;
        total += std::isfinite(unit.seconds) && unit.seconds > 0 ? unit.seconds : 0;
    }
    // A run that ended badly with nothing to show for it in the units (a plan
    // refused, the port lost before the first unit) must not look passed.
    const bool runError =
        run.outcome != PlanRunResult::Outcome::Passed && failures == 0 && errors == 0;
    if (runError) {
        ++tests;
        ++errors;
    }

    const QString plan = planName(run);
    const QString host = QSysInfo::machineHostName();
    QByteArray bytes;
    QXmlStreamWriter xml(&bytes);
    xml.setAutoFormatting(true);
    xml.setAutoFormattingIndent(2);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("testsuites"));
    writeAttribute(xml, "name", plan);
    writeAttribute(xml, "tests", QString::number(tests));
    writeAttribute(xml, "failures", QString::number(failures));
    writeAttribute(xml, "errors", QString::number(errors));
    writeAttribute(xml, "time", seconds(total));

    for (const PlanUnitResult &unit : run.units) {
        const QString suite = unitName(unit);
        const QString classname = plan + QLatin1Char('.') + suite;
        const bool stopped = !unit.stopReason.isEmpty();
        xml.writeStartElement(QStringLiteral("testsuite"));
        writeAttribute(xml, "name", suite);
        writeAttribute(xml, "tests", QString::number(unit.checks.size() + (stopped ? 1 : 0)));
        writeAttribute(xml, "failures", QString::number(failedChecks(unit)));
        writeAttribute(xml, "errors", QString::number(stopped ? 1 : 0));
        writeAttribute(xml, "time", seconds(unit.seconds));
        // The Ant form: local time without an offset.
        const QDateTime start = unit.start.isValid() ? unit.start : run.start;
        if (start.isValid())
            writeAttribute(xml, "timestamp", start.toLocalTime().toString(Qt::ISODate));
        writeAttribute(xml, "hostname", host);

        xml.writeStartElement(QStringLiteral("properties"));
        writeProperty(xml, QStringLiteral("unit"), QString::number(unit.unit));
        writeProperty(xml, QStringLiteral("plan"), run.planPath);
        if (stopped)
            writeProperty(xml, QStringLiteral("stop reason"), unit.stopReason);
        writeProperty(xml, QStringLiteral("safe state"),
                      unit.safeState ? QStringLiteral("reached") : QStringLiteral("not reached"));
        xml.writeEndElement();

        double previous = 0;
        for (const PlanCheckResult &check : unit.checks) {
            xml.writeStartElement(QStringLiteral("testcase"));
            writeAttribute(xml, "name", caseName(check));
            writeAttribute(xml, "classname", classname);
            writeAttribute(xml, "time", seconds(check.seconds - previous));
            if (std::isfinite(check.seconds))
                previous = std::max(previous, check.seconds);
            if (!check.passed) {
                xml.writeStartElement(QStringLiteral("failure"));
                writeAttribute(xml, "message", failureMessage(check));
                writeAttribute(xml, "type", QStringLiteral("check"));
                if (!check.message.isEmpty())
                    xml.writeCharacters(xmlSafe(check.message));
                xml.writeEndElement();
            } else if (const QString output = passedOutput(check); !output.isEmpty()) {
                xml.writeTextElement(QStringLiteral("system-out"), xmlSafe(output));
            }
            xml.writeEndElement();
        }
        if (stopped) {
            xml.writeStartElement(QStringLiteral("testcase"));
            writeAttribute(xml, "name", QStringLiteral("Run stopped"));
            writeAttribute(xml, "classname", classname);
            writeAttribute(xml, "time", seconds(0));
            xml.writeEmptyElement(QStringLiteral("error"));
            writeAttribute(xml, "message", unit.stopReason);
            writeAttribute(xml, "type", QStringLiteral("stopped"));
            xml.writeEndElement();
        }
        xml.writeEndElement();
    }
    if (runError) {
        const QString reason = run.stopReason.isEmpty()
                                   ? QStringLiteral("Run %1").arg(outcomeName(run.outcome))
                                   : run.stopReason;
        xml.writeStartElement(QStringLiteral("testsuite"));
        writeAttribute(xml, "name", plan);
        writeAttribute(xml, "tests", QStringLiteral("1"));
        writeAttribute(xml, "failures", QStringLiteral("0"));
        writeAttribute(xml, "errors", QStringLiteral("1"));
        writeAttribute(xml, "time", seconds(0));
        if (run.start.isValid())
            writeAttribute(xml, "timestamp", run.start.toLocalTime().toString(Qt::ISODate));
        writeAttribute(xml, "hostname", host);
        xml.writeStartElement(QStringLiteral("testcase"));
        writeAttribute(xml, "name", QStringLiteral("Run"));
        writeAttribute(xml, "classname", plan);
        writeAttribute(xml, "time", seconds(0));
        xml.writeEmptyElement(QStringLiteral("error"));
        writeAttribute(xml, "message", reason);
        writeAttribute(xml, "type", outcomeName(run.outcome));
        xml.writeEndElement();
        xml.writeEndElement();
    }
    xml.writeEndElement();
    xml.writeEndDocument();
    return bytes;
}

QByteArray csv(const PlanRunResult &run)
{
    static const QStringList header{
        QStringLiteral("unit"),   QStringLiteral("serial"),   QStringLiteral("line"),
        QStringLiteral("check"),  QStringLiteral("quantity"), QStringLiteral("measured"),
        QStringLiteral("low"),    QStringLiteral("high"),     QStringLiteral("symbol"),
        QStringLiteral("result"), QStringLiteral("time"),     QStringLiteral("seconds"),
        QStringLiteral("message")};
    QString text;
    const auto addRow = [&text](const QStringList &fields) {
        QStringList quoted;
        for (const QString &field : fields)
            quoted << csvField(field);
        text += quoted.join(QLatin1Char(',')) + QStringLiteral("\r\n");
    };
    addRow(header);
    for (const PlanUnitResult &unit : run.units) {
        const QString id = QString::number(unit.unit);
        for (const PlanCheckResult &check : unit.checks) {
            addRow({id, unit.serialNumber, check.line > 0 ? QString::number(check.line) : QString(),
                    check.name, check.quantity, csvNumber(check.measured), csvNumber(check.low),
                    csvNumber(check.high), check.unit,
                    check.passed ? QStringLiteral("pass") : QStringLiteral("fail"),
                    isoTime(check.time), csvNumber(check.seconds), check.message});
        }
        // A stop is a row too: a reader of this file alone must not take a
        // stopped unit's few passed checks for a pass.
        if (!unit.stopReason.isEmpty()) {
            addRow({id, unit.serialNumber, QString(), QStringLiteral("Run stopped"), QString(),
                    QString(), QString(), QString(), QString(), QStringLiteral("stopped"),
                    QString(), csvNumber(unit.seconds), unit.stopReason});
        }
    }
    return text.toUtf8();
}

QByteArray json(const PlanRunResult &run)
{
    QJsonArray units;
    for (const PlanUnitResult &unit : run.units) {
        QJsonArray checks;
        for (const PlanCheckResult &check : unit.checks) {
            checks.append(QJsonObject{
                {QStringLiteral("name"), check.name},
                {QStringLiteral("line"), check.line > 0 ? QJsonValue(check.line) : QJsonValue()},
                {QStringLiteral("module"),
                 check.module > 0 ? QJsonValue(check.module) : QJsonValue()},
                {QStringLiteral("quantity"), jsonText(check.quantity)},
                {QStringLiteral("unit"), jsonText(check.unit)},
                {QStringLiteral("measured"), jsonNumber(check.measured)},
                {QStringLiteral("low"), jsonNumber(check.low)},
                {QStringLiteral("high"), jsonNumber(check.high)},
                {QStringLiteral("passed"), check.passed},
                {QStringLiteral("message"), jsonText(check.message)},
                {QStringLiteral("time"), jsonText(isoTime(check.time))},
                {QStringLiteral("seconds"), jsonNumber(check.seconds)},
            });
        }
        units.append(QJsonObject{
            {QStringLiteral("unit"), unit.unit},
            {QStringLiteral("serialNumber"), jsonText(unit.serialNumber)},
            {QStringLiteral("start"), jsonText(isoTime(unit.start))},
            {QStringLiteral("seconds"), jsonNumber(unit.seconds)},
            {QStringLiteral("passed"), unit.passed()},
            {QStringLiteral("stopReason"), jsonText(unit.stopReason)},
            {QStringLiteral("safeState"), unit.safeState},
            {QStringLiteral("checks"), checks},
        });
    }
    QJsonArray unreached;
    for (int unit : run.unreached)
        unreached.append(unit);
    const QJsonObject root{
        {QStringLiteral("plan"), planName(run)},
        {QStringLiteral("planPath"), jsonText(run.planPath)},
        {QStringLiteral("start"), jsonText(isoTime(run.start))},
        {QStringLiteral("outcome"), outcomeName(run.outcome)},
        {QStringLiteral("outcomeCode"), int(run.outcome)},
        {QStringLiteral("stopReason"), jsonText(run.stopReason)},
        {QStringLiteral("unreached"), unreached},
        {QStringLiteral("units"), units},
    };
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

bool writeFiles(const PlanRunResult &run, const QString &base, QString *error)
{
    const struct
    {
        const char *suffix;
        QByteArray (*make)(const PlanRunResult &);
    } files[] = {{".xml", &junitXml}, {".csv", &csv}, {".json", &json}};
    for (const auto &file : files) {
        const QString path = base + QLatin1String(file.suffix);
        QString why;
        if (!IniEngine::saveFile(path, file.make(run), &why)) {
            if (error)
                *error = QStringLiteral("Cannot write %1: %2").arg(path, why);
            return false;
        }
    }
    return true;
}

} // namespace PlanReport
