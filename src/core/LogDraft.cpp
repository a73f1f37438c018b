#include "core/LogDraft.h"

#include <cstring>

namespace IniEngine {

void LogDraft::remove(const ByteLog &log, const std::string_view *key, bool plainKey)
{
    if (!m_ok || !m_hasSection || !m_headerOut)
        return;
    if (!key || !plainKey || holds(log, *key, IniTextRules::keySignature(*key)))
        m_ok = false;
}

QByteArray LogDraft::bytes(const ByteLog &log) const
{
    QByteArray out(qsizetype(m_total), Qt::Uninitialized);
    char *p = out.data();
    for (const auto &[offset, size] : m_ranges) {
        std::memcpy(p, log.view(offset, size).data(), size);
        p += size;
    }
    return out;
}

} // namespace IniEngine
