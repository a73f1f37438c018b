#include "device/SharedLine.h"

SharedLine &SharedLine::instance()
{
    static SharedLine line;
    return line;
}

void SharedLine::whenFree(QObject *context, std::function<void()> job)
{
    if (!busy() && m_jobs.empty()) {
        job();
        return;
    }
    m_jobs.push_back({context, std::move(job)});
    freed();
}

void SharedLine::hold()
{
    ++m_holds;
}

void SharedLine::release()
{
    if (m_holds > 0 && --m_holds == 0)
        freed();
}

void SharedLine::sequenceClosed()
{
    if (m_openSequences > 0 && --m_openSequences == 0)
        freed();
}

void SharedLine::reset()
{
    m_jobs.clear();
    m_openSequences = 0;
    m_holds = 0;
}

void SharedLine::freed()
{
    if (busy() || m_jobs.empty() || m_runPosted)
        return;
    // Not from inside the ClosePort or release that freed the line: its
    // caller still has to finish with what the sequence brought back.
    m_runPosted = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_runPosted = false;
            runNext();
        },
        Qt::QueuedConnection);
}

void SharedLine::runNext()
{
    while (!busy() && !m_jobs.empty()) {
        Job job = std::move(m_jobs.front());
        m_jobs.pop_front();
        if (!job.context)
            continue;
        job.run();
        // One job a turn: the windows' own events come in between.
        break;
    }
    freed();
}
