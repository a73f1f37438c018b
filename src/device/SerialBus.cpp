#include "device/SerialBus.h"

#include "core/Dialogs.h"
#include "core/IniFile.h"
#include "core/LineModule.h"
#include "core/ProgramModule.h"
#include "core/Seams.h"
#include "core/StablePorts.h"
#include "core/ZelkGlobals.h"
#include "core/ZelkRoutines.h"

#include <QFileInfo>
#include <algorithm>
#include <array>

namespace F = ModbusFrame;
namespace R = ZelkRegisters;
using Table = ZelkRegisters::Table;

namespace {

const QString ReplyOk = QStringLiteral("CMD_OK");
const QString ReplyPortClosed = QStringLiteral("ERR_PORT_CLOSED");
const QString ReplyRange = QStringLiteral("ERR_RANGE");
const QString ReplyNoModule = QStringLiteral("ERR_NO_MODULE");
const QString ReplyIdInUse = QStringLiteral("ERR_ID_IN_USE");

// The device object whose line was opened last: whose silent units show.
SerialBus *g_lineInUse = nullptr;
SerialBus::WriteSettlement g_lastWrite;
SerialBus::FrameCounts g_frameCounts;

// No good answer came after the tries, or the port went away: the request
// may have reached the unit.
bool outcomeOpen(const QString &reply)
{
    return reply.startsWith(QLatin1String("ERR_TIMEOUT")) ||
           reply.startsWith(QLatin1String("ERR_PORT_LOST"));
}

bool moduleInRange(int module)
{
    return module >= 1 && module <= 5;
}

quint16 moduleAddress(int module, quint16 offset)
{
    return R::moduleRegister(module, offset);
}

// The line when its module cannot be opened: opening it says why, where a
// port that cannot open says so.
class UnavailableLine final : public ModbusTransport
{
public:
    explicit UnavailableLine(QString why)
        : m_why(std::move(why))
    {}
    QString open() override { return m_why; }
    void close() override {}
    Exchange exchange(quint8, const QByteArray &, int) override
    {
        return {Exchange::Status::Lost, {}};
    }
    QString lostText() const override { return m_why; }

private:
    QString m_why;
};

} // namespace

SerialBus::SerialBus(TransportFactory factory)
    : m_factory(std::move(factory))
{
    if (!m_factory) {
        m_factory = [](const QString &target, int baud, int connectTimeoutMs) {
            return lineTransport(ProgramModule::line(), target, baud, connectTimeoutMs);
        };
    }
}

std::unique_ptr<ModbusTransport> SerialBus::lineTransport(ProgramModule &module,
                                                          const QString &target, int baud,
                                                          int connectTimeoutMs)
{
    auto *make = module.entry<decltype(zelkLineTransport)>("zelkLineTransport");
    if (!make)
        return std::make_unique<UnavailableLine>(module.why());
    std::unique_ptr<ModbusTransport> line(make(target, baud, connectTimeoutMs));
    line->shareProcessWatch(processFrameTap(), frameEventsMade());
    return line;
}

SerialBus::~SerialBus()
{
    if (g_lineInUse == this)
        g_lineInUse = nullptr;
}

QString SerialBus::devicePath(const QString &port, const QString &guiIniPath)
{
    return StablePorts::devicePath(port, guiIniPath);
}

bool SerialBus::knownBaudRate(int baud)
{
    return std::find(std::begin(GuiIniKeys::BaudRates), std::end(GuiIniKeys::BaudRates), baud) !=
           std::end(GuiIniKeys::BaudRates);
}

int SerialBus::baudRateSetting()
{
    const QString &path = ZelkGlobals::GuiIniPath;
    const QString text =
        path.isEmpty()
            ? QString()
            : IniFile::readString(path, GuiIniKeys::ParamsSection, GuiIniKeys::BaudRate).trimmed();
    bool ok = false;
    const int baud = text.toInt(&ok);
    if (text.isEmpty() || (ok && knownBaudRate(baud)))
        return text.isEmpty() ? DefaultBaud : baud;
    if (text != m_reportedBaud) {
        m_reportedBaud = text;
        LogError(QStringLiteral("BaudRate=%1 in %2 is not a line rate; the serial line runs at %3")
                     .arg(text, path)
                     .arg(DefaultBaud));
    }
    return DefaultBaud;
}

int SerialBus::silentTimeoutSetting()
{
    const QString &path = ZelkGlobals::ZelkIniPath;
    bool ok = false;
    const int ms = path.isEmpty() ? 0
                                  : IniFile::readString(path, ZelkIniKeys::SerialSection,
                                                        ZelkIniKeys::SilentTimeout)
                                        .trimmed()
                                        .toInt(&ok);
    if (!ok || ms < ZelkIniKeys::MinReadTimeout || ms > ZelkIniKeys::MaxReadTimeout)
        return ZelkIniKeys::DefaultSilentTimeout;
    return ms;
}

