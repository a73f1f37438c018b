#pragma once

#include <QString>

// The words for a serial port this user may not open: which group grants it
// on this system and the command that adds the user to that group.
namespace SerialAccess {

// For a port that exists but whose open failed with openErrno: the advice
// when the failure is a permission one, else an empty text (the caller keeps
// its own message).
QString permissionText(const QString &portPath, int openErrno);

// The same, for a caller that has no errno (a serial library's own error
// code): asks the system whether this user may read and write the port.
QString permissionText(const QString &portPath);

// The advice that permissionText gave, found again in a device's reply that
// carries it; empty when the reply has none.
QString adviceIn(const QString &reply);

} // namespace SerialAccess
