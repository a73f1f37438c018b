#include "monitor/MonitorControlState.h"

MonitorControlState::Controls MonitorControlState::of(const Inputs &in)
{
    using A = Activity;
    const bool idle = in.activity == A::Idle;
    // Interactive and idle: the only state in which the unit may be talked to.
    const bool free = idle && !in.monitorMode;
    const bool live = free && in.unitSelected;
    Controls c;
    c.unitList = free;
    c.selectUnit = free;
    c.close = free;
    c.eeprom = free;
    c.comSettings = free;
    c.errorFile = free;
    c.switchButtons = free;
    c.refresh = live;
    c.globalSwitch = live && in.modulesKnown;
    // The log's controls change nothing on the unit; only a running log keeps them.
    c.clear = !in.monitorMode;
    c.fileName = !in.monitorMode && !in.autosave;
    c.period = free;
    // Monitor Mode can be left during its poll (it ends when the poll does),
    // never entered in the middle of something else.
    c.monitorMode = in.unitSelected && (idle || (in.monitorMode && in.activity == A::Refreshing));
    for (int m = 1; m <= 5; ++m) {
        c.moduleSwitch[m] = live && in.present[m];
        c.moduleEntry[m] = live && in.present[m] && in.outputOn[m];
    }
    return c;
}