void SerialBus::setFrameTap(ModbusFrameTap tap)
{
    m_tap = std::move(tap);
    if (m_transport)
        m_transport->setTap(m_tap);
}

QString SerialBus::portName() const
{
    return m_path == m_port ? m_port : m_port + QStringLiteral(" (") + m_path + ')';
}

QString SerialBus::where(int unit) const
{
    return QStringLiteral("unit %1 on %2").arg(unit).arg(portName());
}

// ---- the line ------------------------------------------------------------

QString SerialBus::transact(const Request &request, F::Answer &answer, bool probe)
{
    if (m_busy)
        return QStringLiteral("ERR_BUSY: the line is waiting for another answer");
    m_busy = true;
    const bool silent = unitSilent(request.unit);
    const bool once = silent || probe;
    const int tries = once ? 1 : m_retries + 1;
    const int timeoutMs = once ? silentWaitMs(request.pdu) : m_timeoutMs;
    int damaged = 0;
    QString reply;
    for (int attempt = 1; attempt <= tries; ++attempt) {
        m_transport->setAttempt(attempt);
        const ModbusTransport::Exchange e =
            m_transport->exchange(quint8(request.unit), request.pdu, timeoutMs);
        quint8 &misses = m_misses[std::size_t(request.unit)];
        if (e.lateAnswer) {
            misses = 0; // it answers, late: not silent
            ++g_frameCounts.late;
        }
        if (e.status == ModbusTransport::Exchange::Status::NoAnswer)
            ++g_frameCounts.timedOut;
        else if (e.status == ModbusTransport::Exchange::Status::BadFrame)
            ++g_frameCounts.damaged;
        if (e.status == ModbusTransport::Exchange::Status::NoAnswer && !probe)
            misses = quint8(std::min(misses + 1, 255));
        else if (e.status != ModbusTransport::Exchange::Status::Lost)
            misses = 0; // something came back: the unit is there
        if (e.status == ModbusTransport::Exchange::Status::Lost) {
            reply = QStringLiteral("ERR_PORT_LOST: %1: %2")
                        .arg(where(request.unit), m_transport->lostText());
            break;
        }
        if (e.status == ModbusTransport::Exchange::Status::Answer) {
            answer = F::parseAnswer(request.pdu, e.pdu);
            ++(answer.kind == F::Answer::Kind::Invalid ? g_frameCounts.damaged
                                                       : g_frameCounts.good);
            if (answer.kind == F::Answer::Kind::Exception) {
                m_answered |= quint64(1) << request.unit;
                reply = exceptionReply(answer.exception, request);
                break;
            }
            if (answer.kind != F::Answer::Kind::Invalid) {
                m_answered |= quint64(1) << request.unit;
                reply = ReplyOk;
                break;
            }
        }
        if (e.status != ModbusTransport::Exchange::Status::NoAnswer)
            ++damaged;
    }
    if (reply.isEmpty()) {
        reply = QStringLiteral("ERR_TIMEOUT: no valid answer from %1 in %2 tries")
                    .arg(where(request.unit))
                    .arg(tries);
        if (damaged > 0)
            reply += QStringLiteral(" (%1 damaged)").arg(damaged);
        if (probe)
            reply += QStringLiteral("; asked once with the short wait, as a look for units asks");
        else if (silent)
            reply += QStringLiteral("; silent, asked once until it answers");
    }
    m_busy = false;
    return reply;
}

bool SerialBus::unitSilent(int unit) const
{
    return unit >= 1 && unit <= 32 && m_misses[std::size_t(unit)] >= SilentAfterMisses;
}

quint64 SerialBus::silentUnitsNow()
{
    quint64 units = 0;
    for (int unit = 1; g_lineInUse && unit <= 32; ++unit)
        if (g_lineInUse->unitSilent(unit))
            units |= quint64(1) << unit;
    return units;
}

