#include "core/IniFile.h"

#include "core/FreshIniBuilder.h"
#include "core/IniDocument.h"
#include "core/IniTextRules.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QThread>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#else
#include <QLockFile>
#endif

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

namespace {

// Long enough for another program's save to finish, short enough that a wedged
// lock does not freeze the window for good.
constexpr int kLockTimeoutMs = 5000;
// Parsed copies kept for fresh reads; each is checked against the bytes on disk.
constexpr qsizetype kMaxCachedFiles = 16;
constexpr std::size_t kMaxTextBytes = 1u << 30;
// Largest batch log kept for the next batch.
constexpr std::size_t kSpareLogBytes = 4u << 20;
constexpr std::size_t kSpareOps = 64u << 10;

enum class OpKind : std::uint8_t { Set, RemoveKey, RemoveSection };

// Four characters of a word: their bits ORed into seen, lanes below ' ' (or
// equal to '=' when equalsLanes holds it in each lane) marked in odd, and the
// four low bytes stored side by side.
inline void narrowFour(const char16_t *in, char *out, std::uint64_t equalsLanes,
                       std::uint64_t &seen, std::uint64_t &odd)
{
    constexpr std::uint64_t ones = 0x0001000100010001ULL, high = 0x8000800080008000ULL;
    std::uint64_t word;
    std::memcpy(&word, in, sizeof word);
    // Lane order does not matter to the marks, only to the bytes stored.
    seen |= word;
    const std::uint64_t x = word ^ equalsLanes;
    odd |= ((word - ones * 0x20) & ~word & high) | ((x - ones) & ~x & high);
    if constexpr (std::endian::native == std::endian::little) {
        const auto packed = std::uint32_t((word & 0xFF) | ((word >> 8) & 0xFF00) |
                                          ((word >> 16) & 0xFF0000) | ((word >> 24) & 0xFF000000));
        std::memcpy(out, &packed, sizeof packed);
    } else {
        for (int k = 0; k < 4; ++k)
            out[k] = char(in[k]);
    }
}

// Narrows UTF-16 text that is plain ASCII to bytes; false when a character
// outside ASCII turns up. *special is set when the text holds a control
// character (line breaks among them), or '=' when equalsToo: a key or value
// without them makes a plain line, which a new file's build takes as it is.
bool narrowAscii(const char16_t *in, std::size_t size, char *out, bool *special = nullptr,
                 bool equalsToo = false)
{
    // Without '=' to look for, the lanes are compared with 0, a control character anyway.
    const std::uint64_t equalsLanes = equalsToo ? 0x003D003D003D003DULL : 0;
    std::uint64_t seen = 0, odd = 0;
    if (size < 4) {
        for (std::size_t i = 0; i < size; ++i) {
            const char16_t c = in[i];
            seen |= c;
            odd |= (c < 0x20) | (equalsToo & (c == u'='));
            out[i] = char(c);
        }
    } else if (size < 8) {
        // Most values: the first four characters and the last four, which
        // overlap; narrowing a character twice changes nothing.
        narrowFour(in, out, equalsLanes, seen, odd);
        narrowFour(in + size - 4, out + size - 4, equalsLanes, seen, odd);
    } else {
#ifdef __SSE2__
        // Eight characters per step, the last step ending at the last
        // character: pack to bytes, note any bit above ASCII and any
        // character below ' ' (or '=').
        __m128i seenWide = _mm_setzero_si128(), oddWide = _mm_setzero_si128();
        const __m128i space = _mm_set1_epi16(0x20), equals = _mm_set1_epi16(equalsToo ? '=' : 0);
        for (std::size_t i = 0;;) {
            const __m128i chars = _mm_loadu_si128(reinterpret_cast<const __m128i *>(in + i));
            seenWide = _mm_or_si128(seenWide, chars);
            oddWide = _mm_or_si128(oddWide, _mm_or_si128(_mm_cmplt_epi16(chars, space),
                                                         _mm_cmpeq_epi16(chars, equals)));
            _mm_storel_epi64(reinterpret_cast<__m128i *>(out + i), _mm_packus_epi16(chars, chars));
            if (i + 8 == size)
                break;
            i = std::min(i + 8, size - 8);
        }
        std::uint64_t halves[2];
        _mm_storeu_si128(reinterpret_cast<__m128i *>(halves), seenWide);
        seen = halves[0] | halves[1];
        _mm_storeu_si128(reinterpret_cast<__m128i *>(halves), oddWide);
        odd = halves[0] | halves[1];
#else
        for (std::size_t i = 0;;) {
            narrowFour(in + i, out + i, equalsLanes, seen, odd);
            if (i + 4 == size)
                break;
            i = std::min(i + 4, size - 4);
        }
#endif
    }
    if (special)
        *special = odd != 0;
    return (seen & 0xFF80FF80FF80FF80ULL) == 0;
}

std::string_view stripSpaces(std::string_view text)
{
    // Spaces only: an argument with a tab at either end matches nothing, and
    // existing callers depend on that.
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    return text;
}

// UTF-8 bytes of an argument, kept on the stack for the usual short texts
// (plain ASCII skips the QByteArray round trip): a batch makes thousands of calls.
class Utf8Arg
{
public:
    enum class Strip { None, Spaces };

