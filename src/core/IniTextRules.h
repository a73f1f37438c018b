#pragma once

#include "core/ByteWords.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>

// How a new file's lines are told apart and checked: names match ignoring
// ASCII case, and a name or text that would change how its line parses is not
// plain. Shared by the builder and the batch that lays a file out in its log;
// inline, as both call them for each of a save's thousands of keys.
namespace IniTextRules {

inline bool isBlankByte(char c)
{
    return c == ' ' || c == '\t' || c == '\v';
}

inline char lowerByte(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

// Of the lower-cased name, for the section index.
inline std::uint64_t nameHash(std::string_view name)
{
    std::uint64_t h = 0xcbf29ce484222325ULL;
    for (const char c : name)
        h = (h ^ static_cast<unsigned char>(lowerByte(c))) * 0x100000001b3ULL;
    return h;
}

inline bool sameIgnoringCase(std::string_view a, std::string_view b)
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
inline bool plainSectionName(std::string_view name)
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
inline std::uint64_t wordAt(std::string_view text, std::size_t i)
{
    std::uint64_t word;
    std::memcpy(&word, text.data() + i, 8);
    const std::size_t rest = text.size() - i;
    if (rest < 8) {
        const unsigned unused = unsigned(8 - rest) * 8;
        const std::uint64_t keep = std::endian::native == std::endian::little
                                       ? ~std::uint64_t(0) >> unused
                                       : ~std::uint64_t(0) << unused;
        word = (word & keep) | (ByteWords::Ones * 'a' & ~keep);
    }
    return word;
}

// Of the lower-cased key. Only a filter before a full comparison: its first
// word and its length are enough to tell a section's keys apart.
inline std::uint64_t keySignature(std::string_view key)
{
    const std::uint64_t first = key.empty() ? 0 : ByteWords::lowered(wordAt(key, 0));
    const std::uint64_t h = (first ^ key.size()) * 0x9E3779B97F4A7C15ULL;
    return h ^ (h >> 32);
}

// Whether a key makes a plain entry line: not empty, not read as a header or
// comment, no blank the parse would trim; and, unless already looked at, no
// '=' or control character (line breaks among them).
inline bool plainKey(std::string_view key, bool lookedAt)
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

inline bool breaksLine(std::string_view text)
{
    std::uint64_t breaks = 0;
    for (std::size_t i = 0; i < text.size(); i += 8) {
        const std::uint64_t word = wordAt(text, i);
        breaks |= ByteWords::equalTo(word, '\r') | ByteWords::equalTo(word, '\n');
    }
    return breaks != 0;
}

inline std::uint64_t hashBit(std::uint64_t hash)
{
    return std::uint64_t(1) << (hash >> 58);
}

} // namespace IniTextRules
