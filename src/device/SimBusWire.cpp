#include "device/SimBusWire.h"

#include "core/Clock.h"
#include "core/Seams.h"

#include <QCoreApplication>
#include <QThread>
#include <algorithm>

namespace {
// Calls closer together than this continue where the line left off, so that
// polling overshoot does not add up over a run of calls.
constexpr qint64 BackToBackUs = 2000;
} // namespace

void SimBusWire::setReadParams(qint16 timeoutMs, qint16 retries)
{
    m_timeoutMs = qMax<qint64>(0, timeoutMs);
    m_retries = qMax<qint64>(0, retries);
}

void SimBusWire::exchange(int requestPayload, int answerPayload)
{
    m_lastBytes = RequestOverhead + requestPayload + AnswerOverhead + answerPayload;
    m_lastTimeUs = lineTimeUs(m_lastBytes);
    if (m_enabled)
        occupyLine(m_lastTimeUs);
}

void SimBusWire::noAnswer()
{
    m_lastBytes = 0;
    // As on the serial line: every try waits ReadTimeout, and a retry waits
    // as long again for a late answer to the try before.
    m_lastTimeUs = qint64(m_timeoutMs) * (2 * m_retries + 1) * 1000;
    if (m_enabled)
        occupyLine(m_lastTimeUs);
}

void SimBusWire::probeNoAnswer(int silentTimeoutMs)
{
    m_lastBytes = 0;
    const qint64 shortestUs = lineTimeUs(RequestOverhead + AnswerOverhead + 1) + 20'000;
    m_lastTimeUs = std::max<qint64>(qint64(silentTimeoutMs) * 1000, shortestUs);
    if (m_enabled)
        occupyLine(m_lastTimeUs);
}

void SimBusWire::occupyLine(qint64 us)
{
    Clock &clock = Seams::clock();
    // A test clock moves only when asked, so sleeping would only stretch the test.
    const bool realTime = dynamic_cast<SystemClock *>(&clock) != nullptr;
    qint64 nowUs = clock.monotonicMs() * 1000;
    if (m_lineFreeUs < nowUs - BackToBackUs)
        m_lineFreeUs = nowUs;
    m_lineFreeUs += us;
    while (nowUs < m_lineFreeUs) {
        QCoreApplication::processEvents();
        if (realTime && m_lineFreeUs - nowUs > 1000)
            QThread::msleep(1);
        nowUs = clock.monotonicMs() * 1000;
    }
}
