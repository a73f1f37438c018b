#include "core/FileBytes.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cstddef>
#include <utility>

namespace IniEngine {
namespace {

// The file-system check alone lets root replace any file; a file without its
// owner's write bit counts as read-only for everybody.
bool isReadOnly(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return false;
    return !info.isWritable() || !(info.permissions() & QFileDevice::WriteOwner);
}

} // namespace

FileBytes readFileBytes(const QString &path)
{
    FileBytes result;
#ifdef Q_OS_UNIX
    // One open, one fstat and the reads: a save reads its file twice and the
    // ratings file once, and the general file class spends more calls on it.
    const QByteArray name = QFile::encodeName(path);
    int fd;
    do {
        fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        result.exists = errno != ENOENT && errno != ENOTDIR;
        result.ok = !result.exists;
        if (!result.ok)
            result.error = qt_error_string(errno);
        return result;
    }
    result.exists = true;
    struct stat info;
    const bool statFailed = ::fstat(fd, &info) != 0;
    if (statFailed || S_ISDIR(info.st_mode)) {
        result.error = qt_error_string(statFailed ? errno : EISDIR);
        ::close(fd);
        result.ok = false;
        return result;
    }
    // The size is a hint: the file may grow or shrink while it is read.
    QByteArray bytes(qsizetype(info.st_size) + 1, Qt::Uninitialized);
    qsizetype size = 0;
    for (;;) {
        if (size == bytes.size())
            bytes.resize(bytes.size() * 2 + 4096);
        const ssize_t n = ::read(fd, bytes.data() + size, std::size_t(bytes.size() - size));
        if (n > 0) {
            size += n;
        } else if (n == 0) {
            break;
        } else if (errno != EINTR) {
            result.ok = false;
            result.error = qt_error_string(errno);
            break;
        }
    }
    ::close(fd);
    if (result.ok) {
        bytes.truncate(size);
        result.bytes = std::move(bytes);
    }
    return result;
#else
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        result.exists = QFileInfo::exists(path);
        result.ok = !result.exists;
        if (!result.ok)
            result.error = file.errorString();
        return result;
    }
    result.exists = true;
    result.bytes = file.readAll();
    result.ok = file.error() == QFileDevice::NoError;
    if (!result.ok)
        result.error = file.errorString();
    return result;
#endif
}

bool saveFile(const QString &path, const QByteArray &bytes, QString *error)
{
    const auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (isReadOnly(path))
        return fail(QStringLiteral("The file is read-only"));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(file.errorString());
    if (file.write(bytes) != bytes.size()) {
        const QString why = file.errorString();
        file.cancelWriting();
        return fail(why);
    }
    return file.commit() || fail(file.errorString());
}

} // namespace IniEngine