    Utf8Arg(const QString &text, Strip strip)
    {
        const auto size = std::size_t(text.size());
        if (size <= sizeof m_small &&
            narrowAscii(reinterpret_cast<const char16_t *>(text.constData()), size, m_small)) {
            m_view = std::string_view(m_small, size);
            m_ascii = true;
        } else {
            m_big = text.toUtf8();
            m_view = std::string_view(m_big.constData(), std::size_t(m_big.size()));
        }
        if (strip == Strip::Spaces)
            m_view = stripSpaces(m_view);
    }
    Utf8Arg(const Utf8Arg &) = delete;
    Utf8Arg &operator=(const Utf8Arg &) = delete;

    std::string_view view() const { return m_view; }
    // Known to be ASCII: the same bytes in a UTF-8 and an ANSI file.
    bool ascii() const { return m_ascii; }

private:
    char m_small[120];
    QByteArray m_big;
    std::string_view m_view;
    bool m_ascii = false;
};

// The bytes of the section argument asked for last. A save or a load goes
// section by section, so most calls pass the same section text again and skip
// its conversion.
class SectionArg
{
public:
    std::string_view bytes(const QString &section)
    {
        // The very heap buffer seen last: the reference held here keeps it
        // from being freed or changed in place.
        if (m_valid && section.constData() == m_text.constData() &&
            section.size() == m_text.size() && m_text.data_ptr().isMutable())
            return m_bytes;
        if (!m_valid || section.size() != m_text.size() ||
            std::memcmp(section.constData(), m_text.constData(),
                        std::size_t(section.size()) * sizeof(QChar)) != 0) {
            const Utf8Arg arg(section, Utf8Arg::Strip::Spaces);
            m_bytes.assign(arg.view());
            m_ascii = arg.ascii();
            ++m_generation;
        }
        // Shared when it lives on the heap; a text on borrowed or static memory
        // is copied, since borrowed memory can change behind the same address.
        m_text =
            section.data_ptr().isMutable() ? section : QString(section.constData(), section.size());
        m_valid = true;
        return m_bytes;
    }
    // Changes whenever the section text does.
    std::uint64_t generation() const { return m_generation; }
    // Of the text asked for last.
    bool ascii() const { return m_ascii; }

private:
    QString m_text;
    std::string m_bytes;
    bool m_ascii = false;
    std::uint64_t m_generation = 0;
    bool m_valid = false;
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

