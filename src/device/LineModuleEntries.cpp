// The line module (serial-line.so): the serial line and the TCP gateway with
// the Qt libraries they need, opened by the program on first use.
#include "core/LineModule.h"
#include "device/ModbusLink.h"

#include <QSerialPortInfo>

ModbusTransport *zelkLineTransport(const QString &target, int baud, int connectTimeoutMs)
{
    return new ModbusLink(target, baud, connectTimeoutMs);
}

void zelkLinePorts(QStringList *ports)
{
    const auto found = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : found)
        ports->append(info.systemLocation());
}
