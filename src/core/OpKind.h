#pragma once

#include "core/IniDocument.h"

#include <QString>

#include <cstdint>
#include <string_view>

namespace IniEngine {

// What one write does to a file: set a key, delete a key or delete a section.
// A write outside a batch applies it at once; a batch records it, and applies
// it again to a file that another program changed while the batch ran.
enum class OpKind : std::uint8_t { Set, RemoveKey, RemoveSection };

// False when an ANSI file cannot hold a character of the texts; then the
// document is as it was.
inline bool applyOp(IniDocument &doc, OpKind kind, std::string_view section, std::string_view key,
                    std::string_view value, bool ascii)
{
    const auto args = ascii ? IniDocument::Args::Ascii : IniDocument::Args::Utf8;
    switch (kind) {
    case OpKind::Set:
        return doc.setValue(section, key, value, args);
    case OpKind::RemoveKey:
        doc.removeKey(section, key, args);
        break;
    case OpKind::RemoveSection:
        doc.removeSection(section, args);
        break;
    }
    return true;
}

// Why a write failed that the file's Windows-1252 text could not hold.
QString ansiRefusal(std::string_view section, std::string_view key);

} // namespace IniEngine