    // False when the folder is missing or another program holds the lock too
    // long; errorString() then says which.
    [[nodiscard]] bool acquire()
    {
#ifdef Q_OS_UNIX
        m_fd = ::open(m_folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (m_fd < 0) {
            m_error = qt_error_string(errno);
            return false;
        }
        const QDeadlineTimer deadline(kLockTimeoutMs);
        while (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
            if (errno == EINTR)
                continue;
            // A file system without flock() still gets its writes, unlocked.
            if (errno != EWOULDBLOCK)
                return true;
            if (deadline.hasExpired()) {
                m_error = lockedText();
                return false;
            }
            QThread::msleep(2);
        }
        return true;
#else
        if (m_lock.tryLock(kLockTimeoutMs))
            return true;
        m_error = lockedText();
        return false;
#endif
    }

    QString errorString() const
    {
        return m_error;
    }

private:
    static QString lockedText()
    {
        return QStringLiteral("Another program keeps the file locked");
    }

#ifdef Q_OS_UNIX
    QByteArray m_folder;
    int m_fd = -1;
#else
    QLockFile m_lock;
#endif
    QString m_error;
};

struct FileBytes
{
    QByteArray bytes;
    bool exists = false;
    bool ok = true; // false: the file is there but could not be read
    QString error;  // why not, in the system's words
};

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
// the old or the new file, never a torn one. *error says why it failed.
bool saveFile(const QString &path, const QByteArray &bytes, QString *error = nullptr)
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

// False when an ANSI file cannot hold a character of the texts; then the
// document is as it was.
bool applyOp(IniDocument &doc, OpKind kind, std::string_view section, std::string_view key,
             std::string_view value, bool ascii)
{
    const auto args = ascii ? IniDocument::Args::Ascii : IniDocument::Args::Utf8;
    switch (kind) {
    case OpKind::Set:
        return doc.setValue(section, key, value, args);
    case OpKind::RemoveKey:
        doc.removeKey(section, key, args);
        break;
    case OpKind::RemoveSection:
        doc.removeSection(section, args);
        break;
    }
    return true;
}

QString ansiRefusal(std::string_view section, std::string_view key)
{
    return QStringLiteral("%1 in [%2] holds a character that the file's Windows-1252 text "
                          "cannot hold")
        .arg(QString::fromUtf8(key.data(), qsizetype(key.size())),
             QString::fromUtf8(section.data(), qsizetype(section.size())));
}

bool writeNow(const QString &path, OpKind kind, std::string_view section, std::string_view key,
              std::string_view value, bool ascii)
{
    FileLock lock(path);
    if (!lock.acquire())
        return false;
    const FileBytes file = readFileBytes(path);
    if (!file.ok)
        return false;
    IniDocument doc = IniDocument::parse(file.bytes, file.exists);
    return applyOp(doc, kind, section, key, value, ascii) &&
           (!doc.isModified() || saveFile(path, doc.serialize()));
}

// Append-only bytes of a batch's writes, with a word of readable slack behind
// the last one so that they can be read in whole words. Grown by hand: the
// general string append costs more than the copy itself for texts this short.
class ByteLog
{
public:
    ByteLog() = default;
    ByteLog(ByteLog &&other) noexcept { *this = std::move(other); }
    ByteLog &operator=(ByteLog &&other) noexcept
    {
        m_data = std::move(other.m_data);
        m_size = std::exchange(other.m_size, 0);
        m_capacity = std::exchange(other.m_capacity, 0);
        return *this;
    }

    std::size_t size() const { return m_size; }
    std::size_t capacity() const { return m_capacity; }
    void clear() { m_size = 0; }

    std::size_t append(std::string_view text)
    {
        const std::size_t at = m_size;
        if (!text.empty())
            std::memcpy(room(text.size()), text.data(), text.size());
        m_size += text.size();
        return at;
    }

    // Appends a text's UTF-8 bytes, plain ASCII narrowed in place; gives where
    // they start and how many there are. A key loses spaces at either end;
    // *plain tells whether the text was ASCII without control characters
    // (nor '=' in a key), *ascii whether it was ASCII.
    std::pair<std::size_t, std::size_t> appendText(const QString &text, bool isKey, bool *plain,
                                                   bool *ascii)
    {
        const std::size_t at = m_size;
        const auto size = std::size_t(text.size());
        char *out = room(size);
        bool special = true;
        if (narrowAscii(reinterpret_cast<const char16_t *>(text.constData()), size, out, &special,
                        isKey)) {
            m_size += size;
            *ascii = true;
        } else {
            const QByteArray utf8 = text.toUtf8();
            append(std::string_view(utf8.constData(), std::size_t(utf8.size())));
            special = true; // not looked at
            *ascii = false;
        }
        *plain = !special;
        std::string_view bytes = view(at, m_size - at);
        if (isKey)
            bytes = stripSpaces(bytes);
        return {at + std::size_t(bytes.data() - (m_data.get() + at)) * !bytes.empty(),
                bytes.size()};
    }

