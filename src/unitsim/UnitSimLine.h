#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <functional>
#include <random>
#include <vector>

class UnitRegisterServer;

// What can go wrong on the line, drawn per answer from a seeded generator so
// that a run can be repeated.
struct LineFaults
{
    double garbleRate = 0; // one byte of the answer changed
    double dropRate = 0;   // no answer at all
    int delayMs = 0;       // the answer starts this much later
    double lateRate = 0;   // share of answers that start lateMs later still
    int lateMs = 0;
    bool writesOnly = false; // garble and drop only the answers to writes
    quint32 seed = 1;
};

// One line of units: Modbus RTU on a pseudo-terminal or Modbus TCP on
// 127.0.0.1, paced at the baud rate both ways. A request is taken only when
// its own characters would have arrived and the silence that ends a frame has
// passed; the answer leaves at the line rate, a few characters at a time.
class UnitSimLine
{
public:
    UnitSimLine(UnitRegisterServer &server, int baud, const LineFaults &faults);
    ~UnitSimLine();

    // A new pseudo-terminal; the path of the end a client opens, or empty
    // with why. With a link path, that path becomes a symbolic link to it.
    QString openPty(const QString &linkPath, QString *why);
    // Listens on 127.0.0.1:port (0: any free port); the port, or 0 with why.
    quint16 listenTcp(quint16 port, QString *why);

    // Lines read from fd (standard input) go to onLine, between two frames,
    // until its end.
    void takeCommands(int fd, std::function<void(const QByteArray &line)> onLine);

    // From the next answer on (a command while it serves).
    void setLate(double rate, int ms)
    {
        m_faults.lateRate = rate;
        m_faults.lateMs = ms;
    }

    // Serves until stopFd becomes readable (the signal handler writes to it).
    void run(int stopFd);

private:
    void serveRtu(int stopFd);
    void serveTcp(int stopFd);
    // The answer frame of a whole RTU request frame, faults applied, or empty.
    QByteArray answerRtu(const QByteArray &frame);
    void sendPaced(int fd, const QByteArray &bytes, qint64 startNs);
    bool draw(double rate);
    // Whether the answer to this request may be spoiled.
    bool spoils(const QByteArray &pdu) const;
    // When an answer due now leaves: after the delay, and for a late one its lateness.
    qint64 answerStartNs();
    // Reads what came on the command descriptor and hands over its whole lines.
    void readCommands();

    UnitRegisterServer &m_server;
    int m_baud;
    LineFaults m_faults;
    std::mt19937 m_random;
    int m_master = -1;
    int m_slave = -1; // held open so the line stays up between clients
    int m_listen = -1;
    QString m_link;
    QString m_slavePath;
    int m_commands = -1;
    QByteArray m_commandText;
    std::function<void(const QByteArray &)> m_onCommand;
};
