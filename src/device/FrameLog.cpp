#include "device/FrameLog.h"

#include "device/ModbusFrame.h"
#include "device/ZelkRegisterMap.h"

#include <array>

namespace F = ModbusFrame;
namespace R = ZelkRegisters;
using Kind = ModbusFrameEvent::Kind;

namespace {

const FrameLog *g_attached = nullptr;
quint64 g_rowsMade = 0;

// A value of the register map: where it starts, how many registers, the
// device methods that read and write it (empty: none).
struct Field
{
    quint16 address;
    quint16 count;
    const char *get;
    const char *set;
};

constexpr std::array<Field, 9> UnitFields = {{
    {R::UnitId, 1, "GetUnitID", "SetNewUnitID"},
    {R::UnitSerial, R::SerialRegisters, "GetUnitSerialN", ""},
    {R::UnitVersion, 2, "GetUnitVersion", ""},
    {R::FanFailPolarity, 1, "GetFanFailPolarity", "SetFanFailPolarity"},
    {R::DcGoodPolarity, 1, "GetGlobalDCGoodPolarity", "SetGlobalDCGoodPolarity"},
    {R::OtFailPolarity, 1, "GetOTFailPolarity", "SetOTFailPolarity"},
    {R::DefaultGlobalPolarity, 1, "GetDefaultGlobalOutputPolarity",
     "SetDefaultGlobalOutputPolarity"},
    {R::DefaultGlobalState, 1, "GetDefaultGlobalOutputState", "SetDefaultGlobalOutputState"},
    {R::DefaultGroupState, 1, "GetDefaultGroupState", "SetDefaultGroupState"},
}};

constexpr std::array<Field, 15> ModuleFields = {{
    {R::Module::Type, 1, "GetModuleType", ""},
    {R::Module::Serial, R::SerialRegisters, "GetModuleSerialN", ""},
    {R::Module::Version, 2, "GetModuleVersion", ""},
    {R::Module::ProgrammingMode, 1, "GetProgrammingMode", "SetProgrammingMode"},
    {R::Module::OnOffPolarity, 1, "GetDefaultOutputOnOffPolarity", "SetDefaultOutputOnOffPolarity"},
    {R::Module::StartUpState, 1, "GetDefaultOutputOnOffState", "SetDefaultOutputOnOffState"},
    {R::Module::TurnOnDelay, 1, "GetOutputTurnONDelayExUShort", "SetOutputTurnONDelayExUShort"},
    {R::Module::DefaultVoltage, 1, "GetDefaultOutputVoltage", "SetDefaultOutputVoltage"},
    {R::Module::GoodHigh, 1, "GetModuleGoodHighThreshold", "SetModuleGoodHighThreshold"},
    {R::Module::GoodLow, 1, "GetModuleGoodLowThreshold", "SetModuleGoodLowThreshold"},
    {R::Module::CurrentLimitMode, 2, "GetCurrentLimitMode", "SetCurrentLimitMode"},
    {R::Module::CurrentLimit, 1, "GetCurrentLimit", "SetCurrentLimit"},
    {R::Module::LimitOnTime, 1, "GetCurrentLimitONTimeExUShort", "SetCurrentLimitONTimeExUShort"},
    {R::Module::LimitOffTime, 1, "GetCurrentLimitOFFTimeExUShort",
     "SetCurrentLimitOFFTimeExUShort"},
    {R::Module::GroupId, 1, "GetGroupID", "SetGroupID"},
}};

constexpr std::array<Field, 7> LiveFields = {{
    {R::PresentModules, 1, "GetPresentModules", ""},
    {R::ModuleGood, 1, "GetModuleGoodStatusByte", ""},
    {R::GlobalStatus, 1, "GetGlobalStatusByte", ""},
    {R::OutputState, 1, "GetOutputState", ""},
    {R::MasterSlave, 2, "GetMasterSlaveMode", ""},
    {R::OutputSwitches, 1, "GetGlobalOutputState/GetGroupState", ""},
    {R::OperatingHours, 2, "GetOperatingHoursString", ""},
}};

template<std::size_t N>
QString fieldMethod(const std::array<Field, N> &fields, quint16 address, int count, bool write)
{
    for (const Field &f : fields) {
        if (f.address == address && f.count == count)
            return QLatin1String(write ? f.set : f.get);
    }
    return {};
}

// The device method a request serves, judged from its registers; a run of
// several values is named by its run.
QString methodOf(quint8 function, quint16 address, int count)
{
    const bool write =
        function == F::Function::WriteSingle || function == F::Function::WriteMultiple;
    if (function == F::Function::ReadInput) {
        if (address >= R::Measurements && address < R::LiveCount && count == 1) {
            const int module = (address - R::Measurements) / 2 + 1;
            return QStringLiteral("%1 m%2")
                .arg((address - R::Measurements) % 2 ? QLatin1String("MeasureOutputCurrent")
                                                     : QLatin1String("MeasureOutputVoltage"))
                .arg(module);
        }
        const QString m = fieldMethod(LiveFields, address, count, false);
        return m.isEmpty() ? QStringLiteral("live state") : m;
    }
    if (address >= R::GlobalOutput && address < R::GlobalOutput + R::CommandCount && count == 1) {
        if (address == R::GlobalOutput)
            return QStringLiteral("SetGlobalOutputState");
        if (address == R::GroupOutput)
            return QStringLiteral("SetGroupState");
        if (address < R::SetpointBase)
            return QStringLiteral("SetOutputState m%1").arg(address - R::ModuleOutputBase + 1);
        return QStringLiteral("SetOutputVoltageSetpoint m%1").arg(address - R::SetpointBase + 1);
    }
    if (address < R::ModuleBase) {
        const QString m = fieldMethod(UnitFields, address, count, write);
        return m.isEmpty() ? QStringLiteral("stored settings") : m;
    }
    if (address < R::StoredCount) {
        const int module = (address - R::ModuleBase) / R::ModuleStride + 1;
        const quint16 offset = quint16((address - R::ModuleBase) % R::ModuleStride);
        const QString m = fieldMethod(ModuleFields, offset, count, write);
        return m.isEmpty() ? QStringLiteral("stored settings")
                           : QStringLiteral("%1 m%2").arg(m).arg(module);
    }
    return {};
}

QString functionText(quint8 function)
{
    switch (function & ~F::Function::ExceptionFlag) {
    case F::Function::ReadHolding:
        return QStringLiteral("03 read holding");
    case F::Function::ReadInput:
        return QStringLiteral("04 read input");
    case F::Function::WriteSingle:
        return QStringLiteral("06 write one");
    case F::Function::WriteMultiple:
        return QStringLiteral("16 write several");
    default:
        return QStringLiteral("%1 unknown").arg(function & 0x7F, 2, 16, QLatin1Char('0'));
    }
}

QString exceptionText(quint8 code)
{
    const char *name = "";
    switch (code) {
    case F::Exception::IllegalFunction:
        name = "illegal function";
        break;
    case F::Exception::IllegalAddress:
        name = "illegal address";
        break;
    case F::Exception::IllegalValue:
        name = "illegal value";
        break;
    case F::Exception::DeviceFailure:
        name = "device failure";
        break;
    case F::Exception::Acknowledge:
        name = "acknowledge";
        break;
    case F::Exception::Busy:
        name = "busy";
        break;
    case F::Exception::GatewayPath:
        name = "gateway path";
        break;
    case F::Exception::GatewayNoAnswer:
        name = "gateway: no answer";
        break;
    default:
        name = "other";
    }
    return QStringLiteral("%1 %2").arg(code, 2, 16, QLatin1Char('0')).arg(QLatin1String(name));
}

// The PDU inside a frame as the line framed it; empty when too short.
QByteArray pduOf(const ModbusFrameEvent &e)
{
    if (e.tcp)
        return e.bytes.size() > F::MbapHeader ? e.bytes.mid(F::MbapHeader) : QByteArray();
    return e.bytes.size() > 3 ? e.bytes.mid(1, e.bytes.size() - 3) : QByteArray();
}

QString registersText(const QByteArray &requestPdu)
{
    if (requestPdu.size() < 5)
        return {};
    const quint8 function = quint8(requestPdu[0]);
    const quint16 address = F::word(requestPdu, 1);
    const int count = function == F::Function::WriteSingle ? 1 : F::word(requestPdu, 3);
    const QString table =
        function == F::Function::ReadInput ? QStringLiteral("input") : QStringLiteral("holding");
    return count == 1
               ? QStringLiteral("%1 %2").arg(table).arg(address)
               : QStringLiteral("%1 %2..%3").arg(table).arg(address).arg(address + count - 1);
}

QString hex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

QString ms(qint64 ns)
{
    return QString::number(double(ns) / 1e6, 'f', 3);
}

} // namespace

