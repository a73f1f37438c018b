// INI engine: reads, byte-exact writes, failures and batches, through the public API.
#include "core/IniFile.h"
#include "TestSeams.h"
#include "core/Ini.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <ostream>
#include <random>

// Readable failure messages for texts and file bytes.
static void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.left(300).toStdString() << (text.size() > 300 ? "\"..." : "\"");
}
static void PrintTo(const QByteArray &bytes, std::ostream *out)
{
    *out << '"' << bytes.left(300).toPercentEncoding(" =[];\"'").toStdString()
         << (bytes.size() > 300 ? "\"..." : "\"");
}

namespace {

QByteArray bytesOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void putBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

const QByteArray Nul(1, '\0');

// In memory, the bulk tests stay fast on a busy machine.
QString memoryTempTemplate()
{
    const QString base =
        QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    return base + QStringLiteral("/zelk-ini-XXXXXX");
}

struct WriteStep
{
    QString section;
    std::optional<QString> key, value; // no key: delete the section; no value: the key
};

class IniTest : public ::testing::Test
{
protected:
    QString path(const QString &name = QStringLiteral("t.ini")) const
    {
        return m_dir.filePath(name);
    }
    QStringList entries() const
    {
        return QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }
    QString read(const QByteArray &content, const QString &section, const QString &key)
    {
        putBytes(path(), content);
        return IniFile::readString(path(), section, key, QStringLiteral("<none>"));
    }

    // Makes the steps in one batch and one by one, on a missing and on an
    // empty file, and expects the same files both ways.
    void expectBatchMatchesSingleWrites(const std::vector<WriteStep> &steps, const QString &tag)
    {
        for (const bool startEmpty : {false, true}) {
            const QString name = tag + (startEmpty ? QStringLiteral("-empty") : QString());
            const QString batchFile = path("batch" + name + ".ini");
            const QString singleFile = path("single" + name + ".ini");
            if (startEmpty) {
                putBytes(batchFile, "");
                putBytes(singleFile, "");
            }
            {
                IniBatch batch(batchFile);
                for (const WriteStep &step : steps)
                    EXPECT_TRUE(
                        IniFile::writeString(batchFile, step.section, step.key, step.value));
                EXPECT_TRUE(batch.commit());
            }
            for (const WriteStep &step : steps)
                EXPECT_TRUE(IniFile::writeString(singleFile, step.section, step.key, step.value));
            ASSERT_EQ(QFile::exists(batchFile), QFile::exists(singleFile)) << name.toStdString();
            ASSERT_EQ(bytesOf(batchFile), bytesOf(singleFile)) << name.toStdString();
        }
    }

