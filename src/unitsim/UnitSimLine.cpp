#include "unitsim/UnitSimLine.h"

#include "device/ModbusFrame.h"
#include "unitsim/UnitRegisterServer.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

namespace F = ModbusFrame;

namespace {

constexpr qint64 MillisecondNs = 1'000'000;

qint64 monotonicNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

timespec toTimespec(qint64 ns)
{
    return {time_t(ns / 1'000'000'000), long(ns % 1'000'000'000)};
}

void sleepUntil(qint64 ns)
{
    const timespec ts = toTimespec(ns);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
    }
}

// Writes all of it; a client that went away takes what is left with it.
void writeAll(int fd, const char *data, qsizetype size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, std::size_t(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        data += n;
        size -= n;
    }
}

QString systemError(const char *what)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what),
                                        QString::fromLocal8Bit(strerror(errno)));
}

} // namespace

UnitSimLine::UnitSimLine(UnitRegisterServer &server, int baud, const LineFaults &faults)
    : m_server(server)
    , m_baud(baud)
    , m_faults(faults)
    , m_random(faults.seed)
{}

UnitSimLine::~UnitSimLine()
{
    if (!m_link.isEmpty()) {
        // Only a link that still leads to this line is ours to remove.
        char target[4096] = {};
        const QByteArray link = m_link.toLocal8Bit();
        const ssize_t n = readlink(link.constData(), target, sizeof target - 1);
        if (n > 0 && QString::fromLocal8Bit(target, n) == m_slavePath)
            unlink(link.constData());
    }
    for (const int fd : {m_slave, m_master, m_listen}) {
        if (fd >= 0)
            ::close(fd);
    }
}

QString UnitSimLine::openPty(const QString &linkPath, QString *why)
{
    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char name[256] = {};
    if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0 ||
        ptsname_r(m_master, name, sizeof name) != 0) {
        *why = systemError("cannot make a pseudo-terminal");
        return {};
    }
    m_slavePath = QString::fromLocal8Bit(name);
    // Held open, and raw, so that nothing is echoed back before a client sets
    // the line up and the line does not hang up between clients.
    m_slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios tio{};
    if (m_slave < 0 || tcgetattr(m_slave, &tio) != 0) {
        *why = systemError("cannot open the pseudo-terminal");
        return {};
    }
    cfmakeraw(&tio);
    tcsetattr(m_slave, TCSANOW, &tio);
    if (!linkPath.isEmpty()) {
        const QByteArray link = linkPath.toLocal8Bit();
        struct stat st
        {
        };
        if (lstat(link.constData(), &st) == 0 && !S_ISLNK(st.st_mode)) {
            *why = linkPath + QStringLiteral(" exists and is not a symbolic link");
            return {};
        }
        unlink(link.constData());
        if (symlink(name, link.constData()) != 0) {
            *why = systemError("cannot make the link");
            return {};
        }
        m_link = linkPath;
    }
    return m_slavePath;
}

quint16 UnitSimLine::listenTcp(quint16 port, QString *why)
{
    m_listen = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    socklen_t length = sizeof address;
    if (m_listen < 0 || bind(m_listen, reinterpret_cast<sockaddr *>(&address), length) != 0 ||
        listen(m_listen, 8) != 0 ||
        getsockname(m_listen, reinterpret_cast<sockaddr *>(&address), &length) != 0) {
        *why = systemError("cannot listen");
        return 0;
    }
    return ntohs(address.sin_port);
}

void UnitSimLine::takeCommands(int fd, std::function<void(const QByteArray &)> onLine)
{
    m_commands = fd;
    m_onCommand = std::move(onLine);
}

