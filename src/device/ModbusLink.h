#pragma once

#include "device/ModbusTransport.h"

#include <QTimer>
#include <array>
#include <memory>

class QIODevice;
class QSerialPort;
class QTcpSocket;

// The real line: Modbus RTU on a serial port (framed here, so that every byte
// and every bad check is seen) or Modbus TCP to a gateway ("tcp://host:port").
// On the serial line it keeps the silence that ends a frame before each
// request, discards what came late for an earlier one, and takes an answer as
// whole when its length is in or the line has gone quiet. After a try that got
// no good answer, the unit gets no request, not even the retry, until that
// try's answer can no longer come (docs/wire-protocol.md, "Late answers"): an
// answer of the same shape to another question would be taken for its own.
class ModbusLink final : public ModbusTransport
{
public:
    ModbusLink(const QString &target, int baud, int connectTimeoutMs);
    ~ModbusLink() override;

    QString open() override;
    void close() override;
    Exchange exchange(quint8 unit, const QByteArray &pdu, int timeoutMs) override;
    QString lostText() const override { return m_lostText; }

private:
    Exchange exchangeRtu(quint8 unit, const QByteArray &pdu, int timeoutMs);
    Exchange exchangeTcp(quint8 unit, const QByteArray &pdu, int timeoutMs);
    QString openSerial();
    QString openTcp();
    // Lets events run until done() or the steady-clock deadline; false when
    // the deadline came first or the port went away.
    template<typename Done> bool waitFor(qint64 deadlineNs, Done done);
    void send(const QByteArray &frame, quint8 unit);
    void tell(ModbusFrameEvent::Kind kind, quint8 unit, const QByteArray &bytes) const;
    // Sleeps until then: the line cannot have anything for us before.
    void pauseUntil(qint64 untilNs);
    void checkHangUp();
    // Listens out a late answer the unit may still give before it gets
    // another request; whatever comes is discarded as late.
    // True when what came began with the unit's address: it answers, late.
    bool waitOutLate(quint8 unit);
    // What came in since the last exchange, told as late; the input is empty after.
    // True when it began with the unit's address.
    bool discardInput(quint8 unit);
    void markLost(const QString &why);

    QString m_target;
    int m_baud;
    int m_connectTimeoutMs;
    std::unique_ptr<QSerialPort> m_serial;
    std::unique_ptr<QTcpSocket> m_tcp;
    QIODevice *m_io = nullptr;
    QTimer m_wake; // ends a wait for events at its deadline
    QByteArray m_in;
    qint64 m_lineFreeNs = 0;
    std::array<qint64, 256> m_late{}; // by unit: until when a late answer may come
    quint16 m_transaction = 0;
    bool m_lost = false;
    QString m_lostText;
};