    QTemporaryDir m_dir{memoryTempTemplate()};
};

using IniBulkTest = IniTest;
using IniReadTest = IniTest;
using IniWriteTest = IniTest;
using IniBatchTest = IniTest;
using IniRobustnessTest = IniTest;

TEST_F(IniReadTest, BufferLimitAndDefaults)
{
    // Catches a truncation off by one or counting bytes, or defaults keeping trailing spaces.
    const QString ascii(300, QLatin1Char('x'));
    const QString accented(300, QChar(0xE9));
    putBytes(path(), "[s]\r\na=" + ascii.toUtf8() + "\r\nb=" + accented.toUtf8() + "\r\n");
    EXPECT_EQ(IniFile::readString(path(), "s", "a", {}, 255), ascii.left(254));
    EXPECT_EQ(IniFile::readString(path(), "s", "b", {}, 255), accented.left(254));
    EXPECT_EQ(IniFile::readString(path(), "s", "a", {}, 1), QString());
    EXPECT_EQ(IniFile::readString(path(), "s", "none", "defaults", 5), "defa");
    EXPECT_EQ(IniFile::readString(path(), "other", "a", " d \t  "), " d \t");
    EXPECT_EQ(IniFile::readString(path("absent.ini"), "s", "a", "d  "), "d");
    EXPECT_EQ(IniFile::readString(QString(), "s", "a", "d"), "d");
}

TEST_F(IniReadTest, WhatAReadFinds)
{
    // Catches missing tab/space trimming or greedy or unmatched quote stripping; '#' taken as
    // a comment, an indented comment read or a ';' inside a key cutting it; merged duplicate
    // sections or a later duplicate key winning, also in long sections; names not cut at the
    // first ']', headers without ']' lost, or preamble entries reachable; a line splitter that
    // only knows CRLF or needs a final newline; arguments trimmed like file text (tabs too),
    // untrimmed, or matched case-sensitively.
    const QByteArray quotes =
        "[s]\r\n\v Key \t=  \"  a b  \"  \v\r\nm=\"x'\r\nn='\"v\"'\r\none=\"\r\n";
    const QByteArray comments = "[s]\r\n ;k=1\r\n#h=2\r\nk2;x=3\r\n";
    const QByteArray duplicates = "[s]\r\na=1\r\na=2\r\n[S]\r\nb=3\r\n";
    QByteArray longSection = "[long]\r\n";
    for (int i = 0; i < 100; ++i)
        longSection += "k" + QByteArray::number(i % 50) + "=" + QByteArray::number(i) + "\r\n";
    const QByteArray headers =
        "lead=0\r\n\xEF\xBB\xBF[bom]\r\nb=9\r\n[ sec ]junk\r\nk=1\r\n[open\r\n"
        "k=2\r\n[a]b]\r\nk=3\r\n[]\r\nk=4\r\n";
    const QByteArray named = "[Sec]\r\nKey=v\r\n";
    const struct
    {
        QByteArray file;
        const char *section, *key, *found;
    } cases[] = {{quotes, "s", "key", "  a b  "},
                 {quotes, "s", "m", "\"x'"},
                 {quotes, "s", "n", "\"v\""},
                 {quotes, "s", "one", "\""},
                 {comments, "s", "k", "<none>"},
                 {comments, "s", ";k", "<none>"},
                 {comments, "s", "#h", "2"},
                 {comments, "s", "k2;x", "3"},
                 {duplicates, "s", "a", "1"},
                 {duplicates, "S", "b", "<none>"},
                 {longSection, "long", "K7", "7"},
                 {longSection, "long", "k49", "49"},
                 {headers, "sec", "k", "1"},
                 {headers, "open", "k", "2"},
                 {headers, "a", "k", "3"},
                 {headers, "", "k", "4"},
                 {headers, "", "lead", "<none>"},
                 {headers, "bom", "b", "<none>"},
                 {"[s]\ra=1\rb=2\r", "s", "b", "2"},
                 {"[s]\na=1\nb=2\n", "s", "b", "2"},
                 {"[s]\r\na=1\nb=2\rc=3\r\n", "s", "c", "3"},
                 {"[s]\r\na=1\r\nb=2", "s", "b", "2"},
                 {named, " sec ", " KEY ", "v"},
                 {named, "sec", "\tkey", "<none>"},
                 {named, "sec\t", "key", "<none>"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "[" << c.section << "] " << c.key);
        EXPECT_EQ(read(c.file, c.section, c.key), c.found);
    }
}

TEST_F(IniReadTest, OutsideRewritesAreSeenAndReadOnlyBatchesShareACopyOnlyWhileUnchanged)
{
    // Catches a read cache trusted on size and modification time.
    putBytes(path(), "[s]\r\nk=aaaa\r\n");
    const QDateTime stamp = QFileInfo(path()).lastModified();
    EXPECT_EQ(IniFile::readString(path(), "s", "k"), "aaaa");
    putBytes(path(), "[s]\r\nk=bbbb\r\n");
    QFile file(path());
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(stamp, QFileDevice::FileModificationTime));
    file.close();
    EXPECT_EQ(IniFile::readString(path(), "s", "k"), "bbbb");

    // A batch that only reads leaves its parsed copy for the next batch on the
    // same bytes. Catches that copy trusted after an outside rewrite of the
    // same size, or changed by a later batch's writes.
    putBytes(path(), "[s]\r\nk=aaaa\r\n");
    const auto readInBatch = [this] {
        IniBatch batch(path());
        return IniFile::readString(path(), "s", "k");
    };
    EXPECT_EQ(readInBatch(), "aaaa");
    EXPECT_EQ(readInBatch(), "aaaa");
    putBytes(path(), "[s]\r\nk=bbbb\r\nz=1\r\n");
    EXPECT_EQ(readInBatch(), "bbbb");
    {
        IniBatch batch(path());
        EXPECT_EQ(IniFile::readString(path(), "s", "k"), "bbbb");
        ASSERT_TRUE(IniFile::writeString(path(), "s", QStringLiteral("k"), QStringLiteral("cc")));
        EXPECT_EQ(IniFile::readString(path(), "s", "k"), "cc");
        EXPECT_TRUE(batch.commit());
    }
    EXPECT_EQ(bytesOf(path()), "[s]\r\nk=cc\r\nz=1\r\n");
    putBytes(path(), "[s]\r\nk=bbbb\r\nz=1\r\n"); // the bytes of the copy made earlier
    EXPECT_EQ(readInBatch(), "bbbb");
    EXPECT_EQ(IniFile::readString(path(), "s", "k"), "bbbb");
}

