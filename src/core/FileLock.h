#pragma once

#include <QtGlobal>

#include <QByteArray>
#include <QString>

#ifndef Q_OS_UNIX
#include <QLockFile>
#endif

namespace IniEngine {

// Advisory lock for one read-modify-write of a file. On Unix an flock() on the
// file's folder: it creates and removes nothing, so no lock file is ever left
// behind and no extra journal write slows the save's flush (a lock file nearly
// doubled the cost of a save), and the kernel drops it when its process dies.
// It serialises the saves of one folder, which take milliseconds.
class FileLock
{
public:
    explicit FileLock(const QString &path);
    FileLock(const FileLock &) = delete;
    FileLock &operator=(const FileLock &) = delete;
    ~FileLock();

    // False when the folder is missing or another program holds the lock too
    // long; errorString() then says which.
    [[nodiscard]] bool acquire();

    QString errorString() const { return m_error; }

private:
#ifdef Q_OS_UNIX
    QByteArray m_folder;
    int m_fd = -1;
#else
    QLockFile m_lock;
#endif
    QString m_error;
};

} // namespace IniEngine
