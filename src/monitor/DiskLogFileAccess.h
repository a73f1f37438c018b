#pragma once

#include "monitor/LogFileAccess.h"

// The status log's file on disk.
class DiskLogFileAccess final : public LogFileAccess
{
public:
    Info info(const QString &path) override;
    QByteArray readTail(const QString &path, qint64 bytes) override;
    bool replace(const QString &path, QByteArrayView content) override;
    bool append(const QString &path, QByteArrayView tail) override;
    QStringList fileNames(const QString &folder) override;
    bool remove(const QString &path) override;
    QString errorString() const override { return m_error; }

private:
    QString m_error;
};
