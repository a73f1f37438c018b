#pragma once

#include "device/ZelkData.h"

#include <QString>
#include <array>

// The two configurations the crash-safety child saves in turn: 32 units with
// five modules each. Every value differs between the two and variant 1 is
// longer, so a torn file, a mix of both or a cut-off one never equals either.
using SaveLoopUnits = std::array<ZelkData, 32>;

inline void fillSaveLoopUnits(SaveLoopUnits &units, int variant)
{
    const QString tail = variant == 0 ? QStringLiteral("a") : QStringLiteral("bb");
    for (int u = 1; u <= 32; ++u) {
        ZelkData &d = units[u - 1];
        d.PowerSupplyID = QString::number(u);
        d.SerialNumber = QStringLiteral("SN-%1").arg(u) + tail;
        d.MajorVersion = QString::number(2 + variant);
        d.MinorVersion = QString::number(10 + u);
        d.FanFail = variant == 0;
        d.GlobalDC = variant == 1;
        d.OverTemp = (u + variant) % 2 == 0;
        d.GlobalOnOff = variant == 0;
        d.Group = variant == 1;
        d.GlobalOutput = (u + variant) % 3 == 0;
        d.MODULES = QStringLiteral("11111000");
        for (int m = 1; m <= 5; ++m) {
            ZelkModuleRecord &r = d.Module(m);
            // Each text its own: its field, unit, module and variant.
            int field = 0;
            const auto fill = [&](auto *...texts) {
                ((*texts = QStringLiteral("%1-%2-%3").arg(++field).arg(u).arg(m) + tail), ...);
            };
            fill(&r.ModuleCode, &r.SerialNumber, &r.MajorVersion, &r.MinorVersion,
                 &r.DefaultOutputPolarity, &r.StartUpState, &r.OutputVoltageSetpoint,
                 &r.VoltageHighLimit, &r.VoltageLowLimit, &r.CurrentLimitMode, &r.CurrentLimit,
                 &r.StartUpDelay, &r.ActivationTime, &r.ResetTime, &r.EnableReset, &r.Master,
                 &r.Slave, &r.Delay, &r.State, &r.ProgrammingMode);
            r.GroupId = qint16((m + variant) % 4);
        }
    }
}
