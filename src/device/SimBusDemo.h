#pragma once

#include "device/SimBusSettings.h"

#include <vector>

// The bus a new simbus.ini starts with: four supplies with different module
// sets, set-points inside the ratings of the shipped module types, groups in
// use, and unit 7 with its outputs off at power-up.
namespace SimBusDemo {
std::vector<SimUnitSettings> units();
} // namespace SimBusDemo