TEST_F(IniWriteTest, WritesChangeOnlyTheLinesTheyMust)
{
    // Catches re-saving from a model: lost comments, blanks, NULs, BOM, endings or preamble;
    // keys put after trailing comments, blank lines before new sections, or glued lines;
    // values trimmed or quoted, spaces around '=', or the key's case rewritten; rewrites for
    // missing keys, comments lost with a section, or no file from a delete.
    const QByteArray head = "\xEF\xBB\xBFtop text\n; note\r\n\r\n[main]\nx=1\n";
    const QByteArray tail = "\r\n; keep\rz=" + Nul + "q" + Nul + "\n\n[other]\ny=2";
    const QByteArray twoA = "[a]\r\nk=1\r\n;c1\r\nj\r\nk=2\r\n\r\n[b]\r\nm=1\r\n[a]\r\nz=9\r\n";
    const struct
    {
        std::optional<QByteArray> start; // none: no file
        std::vector<WriteStep> steps;
        QByteArray after;
    } rows[] = {
        {head + "  Bee \t= old  \n" + tail, {{"MAIN", "bee", "new"}}, head + "Bee=new\r\n" + tail},
        {"[a]\r\nx=1\r\n;c\r\n\r\n[b]\r\ny=2\r\n",
         {{"a", "n1", "1"}, {"a", "n2", "2"}, {"c", "k", "3"}},
         "[a]\r\nx=1\r\nn1=1\r\nn2=2\r\n;c\r\n\r\n[b]\r\ny=2\r\n[c]\r\nk=3\r\n"},
        {"[a]\r\nx=1", {{"b", "k", "v"}}, "[a]\r\nx=1\r\n[b]\r\nk=v\r\n"},
        {"[a]\r\n;only\r\n[b]",
         {{"a", "k", "1"}, {"b", "k", "2"}},
         "[a]\r\nk=1\r\n;only\r\n[b]\r\nk=2\r\n"},
        {{},
         {{"  Sec ", " Key ", "  v  "}, {"Sec", "empty", ""}},
         "[Sec]\r\nKey=  v  \r\nempty=\r\n"},
        {"[s]\r\n KEY = old\r\nK2=v \n",
         {{"S", "key", "n\xC3\xA9w"}, {"s", "k2", "v"}}, // the same value again
         "[s]\r\nKEY=n\xC3\xA9w\r\nK2=v\r\n"},
        {twoA, {{"a", "missing", {}}, {"nosuch", {}, {}}}, twoA},
        {twoA, {{"A", "K", {}}}, "[a]\r\n;c1\r\nj\r\nk=2\r\n\r\n[b]\r\nm=1\r\n[a]\r\nz=9\r\n"},
        {twoA, {{"a", {}, {}}}, ";c1\r\n\r\n[b]\r\nm=1\r\n[a]\r\nz=9\r\n"},
        {{}, {{"s", "k", {}}}, ""},
        {{}, {{"s", {}, {}}}, ""}};
    for (const auto &row : rows) {
        SCOPED_TRACE(&row - rows);
        QFile::remove(path());
        if (row.start)
            putBytes(path(), *row.start);
        for (const WriteStep &step : row.steps)
            ASSERT_TRUE(IniFile::writeString(path(), step.section, step.key, step.value));
        EXPECT_EQ(bytesOf(path()), row.after);
    }
    EXPECT_EQ(entries(), QStringList{"t.ini"}); // no temporary or lock file left
}

TEST_F(IniWriteTest, FailuresChangeNothingAndPermissionsSurvive)
{
    // Catches created folders, replaced read-only files, lost permissions or leftover lock files.
    EXPECT_FALSE(
        IniFile::writeString(path("no/such/t.ini"), "s", QStringLiteral("k"), QStringLiteral("v")));
    EXPECT_FALSE(IniFile::writeString(QString(), "s", QStringLiteral("k"), QStringLiteral("v")));
    EXPECT_TRUE(entries().isEmpty());

    putBytes(path(), "[s]\r\nk=1\r\n");
    const auto readOnly = QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther;
    ASSERT_TRUE(QFile::setPermissions(path(), readOnly));
    EXPECT_FALSE(IniFile::writeString(path(), "s", QStringLiteral("k"), QStringLiteral("2")));
    EXPECT_EQ(bytesOf(path()), "[s]\r\nk=1\r\n");

    const auto ownerAndGroup = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup;
    ASSERT_TRUE(QFile::setPermissions(path(), ownerAndGroup));
    ASSERT_TRUE(IniFile::writeString(path(), "s", QStringLiteral("k"), QStringLiteral("2")));
    EXPECT_EQ(bytesOf(path()), "[s]\r\nk=2\r\n");
    const int ownerGroupOther = 0x7077; // the "user" bits depend on who runs the test
    EXPECT_EQ(int(QFile::permissions(path())) & ownerGroupOther, int(ownerAndGroup));
    EXPECT_EQ(entries(), QStringList{"t.ini"});
}

