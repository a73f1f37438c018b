#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <functional>

// One frame on the line as the device object saw it, for whoever watches the
// traffic. Made only while someone watches.
struct ModbusFrameEvent
{
    enum class Kind {
        Request,  // sent
        Answer,   // received, checks passed
        BadFrame, // received, failed its check bytes or did not fit the request
        Timeout,  // nothing (whole) came in time
        Late      // came for an earlier request and was discarded unread
    };
    Kind kind = Kind::Request;
    quint8 unit = 0;
    QByteArray bytes; // the frame as on the wire (RTU or MBAP)
    qint64 atNs = 0;  // steady clock
    bool tcp = false; // MBAP framing, no check bytes
    int attempt = 0;  // the try of its call, 1 first; 0 where the caller does not count
};
using ModbusFrameTap = std::function<void(const ModbusFrameEvent &)>;

// Whoever watches every line this process opens, whichever device object
// opened it (the frame inspector, a trace file); empty when nobody does.
inline ModbusFrameTap &processFrameTap()
{
    static ModbusFrameTap tap;
    return tap;
}
// Frame events made since the process started: none while nobody watches.
inline quint64 &frameEventsMade()
{
    static quint64 count = 0;
    return count;
}

// One request and whatever came back for it, on a line the device object
// opened. The serial line and a TCP gateway are two of these; tests and the
// fuzz target put a scripted one in their place.
class ModbusTransport
{
public:
    struct Exchange
    {
        enum class Status {
            Answer,   // a whole, checked frame from the addressed unit: pdu holds it
            NoAnswer, // nothing in time
            BadFrame, // something came, but not a frame of that unit (check bytes, length)
            Lost      // the port went away; lostText says how
        };
        Status status = Status::NoAnswer;
        QByteArray pdu;
        // A late answer of the unit came before the request and was
        // discarded: the unit is there, only slow.
        bool lateAnswer = false;
    };

    virtual ~ModbusTransport() = default;

    // A serial device path or a TCP gateway, "tcp://host:port".
    static bool isTcpTarget(const QString &target)
    {
        return target.startsWith(QLatin1String("tcp://"), Qt::CaseInsensitive);
    }

    // Empty on success, else why the line could not be opened (the caller
    // names the line).
    virtual QString open() = 0;
    virtual void close() = 0;
    // Sends the request and waits at most timeoutMs for its answer, letting
    // window events run meanwhile.
    virtual Exchange exchange(quint8 unit, const QByteArray &pdu, int timeoutMs) = 0;
    // Why the port is gone, once an exchange came back Lost.
    virtual QString lostText() const = 0;

    void setTap(ModbusFrameTap tap) { m_tap = std::move(tap); }
    // The process's watcher and count as the program sees them: a line made
    // in the line module has copies of its own, which nobody watches.
    void shareProcessWatch(ModbusFrameTap &everyLine, quint64 &made)
    {
        m_everyLine = &everyLine;
        m_made = &made;
    }
    // Which try of its call the next exchange is, for whoever watches.
    void setAttempt(int attempt) { m_attempt = attempt; }

protected:
    bool watched() const { return bool(m_tap) || bool(*m_everyLine); }
    void tell(const ModbusFrameEvent &event) const
    {
        ++*m_made;
        ModbusFrameEvent counted = event;
        counted.attempt = m_attempt;
        if (m_tap)
            m_tap(counted);
        if (const ModbusFrameTap &everyLine = *m_everyLine)
            everyLine(counted);
    }

private:
    ModbusFrameTap m_tap;
    ModbusFrameTap *m_everyLine = &processFrameTap();
    quint64 *m_made = &frameEventsMade();
    int m_attempt = 0;
};
