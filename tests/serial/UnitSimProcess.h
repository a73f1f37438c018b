#pragma once

#include "TestSeams.h"
#include "device/SerialBus.h"
#include "device/ZelkData.h"

#include <QProcess>
#include <QString>
#include <QStringList>
#include <map>

class SimulatedBus;

// The unit emulator as a real process: started, asked for the line it
// opened, interrupted or killed.
class UnitSimProcess
{
public:
    ~UnitSimProcess();

    // Starts zelk-unitsim with the arguments and returns the line it printed
    // (a terminal's path or 127.0.0.1:PORT), or empty when it did not start.
    QString start(const QStringList &arguments);
    // Serves a copy of the folder's demo bus (line/simbus.ini) behind the
    // pseudo-terminal line.tty, which becomes the program's COM1 at 115200
    // baud with a 150 ms read timeout and these retries; false (errors()
    // says why) when the emulator did not start.
    bool startScratchLine(const TestEnvironment &env, int retries, const QStringList &more = {});
    // A line to an emulator started with --commands; true once it confirmed it.
    bool command(const QString &line);
    // A line the emulator should refuse: what it then said on standard error
    // (empty when nothing came there in time).
    QString refusal(const QString &line);
    void kill();
    // Ctrl-C; its exit code, or -1 when it did not end.
    int interrupt();
    QString errors();

    QProcess process;
};

// Every field of a unit record and its modules, one per line: two reads agree
// when these texts do.
QString recordText(const ZelkData &data);

// The editor's progress log of a read, kept as one text.
class TextLog final : public ReadProgressLog
{
public:
    void appendText(const QString &text) override { this->text += text; }
    QString text;
};

// Lines of a child process's output up to a deadline; empty when none came.
QString readLine(QProcess &process, int timeoutMs);

// A unit's two runs as the emulator's register server answers them on a
// bus in this process (the wire page's worked examples pin that placement),
// for tools that read or serve the registers themselves (the bus's COM1
// opened and closed again).
struct RegisterImage
{
    std::map<int, quint16> holding;
    std::map<int, quint16> input;
};
RegisterImage imageOf(SimulatedBus &bus, int unit);

// A line in this process for a serial device object: every exchange is
// answered by `answer` from the request PDU and the wait.
using LineAnswer = std::function<ModbusTransport::Exchange(const QByteArray &pdu, int timeoutMs)>;
SerialBus::TransportFactory fakeLine(LineAnswer answer);
