#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <array>
#include <map>
#include <optional>

// A configuration file as it may come back after a hand edit: every unit
// section "PS<u>" with its module sections "PS<u>MODULE<m>", each value with
// its line, and whatever does not fit the format reported by line. Names
// match ignoring case and values are trimmed and unquoted, as the settings
// files read them; numbers stay texts (a file carries the decimal separator
// of the machine that saved it).
class ConfigFileContents
{
public:
    struct Value
    {
        QString text;
        int line = 0;
        int repeatedAt = 0; // a second line for the same key: which one counts is unclear
    };

    struct Section
    {
        bool exists = false;
        int line = 0;       // of its header
        int repeatedAt = 0; // a second header of the same name
        // By the key's spelling in ConfigFileKeys.
        std::map<QString, Value> values;
        const Value *value(const QString &key) const;
    };

    struct Unit
    {
        int number = 0;
        Section unit;
        std::array<Section, 5> modules; // module m at m - 1
        const Section &module(int m) const { return modules.at(std::size_t(m - 1)); }
    };

    struct Issue
    {
        int line = 0;
        int unit = 0;   // the unit section it belongs to, 0 for none
        int module = 0; // 1..5 in a module section
        QString key;
        QString message;
    };

    static ConfigFileContents parse(const QByteArray &bytes);
    // Nothing, with the reason, when the file cannot be read.
    static std::optional<ConfigFileContents> read(const QString &path, QString *error);

    // Units with a section of their own, in ascending order.
    QList<int> units() const;
    const Unit *unit(int number) const;
    // Unknown sections and keys, lines that are no entry, repeated headers
    // and keys, in line order.
    const QList<Issue> &issues() const { return m_issues; }
    QList<Issue> issuesOf(int unit) const;
    // Issues past the first MaxIssues of the file are counted, not kept: a
    // file of a million unknown keys must not take a million lines.
    static constexpr int MaxIssues = 1000;
    int issuesLeftOut(int unit) const { return m_leftOut.value(unit); }
    int lineCount() const { return m_lines; }

private:
    std::map<int, Unit> m_units;
    QList<Issue> m_issues;
    QHash<int, int> m_leftOut; // by unit section, 0 for none
    int m_lines = 0;
};
