#pragma once

#include <QString>
#include <QStringList>

class ModbusTransport;

// The line module's entry points (serial-line.so, made from
// src/device/LineModuleEntries.cpp): only it links Qt's serial port and
// network libraries. Opened through ProgramModule::line().
extern "C" {
// The serial line (a device path) or a TCP gateway (tcp://host:port), not
// opened yet; the caller owns it.
Q_DECL_EXPORT ModbusTransport *zelkLineTransport(const QString &target, int baud,
                                                 int connectTimeoutMs);
// The serial ports the system reports, by the path the line opens.
Q_DECL_EXPORT void zelkLinePorts(QStringList *ports);
}

namespace LineModule {
// The serial ports the system reports; none, and why says so, when the line
// module cannot be opened.
QStringList ports(QString &why);
} // namespace LineModule
