#include "core/FreshIniBuilder.h"

#include "core/IniTextRules.h"

#include <bit>
#include <cstring>

namespace {

// Longer sections get a hash index; shorter ones are scanned.
constexpr std::size_t kIndexFrom = 32;

} // namespace

std::size_t FreshIniBuilder::findSection(std::string_view name) const
{
    const auto [first, last] = m_sectionIndex.equal_range(IniTextRules::nameHash(name));
    for (auto it = first; it != last; ++it) {
        if (IniTextRules::sameIgnoringCase(m_sections[it->second].name, name))
            return it->second;
    }
    return kNone;
}

std::size_t FreshIniBuilder::findEntry(const Section &section, std::string_view key,
                                       std::uint64_t hash) const
{
    if (!(section.keyBits & IniTextRules::hashBit(hash)))
        return kNone;
    const std::vector<Entry> &entries = section.entries;
    if (section.keyIndex) {
        const auto it = section.keyIndex->find(hash);
        if (it != section.keyIndex->end() &&
            IniTextRules::sameIgnoringCase(entries[it->second].key, key))
            return it->second;
        if (it == section.keyIndex->end())
            return kNone;
        // Two keys with one hash: the scan below settles it.
    }
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].hash == hash && IniTextRules::sameIgnoringCase(entries[i].key, key))
            return i;
    }
    return kNone;
}

std::size_t FreshIniBuilder::sectionFor(std::string_view name, bool create)
{
    const bool same =
        m_cached && ((name.data() == m_cachedName.data() && name.size() == m_cachedName.size()) ||
                     name == m_cachedName);
    if (same && (m_current != kNone || !create))
        return m_current;
    std::size_t index = findSection(name);
    if (index == kNone && create) {
        index = m_sections.size();
        Section &made = m_sections.emplace_back();
        made.name = name;
        made.entries.reserve(24); // a module has about twenty keys
        m_sectionIndex.emplace(IniTextRules::nameHash(name), index);
    }
    // Deletes before a section's first key ask for it again and again.
    m_cached = true;
    m_current = index;
    m_cachedName = name;
    return index;
}

bool FreshIniBuilder::setValue(std::string_view section, std::string_view key,
                               std::string_view value, Texts texts)
{
    const bool lookedAt = texts == Texts::Plain;
    if (!IniTextRules::plainKey(key, lookedAt) || (!lookedAt && IniTextRules::breaksLine(value)))
        return false;
    const std::uint64_t hash = IniTextRules::keySignature(key);
    const bool sameSection = m_cached && m_current != kNone &&
                             section.data() == m_cachedName.data() &&
                             section.size() == m_cachedName.size();
    if (!sameSection && !IniTextRules::plainSectionName(section))
        return false;
    Section &target = m_sections[sectionFor(section, true)];
    const std::size_t found = findEntry(target, key, hash);
    if (found != kNone) {
        target.entries[found].value = value;
        return true;
    }
    target.entries.push_back(Entry{key, value, hash});
    target.keyBits |= IniTextRules::hashBit(hash);
    if (target.keyIndex)
        target.keyIndex->try_emplace(hash, std::uint32_t(target.entries.size() - 1));
    else if (target.entries.size() >= kIndexFrom) {
        target.keyIndex = std::make_unique<std::unordered_map<std::uint64_t, std::uint32_t>>();
        for (std::size_t i = 0; i < target.entries.size(); ++i)
            target.keyIndex->try_emplace(target.entries[i].hash, std::uint32_t(i));
    }
    return true;
}

bool FreshIniBuilder::removeKey(std::string_view section, std::string_view key)
{
    const std::size_t index = sectionFor(section, false);
    if (index == kNone)
        return true;
    Section &target = m_sections[index];
    const std::size_t found = findEntry(target, key, IniTextRules::keySignature(key));
    if (found == kNone)
        return true;
    target.entries.erase(target.entries.begin() + std::ptrdiff_t(found));
    // Positions moved; rebuilt when the section grows long again.
    target.keyIndex.reset();
    return true;
}

bool FreshIniBuilder::removeSection(std::string_view section)
{
    const auto [first, last] = m_sectionIndex.equal_range(IniTextRules::nameHash(section));
    auto it = first;
    while (it != last && !IniTextRules::sameIgnoringCase(m_sections[it->second].name, section))
        ++it;
    if (it == last)
        return true;
    m_sections[it->second].removed = true;
    m_sectionIndex.erase(it);
    m_cached = false;
    return true;
}

QByteArray FreshIniBuilder::bytes() const
{
    std::size_t total = 0;
    for (const Section &section : m_sections) {
        if (section.removed)
            continue;
        total += section.name.size() + 4;
        for (const Entry &entry : section.entries)
            total += entry.key.size() + entry.value.size() + 3;
    }
    // A word of slack: texts are copied in whole words, each overrun
    // overwritten by what follows.
    QByteArray out(qsizetype(total + 8), Qt::Uninitialized);
    char *p = out.data();
    const auto put = [&p](std::string_view text) {
        for (std::size_t i = 0; i < text.size(); i += 8)
            std::memcpy(p + i, text.data() + i, 8);
        p += text.size();
    };
    for (const Section &section : m_sections) {
        if (section.removed)
            continue;
        *p++ = '[';
        put(section.name);
        std::memcpy(p, "]\r\n", 3);
        p += 3;
        for (const Entry &entry : section.entries) {
            put(entry.key);
            *p++ = '=';
            put(entry.value);
            *p++ = '\r';
            *p++ = '\n';
        }
    }
    out.truncate(qsizetype(total));
    return out;
}