TEST_F(IniBulkTest, MixedEditsOfAMessyFileMatchOneByOneWrites)
{
    // Catches batch drift after deletes, long sections, breaks in values, header-like keys,
    // or with names and values in a Windows-1252 file.
    QByteArray messy = "\xEF\xBB\xBFlead\n;top\r\n[a]\nk1=1\r\n;mid\r\n\r\n[B]\rk1=x\r"
                       "k\xE9=25\xB0\r";
    messy += "[long]\r\n";
    for (int i = 0; i < 70; ++i)
        messy += "key" + QByteArray::number(i % 60) + "=" + QByteArray::number(i) + "\r\n";
    messy += ";tail\r\n[a]\r\nk2=dup\r\n[c]\r\nnoequals\r\nk1=" + Nul + "\r\n[d]";
    putBytes(path("batch.ini"), messy);
    putBytes(path("single.ini"), messy);

    const QStringList sections{"a", "B", "long", "c", "d", "new", "A "};
    const QStringList keys{"k1", "K2", "key5", "key59", "fresh", "[x", ";c", "q=r", "k\xC3\xA9"};
    const QStringList values{"v",          "",         "  sp  ",  "two\r\nlines",
                             "[inj]\nz=1", "\xC3\xA9", "\xC2\xB5"};
    std::mt19937 random(7);
    auto pick = [&random](const QStringList &list) {
        return list.at(int(random() % unsigned(list.size())));
    };
    struct Step
    {
        QString section, key, value;
        int kind;
    };
    std::vector<Step> steps;
    for (int i = 0; i < 300; ++i) {
        const int kind = int(random() % 20);
        steps.push_back({pick(sections), pick(keys), pick(values), kind});
    }
    auto run = [&](const QString &file, QStringList &seen) {
        for (const Step &step : steps) {
            std::optional<QString> key = step.key, value = step.value;
            if (step.kind == 0)
                key.reset();
            else if (step.kind < 4)
                value.reset();
            EXPECT_TRUE(IniFile::writeString(file, step.section, key, value));
            seen << IniFile::readString(file, step.section, step.key, "<none>")
                 << IniFile::readString(file, "long", "key7", "<none>");
        }
    };
    QStringList batchReads, singleReads;
    {
        IniBatch batch(path("batch.ini"));
        run(path("batch.ini"), batchReads);
    }
    run(path("single.ini"), singleReads);
    EXPECT_EQ(batchReads, singleReads);
    EXPECT_EQ(bytesOf(path("batch.ini")), bytesOf(path("single.ini")));
}

