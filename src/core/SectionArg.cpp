#include "core/SectionArg.h"

#include "core/Utf8Arg.h"

#include <cstddef>
#include <cstring>

namespace IniEngine {

std::string_view SectionArg::bytes(const QString &section)
{
    // The very heap buffer seen last: the reference held here keeps it
    // from being freed or changed in place.
    if (m_valid && section.constData() == m_text.constData() && section.size() == m_text.size() &&
        m_text.data_ptr().isMutable())
        return m_bytes;
    if (!m_valid || section.size() != m_text.size() ||
        std::memcmp(section.constData(), m_text.constData(),
                    std::size_t(section.size()) * sizeof(QChar)) != 0) {
        const Utf8Arg arg(section, Utf8Arg::Strip::Spaces);
        m_bytes.assign(arg.view());
        m_ascii = arg.ascii();
        ++m_generation;
    }
    // Shared when it lives on the heap; a text on borrowed or static memory
    // is copied, since borrowed memory can change behind the same address.
    m_text =
        section.data_ptr().isMutable() ? section : QString(section.constData(), section.size());
    m_valid = true;
    return m_bytes;
}

} // namespace IniEngine
