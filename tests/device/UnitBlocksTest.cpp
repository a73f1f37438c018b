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
