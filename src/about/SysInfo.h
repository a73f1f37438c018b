#pragma once

#include <QByteArray>
#include <QString>

// Starts the computer's system-information tool, or says it is unavailable.
void StartSysInfo();

// The text of a stored 32-bit number (four bytes, least significant first):
// the bytes from last to first, each as two hexadecimal digits, read as one
// hexadecimal number and written in decimal.
QString registryNumberText(const QByteArray &fourBytes);
