#pragma once

#include "core/ArgBytes.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <string_view>

namespace IniEngine {

// The UTF-8 bytes of a key or value argument, kept on the stack for the usual
// short texts (plain ASCII skips the QByteArray round trip): a batch makes
// thousands of calls. Header only, as every call makes one.
class Utf8Arg
{
public:
    enum class Strip { None, Spaces };

    Utf8Arg(const QString &text, Strip strip)
    {
        const auto size = std::size_t(text.size());
        if (size <= sizeof m_small &&
            narrowAscii(reinterpret_cast<const char16_t *>(text.constData()), size, m_small)) {
            m_view = std::string_view(m_small, size);
            m_ascii = true;
        } else {
            m_big = text.toUtf8();
            m_view = std::string_view(m_big.constData(), std::size_t(m_big.size()));
        }
        if (strip == Strip::Spaces)
            m_view = stripSpaces(m_view);
    }
    Utf8Arg(const Utf8Arg &) = delete;
    Utf8Arg &operator=(const Utf8Arg &) = delete;

    std::string_view view() const { return m_view; }
    // Known to be ASCII: the same bytes in a UTF-8 and an ANSI file.
    bool ascii() const { return m_ascii; }

private:
    char m_small[120];
    QByteArray m_big;
    std::string_view m_view;
    bool m_ascii = false;
};

} // namespace IniEngine