    std::string_view view(std::size_t offset, std::size_t size) const
    {
        return size ? std::string_view(m_data.get() + offset, size) : std::string_view();
    }

private:
    // Room for size more bytes and the slack; where they go.
    char *room(std::size_t size)
    {
        if (m_size + size + 8 > m_capacity) {
            const std::size_t capacity = std::max(m_capacity * 2, m_size + size + 8 + 16 * 1024);
            auto bigger = std::make_unique_for_overwrite<char[]>(capacity);
            if (m_size)
                std::memcpy(bigger.get(), m_data.get(), m_size);
            m_data = std::move(bigger);
            m_capacity = capacity;
        }
        return m_data.get() + m_size;
    }

    std::unique_ptr<char[]> m_data;
    std::size_t m_size = 0;
    std::size_t m_capacity = 0;
};

// The file that a batch's writes make from a missing or empty file, laid out
// in the batch's own log while it records: a section's header, then each
// key, '=', value and line end go into the log side by side, so while every
// section's keys arrive together, no key comes twice and the texts are plain,
// the file is ranges of the log as they stand. A save of many units writes just
// that way. Anything else (a section or key met again, a delete of something
// written, a text the builder would look at) gives up, and the builder lays the
// file out from the log instead.
class LogDraft
{
public:
    bool ok() const { return m_ok; }

    // A new section text at nameOffset of the log, between "[" and "]\r\n".
    void enterSection(const ByteLog &log, std::size_t nameOffset, std::size_t nameSize)
    {
        if (!m_ok)
            return;
        const std::string_view name = log.view(nameOffset, nameSize);
        if (m_hasSection &&
            IniTextRules::sameIgnoringCase(log.view(m_nameOffset, m_nameSize), name)) {
            // The same section under another text: it goes on. Until its
            // first key it is not in the file, and that key's text names it.
            if (!m_headerOut) {
                m_nameOffset = nameOffset;
                m_nameSize = nameSize;
            }
            return;
        }
        m_hasSection = true;
        m_nameOffset = nameOffset;
        m_nameSize = nameSize;
        m_headerOut = false;
        m_keyBits = 0;
        m_keys.clear();
        m_nameHash = IniTextRules::nameHash(name);
        // A section whose header is out already would need its keys merged.
        if (m_written.contains(log, m_nameHash, name))
            m_ok = false;
    }

    // A key's line in the current section: key=value\r\n, lineSize bytes of
    // the log from keyOffset.
    void set(const ByteLog &log, std::string_view key, std::size_t keyOffset, std::size_t lineSize,
             bool plainTexts)
    {
        if (!m_ok)
            return;
        if (!m_hasSection || !plainTexts || !IniTextRules::plainKey(key, true)) {
            m_ok = false;
            return;
        }
        const std::uint64_t signature = IniTextRules::keySignature(key);
        if (holds(log, key, signature)) {
            m_ok = false; // its value replaces the first: the builder's work
            return;
        }
        m_keyBits |= bit(signature);
        m_keys.push_back({signature, keyOffset, key.size()});
        if (!m_headerOut) {
            if (!IniTextRules::plainSectionName(log.view(m_nameOffset, m_nameSize))) {
                m_ok = false;
                return;
            }
            m_headerOut = true;
            m_written.add(m_nameHash, m_nameOffset, m_nameSize);
            // "[" before the name, "]\r\n" after it.
            addRange(m_nameOffset - 1, m_nameSize + 4);
        }
        addRange(keyOffset, lineSize);
    }

    // A delete of a key (or, without one, of the section) in the current
    // section: nothing to do unless it is in the file already.
    void remove(const ByteLog &log, const std::string_view *key, bool plainKey)
    {
        if (!m_ok || !m_hasSection || !m_headerOut)
            return;
        if (!key || !plainKey || holds(log, *key, IniTextRules::keySignature(*key)))
            m_ok = false;
    }

    QByteArray bytes(const ByteLog &log) const
    {
        QByteArray out(qsizetype(m_total), Qt::Uninitialized);
        char *p = out.data();
        for (const auto &[offset, size] : m_ranges) {
            std::memcpy(p, log.view(offset, size).data(), size);
            p += size;
        }
        return out;
    }

private:
    struct KeyRef
    {
        std::uint64_t signature;
        std::size_t offset, size;
    };

