#pragma once

#include <QDateTime>
#include <QtGlobal>

// Date and time as the program sees them: error-file names, log stamps and
// pauses all ask this, so tests can fix time or move it on.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual QDateTime currentDateTime() = 0;
    // Milliseconds on a clock that never goes back (does not restart at midnight).
    virtual qint64 monotonicMs() = 0;
};

class SystemClock final : public Clock
{
public:
    QDateTime currentDateTime() override;
    qint64 monotonicMs() override;
};
