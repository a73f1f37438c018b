#include "IniFile.h"

#include "IniDocument.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QThread>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#else
#include <QLockFile>
#endif

#include <algorithm>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace {

// Long enough for another program's save to finish, short enough that a wedged
// lock does not freeze the window for good.
constexpr int kLockTimeoutMs = 5000;
// Parsed copies kept for fresh reads; each is checked against the bytes on disk.
constexpr qsizetype kMaxCachedFiles = 16;

enum class OpKind : std::uint8_t { Set, RemoveKey, RemoveSection };

// UTF-8 bytes of an argument, kept on the stack for the usual short texts
// (plain ASCII skips the QByteArray round trip): a batch makes thousands of calls.
class Utf8Arg
{
public:
    enum class Strip { None, Spaces };

    Utf8Arg(const QString &text, Strip strip)
    {
        const auto size = std::size_t(text.size());
        const auto *chars = reinterpret_cast<const char16_t *>(text.constData());
        // One pass narrows the text and notes whether it was plain ASCII.
        const std::size_t narrowed = std::min(size, sizeof m_small);
        char16_t seen = 0;
        for (std::size_t i = 0; i < narrowed; ++i) {
            seen |= chars[i];
            m_small[i] = char(chars[i]);
        }
        if (seen < 0x80 && size <= sizeof m_small) {
            m_view = std::string_view(m_small, size);
        } else {
            m_big = text.toUtf8();
            m_view = std::string_view(m_big.constData(), std::size_t(m_big.size()));
        }
        if (strip == Strip::Spaces) {
            // Spaces only: an argument with a tab at either end matches
            // nothing, and existing callers depend on that.
            while (!m_view.empty() && m_view.front() == ' ')
                m_view.remove_prefix(1);
            while (!m_view.empty() && m_view.back() == ' ')
                m_view.remove_suffix(1);
        }
    }
    Utf8Arg(const Utf8Arg &) = delete;
    Utf8Arg &operator=(const Utf8Arg &) = delete;

    std::string_view view() const { return m_view; }

private:
    char m_small[120];
    QByteArray m_big;
    std::string_view m_view;
};

QString canonicalPath(const QString &path)
{
    if (path.isEmpty())
        return {};
    return QDir::cleanPath(QDir::isAbsolutePath(path) ? path
                                                      : QDir::current().absoluteFilePath(path));
}

// Advisory lock for one read-modify-write of a file. On Unix an flock() on the
// file's folder: it creates and removes nothing, so no lock file is ever left
// behind and no extra journal write slows the save's flush (a lock file nearly
// doubled the cost of a save), and the kernel drops it when its process dies.
// It serialises the saves of one folder, which take milliseconds.
class FileLock
{
public:
    explicit FileLock(const QString &path)
#ifdef Q_OS_UNIX
        : m_folder(QFile::encodeName(QFileInfo(path).absolutePath()))
#else
        : m_lock(path + QStringLiteral(".lock"))
#endif
    {}
    FileLock(const FileLock &) = delete;
    FileLock &operator=(const FileLock &) = delete;
    ~FileLock()
    {
#ifdef Q_OS_UNIX
        if (m_fd >= 0)
            ::close(m_fd); // releases the lock
#endif
    }

    // False when the folder is missing or another program holds the lock too long.
    [[nodiscard]] bool acquire()
    {
#ifdef Q_OS_UNIX
        m_fd = ::open(m_folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (m_fd < 0)
            return false;
        const QDeadlineTimer deadline(kLockTimeoutMs);
        while (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
            if (errno == EINTR)
                continue;
            // A file system without flock() still gets its writes, unlocked.
            if (errno != EWOULDBLOCK)
                return true;
            if (deadline.hasExpired())
                return false;
            QThread::msleep(2);
        }
        return true;
#else
        return m_lock.tryLock(kLockTimeoutMs);
#endif
    }

private:
#ifdef Q_OS_UNIX
    QByteArray m_folder;
    int m_fd = -1;
#else
    QLockFile m_lock;
#endif
};

struct FileBytes
{
    QByteArray bytes;
    bool exists = false;
    bool ok = true; // false: the file is there but could not be read
};

FileBytes readFileBytes(const QString &path)
{
    FileBytes result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        result.exists = QFileInfo::exists(path);
        result.ok = !result.exists;
        return result;
    }
    result.exists = true;
    result.bytes = file.readAll();
    result.ok = file.error() == QFileDevice::NoError;
    return result;
}

// The file-system check alone lets root replace any file; a file without its
// owner's write bit counts as read-only for everybody.
bool isReadOnly(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return false;
    return !info.isWritable() || !(info.permissions() & QFileDevice::WriteOwner);
}