    // Sections with their header out, by name hash: open addressing, since a
    // node per section would cost more than the rest of its work.
    class WrittenSections
    {
    public:
        bool contains(const ByteLog &log, std::uint64_t hash, std::string_view name) const
        {
            if (m_slots.empty())
                return false;
            const std::size_t mask = m_slots.size() - 1;
            for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
                const Slot &slot = m_slots[i];
                if (!slot.used)
                    return false;
                if (slot.hash == hash &&
                    IniTextRules::sameIgnoringCase(log.view(slot.offset, slot.size), name))
                    return true;
            }
        }
        void add(std::uint64_t hash, std::size_t offset, std::size_t size)
        {
            if ((m_count + 1) * 2 > m_slots.size())
                grow();
            place(Slot{hash, offset, size, true});
            ++m_count;
        }

    private:
        struct Slot
        {
            std::uint64_t hash;
            std::size_t offset, size;
            bool used;
        };
        void place(const Slot &slot)
        {
            const std::size_t mask = m_slots.size() - 1;
            std::size_t i = slot.hash & mask;
            while (m_slots[i].used)
                i = (i + 1) & mask;
            m_slots[i] = slot;
        }
        void grow()
        {
            std::vector<Slot> old = std::exchange(
                m_slots, std::vector<Slot>(std::max<std::size_t>(64, m_slots.size() * 2)));
            for (const Slot &slot : old)
                if (slot.used)
                    place(slot);
        }
        std::vector<Slot> m_slots;
        std::size_t m_count = 0;
    };

    static std::uint64_t bit(std::uint64_t signature)
    {
        return std::uint64_t(1) << (signature >> 58);
    }

    bool holds(const ByteLog &log, std::string_view key, std::uint64_t signature) const
    {
        if (!(m_keyBits & bit(signature)))
            return false;
        for (const KeyRef &k : m_keys) {
            if (k.signature == signature &&
                IniTextRules::sameIgnoringCase(log.view(k.offset, k.size), key))
                return true;
        }
        return false;
    }

    void addRange(std::size_t offset, std::size_t size)
    {
        if (!m_ranges.empty() && m_ranges.back().first + m_ranges.back().second == offset)
            m_ranges.back().second += size;
        else
            m_ranges.emplace_back(offset, size);
        m_total += size;
    }

    bool m_ok = true;
    std::vector<std::pair<std::size_t, std::size_t>> m_ranges; // of the log, in file order
    std::size_t m_total = 0;
    bool m_hasSection = false;
    std::size_t m_nameOffset = 0, m_nameSize = 0;
    std::uint64_t m_nameHash = 0;
    bool m_headerOut = false;
    std::uint64_t m_keyBits = 0; // a bit per key signature of the current section
    std::vector<KeyRef> m_keys;  // of the current section
    WrittenSections m_written;
};

struct BatchState
{
    struct Op
    {
        std::size_t sectionOffset, keyOffset, valueOffset;
        std::uint32_t sectionSize, keySize, valueSize;
        OpKind kind;
        bool plainTexts; // key and value looked at and found plain while recorded
        bool ascii;      // every text ASCII: the same bytes in either encoding
    };

    QString path;
    IniDocument doc;
    QByteArray baseBytes;
    bool baseExists = false;
    bool loadFailed = false;
    QString loadError; // why the file could not be read
    // Writes to a missing or empty file only go to the log, and the file is
    // built from it in one pass at the end; a read, or a text the builder
    // cannot take, applies them to the parsed copy instead.
    bool deferred = false;
    // Every write, kept so it can be applied again to a file that another
    // program changed while the batch ran. A run of writes to one section
    // keeps its name once.
    ByteLog opText;
    std::vector<Op> ops;
    std::uint64_t sectionGeneration = 0; // of the section text the last op recorded
    LogDraft draft;                      // the file while the log still lays it out
    // Why the commit must fail though the file may be fine: a write that the
    // file's Windows-1252 text cannot hold. Empty while none did.
    QString refusal;
    // The file parsed before, shared while the batch only reads it: checking
    // a few ratings at each save would otherwise parse their file each time.
    // The batch parses a copy of its own at its first write.
    std::shared_ptr<const IniDocument> sharedDoc;