TEST_F(IniBulkTest, NewFileBatchesOfSectionRunsAndOddCharactersMatchOneByOneWrites)
{
    // A save writes each section's keys together, and such a batch lays the
    // file out as it records. Catches that layout drifting from single writes
    // when the pattern breaks: each seed breaks it one way, now and then (a
    // section met again in any case, a key written twice, a delete of a written
    // or an absent key, a section deleted, a key that loses spaces or would
    // change how its line parses, a value of two lines); a fifth of the seeds
    // never break it.
    enum Break { None, Revisit, TwiceWritten, KeyDeleted, SectionDeleted, OddKey, TwoLines, Kinds };
    const QStringList oddKeys{"=x", "[h", ";c", "\tt", "l\r\nm", "", " Sp "};
    for (int seed = 0; seed < 100; ++seed) {
        std::mt19937 random{unsigned(seed) + 1000};
        const auto chance = [&random](unsigned percent) {
            return random() % 100 < percent;
        };
        const auto any = [&random](const QStringList &list) {
            return list.at(int(random() % unsigned(list.size())));
        };
        const Break pattern = seed % 5 == 0 ? None : Break(1 + seed % (Kinds - 1));
        std::vector<WriteStep> steps;
        QStringList sectionsSoFar;
        const int runs = 2 + int(random() % 10);
        for (int r = 0; r < runs; ++r) {
            QString section = QStringLiteral("Sec%1").arg(r);
            if (pattern == Revisit && !sectionsSoFar.isEmpty() && chance(25))
                section = chance(50) ? any(sectionsSoFar).toLower() : any(sectionsSoFar);
            sectionsSoFar << section;
            QStringList keysSoFar;
            // Now and then a run long enough for the builder to index its keys.
            const int keys = chance(5) ? 40 : 1 + int(random() % 10);
            for (int k = 0; k < keys; ++k) {
                // Another text of the same name now and then, as a caller
                // building the name each time passes.
                WriteStep step{chance(20) ? QString(section.toUtf8()) : section,
                               QStringLiteral("Key%1").arg(k),
                               QStringLiteral("v%1.%2").arg(r).arg(k)};
                const bool breakNow = chance(8);
                if (breakNow && pattern == TwiceWritten && !keysSoFar.isEmpty())
                    step.key = chance(50) ? any(keysSoFar).toUpper() : any(keysSoFar);
                if (breakNow && pattern == OddKey)
                    step.key = any(oddKeys);
                if (breakNow && pattern == TwoLines)
                    step.value = QStringLiteral("two\r\nlines");
                if (pattern == KeyDeleted && chance(15)) {
                    // Absent keys mostly, which leave the layout going.
                    step.value.reset();
                    if (!keysSoFar.isEmpty() && chance(30))
                        step.key = any(keysSoFar);
                }
                if (pattern == SectionDeleted && (k == 0 ? chance(40) : breakNow)) {
                    // Before a run's first key, a section never written, or
                    // this one in another case: the key then names it.
                    step.key.reset();
                    step.value.reset();
                    if (k == 0)
                        step.section =
                            chance(50) ? QStringLiteral("Absent%1").arg(r) : section.toLower();
                }
                if (step.key && step.value)
                    keysSoFar << *step.key;
                steps.push_back(step);
            }
        }
        expectBatchMatchesSingleWrites(steps, QStringLiteral("runs%1").arg(seed));
    }

    // Keys and values are narrowed several characters at a time, in steps that
    // overlap at the end. Catches a character that changes how the line
    // parses, or one outside ASCII, missed at some length or position of a
    // key, a value or a section name.
    enum Role { Key, Value, Section };
    int cases = 0;
    for (int length = 1; length <= 20; ++length) {
        for (int at = 0; at < length; ++at) {
            for (const Role role : {Key, Value, Section}) {
                for (const QChar odd : role == Section ? QStringLiteral("]\r\n\t\u00E9")
                                                       : QStringLiteral("=\t\n\u00E9")) {
                    QString text(length, QChar(u'k'));
                    text[at] = odd;
                    std::vector<WriteStep> steps{{"S", QStringLiteral("a"), QStringLiteral("1")}};
                    // A name is written twice: where it holds '=' or ']', the
                    // file reads another name and the second write adds a line.
                    if (role == Value) {
                        steps.push_back({"S", QStringLiteral("b"), text});
                    } else {
                        for (const QString value : {"v", "w"})
                            steps.push_back(role == Key
                                                ? WriteStep{"S", text, value}
                                                : WriteStep{text, QStringLiteral("k"), value});
                    }
                    steps.push_back({"S", QStringLiteral("c"), QStringLiteral("3")});
                    expectBatchMatchesSingleWrites(steps, QStringLiteral("odd%1").arg(cases++));
                }
            }
        }
    }
}

TEST_F(IniBatchTest, ReadsSeeItsWritesTheFileWaitsAndAnOutsideSaveIsKept)
{
    // Catches a batch, on a new file or an existing one, whose reads miss the
    // writes still waiting or see stale disk data, that writes through early
    // or twice, or whose end overwrites a file another program saved meanwhile.
    for (const QByteArray &start : {QByteArray(), QByteArray("[s]\r\nk=old\r\n")}) {
        SCOPED_TRACE(start.constData());
        const auto begin = [&] {
            QFile::remove(path());
            if (!start.isEmpty())
                putBytes(path(), start);
        };
        begin();
        IniBatch batch(path());
        ASSERT_TRUE(IniFile::writeValue(path(), "s", "k", "new"));
        EXPECT_EQ(IniFile::readString(path(), "S", "K"), "new");
        EXPECT_EQ(bytesOf(path()), start.isEmpty() ? QByteArray("<missing>") : start);
        EXPECT_TRUE(batch.commit());
        EXPECT_EQ(bytesOf(path()), "[s]\r\nk=new\r\n");
        putBytes(path(), "[s]\r\nk=outside\r\n"); // after commit the batch is over
        EXPECT_TRUE(batch.commit());
        EXPECT_EQ(bytesOf(path()), "[s]\r\nk=outside\r\n");

        begin();
        {
            IniBatch mine(path());
            ASSERT_TRUE(IniFile::writeValue(path(), "s", "mine", "1"));
            putBytes(path(), "[s]\r\nk=theirs\r\n[other]\r\nx=y\r\n");
            EXPECT_TRUE(mine.commit());
        }
        EXPECT_EQ(bytesOf(path()), "[s]\r\nk=theirs\r\nmine=1\r\n[other]\r\nx=y\r\n");
    }

    // A batch that leaves an empty file as it was keeps what another program saved.
    putBytes(path("empty.ini"), "");
    {
        IniBatch batch(path("empty.ini"));
        ASSERT_TRUE(
            IniFile::writeString(path("empty.ini"), "s", QStringLiteral("k"), std::nullopt));
        putBytes(path("empty.ini"), "[s]\r\nk=1\r\n");
        EXPECT_TRUE(batch.commit());
    }
    EXPECT_EQ(bytesOf(path("empty.ini")), "[s]\r\nk=1\r\n");
}

