#pragma once

#include <QString>
#include <cstdint>
#include <gtest/gtest.h>
#include <iostream>
#include <random>

// The seed of a randomised run: ZELK_ROBUSTNESS_SEED when set, so a failure
// can be replayed, else a fresh one. It is printed and kept in the test's
// XML result either way.
inline std::uint32_t robustnessSeed()
{
    bool ok = false;
    const uint fixed = qEnvironmentVariable("ZELK_ROBUSTNESS_SEED").toUInt(&ok);
    const std::uint32_t seed = ok ? fixed : std::random_device{}();
    std::cout << "[ seed     ] ZELK_ROBUSTNESS_SEED=" << seed << std::endl;
    ::testing::Test::RecordProperty("seed", std::to_string(seed));
    return seed;
}

// How many times the test command's length a soak runs: ZELK_SOAK_SCALE, which
// bench/soaks.sh sets for the long runs.
inline int soakScale()
{
    bool ok = false;
    const int scale = qEnvironmentVariableIntValue("ZELK_SOAK_SCALE", &ok);
    return ok && scale > 0 ? scale : 1;
}
