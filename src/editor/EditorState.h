#pragma once

#include <QString>

// The editor's process-wide flags: the grouping dialog sets the change flags
// as well, and the leave-the-unit prompt reads them.
namespace EditorState {

inline bool UnitOptionsChanged = false;
inline bool ModuleOptionsChanged = false;
inline bool ChangesWritten = false;
inline bool UnitShown = false;
inline bool SliderActive = false;

// Serial parameters as the progress text shows them; the device object owns
// the real line settings.
inline QString BaudRate;
inline QString Parity;
inline QString DataBits;

// The three change flags are only ever cleared together.
inline void clearChangeFlags()
{
    UnitOptionsChanged = false;
    ModuleOptionsChanged = false;
    ChangesWritten = false;
}

inline void reset()
{
    clearChangeFlags();
    UnitShown = false;
    SliderActive = false;
    BaudRate.clear();
    Parity.clear();
    DataBits.clear();
}

} // namespace EditorState
