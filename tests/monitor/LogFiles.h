#pragma once

#include "monitor/DiskLogFileAccess.h"

#include <QStringList>
#include <QStringView>

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

// The disk, with a switch that makes every write fail like a full disk.
class SwitchableLogAccess final : public LogFileAccess
{
public:
    bool writable = true;
    DiskLogFileAccess disk;
    Info info(const QString &path) override { return disk.info(path); }
    QByteArray readTail(const QString &path, qint64 bytes) override
    {
        return disk.readTail(path, bytes);
    }
    bool replace(const QString &path, QByteArrayView content) override
    {
        return writable && disk.replace(path, content);
    }
    bool append(const QString &path, QByteArrayView tail) override
    {
        return writable && disk.append(path, tail);
    }
    QStringList fileNames(const QString &folder) override { return disk.fileNames(folder); }
    bool remove(const QString &path) override { return writable && disk.remove(path); }
    QString errorString() const override { return writable ? QString() : "No space left"; }
};
