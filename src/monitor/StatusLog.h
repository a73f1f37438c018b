#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// The status log as the monitor keeps it: the bytes the log file must hold.
// Clearing starts a new generation, so a writer knows that what it wrote
// before is no longer a prefix of the log.
class StatusLog
{
public:
    bool isEmpty() const { return m_bytes.isEmpty(); }
    // Puts the header in when the log is empty; true when it did.
    bool addHeader();
    void append(const QString &text);
    void clear();

    const QByteArray &bytes() const { return m_bytes; }
    quint64 generation() const { return m_generation; }

private:
    QByteArray m_bytes;
    quint64 m_generation = 0;
};
