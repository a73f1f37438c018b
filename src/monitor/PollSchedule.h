#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

// The polling period of Monitor Mode. The interval box holds a number padded
// to four characters and a unit word ("5   Sec.", "2   Min."). Seconds tick
// at the period itself; minutes and hours tick once a minute and poll when
// the time since Monitor Mode began is a whole number of periods.
class PollSchedule
{
public:
    static QStringList choices();
    static QString defaultChoice();

    // Starts from the interval box's text. False when it names no usable
    // period: there is then nothing to poll.
    bool start(const QString &comboText);
    void stop() { m_active = false; }

    bool active() const { return m_active; }
    QString unitText() const { return m_unitText; }
    double periodSeconds() const { return m_periodMs / 1000.0; }
    int intervalMs() const { return m_intervalMs; }
    qint64 elapsedMs() const { return m_elapsedMs; }

    // One timer tick: time moves on by the interval. True when this tick
    // falls on a poll time.
    bool tick();

private:
    bool m_active = false;
    QString m_unitText;
    qint64 m_periodMs = 0;
    int m_intervalMs = 0;
    qint64 m_elapsedMs = 0;
};
