#pragma once

#include <QString>

#include <cstdint>
#include <string>
#include <string_view>

namespace IniEngine {

// The bytes of the section argument asked for last. A save or a load goes
// section by section, so most calls pass the same section text again and skip
// its conversion.
class SectionArg
{
public:
    std::string_view bytes(const QString &section);
    // Changes whenever the section text does.
    std::uint64_t generation() const { return m_generation; }
    // Of the text asked for last.
    bool ascii() const { return m_ascii; }

private:
    QString m_text;
    std::string m_bytes;
    bool m_ascii = false;
    std::uint64_t m_generation = 0;
    bool m_valid = false;
};

} // namespace IniEngine
