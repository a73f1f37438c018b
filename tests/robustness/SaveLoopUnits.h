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
    const auto text = [variant](const char *field, int unit, int module) {
        return QStringLiteral("%1-%2-%3%4")
            .arg(QLatin1String(field))
            .arg(unit)
            .arg(module)
            .arg(variant == 0 ? QStringLiteral("a") : QStringLiteral("bb"));
    };
    for (int u = 1; u <= 32; ++u) {
        ZelkData &d = units[u - 1];
        d.PowerSupplyID = QString::number(u);
        d.SerialNumber = text("SN", u, 0);
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
            r.ModuleCode = text("TYPE", u, m);
            r.SerialNumber = text("M", u, m);
            r.MajorVersion = QString::number(1 + variant);
            r.MinorVersion = QString::number(m + 3 * variant);
            r.DefaultOutputPolarity = QString::number((m + variant) % 2);
            r.StartUpState = QString::number((u + m + variant) % 2);
            r.OutputVoltageSetpoint = QString::number(m * 3.3 + variant * 0.25, 'f', 2);
            r.VoltageHighLimit = QString::number(10000 + 100 * m + variant * 7);
            r.VoltageLowLimit = QString::number(8000 + 100 * m + variant * 7);
            r.CurrentLimitMode = variant == 0 ? QStringLiteral("Normal") : QStringLiteral("Hiccup");
            r.CurrentLimit = QString::number(2.5 * m + variant, 'f', 1);
            r.StartUpDelay = QString::number(100 * m + variant * 50);
            r.ActivationTime = QString::number(250 + variant * 750);
            r.ResetTime = QString::number(500 + variant * 1500);
            r.EnableReset = QString::number(variant);
            r.Master = QString::number((m + variant) % 2);
            r.Slave = QString::number((m + variant + 1) % 2);
            r.Delay = QString::number(50 * m + variant);
            r.State = QString::number(variant);
            r.GroupId = qint16((m + variant) % 4);
            r.ProgrammingMode = QString::number((u + variant) % 2);
        }
    }
}
