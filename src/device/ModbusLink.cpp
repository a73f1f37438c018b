#include "device/ModbusLink.h"

#include "core/SerialAccess.h"
#include "device/ModbusFrame.h"

#include <QCoreApplication>
#include <QSerialPort>
#include <QTcpSocket>
#include <QUrl>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <poll.h>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace F = ModbusFrame;

namespace {

qint64 nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// An answer whose length is not in yet ends when the line has been quiet this
// long: a frame's own silence, but never less than the 16 ms a USB adapter
// may hold bytes back.
constexpr qint64 MinQuietNs = 20'000'000;

// Longest stretch a wait for the line keeps window events waiting: well below
// what a user notices, and long enough that a one-value exchange at 9600 baud
// sleeps once (each wake costs the device object more than the frame itself).
constexpr qint64 MaxBlockNs = 25'000'000;
// An exception answer: unit, function, code and two check bytes.
constexpr qsizetype MinAnswer = 5;

} // namespace

ModbusLink::ModbusLink(const QString &target, int baud, int connectTimeoutMs)
    : m_target(target)
    , m_baud(baud)
    , m_connectTimeoutMs(connectTimeoutMs)
{
    m_wake.setSingleShot(true);
    m_wake.setTimerType(Qt::PreciseTimer);
}

ModbusLink::~ModbusLink()
{
    close();
}

QString ModbusLink::open()
{
    close();
    m_lost = false;
    m_lostText.clear();
    m_in.clear();
    m_late.fill({});
    return isTcpTarget(m_target) ? openTcp() : openSerial();
}

QString ModbusLink::openSerial()
{
    m_serial = std::make_unique<QSerialPort>();
    m_serial->setPortName(m_target);
    if (!m_serial->open(QIODevice::ReadWrite)) {
        QString why = m_serial->errorString();
        if (why.isEmpty())
            why = QStringLiteral("the system gave no reason");
        // A port that exists but is not this user's: say which group grants it.
        if (m_serial->error() == QSerialPort::PermissionError) {
            const QString advice = SerialAccess::permissionText(m_target, EACCES);
            if (!advice.isEmpty())
                why += QStringLiteral(". ") + advice;
        }
        m_serial.reset();
        return why;
    }
    m_serial->setBaudRate(m_baud);
    m_serial->setDataBits(QSerialPort::Data8);
    m_serial->setParity(QSerialPort::NoParity);
    m_serial->setStopBits(QSerialPort::OneStop);
    m_serial->setFlowControl(QSerialPort::NoFlowControl);
    QObject::connect(m_serial.get(), &QSerialPort::errorOccurred, m_serial.get(),
                     [this](QSerialPort::SerialPortError e) {
                         if (e == QSerialPort::ResourceError)
                             markLost(QStringLiteral("the port has gone (adapter unplugged?)"));
                     });
    m_io = m_serial.get();
    m_lineFreeNs = nowNs() + F::silenceNs(m_baud);
    return {};
}

QString ModbusLink::openTcp()
{
    const QUrl url(m_target);
    if (!url.isValid() || url.host().isEmpty() || url.port() <= 0)
        return QStringLiteral("not tcp://host:port");
    m_tcp = std::make_unique<QTcpSocket>();
    m_tcp->connectToHost(url.host(), quint16(url.port()));
    const bool connected = waitFor(nowNs() + qint64(m_connectTimeoutMs) * 1'000'000, [this] {
        return m_tcp->state() == QAbstractSocket::ConnectedState ||
               m_tcp->state() == QAbstractSocket::UnconnectedState;
    });
    if (!connected || m_tcp->state() != QAbstractSocket::ConnectedState) {
        const QString why = connected ? m_tcp->errorString() : QString();
        m_tcp.reset();
        return why.isEmpty() ? QStringLiteral("no connection") : why;
    }
    m_tcp->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    QObject::connect(m_tcp.get(), &QTcpSocket::disconnected, m_tcp.get(),
                     [this] { markLost(QStringLiteral("the gateway closed the connection")); });
    m_io = m_tcp.get();
    return {};
}

