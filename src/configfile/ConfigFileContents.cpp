#include "configfile/ConfigFileContents.h"

#include "configfile/ConfigFileKeys.h"
#include "core/IniDocument.h"

#include <QFile>
#include <string_view>

namespace K = ConfigFileKeys;

namespace {

bool blank(char c)
{
    return c == ' ' || c == '\t' || c == '\v';
}

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool sameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

// A whole number written as the writer writes it: no sign, no leading zero.
int plainNumber(std::string_view s, int max)
{
    if (s.empty() || s.size() > 2 || s.front() == '0')
        return 0;
    int n = 0;
    for (const char c : s) {
        if (c < '0' || c > '9')
            return 0;
        n = n * 10 + (c - '0');
    }
    return n <= max ? n : 0;
}

struct SectionName
{
    int unit = 0;
    int module = 0; // 0: the unit's own section
};

// "PS<u>" or "PS<u>MODULE<m>", any case; unit 0 for any other name.
SectionName sectionName(std::string_view name)
{
    if (name.size() < 3 || !sameName(name.substr(0, 2), "PS"))
        return {};
    name.remove_prefix(2);
    std::size_t digits = 0;
    while (digits < name.size() && name[digits] >= '0' && name[digits] <= '9')
        ++digits;
    const int unit = plainNumber(name.substr(0, digits), 32);
    if (unit == 0)
        return {};
    const std::string_view rest = name.substr(digits);
    if (rest.empty())
        return {unit, 0};
    if (rest.size() == 7 && sameName(rest.substr(0, 6), "MODULE") && rest[6] >= '1' &&
        rest[6] <= '5')
        return {unit, rest[6] - '0'};
    return {};
}

const QStringList &unitKeys()
{
    static const QStringList keys = {K::PowerSupplyID, K::SerialNumber, K::MajorVersion,
                                     K::MinorVersion,  K::FanFail,      K::GlobalDC,
                                     K::OverTemp,      K::GlobalOnOff,  K::Group,
                                     K::Global,        K::MODULES};
    return keys;
}

QStringList moduleKeys(int m)
{
    return {K::ModuleCode,
            K::SerialNumber,
            K::MajorVersion,
            K::MinorVersion,
            K::DefaultOutputPolarity,
            K::StartUpState,
            K::OutputVoltageSetpoint,
            K::VoltageHighLimit,
            K::VoltageLowLimit,
            K::CurrentLimitMode,
            K::CurrentLimit,
            K::StartUpDelay,
            K::ActivationTime,
            K::ResetTime,
            K::EnableReset,
            K::Master[m - 1],
            K::Slave[m - 1],
            K::Delay[m - 1],
            K::State[m - 1],
            K::GroupId,
            K::ProgrammingMode};
}

// The key as ConfigFileKeys spells it, or empty for a key the section does not hold.
QString knownKey(const QStringList &keys, std::string_view key)
{
    for (const QString &k : keys) {
        if (k.size() != qsizetype(key.size()))
            continue;
        qsizetype i = 0;
        while (i < k.size() && lower(char(k.at(i).unicode())) == lower(key[std::size_t(i)]))
            ++i;
        if (i == k.size())
            return k;
    }
    return {};
}

QString shown(bool ansiFile, std::string_view bytes)
{
    return IniDocument::textOf(bytes, ansiFile);
}

} // namespace

const ConfigFileContents::Value *ConfigFileContents::Section::value(const QString &key) const
{
    const auto it = values.find(key);
    return it == values.end() ? nullptr : &it->second;
}

std::optional<ConfigFileContents> ConfigFileContents::read(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return std::nullopt;
    }
    return parse(file.readAll());
}

