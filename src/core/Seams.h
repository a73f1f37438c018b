#pragma once

class Clock;
class Dialogs;
class DesktopServices;

// The installed implementations of the outside world. The program installs
// the Qt ones at start; tests install scripted ones. The device object is
// held in ZelkGlobals::Device.
namespace Seams {
Dialogs &dialogs();
DesktopServices &desktop();
Clock &clock();

void setDialogs(Dialogs *dialogs);
void setDesktop(DesktopServices *desktop);
void setClock(Clock *clock);
} // namespace Seams