void ModbusLink::close()
{
    m_io = nullptr;
    m_wake.stop();
    // Deleted later: close() may run inside one of their own signals.
    if (m_serial) {
        m_serial->disconnect();
        m_serial->close();
        m_serial.release()->deleteLater();
    }
    if (m_tcp) {
        m_tcp->disconnect();
        m_tcp->abort();
        m_tcp.release()->deleteLater();
    }
}

void ModbusLink::pauseUntil(qint64 untilNs)
{
    // Window events run at least every MaxBlockNs meanwhile.
    for (qint64 left = untilNs - nowNs(); left > 0 && !m_lost; left = untilNs - nowNs()) {
        std::this_thread::sleep_for(std::chrono::nanoseconds(std::min(left, MaxBlockNs)));
        if (untilNs > nowNs())
            QCoreApplication::processEvents();
    }
}

void ModbusLink::checkHangUp()
{
    // A terminal whose other end is gone (an adapter unplugged, an emulator
    // ended) reads as end of file, which the port object does not report as
    // an error; the hang-up flag says it at once.
    if (!m_serial || m_lost)
        return;
    pollfd p{int(m_serial->handle()), POLLIN, 0};
    if (::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)))
        markLost(QStringLiteral("the port has gone (adapter unplugged?)"));
}

void ModbusLink::markLost(const QString &why)
{
    if (m_lost)
        return;
    m_lost = true;
    m_lostText = why;
}

