#include "monitor/DiskLogFileAccess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

LogFileAccess::Info DiskLogFileAccess::info(const QString &path)
{
    const QFileInfo fi(path);
    if (!fi.exists())
        return {};
    return {true, fi.size()};
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
    // A crash or a full disk mid-write must not leave half a log behind. A
    // folder that takes no temporary file may still hold a writable log:
    // then it is written in place.
    QSaveFile file(path);
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(content.data(), content.size()) != content.size() || !file.commit()) {
        m_error = file.errorString();
        file.cancelWriting();
        return false;
    }
    return true;
}

bool DiskLogFileAccess::append(const QString &path, QByteArrayView tail)
{
    // Unbuffered, so that nothing is left to be written after a failure
    // has been undone.
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        m_error = file.errorString();
        return false;
    }
    const qint64 before = file.size();
    // A short write is tried on, so that the failure comes with its reason.
    qint64 done = 0;
    while (done < tail.size()) {
        const qint64 written = file.write(tail.data() + done, tail.size() - done);
        if (written <= 0)
            break;
        done += written;
    }
    if (done == tail.size())
        return true;
    m_error = file.errorString();
    // Part of a record would be followed by the whole of it when the write
    // is tried again.
    file.resize(before);
    return false;
}

QStringList DiskLogFileAccess::fileNames(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden);
}

bool DiskLogFileAccess::remove(const QString &path)
{
    return QFile::remove(path);
}
