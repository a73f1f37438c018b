#pragma once

#include <QString>

// The program's settings access: one key at a time, missing values read "N/A",
// and "." read back in the user's decimal separator.
namespace Ini {
inline const QString NotAvailable = QStringLiteral("N/A");
inline constexpr int ReadBufferSize = 255;
inline const QString WriteFailedText =
    QStringLiteral("Error: Writing to INI file failed! Check the file path!");
// The text of the last write's result ("1" success, "0" failure).
inline QString IniWriteResult;
} // namespace Ini

QString ReadIni(const QString &section, const QString &key, const QString &path);
// Writes the value and returns the write's result text, "1" on success. A
// failure is shown to the user with the file's path.
QString WriteIni(const QString &section, const QString &key, const QString &value,
                 const QString &path);
// Deletes the key (the write of "no value").
QString DeleteIniKey(const QString &section, const QString &key, const QString &path);

// Shows the write-failure message for a path, with the reason on a line of its
// own when there is one; for callers that write many keys at once and report a
// failure once.
void showIniWriteFailure(const QString &path, const QString &reason = QString());