FrameLog::~FrameLog()
{
    detach();
}

void FrameLog::attach()
{
    g_attached = this;
    processFrameTap() = [this](const ModbusFrameEvent &e) {
        add(e);
    };
}

void FrameLog::detach()
{
    if (g_attached != this)
        return;
    g_attached = nullptr;
    processFrameTap() = {};
}

bool FrameLog::attached() const
{
    return g_attached == this;
}

void FrameLog::add(const ModbusFrameEvent &event)
{
    Record r{event, {}, -1, 1};
    if (m_originNs < 0)
        m_originNs = event.atNs;
    if (event.kind == Kind::Request) {
        // The line's own count where it keeps one; else the same request
        // again right after one that failed is taken for a retry.
        if (event.attempt > 0)
            r.attempt = event.attempt;
        else
            r.attempt = (m_lastFailed && event.bytes == m_lastRequest) ? m_lastAttempt + 1 : 1;
        m_lastRequest = event.bytes;
        m_lastRequestNs = event.atNs;
        m_lastAttempt = r.attempt;
        m_lastFailed = false;
    } else if (event.kind == Kind::Late) {
        // An answer to some earlier request: no request of its own to pair it with.
        r.attempt = 0;
    } else {
        r.request = m_lastRequest;
        r.sinceRequestNs = event.atNs - m_lastRequestNs;
        r.attempt = m_lastAttempt;
        m_lastFailed = event.kind != Kind::Answer;
    }
    if (m_records.size() == Capacity) {
        m_records.pop_front();
        ++m_dropped;
    }
    m_records.push_back(std::move(r));
    ++m_added;
}

