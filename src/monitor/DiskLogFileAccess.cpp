#include "DiskLogFileAccess.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

LogFileAccess::Info DiskLogFileAccess::info(const QString &path)
{
    const QFileInfo fi(path);
    if (!fi.exists())
        return {};
    return {true, fi.size(), fi.lastModified()};
}

QByteArray DiskLogFileAccess::readTail(const QString &path, qint64 bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const qint64 size = file.size();
    if (!file.seek(qMax<qint64>(0, size - bytes)))
        return {};
    return file.read(bytes);
}

bool DiskLogFileAccess::replace(const QString &path, QByteArrayView content)
{
    // A crash or a full disk mid-write must not leave half a log behind.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(content.data(), content.size()) != content.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

bool DiskLogFileAccess::append(const QString &path, QByteArrayView tail)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    const bool written = file.write(tail.data(), tail.size()) == tail.size();
    return file.flush() && written;
}
