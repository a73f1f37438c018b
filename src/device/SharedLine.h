#pragma once

#include <QObject>
#include <QPointer>
#include <deque>
#include <functional>

// The one serial line every window talks over. It is in use while a device
// sequence has the port open (SharedLineDevice counts the sequences) or while
// a window holds it across several sequences that belong together (a poll,
// a read, an output action). Work that starts on its own (a Monitor Mode
// poll, a step of the bus scan, a click that arrives while another window
// talks to a unit) waits here until the line is free, and runs in the order
// it asked, so two windows' sequences never interleave.
class SharedLine : public QObject
{
    Q_OBJECT
public:
    static SharedLine &instance();

    bool busy() const { return m_openSequences > 0 || m_holds > 0; }
    int waiting() const { return int(m_jobs.size()); }

    // Runs the job at once when the line is free and nothing waits before
    // it; else queues it. A job whose context is gone is dropped.
    void whenFree(QObject *context, std::function<void()> job);

    // Keeps the line across several sequences of one owner; counted.
    void hold();
    void release();
    class Holding
    {
    public:
        Holding() { SharedLine::instance().hold(); }
        ~Holding() { SharedLine::instance().release(); }
        Holding(const Holding &) = delete;
        Holding &operator=(const Holding &) = delete;
    };

    // The device decorator's count of open sequences.
    void sequenceOpened() { ++m_openSequences; }
    void sequenceClosed();
    int openSequences() const { return m_openSequences; }

    // A new device object: nothing is open, held or waiting.
    void reset();

private:
    SharedLine() = default;
    void freed();
    void runNext();

    struct Job
    {
        QPointer<QObject> context;
        std::function<void()> run;
    };
    std::deque<Job> m_jobs;
    int m_openSequences = 0;
    int m_holds = 0;
    bool m_runPosted = false;
};
