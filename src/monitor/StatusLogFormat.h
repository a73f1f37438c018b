#pragma once

#include "monitor/PollRecord.h"

#include <QString>

// The texts of the status log (the stored format) and of the monitoring data
// window, one record per poll.
class StatusLogFormat
{
public:
    static QString okFail(bool good);
    // One field as RFC 4180 has it: quoted when it holds a comma, a quote or
    // a line break.
    static QString quoted(const QString &value);
    // Ends without a line break: each record brings its own in front.
    static QString header();
    // CR LF and the record, every field followed by ","; a field holding a
    // comma, a quote or a line break is quoted as RFC 4180 has it.
    static QString logRecord(const PollRecord &record);
    // CR LF and the human-readable line of the monitoring data window.
    static QString displayRecord(const PollRecord &record);
    // A display's text as the data window lines it up.
    static QString displayValue(const QString &shown);
};