int SerialBus::silentWaitMs(const QByteArray &requestPdu) const
{
    const qint64 character = F::characterNs(m_baud);
    const qint64 silence = F::silenceNs(m_baud);
    // The unit's whole turn on the line fits in SilentTimeout: the request,
    // the silences before it and after the wait, and the few milliseconds
    // this side may take to wake once the wait is over come out of it.
    constexpr qint64 WakeNs = 5'000'000;
    const qint64 requestNs = 2 * silence + (requestPdu.size() + 3) * character + WakeNs;
    const int turnMs = int((qint64(m_silentTimeoutMs) * 1'000'000 - requestNs) / 1'000'000);
    const qint64 answerNs = F::rtuAnswerLengthFor(requestPdu) * character + silence;
    return std::max(turnMs, int((answerNs + 999'999) / 1'000'000) + 20);
}

QString SerialBus::exceptionReply(quint8 code, const Request &r) const
{
    switch (code) {
    case F::Exception::IllegalFunction:
        return QStringLiteral("ERR_ILLEGAL_FUNCTION: %1 refused function %2")
            .arg(where(r.unit))
            .arg(quint8(r.pdu[0]));
    case F::Exception::IllegalAddress:
        if (r.module > 0)
            return ReplyNoModule;
        return QStringLiteral("ERR_ILLEGAL_ADDRESS: %1 has no register %2")
            .arg(where(r.unit))
            .arg(F::word(r.pdu, 1));
    case F::Exception::IllegalValue:
        return r.unitIdWrite ? ReplyIdInUse : ReplyRange;
    case F::Exception::DeviceFailure:
        return QStringLiteral("ERR_DEVICE_FAILURE: %1 could not do it").arg(where(r.unit));
    case F::Exception::Acknowledge:
    case F::Exception::Busy:
        return QStringLiteral("ERR_BUSY: %1 is busy").arg(where(r.unit));
    default:
        return QStringLiteral("ERR_EXCEPTION_%1: %2")
            .arg(code, 2, 16, QLatin1Char('0'))
            .arg(where(r.unit));
    }
}

QString SerialBus::refusal(const UnitArg &unit, int module) const
{
    if (!m_transport)
        return ReplyPortClosed;
    const int id = unit.number();
    if (id < 1 || id > 32 || module < 0 || module > 5)
        return ReplyRange; // refused before anything goes on the line
    return {};
}

QString SerialBus::badValue(const UnitArg &unit, Table table, quint16 at, quint16 value) const
{
    return QStringLiteral("ERR_BAD_VALUE: %1 answered %2 for %3 register %4, outside its range")
        .arg(where(unit.number()))
        .arg(value)
        .arg(table == Table::Holding ? QStringLiteral("holding") : QStringLiteral("input"))
        .arg(at);
}

template<typename Decode>
QString SerialBus::read(const UnitArg &unit, int module, Table table, quint16 at, int count,
                        Decode decode)
{
    QString reply = refusal(unit, module);
    if (!reply.isEmpty())
        return reply;
    F::Answer answer;
    reply = fromBlocks(unit.number(), module, table, at, count, answer.registers);
    if (reply.isEmpty()) {
        const quint8 function =
            table == Table::Holding ? F::Function::ReadHolding : F::Function::ReadInput;
        reply =
            transact({unit.number(), module, F::readRequest(function, at, quint16(count))}, answer);
    }
    if (reply != ReplyOk)
        return reply;
    // The registers and the first one outside its range, if any.
    int bad = -1;
    decode(answer.registers, bad);
    return bad < 0 ? ReplyOk : badValue(unit, table, quint16(at + bad), answer.registers[bad]);
}

QString SerialBus::fromBlocks(int unit, int module, Table table, quint16 at, int count,
                              Registers &registers)
{
    const auto run = UnitBlocks::runOf(table, at, count);
    if (!run || !m_blocks.enabled() || m_blocks.refused(unit, *run))
        return {};
    if (m_blocks.stale(unit, *run)) {
        if (!UnitBlocks::fetchesBlock(table, at, count))
            return {};
        Registers all;
        for (const UnitBlocks::Request &r : UnitBlocks::requestsFor(*run)) {
            const quint8 function =
                r.table == Table::Holding ? F::Function::ReadHolding : F::Function::ReadInput;
            F::Answer answer;
            const QString reply =
                transact({unit, 0, F::readRequest(function, r.address, r.count)}, answer);
            if (reply == ReplyOk) {
                all.insert(all.end(), answer.registers.begin(), answer.registers.end());
                continue;
            }
            if (answer.kind != F::Answer::Kind::Exception)
                return reply; // no answer, or the port gone: the call's own read fares no better
            // A unit that takes no runs this long is read value by value from now on;
            // another refusal only this time.
            if (answer.exception == F::Exception::IllegalAddress ||
                answer.exception == F::Exception::IllegalValue)
                m_blocks.refuse(unit, *run);
            return {};
        }
        m_blocks.keep(unit, *run, std::move(all));
    }
    const auto slice = m_blocks.slice(unit, table, at, count, module);
    if (!slice)
        return {};
    if (slice->noModule)
        return ReplyNoModule;
    registers = slice->registers;
    return ReplyOk;
}

template<typename Decode>
QString SerialBus::readModule(const UnitArg &unit, qint16 module, quint16 offset, int count,
                              Decode decode)
{
    if (m_transport && !moduleInRange(module))
        return ReplyRange;
    return read(unit, module, Table::Holding, moduleAddress(module, offset), count, decode);
}

QString SerialBus::write(const UnitArg &unit, int module, quint16 at, std::vector<quint16> values,
                         bool unitIdWrite)
{
    QString reply = refusal(unit, module);
    if (!reply.isEmpty())
        return reply;
    // What is kept of the unit may no longer be what it holds.
    m_blocks.drop(unit.number());
    const QByteArray pdu =
        values.size() == 1 ? F::writeSingle(at, values[0]) : F::writeMultiple(at, values);
    F::Answer answer;
    const Request request{unit.number(), module, pdu, unitIdWrite};
    reply = transact(request, answer);
    g_lastWrite = {WriteSettlement::Outcome::Answered, 0, g_lastWrite.number + 1};
    if (!outcomeOpen(reply))
        return reply;
    if (unitIdWrite)
        return settleUnitId(unit.number(), values[0], reply);
    return settleWrite(request, at, values, reply);
}

void SerialBus::readAfresh(int unit)
{
    if (g_lineInUse)
        g_lineInUse->m_blocks.drop(unit);
}

SerialBus::FrameCounts SerialBus::frameCounts()
{
    return g_frameCounts;
}

SerialBus::WriteSettlement SerialBus::lastWrite()
{
    return g_lastWrite;
}

QString SerialBus::settled(WriteSettlement::Outcome outcome, const QString &reply,
                           const QString &why, int answersAt)
{
    g_lastWrite.outcome = outcome;
    g_lastWrite.answersAt = answersAt;
    if (outcome == WriteSettlement::Outcome::Confirmed)
        return ReplyOk;
    if (outcome == WriteSettlement::Outcome::NotWritten)
        return reply + QStringLiteral("; not written: ") + why;
    return QStringLiteral("ERR_OUTCOME_UNKNOWN: ") + reply + QStringLiteral("; ") + why;
}

QString SerialBus::settleWrite(const Request &request, quint16 at,
                               const std::vector<quint16> &values, const QString &reply)
{
    using Outcome = WriteSettlement::Outcome;
    F::Answer back;
    const QString read =
        transact({request.unit, request.module,
                  F::readRequest(F::Function::ReadHolding, at, quint16(values.size()))},
                 back);
    if (read == ReplyOk && back.registers == values)
        return settled(Outcome::Confirmed, reply, {});
    if (read == ReplyOk) {
        // A module's output reads as its state: off while its turn-on delay
        // runs or its current limit holds it, whatever the switch says.
        if (values.size() == 1 && values[0] == 1 && at == R::moduleOutput(request.module))
            return settled(Outcome::Unknown, reply,
                           QStringLiteral("reading it back, the output is still off"));
        return settled(Outcome::NotWritten, reply,
                       QStringLiteral("reading it back, the unit holds %1")
                           .arg(back.registers.empty() ? 0 : back.registers[0]));
    }
    // No such register there: nothing could have been written to it.
    if (back.kind == F::Answer::Kind::Exception && back.exception == F::Exception::IllegalAddress)
        return settled(Outcome::NotWritten, reply,
                       QStringLiteral("reading it back answered %1").arg(read));
    return settled(Outcome::Unknown, reply,
                   QStringLiteral("reading it back failed too (%1): the unit may or may not "
                                  "hold the value")
                       .arg(read));
}

QString SerialBus::settleUnitId(int oldId, int newId, const QString &reply)
{
    using Outcome = WriteSettlement::Outcome;
    // The old ID first: a unit still there did not take the change, whoever
    // may answer at the new one.
    const auto answersAs = [this](int id) {
        F::Answer answer;
        const QString read =
            transact({id, 0, F::readRequest(F::Function::ReadHolding, R::UnitId, 1)}, answer);
        return read == ReplyOk && answer.registers.size() == 1 && answer.registers[0] == id;
    };
    if (answersAs(oldId))
        return settled(Outcome::NotWritten, reply,
                       QStringLiteral("the unit still answers at unit ID %1").arg(oldId), oldId);
    if (answersAs(newId))
        return settled(Outcome::Confirmed, reply, {}, newId);
    return settled(
        Outcome::Unknown, reply,
        QStringLiteral("the unit answers at neither unit ID %1 nor %2").arg(oldId).arg(newId));
}

QString SerialBus::writeModule(const UnitArg &unit, qint16 module, quint16 offset, qint32 value,
                               qint32 min, qint32 max)
{
    if (m_transport && !moduleInRange(module))
        return ReplyRange;
    // A value the register cannot carry never goes on the line.
    if (m_transport && (value < min || value > max))
        return ReplyRange;
    return write(unit, module, moduleAddress(module, offset), {quint16(value)});
}

QString SerialBus::readNumber(const UnitArg &unit, quint16 at, quint16 min, quint16 max,
                              qint16 &value)
{
    return read(unit, 0, Table::Holding, at, 1, [&](const Registers &r, int &bad) {
        if (const auto v = R::number(r[0], min, max))
            value = qint16(*v);
        else
            bad = 0;
    });
}

template<typename Value>
QString SerialBus::readModuleNumber(const UnitArg &unit, qint16 module, quint16 offset, quint16 min,
                                    quint16 max, Value &value)
{
    return readModule(unit, module, offset, 1, [&](const Registers &r, int &bad) {
        if (const auto v = R::number(r[0], min, max))
            value = Value(*v);
        else
            bad = 0;
    });
}

// ---- port and identity ---------------------------------------------------

void SerialBus::SetINIParams(qint16 &readTimeout, qint16 &retryCount)
{
    // A value outside these would let a silent unit hold a window for minutes.
    if (readTimeout >= ZelkIniKeys::MinReadTimeout && readTimeout <= ZelkIniKeys::MaxReadTimeout &&
        retryCount >= 0 && retryCount <= ZelkIniKeys::MaxRetryCount) {
        m_timeoutMs = readTimeout;
        m_retries = retryCount;
    }
    readTimeout = qint16(m_timeoutMs);
    retryCount = qint16(m_retries);
}

QString SerialBus::OpenPort(const QString &port)
{
    if (m_transport)
        return QStringLiteral("ERR_PORT_UNAVAILABLE: %1 is already open").arg(m_port);
    if (port.trimmed().isEmpty())
        return QStringLiteral("ERR_PORT_UNAVAILABLE: no port named");
    const QString lastPath = m_path;
    m_port = port.trimmed();
    m_path = followAdapter(devicePath(m_port, ZelkGlobals::GuiIniPath));
    m_baud = baudRateSetting();
    // Blocks outlive a session on the same line (a poll opens the port more
    // than once), not a change of line.
    if (m_path != lastPath)
        m_blocks.clear();
    if (m_path != lastPath) {
        m_misses.fill(0);
        m_answered = 0;
    }
    m_silentTimeoutMs = silentTimeoutSetting();
    g_lineInUse = this;
    auto transport = m_factory(m_path, m_baud, m_timeoutMs * (m_retries + 1));
    transport->setTap(m_tap);
    const QString failure = transport->open();
    if (!failure.isEmpty() && StablePorts::isStablePath(m_path) && !QFileInfo::exists(m_path))
        return QStringLiteral("ERR_PORT_UNAVAILABLE: cannot open %1: %2; its adapter is not "
                              "plugged in")
            .arg(portName(), failure);
    if (!failure.isEmpty())
        return (ModbusTransport::isTcpTarget(m_path)
                    ? QStringLiteral("ERR_PORT_UNAVAILABLE: cannot reach the gateway %1: %2")
                    : QStringLiteral("ERR_PORT_UNAVAILABLE: cannot open %1: %2"))
            .arg(portName(), failure);
    m_transport = std::move(transport);
    return ReplyOk;
}

QString SerialBus::followAdapter(const QString &path)
{
    const QString &gui = ZelkGlobals::GuiIniPath;
    if (gui.isEmpty() || ModbusTransport::isTcpTarget(path))
        return path;
    const QString adapter =
        IniFile::readString(gui, GuiIniKeys::ParamsSection, GuiIniKeys::PortAdapter).trimmed();
    if (adapter.isEmpty() ||
        IniFile::readString(gui, GuiIniKeys::ParamsSection, GuiIniKeys::Port).trimmed() != m_port)
        return path;
    const StablePorts::Choice choice = StablePorts::resolve(m_port, path, adapter);
    if (choice.found == StablePorts::Found::InPlace)
        m_adapterTold.clear(); // a later move is news again
    if (choice.found != StablePorts::Found::Moved)
        return choice.path;
    const QString told = m_port + '\n' + adapter + '\n' + choice.path;
    if (told != m_adapterTold) {
        m_adapterTold = told;
        LogError(choice.notice);
        Seams::dialogs().Notice(choice.notice, MsgIcon::Information, ZelkGlobals::AppTitle);
    }
    return choice.path;
}

QString SerialBus::ClosePort()
{
    if (m_transport)
        m_transport->close();
    m_transport.reset();
    return ReplyOk;
}

QString SerialBus::WhoAmI()
{
    return QStringLiteral("ZelkX.Zelk.1 serial line (Modbus RTU, Modbus TCP through a gateway), "
                          "version 1.0");
}

// ---- unit addressing -----------------------------------------------------

QString SerialBus::GetUnitID(qint16 &id, qint16 &result)
{
    return readNumber(UnitArg(id), R::UnitId, 1, 32, result);
}

QString SerialBus::ProbeUnit(qint16 unit)
{
    QString reply = refusal(UnitArg(unit), 0);
    if (!reply.isEmpty() || (m_answered >> unit) & 1)
        return reply.isEmpty() ? ReplyOk : reply;
    F::Answer answer;
    return transact({unit, 0, F::readRequest(F::Function::ReadHolding, R::UnitId, 1)}, answer,
                    true);
}

QString SerialBus::SetNewUnitID(qint16 &oldId, qint16 &newId)
{
    if (m_transport && (newId < 1 || newId > 32))
        return ReplyRange;
    m_blocks.drop(newId);
    const QString reply = write(UnitArg(oldId), 0, R::UnitId, {quint16(newId)}, true);
    // The old ID is a question again for the next look for units.
    if (IsCmdOk(reply) && oldId >= 1 && oldId <= 32)
        m_answered &= ~(quint64(1) << oldId);
    return reply;
}

// ---- unit status bytes ---------------------------------------------------

namespace {
// One eight-flag array from a register, or the register marked bad.
void flagsInto(StatusArray &array, const std::vector<quint16> &r, int index, int &bad)
{
    if (const auto a = R::flagArray(r[std::size_t(index)]))
        array = *a;
    else if (bad < 0)
        bad = index;
}
} // namespace

QString SerialBus::GetPresentModules(const UnitArg &unit, StatusArray &modules)
{
    return read(unit, 0, Table::Input, R::PresentModules, 1,
                [&](const Registers &r, int &bad) { flagsInto(modules, r, 0, bad); });
}

QString SerialBus::GetModuleGoodStatusByte(const UnitArg &unit, StatusArray &status)
{
    return read(unit, 0, Table::Input, R::ModuleGood, 1,
                [&](const Registers &r, int &bad) { flagsInto(status, r, 0, bad); });
}

QString SerialBus::GetGlobalStatusByte(const UnitArg &unit, StatusArray &status)
{
    return read(unit, 0, Table::Input, R::GlobalStatus, 1,
                [&](const Registers &r, int &bad) { flagsInto(status, r, 0, bad); });
}

QString SerialBus::GetOutputState(const UnitArg &unit, StatusArray &status)
{
    return read(unit, 0, Table::Input, R::OutputState, 1,
                [&](const Registers &r, int &bad) { flagsInto(status, r, 0, bad); });
}

QString SerialBus::GetMasterSlaveMode(const UnitArg &unit, StatusArray &first, StatusArray &second)
{
    return read(unit, 0, Table::Input, R::MasterSlave, 2, [&](const Registers &r, int &bad) {
        StatusArray a, b;
        flagsInto(a, r, 0, bad);
        flagsInto(b, r, 1, bad);
        if (bad < 0)
            first = a, second = b;
    });
}

// ---- unit identity and options -------------------------------------------

namespace {
void textInto(QString &out, const std::vector<quint16> &r, int &bad)
{
    if (const auto t = R::text(r))
        out = *t;
    else
        bad = 0;
}
// Two numbers 0..32767 from two registers.
void versionInto(qint16 &major, qint16 &minor, const std::vector<quint16> &r, int &bad)
{
    const auto a = R::number(r[0], 0, R::MaxRaw);
    const auto b = R::number(r[1], 0, R::MaxRaw);
    if (a && b)
        major = qint16(*a), minor = qint16(*b);
    else
        bad = a ? 1 : 0;
}
} // namespace

QString SerialBus::GetUnitSerialN(const UnitArg &unit, QString &serial)
{
    return read(unit, 0, Table::Holding, R::UnitSerial, R::SerialRegisters,
                [&](const Registers &r, int &bad) { textInto(serial, r, bad); });
}

QString SerialBus::GetUnitVersion(const UnitArg &unit, qint16 &major, qint16 &minor)
{
    return read(unit, 0, Table::Holding, R::UnitVersion, 2,
                [&](const Registers &r, int &bad) { versionInto(major, minor, r, bad); });
}

QString SerialBus::GetOperatingHoursString(const UnitArg &unit, QString &hours)
{
    return read(unit, 0, Table::Input, R::OperatingHours, 2, [&](const Registers &r, int &bad) {
        const quint32 value = quint32(r[0]) << 16 | r[1];
        if (value <= R::MaxHours)
            hours = QString::number(value);
        else
            bad = 0;
    });
}

QString SerialBus::GetFanFailPolarity(const UnitArg &unit, qint16 &value)
{
    return readNumber(unit, R::FanFailPolarity, 0, 1, value);
}

QString SerialBus::SetFanFailPolarity(const UnitArg &unit, qint16 value)
{
    return write(unit, 0, R::FanFailPolarity, {quint16(value)});
}

QString SerialBus::GetGlobalDCGoodPolarity(const UnitArg &unit, qint16 &value)
{
    return readNumber(unit, R::DcGoodPolarity, 0, 1, value);
}

QString SerialBus::SetGlobalDCGoodPolarity(const UnitArg &unit, qint16 value)
{
    return write(unit, 0, R::DcGoodPolarity, {quint16(value)});
}

QString SerialBus::GetOTFailPolarity(const UnitArg &unit, qint16 &value)
{
    return readNumber(unit, R::OtFailPolarity, 0, 1, value);
}

QString SerialBus::SetOTFailPolarity(const UnitArg &unit, qint16 value)
{
    return write(unit, 0, R::OtFailPolarity, {quint16(value)});
}

QString SerialBus::GetDefaultGlobalOutputPolarity(const UnitArg &unit, qint16 &value)
{
    return readNumber(unit, R::DefaultGlobalPolarity, 0, 1, value);
}

QString SerialBus::SetDefaultGlobalOutputPolarity(const UnitArg &unit, qint16 value)
{
    return write(unit, 0, R::DefaultGlobalPolarity, {quint16(value)});
}

QString SerialBus::GetDefaultGlobalOutputState(const UnitArg &unit, qint16 &value)
{
    return readNumber(unit, R::DefaultGlobalState, 0, 1, value);
}

QString SerialBus::SetDefaultGlobalOutputState(const UnitArg &unit, qint16 value)
{
    return write(unit, 0, R::DefaultGlobalState, {quint16(value)});
}

QString SerialBus::GetDefaultGroupState(const UnitArg &unit, qint16 &value)
{
    return readNumber(unit, R::DefaultGroupState, 0, 1, value);
}

QString SerialBus::SetDefaultGroupState(const UnitArg &unit, qint16 value)
{
    return write(unit, 0, R::DefaultGroupState, {quint16(value)});
}

// ---- live unit outputs ---------------------------------------------------

QString SerialBus::GetGlobalOutputState(const UnitArg &unit, qint16 &value)
{
    return read(unit, 0, Table::Input, R::OutputSwitches, 1, [&](const Registers &r, int &bad) {
        if (const auto v = R::globalOutputValue(r[0]))
            value = *v;
        else
            bad = 0;
    });
}

QString SerialBus::SetGlobalOutputState(const UnitArg &unit, qint16 state)
{
    return write(unit, 0, R::GlobalOutput, {quint16(state)});
}

QString SerialBus::GetGroupState(const UnitArg &unit, qint16 &value)
{
    return read(unit, 0, Table::Input, R::OutputSwitches, 1, [&](const Registers &r, int &bad) {
        if (r[0] <= 3)
            value = (r[0] & 2) ? 1 : 0;
        else
            bad = 0;
    });
}

QString SerialBus::SetGroupState(const UnitArg &unit, qint16 state)
{
    return write(unit, 0, R::GroupOutput, {quint16(state)});
}

// ---- module identity -----------------------------------------------------

QString SerialBus::GetModuleType(const UnitArg &unit, qint16 module, qint16 &code)
{
    return readModuleNumber(unit, module, R::Module::Type, 0, R::MaxRaw, code);
}

QString SerialBus::GetModuleSerialN(const UnitArg &unit, qint16 module, QString &serial)
{
    return readModule(unit, module, R::Module::Serial, R::SerialRegisters,
                      [&](const Registers &r, int &bad) { textInto(serial, r, bad); });
}

QString SerialBus::GetModuleVersion(const UnitArg &unit, qint16 module, qint16 &major,
                                    qint16 &minor)
{
    return readModule(unit, module, R::Module::Version, 2,
                      [&](const Registers &r, int &bad) { versionInto(major, minor, r, bad); });
}

// ---- module stored settings ----------------------------------------------

QString SerialBus::GetProgrammingMode(const UnitArg &unit, qint16 module, qint16 &value)
{
    return readModuleNumber(unit, module, R::Module::ProgrammingMode, 0, 1, value);
}

QString SerialBus::SetProgrammingMode(const UnitArg &unit, qint16 module, qint16 value)
{
    return writeModule(unit, module, R::Module::ProgrammingMode, value);
}

QString SerialBus::GetDefaultOutputOnOffPolarity(const UnitArg &unit, qint16 module, qint16 &value)
{
    return readModuleNumber(unit, module, R::Module::OnOffPolarity, 0, 1, value);
}

QString SerialBus::SetDefaultOutputOnOffPolarity(const UnitArg &unit, qint16 module, qint16 value)
{
    return writeModule(unit, module, R::Module::OnOffPolarity, value);
}

QString SerialBus::GetDefaultOutputOnOffState(const UnitArg &unit, qint16 module, qint16 &value)
{
    return readModuleNumber(unit, module, R::Module::StartUpState, 0, 1, value);
}

QString SerialBus::SetDefaultOutputOnOffState(const UnitArg &unit, qint16 module, qint16 value)
{
    return writeModule(unit, module, R::Module::StartUpState, value);
}

QString SerialBus::GetOutputTurnONDelayExUShort(const UnitArg &unit, qint16 module, qint32 &delayMs)
{
    return readModuleNumber(unit, module, R::Module::TurnOnDelay, 0, R::MaxTimeMs, delayMs);
}

QString SerialBus::SetOutputTurnONDelayExUShort(const UnitArg &unit, qint16 module, qint32 delayMs)
{
    return writeModule(unit, module, R::Module::TurnOnDelay, delayMs, 0, R::MaxTimeMs);
}

QString SerialBus::SetOutputTurnONDelay(const UnitArg &unit, qint16 module, qint32 delayMs)
{
    return SetOutputTurnONDelayExUShort(unit, module, delayMs);
}

QString SerialBus::GetDefaultOutputVoltage(const UnitArg &unit, qint16 module, qint16 &raw)
{
    return readModuleNumber(unit, module, R::Module::DefaultVoltage, 0, R::MaxRaw, raw);
}

QString SerialBus::SetDefaultOutputVoltage(const UnitArg &unit, qint16 module, qint16 raw)
{
    return writeModule(unit, module, R::Module::DefaultVoltage, raw);
}

QString SerialBus::GetModuleGoodHighThreshold(const UnitArg &unit, qint16 module, qint16 &raw)
{
    return readModuleNumber(unit, module, R::Module::GoodHigh, 0, R::MaxRaw, raw);
}

QString SerialBus::SetModuleGoodHighThreshold(const UnitArg &unit, qint16 module, qint16 raw)
{
    return writeModule(unit, module, R::Module::GoodHigh, raw);
}

QString SerialBus::GetModuleGoodLowThreshold(const UnitArg &unit, qint16 module, qint16 &raw)
{
    return readModuleNumber(unit, module, R::Module::GoodLow, 0, R::MaxRaw, raw);
}

QString SerialBus::SetModuleGoodLowThreshold(const UnitArg &unit, qint16 module, qint16 raw)
{
    return writeModule(unit, module, R::Module::GoodLow, raw);
}

QString SerialBus::GetCurrentLimitMode(const UnitArg &unit, qint16 module, qint16 &mode,
                                       qint16 &enableReset)
{
    return readModule(unit, module, R::Module::CurrentLimitMode, 2,
                      [&](const Registers &r, int &bad) {
                          const auto m = R::number(r[0], 0, 3);
                          const auto e = R::number(r[1], 0, 1);
                          if (m && e)
                              mode = qint16(*m), enableReset = qint16(*e);
                          else
                              bad = m ? 1 : 0;
                      });
}

QString SerialBus::SetCurrentLimitMode(const UnitArg &unit, qint16 module, qint16 mode,
                                       qint16 enableReset)
{
    if (m_transport && !moduleInRange(module))
        return ReplyRange;
    return write(unit, module, moduleAddress(module, R::Module::CurrentLimitMode),
                 {quint16(mode), quint16(enableReset)});
}

QString SerialBus::GetCurrentLimit(const UnitArg &unit, qint16 module, qint16 &raw)
{
    return readModuleNumber(unit, module, R::Module::CurrentLimit, 0, R::MaxRaw, raw);
}

QString SerialBus::SetCurrentLimit(const UnitArg &unit, qint16 module, qint16 raw)
{
    return writeModule(unit, module, R::Module::CurrentLimit, raw);
}

QString SerialBus::GetCurrentLimitONTimeExUShort(const UnitArg &unit, qint16 module, qint32 &timeMs)
{
    return readModuleNumber(unit, module, R::Module::LimitOnTime, 0, R::MaxTimeMs, timeMs);
}

QString SerialBus::SetCurrentLimitONTimeExUShort(const UnitArg &unit, qint16 module, qint32 timeMs)
{
    return writeModule(unit, module, R::Module::LimitOnTime, timeMs, 0, R::MaxTimeMs);
}

QString SerialBus::GetCurrentLimitOFFTimeExUShort(const UnitArg &unit, qint16 module,
                                                  qint32 &timeMs)
{
    return readModuleNumber(unit, module, R::Module::LimitOffTime, 0, R::MaxTimeMs, timeMs);
}

QString SerialBus::SetCurrentLimitOFFTimeExUShort(const UnitArg &unit, qint16 module, qint32 timeMs)
{
    return writeModule(unit, module, R::Module::LimitOffTime, timeMs, 0, R::MaxTimeMs);
}

QString SerialBus::GetGroupID(const UnitArg &unit, qint16 module, qint16 &group)
{
    return readModuleNumber(unit, module, R::Module::GroupId, 1, 3, group);
}

QString SerialBus::SetGroupID(const UnitArg &unit, qint16 module, qint16 group)
{
    return writeModule(unit, module, R::Module::GroupId, group);
}

// ---- module live state ---------------------------------------------------

QString SerialBus::SetOutputState(const UnitArg &unit, qint16 module, qint16 state)
{
    if (m_transport && !moduleInRange(module))
        return ReplyRange;
    return write(unit, module, R::moduleOutput(module), {quint16(state)});
}

QString SerialBus::SetOutputVoltageSetpoint(const UnitArg &unit, qint16 module, qint16 raw)
{
    if (m_transport && !moduleInRange(module))
        return ReplyRange;
    return write(unit, module, R::setpoint(module), {quint16(raw)});
}

QString SerialBus::MeasureOutputVoltage(const UnitArg &unit, qint16 module, qint16 &raw)
{
    if (m_transport && !moduleInRange(module))
        return ReplyRange;
    return read(unit, module, Table::Input, R::measuredVoltage(module), 1,
                [&](const Registers &r, int &bad) {
                    if (const auto v = R::number(r[0], 0, R::MaxRaw))
                        raw = qint16(*v);
                    else
                        bad = 0;
                });
}

QString SerialBus::MeasureOutputCurrent(const UnitArg &unit, qint16 module, qint16 &raw)
{
    if (m_transport && !moduleInRange(module))
        return ReplyRange;
    return read(unit, module, Table::Input, R::measuredCurrent(module), 1,
                [&](const Registers &r, int &bad) {
                    if (const auto v = R::number(r[0], 0, R::MaxRaw))
                        raw = qint16(*v);
                    else
                        bad = 0;
                });
}