TEST_F(IniBatchTest, SectionsAreFoundByTheirTextAndPlaceAsTheyAreNow)
{
    // Catches a remembered section text going stale: a text on borrowed memory
    // changed behind the same address, or a text changed after use.
    char16_t borrowed[] = u"aa";
    const auto view = [&borrowed] {
        return QString::fromRawData(reinterpret_cast<const QChar *>(borrowed), 2);
    };
    QString owned = QString::fromLatin1("cc");
    {
        IniBatch batch(path());
        ASSERT_TRUE(IniFile::writeValue(path(), view(), "k", "1"));
        borrowed[0] = borrowed[1] = u'b';
        ASSERT_TRUE(IniFile::writeValue(path(), view(), "k", "2"));
        ASSERT_TRUE(IniFile::writeValue(path(), owned, "k", "3"));
        owned[0] = QLatin1Char('d');
        ASSERT_TRUE(IniFile::writeValue(path(), owned, "k", "4"));
        EXPECT_TRUE(batch.commit());
    }
    EXPECT_EQ(bytesOf(path()), "[aa]\r\nk=1\r\n[bb]\r\nk=2\r\n[cc]\r\nk=3\r\n[dc]\r\nk=4\r\n");
    borrowed[0] = borrowed[1] = u'a';
    EXPECT_EQ(IniFile::readString(path(), view(), "k"), "1");
    borrowed[0] = borrowed[1] = u'b';
    EXPECT_EQ(IniFile::readString(path(), view(), "k"), "2");

    // Catches a batch that still finds a section by its old position after another was deleted.
    putBytes(path("dup.ini"), "[x]\r\nk=0\r\n[n]\r\nk=1\r\n[n]\r\nk=2\r\n");
    IniBatch batch(path("dup.ini"));
    EXPECT_EQ(IniFile::readString(path("dup.ini"), "n", "k"), "1");
    ASSERT_TRUE(IniFile::writeString(path("dup.ini"), "x", std::nullopt, std::nullopt));
    EXPECT_EQ(IniFile::readString(path("dup.ini"), "n", "k"), "1");
    ASSERT_TRUE(IniFile::writeString(path("dup.ini"), "n", std::nullopt, std::nullopt));
    EXPECT_EQ(IniFile::readString(path("dup.ini"), "n", "k"), "2");
    EXPECT_TRUE(batch.commit());
    EXPECT_EQ(bytesOf(path("dup.ini")), "[n]\r\nk=2\r\n");
}

TEST_F(IniBatchTest, NestedBatchAndOtherPathSpellingsJoin)
{
    // Catches an inner batch or an unclean path spelling writing the file on its own.
    putBytes(path(), "[s]\r\n");
    const QString unclean = m_dir.path() + "/./sub/../t.ini";
    IniBatch outer(path());
    {
        IniBatch inner(unclean);
        ASSERT_TRUE(IniFile::writeString(unclean, "s", QStringLiteral("k"), QStringLiteral("1")));
        EXPECT_TRUE(inner.commit());
    }
    EXPECT_EQ(bytesOf(path()), "[s]\r\n");
    EXPECT_EQ(IniFile::readString(path(), "s", "k"), "1");

    {
        const auto restore =
            qScopeGuard([previous = QDir::currentPath()] { QDir::setCurrent(previous); });
        ASSERT_TRUE(QDir::setCurrent(m_dir.path()));
        EXPECT_EQ(IniFile::readString("t.ini", "s", "k"), "1");
    }
    EXPECT_TRUE(outer.commit());
    EXPECT_EQ(bytesOf(path()), "[s]\r\nk=1\r\n");
}

