#include "device/ZelkRegisterMap.h"

namespace ZelkRegisters {

int moduleOf(Table table, quint16 address)
{
    if (table == Table::Holding) {
        if (address >= ModuleBase && address < StoredCount)
            return (address - ModuleBase) / ModuleStride + 1;
        if (address >= ModuleOutputBase && address < SetpointBase)
            return address - ModuleOutputBase + 1;
        if (address >= SetpointBase && address < GlobalOutput + CommandCount)
            return address - SetpointBase + 1;
        return 0;
    }
    if (address >= Measurements && address < LiveCount)
        return (address - Measurements) / 2 + 1;
    return 0;
}

bool exists(Table table, quint16 address)
{
    if (table == Table::Input)
        return address < LiveCount;
    return address < StoredCount ||
           (address >= GlobalOutput && address < GlobalOutput + CommandCount);
}

void putText(const QString &text, std::span<quint16> registers)
{
    const qsizetype capacity = qsizetype(registers.size()) * 2;
    const auto at = [&](qsizetype i) -> quint16 {
        if (i >= text.size() || i >= capacity)
            return 0;
        const char16_t c = text.at(i).unicode();
        return c >= 0x20 && c < 0x7F ? quint16(c) : quint16('?');
    };
    for (std::size_t r = 0; r < registers.size(); ++r) {
        const qsizetype i = qsizetype(r) * 2;
        registers[r] = quint16(at(i) << 8 | at(i + 1));
    }
}

std::optional<QString> text(std::span<const quint16> registers)
{
    QString out;
    for (const quint16 r : registers) {
        for (const int c : {r >> 8, r & 0xFF}) {
            if (c == 0)
                return out;
            if (c < 0x20 || c >= 0x7F)
                return std::nullopt;
            out += QLatin1Char(char(c));
        }
    }
    return out;
}

quint16 flags(const StatusArray &array)
{
    quint16 value = 0;
    for (int i = 1; i <= 8; ++i) {
        if (array(i) == 1)
            value |= quint16(1u << (i - 1));
    }
    return value;
}

std::optional<StatusArray> flagArray(quint16 value)
{
    if (value > 0xFF)
        return std::nullopt;
    StatusArray array;
    for (int i = 1; i <= 8; ++i)
        array.set(i, (value >> (i - 1)) & 1);
    return array;
}

std::optional<qint32> number(quint16 value, quint16 min, quint16 max)
{
    if (value < min || value > max)
        return std::nullopt;
    return qint32(value);
}

std::optional<qint16> globalOutputValue(quint16 switches)
{
    if (switches > 3)
        return std::nullopt;
    return qint16(100 + ((switches & 1) ? 10 : 0) + ((switches & 2) ? 1 : 0));
}

quint16 outputSwitches(qint16 value)
{
    return quint16(((value / 10) % 10 == 1 ? 1 : 0) | (value % 10 == 1 ? 2 : 0));
}

} // namespace ZelkRegisters
