#pragma once

// The process's resident memory now, for benchmarks that watch it grow.
#include <QByteArray>
#include <QFile>

// KiB resident, as the kernel counts it; 0 where it cannot be read.
inline double residentKib()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble();
    return 0;
}
