#pragma once

#include "core/ByteLog.h"
#include "core/IniTextRules.h"
#include "core/WrittenSections.h"

#include <QByteArray>
#include <QtGlobal>

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

namespace IniEngine {

// The file that a batch's writes make from a missing or empty file, laid out
// in the batch's own log while it records: a section's header, then each
// key, '=', value and line end go into the log side by side, so while every
// section's keys arrive together, no key comes twice and the texts are plain,
// the file is ranges of the log as they stand. A save of many units writes just
// that way. Anything else (a section or key met again, a delete of something
// written, a text the builder would look at) gives up, and the builder lays the
// file out from the log instead. Inline but for its rare paths: a save passes
// each key and section through here.
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
    // the log from keyOffset. Forced inline, as the batch's write() is.
    Q_ALWAYS_INLINE void set(const ByteLog &log, std::string_view key, std::size_t keyOffset,
                             std::size_t lineSize, bool plainTexts)
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
    void remove(const ByteLog &log, const std::string_view *key, bool plainKey);

    QByteArray bytes(const ByteLog &log) const;

private:
    struct KeyRef
    {
        std::uint64_t signature;
        std::size_t offset, size;
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

    // Twice for a section's first key, once for every other: inline with set().
    Q_ALWAYS_INLINE void addRange(std::size_t offset, std::size_t size)
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

} // namespace IniEngine
