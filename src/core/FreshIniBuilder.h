#pragma once

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

// Builds the bytes of a file that a run of writes creates from a missing or
// empty file: the bytes IniDocument gives for the same writes, without its
// parsed lines. Saving the configurations of many units into a new file passes
// thousands of keys through here, each costing a few comparisons and a copy.
//
// Arguments follow IniDocument's (UTF-8, spaces already stripped, names match
// ignoring ASCII case) and must stay alive until bytes(); each must have seven
// readable bytes after its end, as texts in one buffer with a word of slack
// have, since they are read in whole words. A call returns false
// when its texts need the document's general rules (a name or text that would
// change how its line parses); the builder is of no further use then.
class FreshIniBuilder
{
public:
    // Plain: the caller has found the key free of control characters and '=',
    // and the value free of control characters.
    enum class Texts { Unchecked, Plain };

    [[nodiscard]] bool setValue(std::string_view section, std::string_view key,
                                std::string_view value, Texts texts = Texts::Unchecked);
    [[nodiscard]] bool removeKey(std::string_view section, std::string_view key);
    [[nodiscard]] bool removeSection(std::string_view section);

    QByteArray bytes() const;

private:
    struct Entry
    {
        std::string_view key; // as first written
        std::string_view value;
        std::uint64_t hash; // of the lower-cased key
    };

    struct Section
    {
        std::string_view name; // as first written
        std::vector<Entry> entries;
        std::uint64_t keyBits = 0; // a bit per key hash; a clear bit proves a key absent
        // For long sections only: first entry per key hash.
        std::unique_ptr<std::unordered_map<std::uint64_t, std::uint32_t>> keyIndex;
        bool removed = false;
    };

    static constexpr std::size_t kNone = ~std::size_t(0);

    std::size_t findSection(std::string_view name) const;
    // The live section of that name, made if asked; kNone if there is none.
    std::size_t sectionFor(std::string_view name, bool create);
    std::size_t findEntry(const Section &section, std::string_view key, std::uint64_t hash) const;

    std::vector<Section> m_sections; // in the order they were made
    // Live sections by the hash of their lower-cased name.
    std::unordered_multimap<std::uint64_t, std::size_t> m_sectionIndex;
    // The section asked for last (kNone: there was none), and its name as
    // passed: a save writes a run of keys to one section.
    bool m_cached = false;
    std::size_t m_current = kNone;
    std::string_view m_cachedName;
};
