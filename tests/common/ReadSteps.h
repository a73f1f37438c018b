#pragma once

#include <utility>

// The editor's set-up read of a unit, step by step: the label each step
// writes to the progress log and the device method it asks first. The module
// type step has none: a failure there is the global inhibit.
inline constexpr std::pair<const char *, const char *> ReadSteps[] = {
    {"Get present modules................", "GetPresentModules"},
    {"Get Module Good Status Byte........", "GetModuleGoodStatusByte"},
    {"Get Unit Serial Number.............", "GetUnitSerialN"},
    {"Get Unit Version...................", "GetUnitVersion"},
    {"Get Fan Fail Polarity..............", "GetFanFailPolarity"},
    {"Get Global DCGood Polarity.........", "GetGlobalDCGoodPolarity"},
    {"Get O.T. Fail Polarity.............", "GetOTFailPolarity"},
    {"Get Default Global Output Polarity.", "GetDefaultGlobalOutputPolarity"},
    {"Get Default Group State............", "GetDefaultGroupState"},
    {"Get Default Global Output State....", "GetDefaultGlobalOutputState"},
    {"Get Module Type....................", nullptr},
    {"Get Module Serial Number...........", "GetModuleSerialN"},
    {"Get Module Version.................", "GetModuleVersion"},
    {"Get Programming Mode...............", "GetProgrammingMode"},
    {"Get Default Output On Off Polarity.", "GetDefaultOutputOnOffPolarity"},
    {"Get Default Output On Off State....", "GetDefaultOutputOnOffState"},
    {"Get Output Turn ON Delay...........", "GetOutputTurnONDelayExUShort"},
    {"Get Output Voltage Setpoint........", "GetDefaultOutputVoltage"},
    {"Get Module Good Low Threshold......", "GetModuleGoodLowThreshold"},
    {"Get Module Good High Threshold.....", "GetModuleGoodHighThreshold"},
    {"Get Current Limit Mode.............", "GetCurrentLimitMode"},
    {"Get Current Limit..................", "GetCurrentLimit"},
    {"Get Current Limit ON Time..........", "GetCurrentLimitONTimeExUShort"},
    {"Get Current Limit OFF Time.........", "GetCurrentLimitOFFTimeExUShort"},
    {"Get Output State...................", "GetOutputState"}};
