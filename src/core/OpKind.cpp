#include "core/OpKind.h"

namespace IniEngine {

QString ansiRefusal(std::string_view section, std::string_view key)
{
    return QStringLiteral("%1 in [%2] holds a character that the file's Windows-1252 text "
                          "cannot hold")
        .arg(QString::fromUtf8(key.data(), qsizetype(key.size())),
             QString::fromUtf8(section.data(), qsizetype(section.size())));
}

} // namespace IniEngine
