#pragma once

#include "device/ModbusTransport.h"

#include <QFile>
#include <QString>
#include <QStringList>
#include <deque>

// The frames of the serial line as a technician reads them: the last
// Capacity frames every line of this process sent and received, older ones
// dropped and counted. A frame is kept as the line gave it (its bytes are
// shared, not copied) and decoded only when a row is asked for; while no log
// is attached, the line makes no frame events at all.
class FrameLog
{
public:
    static constexpr std::size_t Capacity = 10'000;

    enum Column {
        TimeMs,
        Direction,
        Unit,
        Method,
        Function,
        Registers,
        Crc,
        Exception,
        AnswerMs,
        Try,
        Result,
        Bytes,
        ColumnCount
    };

    struct Record
    {
        ModbusFrameEvent event;
        QByteArray request;         // the request an answer, bad frame or timeout is for
        qint64 sinceRequestNs = -1; // answer time; the whole wait for a timeout
        int attempt = 1;            // 2 and up: a retry of the same request
    };

    FrameLog() = default;
    ~FrameLog();
    FrameLog(const FrameLog &) = delete;
    FrameLog &operator=(const FrameLog &) = delete;

    // Watches every line of the process from now on; one log at a time.
    void attach();
    void detach();
    bool attached() const;

    void add(const ModbusFrameEvent &event);
    void clear();

    std::size_t size() const { return m_records.size(); }
    const Record &record(std::size_t index) const { return m_records[index]; }
    quint64 dropped() const { return m_dropped; }
    // Frames added since the last clear, dropped ones included.
    quint64 added() const { return m_added; }

    // A bad frame, a timeout or an exception answer.
    static bool isError(const Record &record);
    // The row as shown and exported, one text a column.
    QStringList row(std::size_t index) const;
    static QString columnTitle(int column);

    static QString csvHeader();
    static QString csvLine(const QStringList &row);
    // "   12.345  send  unit  1  01 03 00 09 00 01 54 08"
    QString hexLine(std::size_t index) const;

    // Rows made since the process started: none while nobody looks.
    static quint64 rowsMade();

private:
    std::deque<Record> m_records;
    quint64 m_dropped = 0;
    quint64 m_added = 0;
    qint64 m_originNs = -1;
    QByteArray m_lastRequest;
    qint64 m_lastRequestNs = 0;
    int m_lastAttempt = 0;
    bool m_lastFailed = false;
};

// zelkctl --trace: every frame of the run, a CSV line each as it happens.
class FrameTraceFile
{
public:
    explicit FrameTraceFile(const QString &path);
    ~FrameTraceFile();
    // Empty when the file is open, else why not.
    QString error() const { return m_error; }

private:
    FrameLog m_log;
    QFile m_file;
    QString m_error;
};
