#pragma once

#include <QString>

// The words for a serial port this user may not open: what would let the
// user open it (joining the group that may, or logging in again after
// joining), or else who may, from the device file's owner and mode.
namespace SerialAccess {

// What the device file says of itself.
struct PortFile
{
    QString path;
    QString ownerName; // the number when the user database has no name
    QString groupName; // likewise
    uint mode = 0;     // st_mode: type and permission bits
};

// Where the user stands towards that file.
struct Standing
{
    bool owner = false;              // the file's owner is this user
    bool inGroupPerDatabase = false; // a member of its group in the user database
    bool processHasGroup = false;    // the running process carries the group
};

// The advice itself, from the facts alone.
QString adviceFor(const PortFile &file, const Standing &standing);

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
