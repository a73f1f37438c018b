#pragma once

#include "device/ZelkRegisterMap.h"

#include <QtGlobal>
#include <array>
#include <functional>
#include <optional>
#include <vector>

// Whole runs of a unit's registers as the serial device object last read
// them, so that the calls of one read or one poll cost one exchange a run
// rather than one a value (docs/wire-protocol.md, "Block reads"):
//   stored settings (holding 0..124): kept at most 60 s;
//   live state (input 0..18): kept at most 200 ms, and not across a pause.
// Any write to a unit drops what is kept of it, so a read after a write asks
// the unit. A unit that refuses a block read is read value by value for the
// rest of the session.
class UnitBlocks
{
public:
    using Table = ZelkRegisters::Table;
    enum class Run : quint8 { Stored, Live };
    struct Request
    {
        Table table;
        quint16 address;
        quint16 count;
    };

    static constexpr qint64 StoredMaxAgeMs = 60'000;
    static constexpr qint64 LiveMaxAgeMs = 200;

    // Milliseconds on a clock that never goes back, and how many pauses have
    // begun; by default the steady clock and PausesBegun().
    using Now = std::function<qint64()>;
    using Pauses = std::function<quint64()>;
    explicit UnitBlocks(Now now = {}, Pauses pauses = {});

    void setEnabled(bool on) { m_enabled = on; }
    bool enabled() const { return m_enabled; }

    // The run a read of these registers lies in, when a block may answer it.
    static std::optional<Run> runOf(Table table, quint16 address, int count);
    // Whether a read of these alone is worth a block: not a probe of the
    // unit ID, which a bus scan makes of every address.
    static bool fetchesBlock(Table table, quint16 address, int count);
    // The fewest reads of at most 125 registers that fetch a run.
    static std::vector<Request> requestsFor(Run run);

    // True when nothing fresh is kept of the run.
    bool stale(int unit, Run run) const;
    bool refused(int unit, Run run) const;
    void keep(int unit, Run run, std::vector<quint16> registers);
    void refuse(int unit, Run run);

    // A read answered from what is kept; nothing when the run is stale.
    // noModule: the unit would refuse it (exception 02), as it does a read of
    // nothing but an empty position's registers.
    struct Slice
    {
        std::vector<quint16> registers;
        bool noModule = false;
    };
    std::optional<Slice> slice(int unit, Table table, quint16 address, int count, int module) const;

    void drop(int unit);
    // Another line: nothing kept, nothing refused.
    void clear();

private:
    struct Kept
    {
        std::vector<quint16> registers; // empty: nothing kept
        qint64 atMs = 0;
        quint64 pauses = 0;
        bool refused = false;
    };
    Kept &at(int unit, Run run);
    const Kept *find(int unit, Run run) const;

    Now m_now;
    Pauses m_pauses;
    bool m_enabled = true;
    std::array<std::array<Kept, 2>, 33> m_units{};
};