template<typename Done> bool ModbusLink::waitFor(qint64 deadlineNs, Done done)
{
    while (!done()) {
        if (m_lost)
            return false;
        const qint64 left = deadlineNs - nowNs();
        if (left <= 0)
            return false;
        m_wake.start(int(std::min<qint64>((left + 999'999) / 1'000'000, 60'000)));
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (m_io)
            m_in += m_io->readAll();
        checkHangUp();
    }
    return true;
}

void ModbusLink::tell(ModbusFrameEvent::Kind kind, quint8 unit, const QByteArray &bytes) const
{
    if (watched())
        ModbusTransport::tell({kind, unit, bytes, nowNs(), m_tcp != nullptr});
}

void ModbusLink::send(const QByteArray &frame, quint8 unit)
{
    qsizetype written = 0;
    if (m_serial) {
        // Straight to the port: the driver takes a request's few bytes at
        // once, where the port object's buffer would wake the event loop
        // twice for each. What it does not take (or a port gone) goes the
        // port object's way, which reports the failure.
        const int fd = int(m_serial->handle());
        while (written < frame.size()) {
            const ssize_t n =
                ::write(fd, frame.constData() + written, std::size_t(frame.size() - written));
            if (n > 0)
                written += n;
            else if (n == 0 || errno != EINTR)
                break;
        }
    }
    if (written < frame.size()) {
        m_io->write(frame.constData() + written, frame.size() - written);
        if (m_serial)
            m_serial->flush();
        else
            m_tcp->flush();
    }
    tell(ModbusFrameEvent::Kind::Request, unit, frame);
}

bool ModbusLink::waitOutLate(quint8 unit)
{
    // Not even a retry of the same request goes before: a unit that takes
    // requests in turn would answer it later still, after the late answer.
    const qint64 untilNs = std::exchange(m_late[unit], 0);
    if (untilNs <= nowNs())
        return false;
    pauseUntil(untilNs);
    QCoreApplication::processEvents();
    m_in = m_io ? m_io->readAll() : QByteArray();
    if (m_in.isEmpty())
        return false;
    // The end of a late answer may still be coming: wait for the line to go quiet.
    const qint64 quiet = std::max(F::silenceNs(m_baud), MinQuietNs);
    qsizetype seen = m_in.size();
    qint64 lastByteNs = nowNs();
    while (m_in.size() < 16 * F::MaxRtuFrame &&
           waitFor(lastByteNs + quiet, [&] { return m_in.size() > seen; })) {
        seen = m_in.size();
        lastByteNs = nowNs();
    }
    m_lineFreeNs = lastByteNs + F::silenceNs(m_baud);
    return discardInput(unit);
}

bool ModbusLink::discardInput(quint8 unit)
{
    if (m_io)
        m_in += m_io->readAll();
    // What the driver holds that the port object has not taken yet.
    int pending = 0;
    if (m_serial && ::ioctl(int(m_serial->handle()), FIONREAD, &pending) == 0 && pending > 0) {
        if (m_serial->waitForReadyRead(0))
            m_in += m_serial->readAll();
        m_serial->clear(QSerialPort::Input);
    }
    // Told as the unit that sent it where its address byte says so.
    const bool fromUnit = !m_in.isEmpty() && quint8(m_in[0]) == unit;
    if (!m_in.isEmpty())
        tell(ModbusFrameEvent::Kind::Late, quint8(m_in[0]), m_in);
    m_in.clear();
    return fromUnit;
}

ModbusTransport::Exchange ModbusLink::exchange(quint8 unit, const QByteArray &pdu, int timeoutMs)
{
    if (m_lost || !m_io)
        return {Exchange::Status::Lost, {}};
    return m_serial ? exchangeRtu(unit, pdu, timeoutMs) : exchangeTcp(unit, pdu, timeoutMs);
}

ModbusTransport::Exchange ModbusLink::exchangeRtu(quint8 unit, const QByteArray &pdu, int timeoutMs)
{
    using Status = Exchange::Status;
    const qint64 character = F::characterNs(m_baud);
    const qint64 silence = F::silenceNs(m_baud);
    const qint64 quiet = std::max(silence, MinQuietNs);

    m_in.clear(); // the last exchange's, taken
    bool late = waitOutLate(unit);
    if (m_lost)
        return {Status::Lost, {}, late};
    // A unit takes a frame only after the line was silent.
    const qint64 wait = m_lineFreeNs - nowNs();
    if (wait > 0)
        std::this_thread::sleep_for(std::chrono::nanoseconds(wait));
    late = discardInput(unit) || late;
    const QByteArray frame = F::rtuFrame(unit, pdu);
    send(frame, unit);
    const qint64 sentNs = nowNs();
    const qint64 timeoutNs = qint64(timeoutMs) * 1'000'000;
    const qint64 firstByteDeadline = sentNs + frame.size() * character + timeoutNs;
    // A try that gets no good answer may still be answered: at the latest a
    // whole wait after its own ended, then for the answer's characters.
    const auto watchLate = [&] {
        m_late[unit] =
            firstByteDeadline + timeoutNs + F::rtuAnswerLengthFor(pdu) * character + silence;
    };

    qint64 lastByteNs = 0;
    qsizetype seen = 0;
    int expected = 0;
    const auto whole = [&] {
        if (m_in.size() > seen) {
            seen = m_in.size();
            lastByteNs = nowNs();
        }
        expected = F::rtuAnswerLength(m_in);
        return expected > 0 && m_in.size() >= expected;
    };
    // The answer asked for cannot be in before the request is out, the unit
    // has seen the silence that ends it and the answer's own characters have
    // come: no reason to wake before then (a shorter answer waits a little),
    // nor to wait past the time the answer must have started. Half a
    // character more lets a unit that answers a moment late be read in the
    // same wake, rather than in one more for its last byte.
    pauseUntil(std::min(sentNs + (frame.size() + F::rtuAnswerLengthFor(pdu)) * character + silence +
                            character / 2,
                        firstByteDeadline));
    QCoreApplication::processEvents();
    m_in += m_io->readAll();
    waitFor(firstByteDeadline, [&] { return whole() || !m_in.isEmpty(); });
    if (m_in.isEmpty()) {
        m_lineFreeNs = nowNs() + silence;
        watchLate();
        tell(ModbusFrameEvent::Kind::Timeout, unit, {});
        return {m_lost ? Status::Lost : Status::NoAnswer, {}, late};
    }
    // Bytes are coming: the frame ends when its length is in, or when the
    // line goes quiet, whichever first.
    while (!whole() && !m_lost && m_in.size() <= F::MaxRtuFrame) {
        // The rest of the frame (or of the shortest answer, while its length
        // is not in yet) cannot come faster than its characters: sleep through
        // all but the last rather than wake at each one.
        const qint64 missing = (expected > 0 ? expected : MinAnswer) - m_in.size();
        if (missing > 1) {
            pauseUntil(nowNs() + (missing - 1) * character);
            // What came meanwhile counts before the line is judged quiet: a
            // long answer outlasts the pause's start by far more than that.
            QCoreApplication::processEvents();
            m_in += m_io->readAll();
            if (whole())
                break;
        }
        if (waitFor(std::max(lastByteNs + quiet, nowNs()), [&] { return m_in.size() > seen; }))
            continue;
        if (nowNs() >= lastByteNs + quiet)
            break;
    }
    if (m_lost)
        return {Status::Lost, {}, late};
    const QByteArray answer = expected > 0 ? m_in.left(expected) : m_in;
    const bool good = expected > 0 && m_in.size() == expected && F::rtuCrcGood(answer) &&
                      quint8(answer[0]) == unit;
    if (!good) {
        // What is still coming of it must not run into the next request.
        while (m_in.size() < 16 * F::MaxRtuFrame &&
               waitFor(lastByteNs + quiet, [&] { return m_in.size() > seen; })) {
            seen = m_in.size();
            lastByteNs = nowNs();
        }
        tell(ModbusFrameEvent::Kind::BadFrame, unit, m_in);
        m_lineFreeNs = nowNs() + silence;
        // A damaged answer of this unit was its answer; anything else may
        // have been another's, with this one's still to come.
        if (quint8(m_in[0]) != unit || expected <= 0 || m_in.size() != expected)
            watchLate();
        return {m_lost ? Status::Lost : Status::BadFrame, {}, late};
    }
    tell(ModbusFrameEvent::Kind::Answer, unit, answer);
    m_lineFreeNs = lastByteNs + silence;
    return {Status::Answer, answer.mid(1, answer.size() - 3), late};
}

ModbusTransport::Exchange ModbusLink::exchangeTcp(quint8 unit, const QByteArray &pdu, int timeoutMs)
{
    using Status = Exchange::Status;
    m_in += m_io->readAll();
    const quint16 transaction = ++m_transaction;
    send(F::tcpFrame(transaction, unit, pdu), unit);
    const qint64 deadline = nowNs() + qint64(timeoutMs) * 1'000'000;

    QByteArray answer;
    const auto found = [&] {
        for (;;) {
            const int length = F::tcpFrameLength(m_in);
            if (length < 0) {
                tell(ModbusFrameEvent::Kind::BadFrame, unit, m_in);
                m_in.clear(); // a stream out of step: start over with the next bytes
                return false;
            }
            if (length == 0 || m_in.size() < length)
                return false;
            const QByteArray frame = m_in.left(length);
            m_in.remove(0, length);
            // Answers to earlier tries that came late are dropped by their number.
            if (F::word(frame, 0) == transaction && quint8(frame[6]) == unit) {
                answer = frame;
                return true;
            }
            tell(ModbusFrameEvent::Kind::Late, quint8(frame[6]), frame);
        }
    };
    if (!waitFor(deadline, found)) {
        tell(ModbusFrameEvent::Kind::Timeout, unit, {});
        return {m_lost ? Status::Lost : Status::NoAnswer, {}};
    }
    tell(ModbusFrameEvent::Kind::Answer, unit, answer);
    const QByteArray answerPdu = answer.mid(F::MbapHeader);
    // The gateway speaks for a unit that did not answer it.
    if (answerPdu.size() == 2 && (quint8(answerPdu[0]) & F::Function::ExceptionFlag) &&
        (quint8(answerPdu[1]) == F::Exception::GatewayPath ||
         quint8(answerPdu[1]) == F::Exception::GatewayNoAnswer))
        return {Status::NoAnswer, {}};
    return {Status::Answer, answerPdu};
}