void FrameLog::clear()
{
    m_records.clear();
    m_dropped = 0;
    m_added = 0;
    m_originNs = -1;
    m_lastFailed = false;
}

bool FrameLog::isError(const Record &r)
{
    if (r.event.kind == Kind::BadFrame || r.event.kind == Kind::Timeout ||
        r.event.kind == Kind::Late)
        return true;
    if (r.event.kind != Kind::Answer)
        return false;
    const QByteArray pdu = pduOf(r.event);
    return !pdu.isEmpty() && (quint8(pdu[0]) & F::Function::ExceptionFlag);
}

QString FrameLog::columnTitle(int column)
{
    static const char *const Titles[ColumnCount] = {
        "Time (ms)", "Dir",       "Unit",        "Method", "Function", "Registers",
        "CRC",       "Exception", "Answer (ms)", "Try",    "Result",   "Bytes"};
    return column >= 0 && column < ColumnCount ? QLatin1String(Titles[column]) : QString();
}

QStringList FrameLog::row(std::size_t index) const
{
    ++g_rowsMade;
    const Record &r = m_records[index];
    const ModbusFrameEvent &e = r.event;
    QStringList c;
    c.reserve(ColumnCount);
    for (int i = 0; i < ColumnCount; ++i)
        c << QString();
    c[TimeMs] = ms(e.atNs - m_originNs);
    c[Unit] = QString::number(e.unit);
    if (e.kind != Kind::Late)
        c[Try] = QString::number(r.attempt);
    c[Bytes] = hex(e.bytes);
    const bool sent = e.kind == Kind::Request;
    c[Direction] = sent ? QStringLiteral("send") : QStringLiteral("recv");
    if (!sent && e.kind != Kind::Late)
        c[AnswerMs] = ms(r.sinceRequestNs);

    const QByteArray requestPdu =
        pduOf(sent ? e : ModbusFrameEvent{Kind::Request, e.unit, r.request, 0, e.tcp});
    if (requestPdu.size() >= 5) {
        const quint8 function = quint8(requestPdu[0]);
        const int count = function == F::Function::WriteSingle ? 1 : F::word(requestPdu, 3);
        c[Method] = methodOf(function, F::word(requestPdu, 1), count);
        c[Registers] = registersText(requestPdu);
    }
    if (e.kind == Kind::Timeout) {
        c[Direction] = QString();
        c[Result] = QStringLiteral("timeout");
        if (requestPdu.size() >= 1)
            c[Function] = functionText(quint8(requestPdu[0]));
        return c;
    }
    const QByteArray pdu = pduOf(e);
    if (!pdu.isEmpty())
        c[Function] = functionText(quint8(pdu[0]));
    if (!e.tcp)
        c[Crc] = F::rtuCrcGood(e.bytes) ? QStringLiteral("good") : QStringLiteral("BAD");
    else
        c[Crc] = QStringLiteral("none (TCP)");
    if (!sent && pdu.size() == 2 && (quint8(pdu[0]) & F::Function::ExceptionFlag))
        c[Exception] = exceptionText(quint8(pdu[1]));
    switch (e.kind) {
    case Kind::Request:
        c[Result] = r.attempt > 1 ? QStringLiteral("retry") : QStringLiteral("request");
        break;
    case Kind::Answer:
        c[Result] = c[Exception].isEmpty() ? QStringLiteral("answer") : QStringLiteral("exception");
        break;
    case Kind::BadFrame:
        c[Result] = (!e.tcp && !F::rtuCrcGood(e.bytes)) ? QStringLiteral("bad frame: check bytes")
                                                        : QStringLiteral("bad frame: length/unit");
        break;
    case Kind::Timeout:
        break;
    case Kind::Late:
        c[Result] = QStringLiteral("late");
        break;
    }
    return c;
}

