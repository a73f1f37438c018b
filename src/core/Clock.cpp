#include "core/Clock.h"

#include <QElapsedTimer>

QDateTime SystemClock::currentDateTime()
{
    return QDateTime::currentDateTime();
}

qint64 SystemClock::monotonicMs()
{
    static QElapsedTimer timer = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return timer.elapsed();
}
