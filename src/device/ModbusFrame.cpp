#include "device/ModbusFrame.h"

#include <algorithm>
#include <array>

namespace ModbusFrame {

namespace {

constexpr std::array<quint16, 256> crcTable()
{
    std::array<quint16, 256> table{};
    for (int i = 0; i < 256; ++i) {
        quint16 c = quint16(i);
        for (int bit = 0; bit < 8; ++bit)
            c = (c & 1) ? quint16((c >> 1) ^ 0xA001) : quint16(c >> 1);
        table[std::size_t(i)] = c;
    }
    return table;
}
constexpr std::array<quint16, 256> CrcTable = crcTable();

bool isRead(quint8 function)
{
    return function == Function::ReadHolding || function == Function::ReadInput;
}

} // namespace

quint16 crc16(const char *data, qsizetype size)
{
    quint16 crc = 0xFFFF;
    for (qsizetype i = 0; i < size; ++i)
        crc = quint16((crc >> 8) ^ CrcTable[(crc ^ quint8(data[i])) & 0xFF]);
    return crc;
}

QByteArray readRequest(quint8 function, quint16 address, quint16 count)
{
    QByteArray pdu(1, char(function));
    appendWord(pdu, address);
    appendWord(pdu, count);
    return pdu;
}

QByteArray writeSingle(quint16 address, quint16 value)
{
    QByteArray pdu(1, char(Function::WriteSingle));
    appendWord(pdu, address);
    appendWord(pdu, value);
    return pdu;
}

QByteArray writeMultiple(quint16 address, std::span<const quint16> values)
{
    QByteArray pdu(1, char(Function::WriteMultiple));
    appendWord(pdu, address);
    appendWord(pdu, quint16(values.size()));
    pdu.append(char(values.size() * 2));
    for (const quint16 v : values)
        appendWord(pdu, v);
    return pdu;
}

QByteArray exceptionAnswer(quint8 function, quint8 code)
{
    QByteArray pdu;
    pdu.append(char(function | Function::ExceptionFlag));
    pdu.append(char(code));
    return pdu;
}

Answer parseAnswer(const QByteArray &request, const QByteArray &answer)
{
    Answer a;
    if (request.isEmpty() || answer.isEmpty())
        return a;
    const quint8 function = quint8(request[0]);
    const quint8 answered = quint8(answer[0]);
    if (answered == (function | Function::ExceptionFlag)) {
        if (answer.size() == 2) {
            a.kind = Answer::Kind::Exception;
            a.exception = quint8(answer[1]);
        }
        return a;
    }
    if (answered != function)
        return a;
    if (isRead(function) && request.size() == 5) {
        const int count = word(request, 3);
        if (answer.size() < 2 || quint8(answer[1]) != count * 2 || answer.size() != 2 + count * 2)
            return a;
        a.registers.reserve(std::size_t(count));
        for (int i = 0; i < count; ++i)
            a.registers.push_back(word(answer, 2 + 2 * i));
        a.kind = Answer::Kind::Registers;
    } else if (function == Function::WriteSingle) {
        if (answer == request)
            a.kind = Answer::Kind::Written;
    } else if (function == Function::WriteMultiple && request.size() >= 5) {
        if (answer.size() == 5 && answer.left(5) == request.left(5))
            a.kind = Answer::Kind::Written;
    }
    return a;
}

QByteArray rtuFrame(quint8 unit, const QByteArray &pdu)
{
    QByteArray frame;
    frame.reserve(pdu.size() + 3);
    frame.append(char(unit));
    frame.append(pdu);
    const quint16 crc = crc16(frame.constData(), frame.size());
    frame.append(char(crc & 0xFF));
    frame.append(char(crc >> 8));
    return frame;
}

bool rtuCrcGood(const QByteArray &frame)
{
    if (frame.size() < 4)
        return false;
    const qsizetype n = frame.size() - 2;
    const quint16 crc = crc16(frame.constData(), n);
    return quint8(frame[n]) == (crc & 0xFF) && quint8(frame[n + 1]) == (crc >> 8);
}

int rtuAnswerLength(const QByteArray &b)
{
    if (b.size() < 2)
        return 0;
    const quint8 function = quint8(b[1]);
    if (function & Function::ExceptionFlag)
        return 5;
    if (isRead(function))
        return b.size() < 3 ? 0 : 5 + quint8(b[2]);
    if (function == Function::WriteSingle || function == Function::WriteMultiple)
        return 8;
    return -1;
}

int rtuAnswerLengthFor(const QByteArray &request)
{
    if (request.size() == 5 && isRead(quint8(request[0])))
        return 5 + 2 * word(request, 3);
    if (!request.isEmpty() && (quint8(request[0]) == Function::WriteSingle ||
                               quint8(request[0]) == Function::WriteMultiple))
        return 8;
    return 5;
}

int rtuRequestLength(const QByteArray &b)
{
    if (b.size() < 2)
        return 0;
    const quint8 function = quint8(b[1]);
    if (isRead(function) || function == Function::WriteSingle)
        return 8;
    if (function == Function::WriteMultiple)
        return b.size() < 7 ? 0 : 9 + quint8(b[6]);
    return -1;
}

QByteArray tcpFrame(quint16 transaction, quint8 unit, const QByteArray &pdu)
{
    QByteArray frame;
    frame.reserve(MbapHeader + pdu.size());
    appendWord(frame, transaction);
    appendWord(frame, 0); // protocol: Modbus
    appendWord(frame, quint16(pdu.size() + 1));
    frame.append(char(unit));
    frame.append(pdu);
    return frame;
}

int tcpFrameLength(const QByteArray &b)
{
    if (b.size() < 6)
        return 0;
    const int length = word(b, 4);
    if (word(b, 2) != 0 || length < 2 || length > MaxRtuFrame - 2)
        return -1;
    return 6 + length;
}

qint64 characterNs(int baud)
{
    return baud > 0 ? 10'000'000'000LL / baud : 0;
}

qint64 silenceNs(int baud)
{
    return std::max<qint64>(characterNs(baud) * 7 / 2, 1'750'000);
}

qint64 exchangeNs(int requestBytes, int answerBytes, int baud)
{
    return qint64(requestBytes + answerBytes) * characterNs(baud) + 2 * silenceNs(baud);
}

} // namespace ModbusFrame