// Replaces the file through a temporary one in the same folder: a crash leaves
// the old or the new file, never a torn one.
bool saveFile(const QString &path, const QByteArray &bytes)
{
    if (isReadOnly(path))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

void applyOp(IniDocument &doc, OpKind kind, std::string_view section, std::string_view key,
             std::string_view value)
{
    switch (kind) {
    case OpKind::Set:
        doc.setValue(section, key, value);
        break;
    case OpKind::RemoveKey:
        doc.removeKey(section, key);
        break;
    case OpKind::RemoveSection:
        doc.removeSection(section);
        break;
    }
}

bool writeNow(const QString &path, OpKind kind, std::string_view section, std::string_view key,
              std::string_view value)
{
    FileLock lock(path);
    if (!lock.acquire())
        return false;
    const FileBytes file = readFileBytes(path);
    if (!file.ok)
        return false;
    IniDocument doc = IniDocument::parse(file.bytes, file.exists);
    applyOp(doc, kind, section, key, value);
    return !doc.isModified() || saveFile(path, doc.serialize());
}

struct BatchState
{
    struct Op
    {
        OpKind kind;
        std::uint32_t sectionOffset, sectionSize, keyOffset, keySize, valueOffset, valueSize;
    };

    QString path;
    IniDocument doc;
    QByteArray baseBytes;
    bool baseExists = false;
    bool loadFailed = false;
    // Every write, kept so it can be applied again to a file that another
    // program changed while the batch ran.
    std::string opText;
    std::vector<Op> ops;

    void record(OpKind kind, std::string_view section, std::string_view key, std::string_view value)
    {
        const auto s = std::uint32_t(opText.size());
        const auto k = std::uint32_t(s + section.size());
        const auto v = std::uint32_t(k + key.size());
        opText.append(section).append(key).append(value);
        ops.push_back(Op{kind, s, std::uint32_t(section.size()), k, std::uint32_t(key.size()), v,
                         std::uint32_t(value.size())});
    }

    void replay(IniDocument &target) const
    {
        const std::string_view text = opText;
        for (const Op &op : ops) {
            applyOp(target, op.kind, text.substr(op.sectionOffset, op.sectionSize),
                    text.substr(op.keyOffset, op.keySize),
                    text.substr(op.valueOffset, op.valueSize));
        }
    }

    bool commit() const
    {
        if (loadFailed)
            return false;
        if (!doc.isModified())
            return true;
        FileLock lock(path);
        if (!lock.acquire())
            return false;
        const FileBytes now = readFileBytes(path);
        if (!now.ok)
            return false;
        if (now.exists == baseExists && now.bytes == baseBytes) {
            const QByteArray out = doc.serialize();
            return (baseExists && out == baseBytes) || saveFile(path, out);
        }
        IniDocument fresh = IniDocument::parse(now.bytes, now.exists);
        replay(fresh);
        return !fresh.isModified() || saveFile(path, fresh.serialize());
    }
};

struct Registry
{
    struct CachedFile
    {
        QByteArray bytes;
        std::shared_ptr<const IniDocument> doc;
    };

    // One GUI thread uses this; the mutex only keeps a misplaced call from
    // another thread from corrupting it.
    std::mutex mutex;
    QHash<QString, std::shared_ptr<BatchState>> batches; // by canonical path
    // The last path asked for, as given, and its batch (or none), so the calls
    // of a batch skip making the path canonical.
    QString lastPath;
    BatchState *lastBatch = nullptr;
    QHash<QString, CachedFile> cache; // by path as given

    void forgetLastPath()
    {
        lastPath.clear();
        lastBatch = nullptr;
    }

    BatchState *findBatch(const QString &path)
    {
        if (batches.isEmpty() || path.isEmpty())
            return nullptr;
        // The same QString object is the usual case and needs no comparison.
        if (!lastPath.isEmpty() &&
            ((path.constData() == lastPath.constData() && path.size() == lastPath.size()) ||
             path == lastPath))
            return lastBatch;
        const auto it = batches.constFind(canonicalPath(path));
        BatchState *batch = it == batches.constEnd() ? nullptr : it->get();
        // A relative path may mean another file once the working folder changes.
        if (QDir::isAbsolutePath(path)) {
            lastPath = path;
            lastBatch = batch;
        }
        return batch;
    }

    std::shared_ptr<const IniDocument> parsedFile(const QString &path)
    {
        const FileBytes file = readFileBytes(path);
        if (!file.ok || !file.exists)
            return nullptr;
        // Only identical bytes prove the copy current: size and time can stay the same.
        const auto it = cache.constFind(path);
        if (it != cache.constEnd() && it->bytes == file.bytes)
            return it->doc;
        auto doc = std::make_shared<const IniDocument>(IniDocument::parse(file.bytes));
        if (cache.size() >= kMaxCachedFiles)
            cache.clear();
        cache.insert(path, CachedFile{file.bytes, doc});
        return doc;
    }
};

Registry &registry()
{
    // Never destroyed, so a batch that outlives main() still finds it.
    static auto *instance = new Registry;
    return *instance;
}

std::string_view unquoted(std::string_view value)
{
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

} // namespace

QString IniFile::readString(const QString &path, const QString &section, const QString &key,
                            const QString &defaultValue, int bufferSize)
{
    const Utf8Arg sectionArg(section, Utf8Arg::Strip::Spaces);
    const Utf8Arg keyArg(key, Utf8Arg::Strip::Spaces);
    QString result;
    bool found = false;
    {
        Registry &reg = registry();
        const std::lock_guard guard(reg.mutex);
        std::optional<std::string_view> value;
        std::shared_ptr<const IniDocument> fromDisk;
        if (BatchState *batch = reg.findBatch(path)) {
            if (!batch->loadFailed)
                value = batch->doc.value(sectionArg.view(), keyArg.view());
        } else if (!path.isEmpty()) {
            fromDisk = reg.parsedFile(path);
            if (fromDisk)
                value = fromDisk->value(sectionArg.view(), keyArg.view());
        }
        if (value) {
            const std::string_view text = unquoted(*value);
            result = QString::fromUtf8(text.data(), qsizetype(text.size()));
            found = true;
        }
    }
    if (!found) {
        result = defaultValue;
        qsizetype end = result.size();
        while (end > 0 && result.at(end - 1) == QLatin1Char(' '))
            --end;
        result.truncate(end);
    }
    if (bufferSize <= 1)
        return QString();
    if (result.size() > bufferSize - 1) {
        qsizetype end = bufferSize - 1;
        // Never hand back half of a surrogate pair.
        if (result.at(end - 1).isHighSurrogate())
            --end;
        result.truncate(end);
    }
    return result;
}

bool IniFile::writeString(const QString &path, const QString &section,
                          const std::optional<QString> &key, const std::optional<QString> &value)
{
    if (path.isEmpty())
        return false;
    const OpKind kind = !key ? OpKind::RemoveSection : !value ? OpKind::RemoveKey : OpKind::Set;
    const Utf8Arg sectionArg(section, Utf8Arg::Strip::Spaces);
    static const QString none;
    const Utf8Arg keyArg(key ? *key : none, Utf8Arg::Strip::Spaces);
    const Utf8Arg valueArg(value ? *value : none, Utf8Arg::Strip::None);
    const std::string_view sectionBytes = sectionArg.view(), keyBytes = keyArg.view(),
                           valueBytes = valueArg.view();

    Registry &reg = registry();
    const std::lock_guard guard(reg.mutex);
    if (BatchState *batch = reg.findBatch(path)) {
        if (batch->loadFailed)
            return false;
        applyOp(batch->doc, kind, sectionBytes, keyBytes, valueBytes);
        batch->record(kind, sectionBytes, keyBytes, valueBytes);
        return true;
    }
    return writeNow(path, kind, sectionBytes, keyBytes, valueBytes);
}

IniBatch::IniBatch(const QString &path)
    : m_path(canonicalPath(path))
{
    if (m_path.isEmpty())
        return;
    Registry &reg = registry();
    const std::lock_guard guard(reg.mutex);
    if (reg.batches.contains(m_path))
        return; // joins the live batch of this file
    auto state = std::make_shared<BatchState>();
    state->path = m_path;
    // A configuration save makes a few thousand writes; growing from empty would copy often.
    state->opText.reserve(64 * 1024);
    state->ops.reserve(4096);
    const FileBytes file = readFileBytes(m_path);
    state->loadFailed = !file.ok;
    state->baseBytes = file.bytes;
    state->baseExists = file.exists;
    state->doc = IniDocument::parse(file.bytes, file.exists);
    reg.batches.insert(m_path, state);
    reg.forgetLastPath();
    m_owner = true;
}

IniBatch::~IniBatch()
{
    if (!m_committed)
        (void)commit();
}

bool IniBatch::commit()
{
    if (m_committed)
        return m_result;
    m_committed = true;
    if (m_path.isEmpty())
        return m_result;
    Registry &reg = registry();
    const std::lock_guard guard(reg.mutex);
    const auto it = reg.batches.find(m_path);
    if (it == reg.batches.end())
        return m_result;
    if (!m_owner) {
        // The outer batch writes the file and reports its result.
        m_result = !(*it)->loadFailed;
        return m_result;
    }
    const std::shared_ptr<BatchState> state = *it;
    reg.batches.erase(it);
    reg.forgetLastPath();
    m_result = state->commit();
    return m_result;
}