    const IniDocument &readDoc() const { return sharedDoc ? *sharedDoc : doc; }
    IniDocument &writeDoc()
    {
        if (sharedDoc) {
            doc = IniDocument::parse(baseBytes, baseExists);
            sharedDoc.reset();
        }
        return doc;
    }

    std::string_view sectionOf(const Op &op) const
    {
        return opText.view(op.sectionOffset, op.sectionSize);
    }
    std::string_view keyOf(const Op &op) const { return opText.view(op.keyOffset, op.keySize); }
    std::string_view valueOf(const Op &op) const
    {
        return opText.view(op.valueOffset, op.valueSize);
    }

    // key and value null: delete the section; value null: delete the key.
    bool write(SectionArg &sections, const QString &section, const QString *key,
               const QString *value)
    {
        Op op{};
        op.kind = !key ? OpKind::RemoveSection : !value ? OpKind::RemoveKey : OpKind::Set;
        const std::string_view sectionBytes = sections.bytes(section);
        const bool drafting = deferred && draft.ok();
        if (!ops.empty() && sections.generation() == sectionGeneration) {
            op.sectionOffset = ops.back().sectionOffset;
        } else if (drafting) {
            opText.append("[");
            op.sectionOffset = opText.append(sectionBytes);
            opText.append("]\r\n");
            draft.enterSection(opText, op.sectionOffset, sectionBytes.size());
            sectionGeneration = sections.generation();
        } else {
            op.sectionOffset = opText.append(sectionBytes);
            sectionGeneration = sections.generation();
        }
        std::size_t keySize = 0, valueSize = 0;
        bool plainKey = false, plainValue = false, asciiKey = true, asciiValue = true;
        const std::size_t keyStart = opText.size();
        op.keyOffset = op.valueOffset = keyStart;
        if (key)
            std::tie(op.keyOffset, keySize) = opText.appendText(*key, true, &plainKey, &asciiKey);
        // A key that lost spaces at an end is not the line's text as it stands.
        const bool wholeKey = op.keyOffset == keyStart && keySize == opText.size() - keyStart;
        if (value) {
            if (drafting)
                opText.append("=");
            std::tie(op.valueOffset, valueSize) =
                opText.appendText(*value, false, &plainValue, &asciiValue);
            if (drafting)
                opText.append("\r\n");
        }
        op.plainTexts = plainKey && plainValue;
        op.ascii = sections.ascii() && asciiKey && asciiValue;
        // A text of gigabytes is no setting; refusing it keeps the recorded sizes in range.
        if (keySize > kMaxTextBytes || valueSize > kMaxTextBytes)
            return false;
        op.sectionSize = std::uint32_t(sectionBytes.size());
        op.keySize = std::uint32_t(keySize);
        op.valueSize = std::uint32_t(valueSize);
        if (!deferred) {
            if (!apply(writeDoc(), op))
                refuse(op);
        } else if (drafting) {
            const std::string_view keyText = keyOf(op);
            if (value)
                draft.set(opText, keyText, keyStart, opText.size() - keyStart,
                          op.plainTexts && wholeKey);
            else
                draft.remove(opText, key ? &keyText : nullptr, plainKey && wholeKey);
        }
        ops.push_back(op);
        return true;
    }

    bool apply(IniDocument &target, const Op &op) const
    {
        return applyOp(target, op.kind, sectionOf(op), keyOf(op), valueOf(op), op.ascii);
    }

    void refuse(const Op &op)
    {
        if (refusal.isEmpty())
            refusal = ansiRefusal(sectionOf(op), keyOf(op));
    }

    // The first write the target's Windows-1252 text refused, or null.
    const Op *replay(IniDocument &target) const
    {
        const Op *refused = nullptr;
        for (const Op &op : ops) {
            if (!apply(target, op) && !refused)
                refused = &op;
        }
        return refused;
    }

    // From now on every write goes to the parsed copy.
    void applyDeferred()
    {
        if (!deferred)
            return;
        if (const Op *refused = replay(writeDoc()))
            refuse(*refused);
        deferred = false;
    }