TEST_F(IniBatchTest, FailureReportedOnceAtCommitAndOnlyForRealChanges)
{
    // Catches a batch that rewrites an unchanged file or replaces a read-only one.
    putBytes(path(), "[s]\r\nk=1\r\n");
    ASSERT_TRUE(QFile::setPermissions(path(), QFile::ReadOwner | QFile::ReadGroup));
    {
        IniBatch batch(path());
        EXPECT_TRUE(IniFile::writeString(path(), "s", QStringLiteral("k"), QStringLiteral("1")));
        EXPECT_TRUE(IniFile::writeString(path(), "s", QStringLiteral("gone"), std::nullopt));
        EXPECT_TRUE(batch.commit());
    }
    {
        IniBatch batch(path());
        EXPECT_TRUE(IniFile::writeString(path(), "s", QStringLiteral("k"), QStringLiteral("2")));
        EXPECT_FALSE(batch.commit());
    }
    EXPECT_EQ(bytesOf(path()), "[s]\r\nk=1\r\n");

    IniBatch missingFolder(path("no/such.ini"));
    EXPECT_TRUE(IniFile::writeString(path("no/such.ini"), "s", QStringLiteral("k"), "v"));
    EXPECT_FALSE(missingFolder.commit());
    EXPECT_EQ(entries(), QStringList{"t.ini"});
}

TEST_F(IniRobustnessTest, BadInputsReadAndWriteWithoutHarm)
{
    // Catches crashes, hangs or byte loss on binary junk, NULs, huge lines and broken headers.
    std::mt19937 random(3);
    QByteArray junk(4096, Qt::Uninitialized);
    for (char &c : junk)
        c = char(random());
    const QByteArray hugeLine = "big=" + QByteArray(1 << 20, 'x');
    const QByteArray file = junk + "\r\n[s\n" + hugeLine + "\r" + Nul + Nul + "\n[ok]\r\na=1";
    putBytes(path(), file);
    EXPECT_EQ(IniFile::readString(path(), "s", "big", {}, 1 << 21).size(), 1 << 20);
    EXPECT_EQ(IniFile::readString(path(), "ok", "a"), "1");
    ASSERT_TRUE(IniFile::writeString(path(), "s", QStringLiteral("new"), QStringLiteral("n")));
    ASSERT_TRUE(IniFile::writeString(path(), "ok", QStringLiteral("a"), QStringLiteral("2")));
    // A line of NULs has no '=' but is still an entry line: the new key goes below it.
    EXPECT_EQ(bytesOf(path()),
              junk + "\r\n[s\n" + hugeLine + "\r" + Nul + Nul + "\nnew=n\r\n[ok]\r\na=2\r\n");
    EXPECT_EQ(IniFile::readString(path(), "s", "new"), "n");

    EXPECT_EQ(IniFile::readString(m_dir.path(), "s", "k", "d"), "d"); // a folder, not a file
    EXPECT_FALSE(IniFile::writeString(m_dir.path(), "s", QStringLiteral("k"), QStringLiteral("v")));
}

class IniAnsiTest : public ::testing::Test
{
protected:
    enum class Road { Single, Batch, IniCalls };
    static constexpr Road kRoads[] = {Road::Single, Road::Batch, Road::IniCalls};

    // One file by one road, as a form that shows values and saves them does.
    class Session
    {
    public:
        Session(Road road, const QString &path)
            : m_ini(road == Road::IniCalls)
            , m_path(path)
        {
            if (road == Road::Batch)
                m_batch.emplace(path);
        }
        QString read(const QString &key, const QString &section = "s") const
        {
            return m_ini ? ReadIni(section, key, m_path)
                         : IniFile::readString(m_path, section, key);
        }
        void write(const QString &key, const QString &value, const QString &section = "s")
        {
            m_ok &= m_ini ? WriteIni(section, key, value, m_path) == "1"
                          : IniFile::writeValue(m_path, section, key, value);
        }
        // Ends a batch: whether every write took.
        bool done() { return m_ok && (!m_batch || m_batch->commit()); }
        QString error() const { return m_batch ? m_batch->errorString() : QString(); }

    private:
        bool m_ini;
        QString m_path;
        std::optional<IniBatch> m_batch;
        bool m_ok = true;
    };

    TestEnvironment env;
    const QString micro = QStringLiteral("\u00B5");
};

