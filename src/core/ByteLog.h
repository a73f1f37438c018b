#pragma once

#include "core/ArgBytes.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstring>
#include <memory>
#include <string_view>
#include <utility>

namespace IniEngine {

// Append-only bytes of a batch's writes, with a word of readable slack behind
// the last one so that they can be read in whole words. Grown by hand: the
// general string append costs more than the copy itself for texts this short.
// Each write of a batch appends to it, so all but the growth is inline.
class ByteLog
{
public:
    ByteLog() = default;
    ByteLog(ByteLog &&other) noexcept { *this = std::move(other); }
    ByteLog &operator=(ByteLog &&other) noexcept
    {
        m_data = std::move(other.m_data);
        m_size = std::exchange(other.m_size, 0);
        m_capacity = std::exchange(other.m_capacity, 0);
        return *this;
    }

    std::size_t size() const { return m_size; }
    std::size_t capacity() const { return m_capacity; }
    void clear() { m_size = 0; }

    std::size_t append(std::string_view text)
    {
        const std::size_t at = m_size;
        if (!text.empty())
            std::memcpy(room(text.size()), text.data(), text.size());
        m_size += text.size();
        return at;
    }

    // Appends a text's UTF-8 bytes, plain ASCII narrowed in place; gives where
    // they start and how many there are. A key loses spaces at either end;
    // *plain tells whether the text was ASCII without control characters
    // (nor '=' in a key), *ascii whether it was ASCII.
    std::pair<std::size_t, std::size_t> appendText(const QString &text, bool isKey, bool *plain,
                                                   bool *ascii)
    {
        const std::size_t at = m_size;
        const auto size = std::size_t(text.size());
        char *out = room(size);
        bool special = true;
        if (narrowAscii(reinterpret_cast<const char16_t *>(text.constData()), size, out, &special,
                        isKey)) {
            m_size += size;
            *ascii = true;
        } else {
            const QByteArray utf8 = text.toUtf8();
            append(std::string_view(utf8.constData(), std::size_t(utf8.size())));
            special = true; // not looked at
            *ascii = false;
        }
        *plain = !special;
        std::string_view bytes = view(at, m_size - at);
        if (isKey)
            bytes = stripSpaces(bytes);
        return {at + std::size_t(bytes.data() - (m_data.get() + at)) * !bytes.empty(),
                bytes.size()};
    }

    std::string_view view(std::size_t offset, std::size_t size) const
    {
        return size ? std::string_view(m_data.get() + offset, size) : std::string_view();
    }

private:
    // Room for size more bytes and the slack; where they go.
    char *room(std::size_t size)
    {
        if (m_size + size + 8 > m_capacity)
            grow(size);
        return m_data.get() + m_size;
    }
    void grow(std::size_t size);

    std::unique_ptr<char[]> m_data;
    std::size_t m_size = 0;
    std::size_t m_capacity = 0;
};

} // namespace IniEngine