    // The file the deferred writes make from the base.
    QByteArray deferredBytes() const
    {
        if (draft.ok())
            return draft.bytes(opText);
        FreshIniBuilder builder;
        bool built = true;
        for (std::size_t i = 0; built && i < ops.size(); ++i) {
            const Op &op = ops[i];
            switch (op.kind) {
            case OpKind::Set:
                built = builder.setValue(sectionOf(op), keyOf(op), valueOf(op),
                                         op.plainTexts ? FreshIniBuilder::Texts::Plain
                                                       : FreshIniBuilder::Texts::Unchecked);
                break;
            case OpKind::RemoveKey:
                built = builder.removeKey(sectionOf(op), keyOf(op));
                break;
            case OpKind::RemoveSection:
                built = builder.removeSection(sectionOf(op));
                break;
            }
        }
        if (built)
            return builder.bytes();
        // An empty file is UTF-8, and UTF-8 holds every text.
        IniDocument written = IniDocument::parse(baseBytes, baseExists);
        (void)replay(written);
        return written.serialize();
    }

    // *error says why the file could not be written.
    bool commit(QString &error) const
    {
        if (loadFailed) {
            error = loadError;
            return false;
        }
        if (!refusal.isEmpty()) {
            error = refusal;
            return false;
        }
        // As with a parsed copy: on an existing (empty) file only a write of a
        // key changes anything; deletes alone leave it, and a file another
        // program saved meanwhile, as they were.
        if (deferred) {
            if (ops.empty())
                return true;
            const bool setsAKey = std::any_of(ops.begin(), ops.end(),
                                              [](const Op &op) { return op.kind == OpKind::Set; });
            if (baseExists && !setsAKey)
                return true;
        } else if (!readDoc().isModified()) {
            return true;
        }
        FileLock lock(path);
        if (!lock.acquire()) {
            error = lock.errorString();
            return false;
        }
        const FileBytes now = readFileBytes(path);
        if (!now.ok) {
            error = now.error;
            return false;
        }
        if (now.exists == baseExists && now.bytes == baseBytes) {
            const QByteArray out = deferred ? deferredBytes() : readDoc().serialize();
            return (baseExists && out == baseBytes) || saveFile(path, out, &error);
        }
        IniDocument fresh = IniDocument::parse(now.bytes, now.exists);
        if (const Op *refused = replay(fresh)) {
            error = ansiRefusal(sectionOf(*refused), keyOf(*refused));
            return false;
        }
        return !fresh.isModified() || saveFile(path, fresh.serialize(), &error);
    }
};

// Guards the registry. One GUI thread uses it, so the lock is only ever taken
// uncontended: a flag costs less than a mutex on each of a save's thousands
// of calls. A misplaced call from another thread waits its turn.
class SpinLock
{
public:
    void lock()
    {
        while (m_flag.test_and_set(std::memory_order_acquire))
            std::this_thread::yield();
    }
    void unlock() { m_flag.clear(std::memory_order_release); }

private:
    std::atomic_flag m_flag = ATOMIC_FLAG_INIT;
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
    SpinLock mutex;
    QHash<QString, std::shared_ptr<BatchState>> batches; // by canonical path
    // The last path asked for, as given, and its batch (or none), so the calls
    // of a batch skip making the path canonical.
    QString lastPath;
    BatchState *lastBatch = nullptr;
    QHash<QString, CachedFile> cache; // by path as given
    SectionArg section;
    // The log of the last batch, kept for the next: a save's log grows to a few
    // hundred kilobytes, and growing it again each time copies it over and over.
    std::vector<BatchState::Op> spareOps;
    ByteLog spareLog;

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

    // The parsed copy kept for path, if it was parsed from these bytes: only
    // identical bytes prove the copy current, size and time can stay the same.
    std::shared_ptr<const IniDocument> cachedDocument(const QString &path,
                                                      const QByteArray &bytes) const
    {
        const auto it = cache.constFind(path);
        return it != cache.constEnd() && it->bytes == bytes ? it->doc : nullptr;
    }

    void remember(const QString &path, const QByteArray &bytes,
                  std::shared_ptr<const IniDocument> doc)
    {
        if (cache.size() >= kMaxCachedFiles && !cache.contains(path))
            cache.clear();
        cache.insert(path, CachedFile{bytes, std::move(doc)});
    }