void UnitSimLine::readCommands()
{
    char buffer[256];
    const ssize_t n = ::read(m_commands, buffer, sizeof buffer);
    if (n <= 0) {
        if (n == 0 || errno != EINTR)
            m_commands = -1; // its end: the line goes on without commands
        return;
    }
    m_commandText.append(buffer, n);
    for (qsizetype end = m_commandText.indexOf('\n'); end >= 0; end = m_commandText.indexOf('\n')) {
        const QByteArray line = m_commandText.left(end).trimmed();
        m_commandText.remove(0, end + 1);
        if (!line.isEmpty())
            m_onCommand(line);
    }
    if (m_commandText.size() > 4096)
        m_commandText.clear(); // no line ends: nothing of it is a command
}

void UnitSimLine::run(int stopFd)
{
    if (m_master >= 0)
        serveRtu(stopFd);
    else if (m_listen >= 0)
        serveTcp(stopFd);
}

bool UnitSimLine::draw(double rate)
{
    return rate > 0 && std::uniform_real_distribution<double>(0, 1)(m_random) < rate;
}

bool UnitSimLine::spoils(const QByteArray &pdu) const
{
    return !m_faults.writesOnly ||
           (!pdu.isEmpty() && (quint8(pdu[0]) == F::Function::WriteSingle ||
                               quint8(pdu[0]) == F::Function::WriteMultiple));
}

qint64 UnitSimLine::answerStartNs()
{
    const int lateMs = draw(m_faults.lateRate) ? m_faults.lateMs : 0;
    return monotonicNs() + qint64(m_faults.delayMs + lateMs) * MillisecondNs;
}

QByteArray UnitSimLine::answerRtu(const QByteArray &frame)
{
    // A frame with bad check bytes is noise to every unit on the line.
    if (frame.size() < 4 || !F::rtuCrcGood(frame))
        return {};
    const quint8 unit = quint8(frame[0]);
    const QByteArray pdu = frame.mid(1, frame.size() - 3);
    const auto answer = m_server.answer(unit, pdu);
    if (!answer || (spoils(pdu) && draw(m_faults.dropRate)))
        return {};
    QByteArray bytes = F::rtuFrame(unit, *answer);
    if (spoils(pdu) && draw(m_faults.garbleRate)) {
        const auto at = std::uniform_int_distribution<int>(0, int(bytes.size()) - 1)(m_random);
        const auto flip = std::uniform_int_distribution<int>(1, 255)(m_random);
        bytes[at] = char(quint8(bytes[at]) ^ flip);
    }
    return bytes;
}

void UnitSimLine::sendPaced(int fd, const QByteArray &bytes, qint64 startNs)
{
    const qint64 character = F::characterNs(m_baud);
    const qsizetype n = bytes.size();
    const qint64 endNs = startNs + n * character;
    qsizetype sent = 0;
    while (sent < n) {
        const qint64 now = monotonicNs();
        // A character is in once its ten bits are.
        const qsizetype due = std::clamp<qint64>((now - startNs) / character, 0, n);
        if (due > sent) {
            writeAll(fd, bytes.constData() + sent, due - sent);
            sent = due;
            continue;
        }
        // A few characters at a time, the last one on time.
        sleepUntil(
            std::min(endNs, std::max(startNs + (sent + 1) * character, now + MillisecondNs)));
    }
}

void UnitSimLine::serveRtu(int stopFd)
{
    const qint64 character = F::characterNs(m_baud);
    const qint64 silence = F::silenceNs(m_baud);
    QByteArray in;
    qint64 inEndNs = 0;    // when the last character in would have arrived
    qint64 lineFreeNs = 0; // when the last answer was out
    char buffer[512];
    for (;;) {
        pollfd fds[3] = {{m_master, POLLIN, 0}, {stopFd, POLLIN, 0}, {m_commands, POLLIN, 0}};
        timespec wait{};
        const qint64 frameEndNs = inEndNs + silence;
        if (!in.isEmpty())
            wait = toTimespec(std::max<qint64>(0, frameEndNs - monotonicNs()));
        const int ready = ppoll(fds, 3, in.isEmpty() ? nullptr : &wait, nullptr);
        if (ready < 0 && errno != EINTR)
            return;
        if (fds[1].revents)
            return;
        if (fds[2].revents) {
            readCommands();
            continue;
        }
        if (fds[0].revents & POLLIN) {
            const ssize_t n = ::read(m_master, buffer, sizeof buffer);
            if (n > 0) {
                inEndNs = std::max({monotonicNs(), inEndNs, lineFreeNs}) + n * character;
                in.append(buffer, n);
            }
            continue;
        }
        if (in.isEmpty() || monotonicNs() < frameEndNs)
            continue;
        const QByteArray answer = answerRtu(in);
        in.clear();
        if (answer.isEmpty())
            continue;
        const qint64 startNs = answerStartNs();
        sendPaced(m_master, answer, startNs);
        lineFreeNs = startNs + answer.size() * character;
    }
}

