// The INI engine on arbitrary bytes: a parse keeps every byte; writes, deletes
// and reads of names taken from the input behave as the private-profile rules
// say, on a parsed document and through the file functions inside a batch on a
// real file, and the two agree with each other and with a fresh parse. A file
// that is not valid UTF-8 is Windows-1252 text: what the engine reads and
// writes there is checked against Qt's own converters, values read and written
// back keep their bytes, and a character that code page cannot hold fails the
// write and with it the batch.
#include "FuzzCheck.h"
#include "core/Ini.h"
#include "core/IniDocument.h"
#include "core/IniFile.h"

#include <QFile>
#include <QStringConverter>
#include <QTemporaryDir>

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

using Bytes = std::string;

QString g_folder;

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\v';
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

Bytes lowered(std::string_view text)
{
    Bytes out(text);
    for (char &c : out) {
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    }
    return out;
}

bool hasAny(std::string_view text, std::string_view chars)
{
    return text.find_first_of(chars) != std::string_view::npos;
}

// What the engine receives for a section or key argument: UTF-8, spaces stripped.
Bytes argumentBytes(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == u' ')
        ++begin;
    while (end > begin && text.at(end - 1) == u' ')
        --end;
    return text.mid(begin, end - begin).toUtf8().toStdString();
}

// Names whose written line parses back under the same name: no line break, no
// blank at either end, and nothing that ends a header or starts a comment.
bool plainSection(std::string_view name)
{
    return !hasAny(name, "]\r\n") && trimmed(name).size() == name.size();
}

bool plainKey(std::string_view name)
{
    return !hasAny(name, "=\r\n") && trimmed(name).size() == name.size() &&
           (name.empty() || (name.front() != '[' && name.front() != ';'));
}

bool plainValue(std::string_view value)
{
    return !hasAny(value, "\r\n");
}

struct Names
{
    std::vector<Bytes> sections;
    std::vector<Bytes> keys;
};

// Header names and keys as they stand in the file, so that operations reach
// existing lines and not only new ones.
Names harvest(std::string_view file)
{
    constexpr std::size_t kMaxEach = 16;
    Names names;
    auto add = [](std::vector<Bytes> &to, std::string_view name) {
        if (to.size() < kMaxEach && std::find(to.begin(), to.end(), name) == to.end())
            to.emplace_back(name);
    };
    std::size_t pos = 0;
    while (pos < file.size()) {
        std::size_t end = file.find_first_of("\r\n", pos);
        if (end == std::string_view::npos)
            end = file.size();
        const std::string_view line = trimmed(file.substr(pos, end - pos));
        if (!line.empty() && line.front() == '[')
            add(names.sections, trimmed(line.substr(1, line.find(']') - 1)));
        else if (const std::size_t eq = line.find('=');
                 eq != std::string_view::npos && line.front() != ';')
            add(names.keys, trimmed(line.substr(0, eq)));
        pos = end + 1;
    }
    return names;
}

QString fromBytes(std::string_view bytes)
{
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}

QByteArray byteArray(std::string_view bytes)
{
    return QByteArray(bytes.data(), qsizetype(bytes.size()));
}

bool validUtf8(std::string_view bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    [[maybe_unused]] const QString text = decoder.decode(byteArray(bytes)); // decodes on assignment
    return !decoder.hasError();
}

QString fromCp1252(std::string_view bytes)
{
    QStringDecoder decoder("windows-1252", QStringConverter::Flag::Stateless);
    FUZZ_CHECK(decoder.isValid());
    return decoder.decode(byteArray(bytes));
}

// The text's Windows-1252 bytes, or nothing when it holds a character that
// code page cannot.
std::optional<Bytes> toCp1252(const QString &text)
{
    QStringEncoder encoder("windows-1252", QStringConverter::Flag::Stateless);
    FUZZ_CHECK(encoder.isValid());
    const QByteArray bytes = encoder.encode(text);
    if (encoder.hasError())
        return std::nullopt;
    return bytes.toStdString();
}

bool isAnsi(const IniDocument &doc)
{
    return !validUtf8(doc.serialize().toStdString());
}

// What a caller gets for a value's bytes: decoded as the file is, up to a NUL.
QString decodedValue(bool ansi, std::string_view bytes)
{
    QString text = ansi ? fromCp1252(bytes) : fromBytes(bytes);
    const qsizetype nul = text.indexOf(QChar(0));
    if (nul >= 0)
        text.truncate(nul);
    return text;
}

std::string_view unquoted(std::string_view text)
{
    if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') &&
        text.back() == text.front())
        return text.substr(1, text.size() - 2);
    return text;
}

