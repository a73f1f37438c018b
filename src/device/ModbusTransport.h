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
        Timeout   // nothing (whole) came in time
    };
    Kind kind = Kind::Request;
    quint8 unit = 0;
    QByteArray bytes; // the frame as on the wire (RTU or MBAP)
    qint64 atNs = 0;  // steady clock
};
using ModbusFrameTap = std::function<void(const ModbusFrameEvent &)>;

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
    };

    virtual ~ModbusTransport() = default;

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

protected:
    bool watched() const { return bool(m_tap); }
    void tell(const ModbusFrameEvent &event) const { m_tap(event); }

private:
    ModbusFrameTap m_tap;
};
