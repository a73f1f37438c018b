#include "monitor/PollSchedule.h"

#include <QRegularExpression>
#include <cmath>

namespace {
constexpr int MinuteMs = 60000;

// The leading number of a text, 0 when there is none.
double leadingNumber(const QString &text)
{
    static const QRegularExpression number(QStringLiteral("^\\d+(\\.\\d+)?"));
    const auto match = number.match(text);
    return match.hasMatch() ? match.captured().toDouble() : 0.0;
}
} // namespace

QStringList PollSchedule::choices()
{
    return {QStringLiteral("2   Sec."), QStringLiteral("3   Sec."), QStringLiteral("4   Sec."),
            QStringLiteral("5   Sec."), QStringLiteral("6   Sec."), QStringLiteral("7   Sec."),
            QStringLiteral("8   Sec."), QStringLiteral("9   Sec."), QStringLiteral("10  Sec."),
            QStringLiteral("20  Sec."), QStringLiteral("30  Sec."), QStringLiteral("40  Sec."),
            QStringLiteral("50  Sec."), QStringLiteral("1   Min."), QStringLiteral("2   Min."),
            QStringLiteral("5   Min."), QStringLiteral("10  Min."), QStringLiteral("30  Min."),
            QStringLiteral("1   Hr."),  QStringLiteral("5   Hr."),  QStringLiteral("12  Hr."),
            QStringLiteral("24  Hr.")};
}

QString PollSchedule::defaultChoice()
{
    return QStringLiteral("5   Sec.");
}

bool PollSchedule::start(const QString &comboText)
{
    m_active = false;
    m_elapsedMs = 0;
    m_unitText = comboText.mid(4).trimmed();
    const double n = leadingNumber(comboText.left(2).trimmed());
    double seconds = 0;
    if (m_unitText == QLatin1String("Sec.")) {
        seconds = n;
        m_intervalMs = static_cast<int>(std::lround(n * 1000));
    } else if (m_unitText == QLatin1String("Min.")) {
        seconds = n * 60;
        m_intervalMs = MinuteMs;
    } else if (m_unitText == QLatin1String("Hr.")) {
        seconds = n * 3600;
        m_intervalMs = MinuteMs;
    } else {
        return false;
    }
    m_periodMs = std::llround(seconds * 1000);
    // A zero period would tick without pause and never reach a whole period.
    m_active = m_periodMs > 0 && m_intervalMs > 0;
    return m_active;
}

bool PollSchedule::tick()
{
    if (!m_active)
        return false;
    m_elapsedMs += m_intervalMs;
    // Whole milliseconds, so no rounding error can skip a poll.
    return m_elapsedMs % m_periodMs == 0;
}
