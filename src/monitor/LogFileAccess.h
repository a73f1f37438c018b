#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

// What the status log writer needs of the file system, so that a full disk or
// a read-only folder can be reproduced without one.
class LogFileAccess
{
public:
    struct Info
    {
        bool exists = false;
        qint64 size = 0;
    };

    virtual ~LogFileAccess() = default;
    virtual Info info(const QString &path) = 0;
    // The last bytes of the file (fewer when it is shorter).
    virtual QByteArray readTail(const QString &path, qint64 bytes) = 0;
    // Replaces the whole file; false when it could not be written.
    [[nodiscard]] virtual bool replace(const QString &path, QByteArrayView content) = 0;
    // Adds to the end of the file, creating it when missing; false when not
    // every byte was written, and then the file is as it was.
    [[nodiscard]] virtual bool append(const QString &path, QByteArrayView tail) = 0;
    // The names of the files in a folder, for the log's cut files.
    virtual QStringList fileNames(const QString &folder) = 0;
    // Removes a file; false when it stays.
    virtual bool remove(const QString &path) = 0;
    // Why the last replace or append failed, in the system's words.
    virtual QString errorString() const { return {}; }
};
