#pragma once

#include "core/DesktopServices.h"

#include <QDateTime>
#include <QString>
#include <QtGlobal>

// Small routines every window shares.

inline const QString CmdOk = QStringLiteral("CMD_OK");

// Lets pending window events run once, then tells whether the reply is
// exactly "CMD_OK".
[[nodiscard]] bool IsCmdOk(const QString &reply);

// Appends one dated line "<date time> [message]" to the error file.
void LogError(const QString &message);

// Writes to the error file that port would not open, as every program that
// opens the line words it; returns the line's message.
QString logPortNotOpened(const QString &port);

// ComPort would not open: tells the user to check the port setting and
// records it (error file, LastError, ErrorFlag). The caller closes the port.
// deviceReply: the device's answer to OpenPort; when it says the user may not
// use the port, the user is told which group grants it.
void reportPortNotOpened(const QString &deviceReply = {});

// Tells the user that an exchange failed on a port probably held by another
// program.
void tellPortInUse();

// Shows a topic of the help file beside the program; false when the help
// cannot be shown.
bool showHelp(const QString &topic, HelpCommand command = HelpCommand::DisplayTopic);

// Tells the user that the help file is missing.
void tellHelpMissing();

// Waits the given seconds while letting window events run.
void Pause(double seconds);
// How many pauses have begun: a unit's live state seen before one is not
// taken as current after it.
quint64 PausesBegun();

// Filters one typed character of a numeric field: digits, the decimal
// separator, Backspace and Enter pass; anything else is refused with a
// message and replaced by 0.
void NumericKeyFilter(qint16 &keyCode);

// Starts a command line as a new process and does not wait for it.
void RunProgram(const QString &commandLine);

// 0 normal pointer, window enabled; 1 busy pointer, window disabled;
// 2 pointer hidden; 3 pointer shown. False for any other mode.
bool SetBusy(qint32 mode);

// Date and time of a log line in the locale's general date format.
QString generalDateText(const QDateTime &dateTime);