ConfigFileContents ConfigFileContents::parse(const QByteArray &bytes)
{
    ConfigFileContents out;
    const std::string_view all(bytes.constData(), std::size_t(bytes.size()));
    // The file's bytes read as text as the settings files read: UTF-8, or
    // ANSI where some of it is not well-formed UTF-8.
    const bool ansi = !IniDocument::isUtf8(all);

    Section *current = nullptr;
    SectionName where;
    QStringList keys;
    QString currentName;
    bool ignoring = false; // inside an unknown or repeated section
    bool toldOutside = false;
    // The message is made only for an issue that is kept.
    const auto issue = [&](int line, const auto &key, const auto &message) {
        if (out.m_issues.size() < MaxIssues)
            out.m_issues.push_back({line, where.unit, where.module, key(), message()});
        else
            ++out.m_leftOut[where.unit];
    };

    // A byte-order mark is no part of the first line.
    std::size_t at = all.starts_with("\xEF\xBB\xBF") ? 3 : 0;
    int line = 0;
    while (at < all.size()) {
        std::size_t end = at;
        while (end < all.size() && all[end] != '\r' && all[end] != '\n')
            ++end;
        ++line;
        const std::string_view text = trimmed(all.substr(at, end - at));
        at = end;
        if (at < all.size())
            at += all[at] == '\r' && at + 1 < all.size() && all[at + 1] == '\n' ? 2 : 1;
        if (text.empty() || text.front() == ';')
            continue;

        if (text.front() == '[') {
            std::string_view name = text.substr(1);
            if (const std::size_t close = name.find(']'); close != std::string_view::npos)
                name = name.substr(0, close);
            name = trimmed(name);
            currentName = shown(ansi, name);
            where = sectionName(name);
            current = nullptr;
            ignoring = true;
            if (where.unit == 0) {
                issue(
                    line, [] { return QString(); },
                    [&] {
                        return QStringLiteral("[%1] is not a unit or module section; it is ignored")
                            .arg(currentName);
                    });
                continue;
            }
            Unit &u = out.m_units[where.unit];
            u.number = where.unit;
            Section &s = where.module == 0 ? u.unit : u.modules[std::size_t(where.module - 1)];
            if (s.exists) {
                if (s.repeatedAt == 0)
                    s.repeatedAt = line;
                issue(
                    line, [] { return QString(); },
                    [&] {
                        return QStringLiteral("[%1] appears again (first at line %2): the file is "
                                              "ambiguous, so this section is not applied")
                            .arg(currentName)
                            .arg(s.line);
                    });
                continue;
            }
            s.exists = true;
            s.line = line;
            keys = where.module == 0 ? unitKeys() : moduleKeys(where.module);
            current = &s;
            ignoring = false;
            continue;
        }

        const std::size_t eq = text.find('=');
        if (!current) {
            if (!ignoring && !toldOutside) {
                issue(
                    line, [] { return QString(); },
                    [&] { return QStringLiteral("text before the first section is ignored"); });
                toldOutside = true;
            }
            continue;
        }
        if (eq == std::string_view::npos) {
            issue(
                line, [] { return QString(); },
                [&] {
                    return QStringLiteral("\"%1\" in [%2] is no key=value line; it is ignored")
                        .arg(shown(ansi, text), currentName);
                });
            continue;
        }
        const std::string_view keyBytes = trimmed(text.substr(0, eq));
        std::string_view valueBytes = trimmed(text.substr(eq + 1));
        if (valueBytes.size() >= 2 && (valueBytes.front() == '"' || valueBytes.front() == '\'') &&
            valueBytes.back() == valueBytes.front())
            valueBytes = valueBytes.substr(1, valueBytes.size() - 2);
        const QString key = knownKey(keys, keyBytes);
        if (key.isEmpty()) {
            issue(
                line, [&] { return shown(ansi, keyBytes); },
                [&] {
                    return QStringLiteral("unknown key \"%1\" in [%2]; it is ignored")
                        .arg(shown(ansi, keyBytes), currentName);
                });
            continue;
        }
        // Not a structured binding: the message's lambda captures the entry.
        const auto inserted = current->values.try_emplace(key);
        const auto it = inserted.first;
        if (!inserted.second) {
            if (it->second.repeatedAt == 0)
                it->second.repeatedAt = line;
            issue(
                line, [&] { return key; },
                [&] {
                    return QStringLiteral(
                               "%1 appears again in [%2] (first at line %3): the file is "
                               "ambiguous, so it is not applied")
                        .arg(key, currentName)
                        .arg(it->second.line);
                });
            continue;
        }
        it->second.text = shown(ansi, valueBytes);
        it->second.line = line;
    }
    out.m_lines = line;
    return out;
}

QList<int> ConfigFileContents::units() const
{
    QList<int> list;
    for (const auto &[number, unit] : m_units) {
        if (unit.unit.exists)
            list << number;
    }
    return list;
}

const ConfigFileContents::Unit *ConfigFileContents::unit(int number) const
{
    const auto it = m_units.find(number);
    return it == m_units.end() ? nullptr : &it->second;
}

QList<ConfigFileContents::Issue> ConfigFileContents::issuesOf(int unit) const
{
    QList<Issue> list;
    for (const Issue &i : m_issues) {
        if (i.unit == unit)
            list << i;
    }
    return list;
}
