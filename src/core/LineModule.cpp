#include "core/LineModule.h"

#include "core/ProgramModule.h"

QStringList LineModule::ports(QString &why)
{
    QStringList ports;
    ProgramModule &module = ProgramModule::line();
    if (auto *list = module.entry<decltype(zelkLinePorts)>("zelkLinePorts"))
        list(&ports);
    else
        why = module.why();
    return ports;
}
