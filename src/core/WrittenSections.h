#pragma once

#include "core/ByteLog.h"
#include "core/IniTextRules.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace IniEngine {

// The sections whose header a batch's log draft has laid out, by name hash,
// their names kept as ranges of the log: a section met again after others
// ends the draft. Open addressing, since a node per section would cost more
// than the rest of its work; inline, as each section of a save looks here.
class WrittenSections
{
public:
    bool contains(const ByteLog &log, std::uint64_t hash, std::string_view name) const
    {
        if (m_slots.empty())
            return false;
        const std::size_t mask = m_slots.size() - 1;
        for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
            const Slot &slot = m_slots[i];
            if (!slot.used)
                return false;
            if (slot.hash == hash &&
                IniTextRules::sameIgnoringCase(log.view(slot.offset, slot.size), name))
                return true;
        }
    }
    void add(std::uint64_t hash, std::size_t offset, std::size_t size)
    {
        if ((m_count + 1) * 2 > m_slots.size())
            grow();
        place(Slot{hash, offset, size, true});
        ++m_count;
    }

private:
    struct Slot
    {
        std::uint64_t hash;
        std::size_t offset, size;
        bool used;
    };
    void place(const Slot &slot)
    {
        const std::size_t mask = m_slots.size() - 1;
        std::size_t i = slot.hash & mask;
        while (m_slots[i].used)
            i = (i + 1) & mask;
        m_slots[i] = slot;
    }
    void grow();

    std::vector<Slot> m_slots;
    std::size_t m_count = 0;
};

} // namespace IniEngine