TEST_F(IniAnsiTest, AnsiBytesAndNulValuesKeepTheirBytesUntilTheLastAnsiLineGoes)
{
    // Catches an ANSI byte read as U+FFFD and written back as EF BF BD, a byte code page 1252
    // leaves undefined lost, text after a NUL handed on (or cut before the quotes come off),
    // or an ANSI or NUL line touched by a write to another key.
    const std::pair<char, char16_t> cases[] = {
        {'\xB0', 0x00B0}, {'\xB5', 0x00B5}, {'\xE9', 0x00E9}, {'\x80', 0x20AC}, {'\xFF', 0x00FF},
        {'\x81', 0x0081}, {'\x8D', 0x008D}, {'\x8F', 0x008F}, {'\x90', 0x0090}, {'\x9D', 0x009D}};
    for (const auto &[byte, character] : cases) {
        for (const Road road : kRoads) {
            SCOPED_TRACE(testing::Message() << int(uchar(byte)) << " road " << int(road));
            const QByteArray ansi = "25" + QByteArray(1, byte) + "C";
            const QByteArray head =
                "[s]\r\nt=" + ansi + "\r\nz=ab" + Nul + "cd\r\nq=\"x" + Nul + "y\"\r\n";
            env.writeFile("a.ini", head + "n=1\r\n");
            Session session(road, env.path("a.ini"));
            const QString value = session.read("t");
            EXPECT_EQ(value, QStringLiteral("25") + QChar(character) + QLatin1Char('C'));
            EXPECT_EQ(session.read("z"), "ab");
            EXPECT_EQ(session.read("q"), "x");
            session.write("t", value);
            session.write("n", "2");
            session.write("copy", value);
            EXPECT_TRUE(session.done());
            EXPECT_EQ(env.readFile("a.ini"), head + "n=2\r\ncopy=" + ansi + "\r\n");
        }
    }

    // Catches a batch that still writes Windows-1252 after the file's last ANSI line was
    // rewritten or deleted, while single writes see a UTF-8 file from then on.
    const std::pair<std::function<bool(const QString &)>, QByteArray> drops[] = {
        {[](const QString &p) { return IniFile::writeValue(p, "a", "t", "25"); },
         "[a]\r\nt=25\r\n[s]\r\n"},
        {[](const QString &p) { return IniFile::deleteKey(p, "a", "t"); }, "[a]\r\n[s]\r\n"},
        {[](const QString &p) { return IniFile::writeString(p, "a", std::nullopt, std::nullopt); },
         "[s]\r\n"}};
    for (const auto &[drop, rest] : drops) {
        for (const Road road : kRoads) {
            env.writeFile("f.ini", "[a]\r\nt=25\xB0\r\n[s]\r\n");
            Session session(road, env.path("f.ini"));
            session.write("k", "1"); // a batch works on a copy of its own from here on
            EXPECT_EQ(session.read("t", "a"), QStringLiteral("25\u00B0"));
            EXPECT_TRUE(drop(env.path("f.ini")));
            session.write("m", micro);
            EXPECT_TRUE(session.done());
            EXPECT_EQ(env.readFile("f.ini"), rest + "k=1\r\nm=\xC2\xB5\r\n");
        }
    }
}

TEST_F(IniAnsiTest, EachFileKeepsItsEncodingAndAnsiRefusesWhatItCannotHold)
{
    // Catches a UTF-8 file written in Windows-1252, an ANSI file written in UTF-8 or searched
    // with UTF-8 names, or a character code page 1252 cannot hold replaced instead of failing
    // the write (the whole batch) and writing nothing.
    const QByteArray utf8 = "[s]\r\nt=25\xC2\xB0\r\n", ansi = "[s]\r\nt=25\xB0\r\nd\xE9=1\r\n";
    for (const Road road : kRoads) {
        SCOPED_TRACE(int(road));
        env.writeFile("u.ini", utf8);
        Session inUtf8(road, env.path("u.ini"));
        EXPECT_EQ(inUtf8.read("t"), QStringLiteral("25\u00B0"));
        inUtf8.write("m", micro);
        EXPECT_TRUE(inUtf8.done());
        EXPECT_EQ(env.readFile("u.ini"), utf8 + "m=\xC2\xB5\r\n");

        env.writeFile("a.ini", ansi);
        Session inAnsi(road, env.path("a.ini"));
        EXPECT_EQ(inAnsi.read(QStringLiteral("d\u00E9")), "1");
        inAnsi.write(QStringLiteral("d\u00E9"), micro);
        EXPECT_TRUE(inAnsi.done());
        EXPECT_EQ(env.readFile("a.ini"), "[s]\r\nt=25\xB0\r\nd\xE9=\xB5\r\n");

        env.writeFile("a.ini", ansi);
        const int boxes = env.dialogs.count();
        Session refused(road, env.path("a.ini"));
        refused.write("a", "1");
        refused.write("o", QStringLiteral("x\u03A9"));
        EXPECT_FALSE(refused.done());
        // A batch writes nothing; single writes keep the one that could be held.
        EXPECT_EQ(env.readFile("a.ini"), road == Road::Batch ? ansi : ansi + "a=1\r\n");
        EXPECT_EQ(refused.error(),
                  road == Road::Batch
                      ? "o in [s] holds a character that the file's Windows-1252 text cannot hold"
                      : QString());
        EXPECT_EQ(env.dialogs.texts().mid(boxes),
                  road == Road::IniCalls ? QStringList{Ini::WriteFailedText + env.path("a.ini")}
                                         : QStringList());
    }
}

} // namespace