void UnitSimLine::serveTcp(int stopFd)
{
    const qint64 character = F::characterNs(m_baud);
    const qint64 silence = F::silenceNs(m_baud);
    struct Client
    {
        int fd;
        QByteArray in;
    };
    std::vector<Client> clients;
    qint64 lineFreeNs = 0;
    char buffer[512];
    signal(SIGPIPE, SIG_IGN); // a client gone mid-answer is no reason to end
    for (;;) {
        std::vector<pollfd> fds = {
            {stopFd, POLLIN, 0}, {m_commands, POLLIN, 0}, {m_listen, POLLIN, 0}};
        for (const Client &c : clients)
            fds.push_back({c.fd, POLLIN, 0});
        if (poll(fds.data(), nfds_t(fds.size()), -1) < 0 && errno != EINTR)
            break;
        if (fds[0].revents)
            break;
        if (fds[1].revents)
            readCommands();
        if (fds[2].revents & POLLIN) {
            const int fd = accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
            const int on = 1;
            if (fd >= 0) {
                setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
                clients.push_back({fd, {}});
            }
        }
        for (std::size_t i = 3; i < fds.size(); ++i) {
            if (!fds[i].revents)
                continue;
            Client &c = clients[i - 3];
            const ssize_t n = ::read(c.fd, buffer, sizeof buffer);
            if (n <= 0) {
                ::close(c.fd);
                c.fd = -1;
                continue;
            }
            c.in.append(buffer, n);
            for (int length = F::tcpFrameLength(c.in); length != 0;
                 length = F::tcpFrameLength(c.in)) {
                if (length < 0) {
                    ::close(c.fd); // not Modbus TCP: nothing of it can be read in step
                    c.fd = -1;
                    break;
                }
                if (c.in.size() < length)
                    break;
                const QByteArray frame = c.in.left(length);
                c.in.remove(0, length);
                const quint8 unit = quint8(frame[6]);
                const QByteArray pdu = frame.mid(F::MbapHeader);
                auto answer = m_server.answer(unit, pdu);
                if (!answer || (spoils(pdu) && draw(m_faults.dropRate)))
                    continue;
                // Behind a gateway a damaged answer never arrives; the
                // gateway says so.
                if (spoils(pdu) && draw(m_faults.garbleRate))
                    answer = F::exceptionAnswer(quint8(pdu[0]), F::Exception::GatewayNoAnswer);
                // The gateway's serial side: request, silence, answer.
                const qint64 startNs =
                    std::max(monotonicNs(), lineFreeNs) - monotonicNs() + answerStartNs();
                const qint64 doneNs = startNs + (pdu.size() + 3) * character + silence +
                                      (answer->size() + 3) * character;
                sleepUntil(doneNs);
                const QByteArray reply = F::tcpFrame(F::word(frame, 0), unit, *answer);
                writeAll(c.fd, reply.constData(), reply.size());
                lineFreeNs = doneNs + silence;
            }
        }
        std::erase_if(clients, [](const Client &c) { return c.fd < 0; });
    }
    for (const Client &c : clients)
        ::close(c.fd);
}
