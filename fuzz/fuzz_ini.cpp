// The INI engine on arbitrary bytes: a parse keeps every byte; writes, deletes
// and reads of names taken from the input behave as the private-profile rules
// say, on a parsed document and through the file functions inside a batch on a
// real file, and the two agree with each other and with a fresh parse.
#include "FuzzCheck.h"
#include "Ini.h"
#include "IniDocument.h"
#include "IniFile.h"

#include <QFile>
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

void apply(IniDocument &doc, const Op &op)
{
    switch (op.kind) {
    case OpKind::Set:
        doc.setValue(op.section, op.key, op.value);
        break;
    case OpKind::RemoveKey:
        doc.removeKey(op.section, op.key);
        break;
    case OpKind::RemoveSection:
        doc.removeSection(op.section);
        break;
    }
}

// What a read of the file functions gives for a document: quotes stripped
// once, the default without trailing spaces, at most bufferSize - 1 characters
// and never half a surrogate pair.
QString expectedRead(const IniDocument &doc, std::string_view section, std::string_view key,
                     const QString &defaultValue = QString(), int bufferSize = 255)
{
    QString result;
    if (const auto value = doc.value(section, key)) {
        std::string_view text = *value;
        if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') &&
            text.back() == text.front())
            text = text.substr(1, text.size() - 2);
        result = fromBytes(text);
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

    // Parsing alone changes nothing.
    {
        const IniDocument parsed = IniDocument::parse(fileBytes);
        FUZZ_CHECK_EQ(parsed.serialize(), fileBytes);
        FUZZ_CHECK(!parsed.isModified());
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
    // must read back as written until a delete of that name.
    std::map<std::pair<Bytes, Bytes>, Bytes> written;
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
            kMaxValue = ReadIni
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

        switch (action) {
        case Action::WriteString:
        case Action::WriteIni:
        case Action::InnerBatchWrite: {
            const QString value = QString::fromStdString(in.ConsumeRandomLengthString(300));
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
            apply(model, op);
            ops.push_back(op);
            if (plainSection(s) && plainKey(k) && plainValue(op.value)) {
                const std::string_view expected = trimmed(op.value);
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
            break;
        }
        case Action::RemoveSection: {
            FUZZ_CHECK(IniFile::writeString(where, section, std::nullopt, std::nullopt));
            const Op op{OpKind::RemoveSection, s, {}, {}};
            apply(model, op);
            ops.push_back(op);
            forget(s, std::nullopt);
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
    FUZZ_CHECK(batch->commit());
    batch.reset();

    // What the file must hold now: the batch's writes on whatever the file
    // held when it ended. When the batch changed nothing in its own copy,
    // leaving another program's file alone is as right as applying the
    // batch's writes to it: those writes raced with that program anyway.
    const DiskState after = readDisk(path);
    IniDocument expected = externalChange ? IniDocument::parse(otherBytes) : std::move(model);
    if (externalChange) {
        for (const Op &op : ops)
            apply(expected, op);
    }
    const bool leftAlone =
        externalChange && !model.isModified() && after == DiskState{true, otherBytes};
    if (leftAlone) {
        expected = IniDocument::parse(otherBytes);
    } else if (expected.isModified()) {
        FUZZ_CHECK(after.exists);
        FUZZ_CHECK_EQ(after.bytes, expected.serialize());
    } else {
        FUZZ_CHECK(after == (externalChange ? DiskState{true, otherBytes} : before));
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
