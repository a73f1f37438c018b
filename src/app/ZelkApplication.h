#pragma once

class AppFolders;

// The program's one wiring: the windows that reach one another by name, the
// controls that window libraries cannot link, the help viewer. main and every
// test that needs the windows call these same routines, so a window the
// program forgets to wire fails a test.
namespace ZelkApplication {

// Takes the folders start-up chose into the globals. A per-user folder that
// could not be made is told on standard error and in a box, and the program
// must end: false. The dialogs seam is set first by the caller.
[[nodiscard]] bool takeFolders(const AppFolders &folders);

// Registers every window and control factory and the help handler. The seams
// (dialogs, desktop, clock) and the device object's factory are set first by
// the caller.
void wire();

// The launcher's load (one copy, the globals, the device object) and the
// launcher shown. False when the program must end.
[[nodiscard]] bool start();

// Runs the event loop until the launcher ends the program, then takes the
// wiring down. Returns the loop's exit code.
int run();

// Destroys every window that was made, forgets the factories and releases
// the device object last, when no window is left to use it.
void unwire();

} // namespace ZelkApplication
