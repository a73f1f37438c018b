// What the serial device object keeps of a unit's runs, on a clock and a
// pause count the test moves.
#include "device/UnitBlocks.h"

#include <gtest/gtest.h>
#include <numeric>

namespace {

namespace R = ZelkRegisters;
using Run = UnitBlocks::Run;
using Table = UnitBlocks::Table;

struct UnitBlocksKept : ::testing::Test
{
    qint64 nowMs = 1000;
    quint64 pauses = 0;
    UnitBlocks blocks{[this] { return nowMs; },
                      [this] {
                          return pauses;
                      }};

    // Every register its own address; module 2's position empty, module 2's
    // present flag clear.
    void keepBoth(int unit)
    {
        std::vector<quint16> stored(R::StoredCount), live(R::LiveCount);
        std::iota(stored.begin(), stored.end(), quint16(1));
        std::iota(live.begin(), live.end(), quint16(1));
        stored[R::moduleRegister(2, R::Module::Type)] = 0;
        live[R::PresentModules] = 0b11101;
        blocks.keep(unit, Run::Stored, stored);
        blocks.keep(unit, Run::Live, live);
    }
};

} // namespace

// Catches a read answered from a run it is not in, and a bus scan's probe
// of the unit ID fetching a whole block.
TEST(UnitBlocksRuns, WhatABlockMayAnswer)
{
    EXPECT_EQ(UnitBlocks::runOf(Table::Holding, 0, 125), Run::Stored);
    EXPECT_EQ(UnitBlocks::runOf(Table::Holding, 124, 2), std::nullopt);
    EXPECT_EQ(UnitBlocks::runOf(Table::Holding, R::GlobalOutput, 1), std::nullopt);
    EXPECT_EQ(UnitBlocks::runOf(Table::Input, 17, 2), Run::Live);
    EXPECT_EQ(UnitBlocks::runOf(Table::Input, 18, 2), std::nullopt);
    EXPECT_FALSE(UnitBlocks::fetchesBlock(Table::Holding, R::UnitId, 1));
    EXPECT_TRUE(UnitBlocks::fetchesBlock(Table::Holding, R::UnitSerial, 6));
}

// Catches stored settings kept past 60 s or across a write, live state kept
// past 200 ms or across a pause, or one unit's write dropping another's.
TEST_F(UnitBlocksKept, AgesWritesAndPauses)
{
    keepBoth(1);
    keepBoth(2);
    nowMs += UnitBlocks::LiveMaxAgeMs;
    EXPECT_FALSE(blocks.stale(1, Run::Live));
    ++pauses;
    EXPECT_TRUE(blocks.stale(1, Run::Live));
    EXPECT_FALSE(blocks.stale(1, Run::Stored)); // a pause leaves stored settings alone
    keepBoth(1);
    nowMs += UnitBlocks::LiveMaxAgeMs + 1;
    EXPECT_TRUE(blocks.stale(1, Run::Live));
    EXPECT_EQ(blocks.slice(1, Table::Input, R::ModuleGood, 1, 0), std::nullopt);

    nowMs += UnitBlocks::StoredMaxAgeMs - UnitBlocks::LiveMaxAgeMs - 1;
    EXPECT_FALSE(blocks.stale(1, Run::Stored));
    nowMs += 1;
    EXPECT_TRUE(blocks.stale(1, Run::Stored));

    keepBoth(1);
    keepBoth(2);
    blocks.drop(1);
    EXPECT_TRUE(blocks.stale(1, Run::Stored));
    EXPECT_TRUE(blocks.stale(1, Run::Live));
    EXPECT_FALSE(blocks.stale(2, Run::Stored));
    EXPECT_FALSE(blocks.stale(2, Run::Live));
    blocks.refuse(2, Run::Stored);
    EXPECT_TRUE(blocks.refused(2, Run::Stored));
    EXPECT_FALSE(blocks.refused(2, Run::Live));
    blocks.clear();
    EXPECT_FALSE(blocks.refused(2, Run::Stored));
    EXPECT_TRUE(blocks.stale(2, Run::Stored));
}

// Catches a block that answers where the unit would refuse, or the wrong
// registers: an empty position's settings are refused unless the read takes
// its type register, its measurements by its present flag.
TEST_F(UnitBlocksKept, SlicesAndEmptyPositions)
{
    keepBoth(3);
    const quint16 type2 = R::moduleRegister(2, R::Module::Type);
    const struct
    {
        Table table;
        quint16 address;
        int count;
        int module;
        bool noModule;
    } reads[] = {
        {Table::Holding, R::UnitSerial, 6, 0, false},
        {Table::Holding, type2, 1, 2, false},
        {Table::Holding, quint16(type2 + R::Module::CurrentLimit), 1, 2, true},
        {Table::Holding, quint16(type2 + R::Module::Serial), 6, 2, true},
        {Table::Holding, R::moduleRegister(3, R::Module::GroupId), 1, 3, false},
        {Table::Input, R::measuredVoltage(2), 1, 2, true},
        {Table::Input, R::measuredCurrent(3), 1, 3, false},
        {Table::Input, R::OperatingHours, 2, 0, false},
    };
    for (const auto &r : reads) {
        const auto s = blocks.slice(3, r.table, r.address, r.count, r.module);
        ASSERT_TRUE(s.has_value()) << r.address;
        EXPECT_EQ(s->noModule, r.noModule) << r.address;
        ASSERT_EQ(int(s->registers.size()), r.count);
        EXPECT_EQ(s->registers.front(), r.address == type2 ? 0 : r.address + 1) << r.address;
    }
}