QString pickName(FuzzedDataProvider &in, const std::vector<Bytes> &pool)
{
    const int how = in.ConsumeIntegralInRange(0, 4);
    if (how == 0 || pool.empty())
        return QString::fromStdString(in.ConsumeRandomLengthString(24));
    Bytes name = pool[in.ConsumeIntegralInRange<std::size_t>(0, pool.size() - 1)];
    switch (how) {
    case 2:
        for (char &c : name) {
            if (c >= 'a' && c <= 'z')
                c = char(c - 'a' + 'A');
        }
        break;
    case 3:
        name = " " + name + "  "; // spaces the file functions strip
        break;
    case 4:
        name = "\t" + name; // a tab they keep, so nothing matches
        break;
    default:
        break;
    }
    return fromBytes(name);
}

enum class OpKind { Set, RemoveKey, RemoveSection };

struct Op
{
    OpKind kind;
    Bytes section, key, value;
};

// False when the document refused the write.
bool apply(IniDocument &doc, const Op &op)
{
    switch (op.kind) {
    case OpKind::Set:
        return doc.setValue(op.section, op.key, op.value);
    case OpKind::RemoveKey:
        doc.removeKey(op.section, op.key);
        break;
    case OpKind::RemoveSection:
        doc.removeSection(op.section);
        break;
    }
    return true;
}

// A value to write: bytes read as UTF-8 (broken ones become U+FFFD, which
// Windows-1252 cannot hold) or as Windows-1252 (which it always can).
QString pickValue(FuzzedDataProvider &in)
{
    const Bytes bytes = in.ConsumeRandomLengthString(300);
    return in.ConsumeBool() ? fromBytes(bytes) : fromCp1252(bytes);
}

// What a read of the file functions gives for a document: quotes stripped
// once, the default without trailing spaces, at most bufferSize - 1 characters
// and never half a surrogate pair.
QString expectedRead(const IniDocument &doc, std::string_view section, std::string_view key,
                     const QString &defaultValue = QString(), int bufferSize = 255)
{
    QString result;
    if (const auto value = doc.value(section, key)) {
        result = decodedValue(isAnsi(doc), unquoted(*value));
    } else {
        result = defaultValue;
        while (result.endsWith(u' '))
            result.chop(1);
    }
    if (bufferSize <= 1)
        return QString();
    if (result.size() > bufferSize - 1) {
        qsizetype end = bufferSize - 1;
        if (result.at(end - 1).isHighSurrogate())
            --end;
        result.truncate(end);
    }
    return result;
}

QString expectedReadIni(const IniDocument &doc, std::string_view section, std::string_view key)
{
    const QString text = expectedRead(doc, section, key);
    return text.isEmpty() ? Ini::NotAvailable : text;
}

struct DiskState
{
    bool exists = false;
    QByteArray bytes;
    bool operator==(const DiskState &other) const = default;
};

DiskState readDisk(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return {true, file.readAll()};
}

void writeDisk(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    FUZZ_CHECK(file.write(bytes) == bytes.size());
}

struct Probe
{
    QString section, key;
    Bytes s, k; // as the engine gets them
};