QString FrameLog::csvHeader()
{
    QStringList titles;
    for (int i = 0; i < ColumnCount; ++i)
        titles << columnTitle(i);
    return csvLine(titles);
}

QString FrameLog::csvLine(const QStringList &row)
{
    QStringList cells;
    for (const QString &cell : row) {
        if (cell.contains(QLatin1Char(',')) || cell.contains(QLatin1Char('"')))
            cells << QLatin1Char('"') +
                         QString(cell).replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
                         QLatin1Char('"');
        else
            cells << cell;
    }
    return cells.join(QLatin1Char(','));
}

QString FrameLog::hexLine(std::size_t index) const
{
    const QStringList c = row(index);
    const QString dir = c[Direction].isEmpty() ? QStringLiteral("----") : c[Direction];
    return QStringLiteral("%1  %2  unit %3  %4")
        .arg(c[TimeMs], 10)
        .arg(dir)
        .arg(c[Unit], 2)
        .arg(c[Result] == QLatin1String("timeout") ? QStringLiteral("(timeout)") : c[Bytes]);
}

quint64 FrameLog::rowsMade()
{
    return g_rowsMade;
}

// ---- zelkctl --trace -------------------------------------------------------

FrameTraceFile::FrameTraceFile(const QString &path)
    : m_file(path)
{
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        m_error = m_file.errorString();
        return;
    }
    m_file.write((FrameLog::csvHeader() + QLatin1Char('\n')).toUtf8());
    m_file.flush();
    processFrameTap() = [this](const ModbusFrameEvent &e) {
        m_log.add(e);
        // Written as it happens, so a run that is stopped leaves its frames.
        m_file.write((FrameLog::csvLine(m_log.row(m_log.size() - 1)) + QLatin1Char('\n')).toUtf8());
        m_file.flush();
    };
}

FrameTraceFile::~FrameTraceFile()
{
    if (m_file.isOpen())
        processFrameTap() = {};
}
