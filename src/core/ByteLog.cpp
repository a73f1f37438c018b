#include "core/ByteLog.h"

#include <algorithm>

namespace IniEngine {

void ByteLog::grow(std::size_t size)
{
    const std::size_t capacity = std::max(m_capacity * 2, m_size + size + 8 + 16 * 1024);
    auto bigger = std::make_unique_for_overwrite<char[]>(capacity);
    if (m_size)
        std::memcpy(bigger.get(), m_data.get(), m_size);
    m_data = std::move(bigger);
    m_capacity = capacity;
}

} // namespace IniEngine
