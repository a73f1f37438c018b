#include "device/UnitBlocks.h"

#include "core/ZelkRoutines.h"
#include "device/ModbusFrame.h"

#include <QElapsedTimer>
#include <algorithm>

namespace R = ZelkRegisters;

namespace {

struct Span
{
    UnitBlocks::Table table;
    quint16 first;
    quint16 count;
};

Span spanOf(UnitBlocks::Run run)
{
    return run == UnitBlocks::Run::Stored ? Span{UnitBlocks::Table::Holding, 0, R::StoredCount}
                                          : Span{UnitBlocks::Table::Input, 0, R::LiveCount};
}

qint64 steadyMs()
{
    static QElapsedTimer timer;
    if (!timer.isValid())
        timer.start();
    return timer.elapsed();
}

} // namespace

UnitBlocks::UnitBlocks(Now now, Pauses pauses)
    : m_now(now ? std::move(now) : Now(steadyMs))
    , m_pauses(pauses ? std::move(pauses) : Pauses(PausesBegun))
{}

std::optional<UnitBlocks::Run> UnitBlocks::runOf(Table table, quint16 address, int count)
{
    for (const Run run : {Run::Stored, Run::Live}) {
        const Span s = spanOf(run);
        if (s.table == table && address >= s.first && address + count <= s.first + s.count)
            return run;
    }
    return std::nullopt;
}

bool UnitBlocks::fetchesBlock(Table table, quint16 address, int count)
{
    return runOf(table, address, count) &&
           !(table == Table::Holding && address == R::UnitId && count == 1);
}

std::vector<UnitBlocks::Request> UnitBlocks::requestsFor(Run run)
{
    const Span s = spanOf(run);
    std::vector<Request> requests;
    for (int at = s.first; at < s.first + s.count; at += ModbusFrame::MaxReadCount)
        requests.push_back({s.table, quint16(at),
                            quint16(std::min(ModbusFrame::MaxReadCount, s.first + s.count - at))});
    return requests;
}

UnitBlocks::Kept &UnitBlocks::at(int unit, Run run)
{
    return m_units[std::size_t(std::clamp(unit, 0, 32))][std::size_t(run)];
}

const UnitBlocks::Kept *UnitBlocks::find(int unit, Run run) const
{
    if (unit < 1 || unit > 32)
        return nullptr;
    return &m_units[std::size_t(unit)][std::size_t(run)];
}

bool UnitBlocks::stale(int unit, Run run) const
{
    const Kept *k = find(unit, run);
    if (!k || k->registers.empty())
        return true;
    const qint64 age = m_now() - k->atMs;
    if (run == Run::Stored)
        return age > StoredMaxAgeMs || age < 0;
    // Live values are a look at one moment: a pause means the caller waits
    // for something to change.
    return age > LiveMaxAgeMs || age < 0 || m_pauses() != k->pauses;
}

bool UnitBlocks::refused(int unit, Run run) const
{
    const Kept *k = find(unit, run);
    return k && k->refused;
}

void UnitBlocks::keep(int unit, Run run, std::vector<quint16> registers)
{
    if (unit < 1 || unit > 32 || registers.size() != spanOf(run).count)
        return;
    Kept &k = at(unit, run);
    k.registers = std::move(registers);
    k.atMs = m_now();
    k.pauses = m_pauses();
}

void UnitBlocks::refuse(int unit, Run run)
{
    if (unit >= 1 && unit <= 32)
        at(unit, run).refused = true;
}

std::optional<UnitBlocks::Slice> UnitBlocks::slice(int unit, Table table, quint16 address,
                                                   int count, int module) const
{
    const auto run = runOf(table, address, count);
    if (!run || stale(unit, *run))
        return std::nullopt;
    const std::vector<quint16> &r = find(unit, *run)->registers;
    Slice s;
    // An empty position: its type register reads 0 (stored), its flag in
    // the present modules is clear (live).
    if (module >= 1 && module <= 5) {
        if (*run == Run::Stored) {
            const quint16 type = R::moduleRegister(module, R::Module::Type);
            s.noModule = r[type] == 0 && (address > type || address + count <= type);
        } else {
            s.noModule = (r[R::PresentModules] & (1u << (module - 1))) == 0;
        }
    }
    const quint16 first = address - spanOf(*run).first;
    s.registers.assign(r.begin() + first, r.begin() + first + count);
    return s;
}

void UnitBlocks::drop(int unit)
{
    if (unit < 1 || unit > 32)
        return;
    for (Kept &k : m_units[std::size_t(unit)])
        k.registers.clear();
}

void UnitBlocks::clear()
{
    m_units = {};
}