    std::shared_ptr<const IniDocument> parsedFile(const QString &path)
    {
        const FileBytes file = readFileBytes(path);
        if (!file.ok || !file.exists)
            return nullptr;
        if (auto doc = cachedDocument(path, file.bytes))
            return doc;
        auto doc = std::make_shared<const IniDocument>(IniDocument::parse(file.bytes));
        remember(path, file.bytes, doc);
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
    const Utf8Arg keyArg(key, Utf8Arg::Strip::Spaces);
    QString result;
    bool found = false;
    {
        Registry &reg = registry();
        const std::lock_guard guard(reg.mutex);
        const std::string_view sectionBytes = reg.section.bytes(section);
        const auto args = reg.section.ascii() && keyArg.ascii() ? IniDocument::Args::Ascii
                                                                : IniDocument::Args::Utf8;
        const IniDocument *doc = nullptr;
        std::shared_ptr<const IniDocument> fromDisk;
        if (BatchState *batch = reg.findBatch(path)) {
            if (!batch->loadFailed) {
                batch->applyDeferred();
                doc = &batch->readDoc();
            }
        } else if (!path.isEmpty()) {
            fromDisk = reg.parsedFile(path);
            doc = fromDisk.get();
        }
        if (const auto value = doc ? doc->value(sectionBytes, keyArg.view(), args) : std::nullopt) {
            result = doc->text(unquoted(*value));
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

namespace {

// key and value null: delete the section; value null: delete the key.
bool write(const QString &path, const QString &section, const QString *key, const QString *value)
{
    if (path.isEmpty())
        return false;
    Registry &reg = registry();
    const std::lock_guard guard(reg.mutex);
    if (BatchState *batch = reg.findBatch(path)) {
        // A batch whose file could not be read writes nothing, and its
        // commit says so once: its writes do not each fail.
        return batch->loadFailed || batch->write(reg.section, section, key, value);
    }

    const OpKind kind = !key ? OpKind::RemoveSection : !value ? OpKind::RemoveKey : OpKind::Set;
    static const QString none;
    const Utf8Arg keyArg(key ? *key : none, Utf8Arg::Strip::Spaces);
    const Utf8Arg valueArg(value ? *value : none, Utf8Arg::Strip::None);
    const std::string_view sectionBytes = reg.section.bytes(section);
    return writeNow(path, kind, sectionBytes, keyArg.view(), valueArg.view(),
                    reg.section.ascii() && keyArg.ascii() && valueArg.ascii());
}

} // namespace

bool IniFile::writeString(const QString &path, const QString &section,
                          const std::optional<QString> &key, const std::optional<QString> &value)
{
    return write(path, section, key ? &*key : nullptr, key && value ? &*value : nullptr);
}

bool IniFile::writeValue(const QString &path, const QString &section, const QString &key,
                         const QString &value)
{
    return write(path, section, &key, &value);
}

bool IniFile::deleteKey(const QString &path, const QString &section, const QString &key)
{
    return write(path, section, &key, nullptr);
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
    state->ops = std::move(reg.spareOps);
    state->ops.clear();
    state->opText = std::move(reg.spareLog);
    state->opText.clear();
    const FileBytes file = readFileBytes(m_path);
    state->loadFailed = !file.ok;
    state->loadError = file.error;
    state->baseBytes = file.bytes;
    state->baseExists = file.exists;
    state->deferred = file.ok && file.bytes.isEmpty();
    if (!state->deferred && file.ok)
        state->sharedDoc = reg.cachedDocument(m_path, file.bytes);
    if (!state->sharedDoc)
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
        m_error = (*it)->loadError;
        return m_result;
    }
    const std::shared_ptr<BatchState> state = *it;
    reg.batches.erase(it);
    reg.forgetLastPath();
    m_result = state->commit(m_error);
    // A batch that only read its file leaves its parsed copy for the next.
    if (state->ops.empty() && !state->loadFailed && !state->deferred && !state->sharedDoc)
        reg.remember(m_path, state->baseBytes,
                     std::make_shared<const IniDocument>(std::move(state->doc)));
    if (state.use_count() == 1 && state->opText.capacity() <= kSpareLogBytes &&
        state->ops.capacity() <= kSpareOps) {
        reg.spareOps = std::move(state->ops);
        reg.spareLog = std::move(state->opText);
    }
    return m_result;
}
