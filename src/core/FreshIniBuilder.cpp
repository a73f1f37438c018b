#include "FreshIniBuilder.h"

#include "ByteWords.h"

#include <bit>
#include <cstring>

namespace {

// Longer sections get a hash index; shorter ones are scanned.
constexpr std::size_t kIndexFrom = 32;

bool isBlankByte(char c)
{
    return c == ' ' || c == '\t' || c == '\v';
}

char lowerByte(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

// Of the lower-cased name, for the section index.
std::uint64_t nameHash(std::string_view name)
{
    std::uint64_t h = 0xcbf29ce484222325ULL;
    for (const char c : name)
        h = (h ^ static_cast<unsigned char>(lowerByte(c))) * 0x100000001b3ULL;
    return h;
}

bool sameIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lowerByte(a[i]) != lowerByte(b[i]))
            return false;
    }
    return true;
}

// A section name the document would store and find again as given: no line
// break, no ']' that would end it early, no blank the parse would trim.
bool plainSectionName(std::string_view name)
{
    if (!name.empty() && (isBlankByte(name.front()) || isBlankByte(name.back())))
        return false;
    for (const char c : name) {
        if (c == ']' || c == '\r' || c == '\n')
            return false;
    }
    return true;
}

// The text's bytes from i on as a word, those past its end set to 'a' (no
// control character, nothing to lower). Reads a whole word: every text has
// seven readable bytes after it.
std::uint64_t wordAt(std::string_view text, std::size_t i)
{
    std::uint64_t word;
    std::memcpy(&word, text.data() + i, 8);
    const std::size_t rest = text.size() - i;
    if (rest < 8) {
        const unsigned unused = unsigned(8 - rest) * 8;
        const std::uint64_t keep = std::endian::native == std::endian::little
                                       ? ~std::uint64_t(0) >> unused
                                       : ~std::uint64_t(0) << unused;
        word = (word & keep) | (ByteWords::kOnes * 'a' & ~keep);
    }
    return word;
}

// Of the lower-cased key. Only a filter before a full comparison: its first
// word and its length are enough to tell a section's keys apart.
std::uint64_t keySignature(std::string_view key)
{
    const std::uint64_t first = key.empty() ? 0 : ByteWords::lowered(wordAt(key, 0));
    const std::uint64_t h = (first ^ key.size()) * 0x9E3779B97F4A7C15ULL;
    return h ^ (h >> 32);
}

// Whether a key makes a plain entry line: not empty, not read as a header or
// comment, no blank the parse would trim; and, unless already looked at, no
// '=' or control character (line breaks among them).
bool plainKey(std::string_view key, bool lookedAt)
{
    if (key.empty() || key.front() == '[' || key.front() == ';' || isBlankByte(key.front()) ||
        isBlankByte(key.back()))
        return false;
    if (lookedAt)
        return true;
    std::uint64_t special = 0;
    for (std::size_t i = 0; i < key.size(); i += 8) {
        const std::uint64_t word = wordAt(key, i);
        special |= ByteWords::below(word, 0x20) | ByteWords::equalTo(word, '=');
    }
    return special == 0;
}

bool breaksLine(std::string_view text)
{
    std::uint64_t breaks = 0;
    for (std::size_t i = 0; i < text.size(); i += 8) {
        const std::uint64_t word = wordAt(text, i);
        breaks |= ByteWords::equalTo(word, '\r') | ByteWords::equalTo(word, '\n');
    }
    return breaks != 0;
}

std::uint64_t hashBit(std::uint64_t hash)
{
    return std::uint64_t(1) << (hash >> 58);
}

} // namespace

std::size_t FreshIniBuilder::findSection(std::string_view name) const
{
    const auto [first, last] = m_sectionIndex.equal_range(nameHash(name));
    for (auto it = first; it != last; ++it) {
        if (sameIgnoringCase(m_sections[it->second].name, name))
            return it->second;
    }
    return kNone;
}

std::size_t FreshIniBuilder::findEntry(const Section &section, std::string_view key,
                                       std::uint64_t hash) const
{
    if (!(section.keyBits & hashBit(hash)))
        return kNone;
    const std::vector<Entry> &entries = section.entries;
    if (section.keyIndex) {
        const auto it = section.keyIndex->find(hash);
        if (it != section.keyIndex->end() && sameIgnoringCase(entries[it->second].key, key))
            return it->second;
        if (it == section.keyIndex->end())
            return kNone;
        // Two keys with one hash: the scan below settles it.
    }
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].hash == hash && sameIgnoringCase(entries[i].key, key))
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
        m_sectionIndex.emplace(nameHash(name), index);
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
    if (!::plainKey(key, lookedAt) || (!lookedAt && breaksLine(value)))
        return false;
    const std::uint64_t hash = keySignature(key);
    const bool sameSection = m_cached && m_current != kNone &&
                             section.data() == m_cachedName.data() &&
                             section.size() == m_cachedName.size();
    if (!sameSection && !plainSectionName(section))
        return false;
    Section &target = m_sections[sectionFor(section, true)];
    const std::size_t found = findEntry(target, key, hash);
    if (found != kNone) {
        target.entries[found].value = value;
        return true;
    }
    target.entries.push_back(Entry{key, value, hash});
    target.keyBits |= hashBit(hash);
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
    const std::size_t found = findEntry(target, key, keySignature(key));
    if (found == kNone)
        return true;
    target.entries.erase(target.entries.begin() + std::ptrdiff_t(found));
    // Positions moved; rebuilt when the section grows long again.
    target.keyIndex.reset();
    return true;
}

bool FreshIniBuilder::removeSection(std::string_view section)
{
    const auto [first, last] = m_sectionIndex.equal_range(nameHash(section));
    auto it = first;
    while (it != last && !sameIgnoringCase(m_sections[it->second].name, section))
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

std::uint64_t FreshIniBuilder::keySignature(std::string_view key)
{
    return ::keySignature(key);
}

std::uint64_t FreshIniBuilder::nameHash(std::string_view name)
{
    return ::nameHash(name);
}

bool FreshIniBuilder::sameIgnoringCase(std::string_view a, std::string_view b)
{
    return ::sameIgnoringCase(a, b);
}

bool FreshIniBuilder::plainSectionName(std::string_view name)
{
    return ::plainSectionName(name);
}

bool FreshIniBuilder::plainKey(std::string_view key)
{
    return ::plainKey(key, true);
}
