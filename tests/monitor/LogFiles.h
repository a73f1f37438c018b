#pragma once

#include "monitor/DiskLogFileAccess.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QStringView>
#include <csignal>
#include <map>
#include <sys/resource.h>
#include <utility>

// A stored reference file of this folder's tests.
inline QByteArray stored(const char *name)
{
    QFile golden(QStringLiteral(ZELK_TEST_DATA_DIR "/") + QLatin1String(name));
    return golden.open(QIODevice::ReadOnly) ? golden.readAll() : QByteArray("<unreadable>");
}

// One record of a comma-separated file as RFC 4180 reads it.
inline QStringList csvFields(QStringView line)
{
    QStringList fields(1);
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (quoted && c == u'"' && i + 1 < line.size() && line[i + 1] == u'"') {
            fields.last() += c;
            ++i;
        } else if (c == u'"') {
            quoted = !quoted;
        } else if (c == u',' && !quoted) {
            fields.append(QString());
        } else {
            fields.last() += c;
        }
    }
    return fields;
}

// Record i of a made-up status log, as the log holds it (all of one length
// up to 9999).
inline QString numberedRecord(int i)
{
    return QStringLiteral("\r\nr%1,").arg(i, 4, 10, QLatin1Char('0'));
}

inline QString numberedRecords(int from, int to)
{
    QString records;
    for (int i = from; i <= to; ++i)
        records += numberedRecord(i);
    return records;
}

// The disk, with switches: every write fails as on a full disk, or new files
// and removals fail as in a read-only folder. What removed files held is kept.
class SwitchableLogAccess final : public LogFileAccess
{
public:
    bool writable = true;
    bool folderWritable = true;
    std::map<QString, QByteArray> removed; // by file name
    DiskLogFileAccess disk;
    Info info(const QString &path) override { return disk.info(path); }
    QByteArray readTail(const QString &path, qint64 bytes) override
    {
        return disk.readTail(path, bytes);
    }
    bool replace(const QString &path, QByteArrayView content) override
    {
        return allowed(path) && disk.replace(path, content);
    }
    bool append(const QString &path, QByteArrayView tail) override
    {
        return allowed(path) && disk.append(path, tail);
    }
    QStringList fileNames(const QString &folder) override { return disk.fileNames(folder); }
    bool remove(const QString &path) override
    {
        if (!writable || !folderWritable)
            return false;
        removed[QFileInfo(path).fileName()] = disk.readTail(path, 1 << 20);
        return disk.remove(path);
    }
    QString errorString() const override
    {
        return !writable ? "No space left" : m_refused ? "Permission denied" : disk.errorString();
    }

private:
    bool allowed(const QString &path)
    {
        m_refused = !folderWritable && !info(path).exists;
        return writable && !m_refused;
    }
    bool m_refused = false;
};

// A file size limit that stands in for a full disk: the first bytes of a
// write go, then it fails. Lifted also when a test fails.
struct FileSizeLimit
{
    rlimit saved{};
    void (*handler)(int) = SIG_DFL;
    bool on = false;
    bool set(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &saved);
        handler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = bytes;
        on = ::setrlimit(RLIMIT_FSIZE, &small) == 0;
        return on;
    }
    void lift()
    {
        if (std::exchange(on, false)) {
            ::setrlimit(RLIMIT_FSIZE, &saved);
            std::signal(SIGXFSZ, handler);
        }
    }
    ~FileSizeLimit() { lift(); }
};
