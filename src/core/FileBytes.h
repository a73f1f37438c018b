#pragma once

#include <QByteArray>
#include <QString>

namespace IniEngine {

// A settings file's bytes as they are on disk now, read whole: every write
// and every read outside a batch starts from them, and only identical bytes
// prove a parsed copy current.
struct FileBytes
{
    QByteArray bytes;
    bool exists = false;
    bool ok = true; // false: the file is there but could not be read
    QString error;  // why not, in the system's words
};

FileBytes readFileBytes(const QString &path);

// Replaces the file through a temporary one in the same folder: a crash leaves
// the old or the new file, never a torn one. *error says why it failed.
bool saveFile(const QString &path, const QByteArray &bytes, QString *error = nullptr);

} // namespace IniEngine
