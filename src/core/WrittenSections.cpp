#include "core/WrittenSections.h"

#include <algorithm>
#include <utility>

namespace IniEngine {

void WrittenSections::grow()
{
    std::vector<Slot> old =
        std::exchange(m_slots, std::vector<Slot>(std::max<std::size_t>(64, m_slots.size() * 2)));
    for (const Slot &slot : old)
        if (slot.used)
            place(slot);
}

} // namespace IniEngine
