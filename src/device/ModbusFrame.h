#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <span>
#include <vector>

// Modbus frames as they go over the line: RTU (address, PDU, CRC-16) on the
// serial line, MBAP header and PDU through a TCP gateway, and the line time
// of an exchange. Shared by the serial device object and the unit emulator,
// so both count the same bytes and the same silences (docs/wire-protocol.md).
namespace ModbusFrame {

namespace Function {
constexpr quint8 ReadHolding = 0x03;
constexpr quint8 ReadInput = 0x04;
constexpr quint8 WriteSingle = 0x06;
constexpr quint8 WriteMultiple = 0x10;
constexpr quint8 ExceptionFlag = 0x80;
} // namespace Function

namespace Exception {
constexpr quint8 IllegalFunction = 0x01;
constexpr quint8 IllegalAddress = 0x02;
constexpr quint8 IllegalValue = 0x03;
constexpr quint8 DeviceFailure = 0x04;
constexpr quint8 Acknowledge = 0x05;
constexpr quint8 Busy = 0x06;
constexpr quint8 GatewayPath = 0x0A;
constexpr quint8 GatewayNoAnswer = 0x0B;
} // namespace Exception

// Largest register count one read may ask for, and one write may carry.
constexpr int MaxReadCount = 125;
constexpr int MaxWriteCount = 123;
// An RTU frame is at most 256 bytes; a TCP frame carries the same PDU.
constexpr int MaxRtuFrame = 256;
constexpr int MbapHeader = 7;

// CRC-16/MODBUS (polynomial 0xA001 reflected, start 0xFFFF); sent low byte first.
quint16 crc16(const char *data, qsizetype size);

// ---- PDUs ----
QByteArray readRequest(quint8 function, quint16 address, quint16 count);
QByteArray writeSingle(quint16 address, quint16 value);
QByteArray writeMultiple(quint16 address, std::span<const quint16> values);
QByteArray exceptionAnswer(quint8 function, quint8 code);

inline quint16 word(const QByteArray &bytes, qsizetype at)
{
    return quint16((quint8(bytes[at]) << 8) | quint8(bytes[at + 1]));
}
inline void appendWord(QByteArray &bytes, quint16 value)
{
    bytes.append(char(value >> 8));
    bytes.append(char(value & 0xFF));
}

// What an answer PDU says about the request it answers.
struct Answer
{
    enum class Kind { Registers, Written, Exception, Invalid };
    Kind kind = Kind::Invalid;
    quint8 exception = 0;
    std::vector<quint16> registers; // a read's values, in address order
};
// Checks the answer against the request: the same function, a byte count
// that matches the count asked for, a write echoed as sent.
Answer parseAnswer(const QByteArray &requestPdu, const QByteArray &answerPdu);

// ---- RTU ----
QByteArray rtuFrame(quint8 unit, const QByteArray &pdu);
bool rtuCrcGood(const QByteArray &frame);
// Length of a whole answer frame judged from its first bytes: 0 while too
// few bytes are in to tell, -1 for a function that is not ours.
int rtuAnswerLength(const QByteArray &bytesSoFar);
// Length of the whole answer frame a request PDU asks for, when the unit
// does what it asks (an exception is shorter).
int rtuAnswerLengthFor(const QByteArray &requestPdu);
// Length of a whole request frame from its first bytes, as the answering
// side sees it (0: not yet known, -1: unknown function).
int rtuRequestLength(const QByteArray &bytesSoFar);

// ---- TCP (MBAP) ----
QByteArray tcpFrame(quint16 transaction, quint8 unit, const QByteArray &pdu);
// Length of a whole MBAP frame from its first bytes (0: not yet known, -1:
// a header no gateway sends).
int tcpFrameLength(const QByteArray &bytesSoFar);

// ---- line time at 8N1, ten bits a character ----
qint64 characterNs(int baud);
// The silence that ends a frame: 3.5 characters, but not under 1.75 ms.
qint64 silenceNs(int baud);
// Request and answer on the line with the silence before each.
qint64 exchangeNs(int requestBytes, int answerBytes, int baud);

} // namespace ModbusFrame
