#include "device/SimBusDemo.h"

#include <cmath>

namespace {

struct TypeFacts
{
    double voltageScale;
    double currentScale;
    double maxCurrent;
};

// Factors of the shipped scale.ini types 1..7.
TypeFacts facts(int typeCode)
{
    switch (typeCode) {
    case 1:
        return {1000, 80, 100};
    case 2:
        return {1000, 200, 30};
    case 3:
        return {500, 400, 15};
    case 4:
        return {200, 1000, 8};
    case 5:
        return {200, 2000, 5};
    case 6:
        return {100, 4000, 2};
    default:
        return {50, 10000, 1};
    }
}

qint16 raw(double value, double factor)
{
    return static_cast<qint16>(std::lround(value * factor));
}

// A module at `volts`, module-good window +-5 %, current limit at 80 % of the
// rating and a load drawing 40 % of it.
SimModuleSettings module(int typeCode, double volts, const char *serial, qint16 mode, qint16 group,
                         qint32 delayMs)
{
    const TypeFacts f = facts(typeCode);
    SimModuleSettings m;
    m.typeCode = static_cast<qint16>(typeCode);
    m.serialNumber = QString::fromLatin1(serial);
    m.majorVersion = 1;
    m.minorVersion = static_cast<qint16>(typeCode + 2);
    m.defaultVoltage = raw(volts, f.voltageScale);
    m.goodHigh = raw(volts * 1.05, f.voltageScale);
    m.goodLow = raw(volts * 0.95, f.voltageScale);
    m.currentLimitMode = mode;
    m.enableReset = mode == 1 ? 1 : 0;
    m.currentLimit = raw(f.maxCurrent * 0.8, f.currentScale);
    m.groupId = group;
    m.turnOnDelayMs = delayMs;
    m.loadOhms = volts / (f.maxCurrent * 0.4);
    return m;
}

SimUnitSettings unit(int slot, qint16 id, const char *serial, qint16 minor, qint32 hours)
{
    SimUnitSettings u;
    u.slot = slot;
    u.unitId = id;
    u.serialNumber = QString::fromLatin1(serial);
    u.majorVersion = 2;
    u.minorVersion = minor;
    u.operatingHours = hours;
    return u;
}

} // namespace

namespace SimBusDemo {

std::vector<SimUnitSettings> units()
{
    std::vector<SimUnitSettings> bus;

    // Five modules of four types; 2+3 start together, 4+5 share current.
    SimUnitSettings u1 = unit(1, 1, "ZX5-21A0117", 11, 1234);
    u1.module(1) = module(1, 3.3, "ZM1-40312", 0, 1, 0);
    u1.module(2) = module(2, 12.0, "ZM2-40577", 2, 2, 250);
    u1.module(3) = module(3, 24.0, "ZM3-41020", 1, 2, 250);
    u1.module(4) = module(4, 48.0, "ZM4-41388", 0, 3, 500);
    u1.module(5) = module(4, 48.0, "ZM4-41389", 0, 3, 500);
    u1.module(4).masterSlave = 1;
    u1.module(5).masterSlave = 2;
    bus.push_back(u1);

    SimUnitSettings u3 = unit(2, 3, "ZX2-21B0342", 10, 87);
    u3.module(1) = module(2, 5.2, "ZM2-42001", 1, 1, 0);
    u3.module(3) = module(6, 150.0, "ZM6-42115", 2, 1, 100);
    bus.push_back(u3);

    // Positions 1 and 2 empty.
    SimUnitSettings u5 = unit(3, 5, "ZX3-20C0913", 9, 15321);
    u5.module(3) = module(5, 60.0, "ZM5-38820", 0, 2, 100);
    u5.module(4) = module(7, 300.0, "ZM7-38904", 1, 1, 0);
    u5.module(5) = module(3, 15.0, "ZM3-39017", 2, 2, 100);
    u5.module(4).startUpState = 0;
    bus.push_back(u5);

    // Held off at power-up until its global output is switched on.
    SimUnitSettings u7 = unit(4, 7, "ZX2-21D0478", 11, 402);
    u7.defaultGlobalState = 0;
    u7.module(1) = module(1, 2.5, "ZM1-43350", 0, 1, 0);
    u7.module(2) = module(2, 12.0, "ZM2-43361", 1, 1, 0);
    bus.push_back(u7);

    return bus;
}

} // namespace SimBusDemo