// Reads every probe from both documents; they must answer alike.
void expectSameReads(const IniDocument &actual, const IniDocument &reference,
                     const std::vector<Probe> &probes)
{
    for (const Probe &p : probes)
        FUZZ_CHECK_EQ(actual.value(p.s, p.k), reference.value(p.s, p.k));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    static QTemporaryDir folder;
    FUZZ_CHECK(folder.isValid());
    g_folder = folder.path();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    const Bytes file = in.ConsumeRandomLengthString(size);
    const QByteArray fileBytes = QByteArray::fromStdString(file);

    // Parsing alone changes nothing. The file's encoding, and the text its
    // bytes make, are what Qt's converters say.
    {
        const IniDocument parsed = IniDocument::parse(fileBytes);
        FUZZ_CHECK_EQ(parsed.serialize(), fileBytes);
        FUZZ_CHECK(!parsed.isModified());
        const bool ansi = !validUtf8(file);
        FUZZ_CHECK_EQ(parsed.isAnsi(), ansi);
        FUZZ_CHECK_EQ(parsed.text(file), decodedValue(ansi, file));
    }

    // Mostly the file holds the bytes; sometimes it is empty or missing,
    // which a batch builds in one pass at its end.
    const int start = in.ConsumeIntegralInRange(0, 7);
    const bool exists = start != 7;
    const QByteArray baseBytes = start < 6 ? fileBytes : QByteArray();
    // Without a read between them, writes to a new file wait for the end.
    const bool readEachStep = !in.ConsumeBool();
    // Another program may rewrite the file while the batch runs.
    const bool externalChange = in.ConsumeIntegralInRange(0, 7) == 7;
    const QByteArray otherBytes =
        externalChange ? QByteArray::fromStdString(in.ConsumeRandomLengthString(size))
                       : QByteArray();

    const QString path = g_folder + QStringLiteral("/fuzz.ini");
    // The same file spelled otherwise must reach the same batch.
    const QString spellings[] = {path, g_folder + QStringLiteral("/./fuzz.ini"),
                                 g_folder + QStringLiteral("//fuzz.ini")};
    QFile::remove(path);
    if (exists)
        writeDisk(path, baseBytes);
    const DiskState before = readDisk(path);

    const Names names = harvest(file);
    IniDocument model = IniDocument::parse(baseBytes, exists);
    std::vector<Op> ops;
    std::vector<Probe> probes;
    // Values written with plain names, by lower-cased section and key: each
    // must read back as written until a delete of that name (or until the file
    // turns from one encoding to the other, which spells names otherwise).
    std::map<std::pair<Bytes, Bytes>, Bytes> written;
    bool refusedInBatch = false;
    auto forget = [&written](const Bytes &section, const std::optional<Bytes> &key) {
        std::erase_if(written, [&](const auto &entry) {
            return entry.first.first == lowered(section) &&
                   (!key || entry.first.second == lowered(*key));
        });
    };

    std::optional<IniBatch> batch(std::in_place, path);
    for (int step = 0; step < 48 && in.remaining_bytes() > 0; ++step) {
        enum class Action {
            WriteString,
            WriteIni,
            InnerBatchWrite,
            RemoveKey,
            DeleteIniKey,
            RemoveSection,
            ReadString,
            ReadIni,
            WriteBack,
            kMaxValue = WriteBack
        };
        const auto action = in.ConsumeEnum<Action>();
        const QString &where = spellings[in.ConsumeIntegralInRange(0, 2)];
        const QString section = pickName(in, names.sections);
        const QString key = pickName(in, names.keys);
        const Probe probe{section, key, argumentBytes(section), argumentBytes(key)};
        if (probes.size() < 64)
            probes.push_back(probe);
        const Bytes &s = probe.s;
        const Bytes &k = probe.k;
        const bool ansiBefore = isAnsi(model);

        switch (action) {
        case Action::WriteString:
        case Action::WriteIni:
        case Action::InnerBatchWrite: {
            const QString value = pickValue(in);
            const Op op{OpKind::Set, s, k, value.toUtf8().toStdString()};
            if (action == Action::WriteString) {
                FUZZ_CHECK(IniFile::writeString(where, section, key, value));
            } else if (action == Action::WriteIni) {
                FUZZ_CHECK_EQ(WriteIni(section, key, value, where), QStringLiteral("1"));
            } else {
                // Joins the running batch: its commit writes nothing yet.
                IniBatch inner(where);
                FUZZ_CHECK(IniFile::writeString(where, section, key, value));
                FUZZ_CHECK(inner.commit());
            }
            // An ANSI file takes the texts as Windows-1252 or refuses the write.
            std::optional<Bytes> valueInFile = op.value;
            if (ansiBefore) {
                valueInFile = toCp1252(value);
                if (!toCp1252(fromBytes(s)) || !toCp1252(fromBytes(k)))
                    valueInFile.reset();
            }
            const QByteArray bytesBefore = model.serialize();
            FUZZ_CHECK_EQ(apply(model, op), valueInFile.has_value());
            ops.push_back(op);
            if (!valueInFile) {
                FUZZ_CHECK_EQ(model.serialize(), bytesBefore);
                refusedInBatch = true;
            } else if (plainSection(s) && plainKey(k) && plainValue(op.value) &&
                       isAnsi(model) == ansiBefore) {
                const std::string_view expected = trimmed(*valueInFile);
                FUZZ_CHECK_EQ(model.value(s, k), std::optional(expected));
                written[{lowered(s), lowered(k)}] = Bytes(expected);
            } else {
                // A line break or odd name may have made new sections and keys.
                written.clear();
            }
            break;
        }
        case Action::RemoveKey:
        case Action::DeleteIniKey: {
            const QByteArray bytesBefore = model.serialize();
            const bool found = model.value(s, k).has_value();
            const bool modifiedBefore = model.isModified();
            const bool existedBefore = model.exists();
            if (action == Action::RemoveKey)
                FUZZ_CHECK(IniFile::writeString(where, section, key, std::nullopt));
            else
                FUZZ_CHECK_EQ(DeleteIniKey(section, key, where), QStringLiteral("1"));
            const Op op{OpKind::RemoveKey, s, k, {}};
            apply(model, op);
            ops.push_back(op);
            if (!found && existedBefore) {
                // Deleting what is not there keeps every byte.
                FUZZ_CHECK_EQ(model.serialize(), bytesBefore);
                FUZZ_CHECK_EQ(model.isModified(), modifiedBefore);
            }
            forget(s, k);
            if (isAnsi(model) != ansiBefore)
                written.clear();
            break;
        }
        case Action::RemoveSection: {
            FUZZ_CHECK(IniFile::writeString(where, section, std::nullopt, std::nullopt));
            const Op op{OpKind::RemoveSection, s, {}, {}};
            apply(model, op);
            ops.push_back(op);
            forget(s, std::nullopt);
            if (isAnsi(model) != ansiBefore)
                written.clear();
            break;
        }
        case Action::ReadString: {
            const QString fallback = QString::fromStdString(in.ConsumeRandomLengthString(8));
            const int bufferSize = in.ConsumeBool() ? 255 : in.ConsumeIntegralInRange(0, 320);
            FUZZ_CHECK_EQ(IniFile::readString(where, section, key, fallback, bufferSize),
                          expectedRead(model, s, k, fallback, bufferSize));
            break;
        }
        case Action::ReadIni:
            FUZZ_CHECK_EQ(ReadIni(section, key, where), expectedReadIni(model, s, k));
            break;
        case Action::WriteBack: {
            // A value read and written back keeps its bytes in either
            // encoding, unless the read cut it at a NUL or took its quotes off.
            constexpr int kWholeValue = 1 << 20;
            const QString value = IniFile::readString(where, section, key, {}, kWholeValue);
            FUZZ_CHECK_EQ(value, expectedRead(model, s, k, {}, kWholeValue));
            const auto found = model.value(s, k);
            if (!found)
                break;
            const Bytes before(*found);
            FUZZ_CHECK(IniFile::writeString(where, section, key, value));
            const Op op{OpKind::Set, s, k, value.toUtf8().toStdString()};
            FUZZ_CHECK(apply(model, op));
            ops.push_back(op);
            if (before.find('\0') == Bytes::npos && unquoted(before) == before)
                FUZZ_CHECK_EQ(model.value(s, k), std::optional<std::string_view>(before));
            written.clear();
            break;
        }
        }

        // The batch's copy answers like the document, and no write disturbed
        // another name's value.
        if (readEachStep)
            FUZZ_CHECK_EQ(IniFile::readString(where, section, key), expectedRead(model, s, k));
        for (const auto &[name, value] : written)
            FUZZ_CHECK_EQ(model.value(name.first, name.second),
                          std::optional<std::string_view>(value));
    }

    // A document changed line by line reads like a fresh parse of its bytes.
    {
        const IniDocument reparsed = IniDocument::parse(model.serialize());
        expectSameReads(model, reparsed, probes);
    }

    // Nothing reaches the disk before the batch ends.
    FUZZ_CHECK(readDisk(path) == before);
    if (externalChange)
        writeDisk(path, otherBytes);
    const bool committed = batch->commit();
    const QString reason = batch->errorString();
    batch.reset();

    // What the file must hold now: the batch's writes on whatever the file
    // held when it ended. When the batch changed nothing in its own copy,
    // leaving another program's file alone is as right as applying the
    // batch's writes to it: those writes raced with that program anyway. A
    // write refused on the batch's copy, or on the file another program left,
    // fails the batch, and then nothing is written.
    const DiskState after = readDisk(path);
    const DiskState untouched = externalChange ? DiskState{true, otherBytes} : before;
    bool replayRefused = false;
    IniDocument expected = externalChange ? IniDocument::parse(otherBytes) : std::move(model);
    if (externalChange) {
        for (const Op &op : ops)
            replayRefused |= !apply(expected, op);
    }
    const bool leftAlone = externalChange && !model.isModified() && after == untouched;
    if (refusedInBatch || !committed) {
        FUZZ_CHECK(!committed);
        FUZZ_CHECK(refusedInBatch || replayRefused);
        FUZZ_CHECK(reason.contains(QStringLiteral("Windows-1252")));
        FUZZ_CHECK(after == untouched);
        expected = IniDocument::parse(after.bytes, after.exists);
    } else if (leftAlone) {
        expected = IniDocument::parse(otherBytes);
    } else if (expected.isModified()) {
        FUZZ_CHECK(!replayRefused);
        FUZZ_CHECK(after.exists);
        FUZZ_CHECK_EQ(after.bytes, expected.serialize());
    } else {
        FUZZ_CHECK(after == untouched);
    }

    // Reads outside a batch see the file as it is on disk, also right after
    // another program put other bytes there.
    const std::size_t freshReads = std::min<std::size_t>(probes.size(), 6);
    const auto expectFreshReads = [&](const IniDocument &onDisk) {
        for (std::size_t i = 0; i < freshReads; ++i) {
            const Probe &p = probes[i];
            FUZZ_CHECK_EQ(IniFile::readString(path, p.section, p.key),
                          expectedRead(onDisk, p.s, p.k));
            FUZZ_CHECK_EQ(ReadIni(p.section, p.key, path), expectedReadIni(onDisk, p.s, p.k));
        }
    };
    expectFreshReads(expected);
    writeDisk(path, fileBytes);
    expectFreshReads(IniDocument::parse(fileBytes));
    return 0;
}
