#pragma once

#include "monitor/StatusLogFormat.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <deque>

// The status log as the monitor keeps it: the header, kept apart, and the
// records, each with a running number that a Clear does not reset. A Clear
// empties the log as the window shows it but keeps the records for the log
// file writer, which takes them by number; so neither a Clear nor a window
// that keeps only its last lines loses a record the file has not got yet.
class StatusLog
{
public:
    // The alarm log keeps its events the same way under its own header.
    explicit StatusLog(QString header = StatusLogFormat::header())
        : m_headerText(std::move(header))
    {}
    const QString &headerText() const { return m_headerText; }

    // Records held at most unless told otherwise; beyond that the oldest go,
    // taken or not.
    static constexpr qsizetype MaxHeld = 10000;
    // The monitor holds what its window shows: a run of days stays flat.
    void setMaxHeld(qsizetype records);

    // No header and no record since the last Clear.
    bool isEmpty() const { return !m_header && firstShown() == nextNumber(); }
    // Puts the header in when the log is empty; true when it did.
    bool addHeader();
    // One record as StatusLogFormat::logRecord makes it.
    void append(const QString &record);
    void clear();

    bool hasHeader() const { return m_header; }
    // The number the next record gets.
    quint64 nextNumber() const { return m_first + m_records.size(); }
    // The number of the oldest record held.
    quint64 firstHeld() const { return m_first; }
    // The number of the first record since the last Clear (nextNumber() when none).
    quint64 firstShown() const { return qMax(m_shownFrom, m_first); }
    // A held record, by its number: firstHeld() <= number < nextNumber().
    const QByteArray &record(quint64 number) const { return m_records[number - m_first]; }
    // The header and the records since the last Clear, as the window shows them.
    QByteArray bytes() const;

private:
    QString m_headerText;
    std::deque<QByteArray> m_records; // at most m_maxHeld
    qsizetype m_maxHeld = MaxHeld;
    quint64 m_first = 0;
    quint64 m_shownFrom = 0;
    bool m_header = false;
};
