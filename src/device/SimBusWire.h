#pragma once

#include <QtGlobal>

// The time a call would take on the serial line at 9600 baud, 8N1 (ten bits a
// byte), and the time a unit that does not answer costs: the read timeout for
// the first try and for every retry. While it waits it lets window events run,
// as the program's own busy-waits do.
class SimBusWire
{
public:
    static constexpr int BaudRate = 9600;
    static constexpr int BitsPerByte = 10;
    // Frame around every request: start, address, command, length, two check
    // bytes, end. An answer adds its status byte.
    static constexpr int RequestOverhead = 7;
    static constexpr int AnswerOverhead = 8;

    static qint64 lineTimeUs(int bytes) { return qint64(bytes) * BitsPerByte * 1000000 / BaudRate; }

    void setEnabled(bool on) { m_enabled = on; }
    bool enabled() const { return m_enabled; }
    void setReadParams(qint16 timeoutMs, qint16 retries);

    // A request with requestPayload bytes and its answer with answerPayload.
    void exchange(int requestPayload, int answerPayload);
    // A request nobody answers.
    void noAnswer();
    // A look for a unit that nobody answers: one try, its whole turn within
    // silentTimeoutMs, but never less than a one-register answer's time and
    // 20 ms, as the serial line asks.
    void probeNoAnswer(int silentTimeoutMs);

    int lastBytes() const { return m_lastBytes; }
    qint64 lastTimeUs() const { return m_lastTimeUs; }

private:
    void occupyLine(qint64 us);

    bool m_enabled = false;
    qint64 m_timeoutMs = 1000;
    qint64 m_retries = 2;
    int m_lastBytes = 0;
    qint64 m_lastTimeUs = 0;
    qint64 m_lineFreeUs = -1; // on the clock seam's time line
};
