// docs/wire-protocol.md against the code: its tables are the register map the
// client sends and the emulator serves, and its worked examples are the frames
// our encoder makes and the answers the unit emulator gives on the demo bus.
#include "TestSeams.h"
#include "UnitSimProcess.h"
#include "core/ZelkRoutines.h"
#include "device/ModbusFrame.h"
#include "device/SerialBus.h"
#include "device/SimulatedBus.h"
#include "device/ZelkRegisterMap.h"
#include "unitsim/UnitRegisterServer.h"

#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <tuple>

namespace {

namespace F = ModbusFrame;
namespace R = ZelkRegisters;

// The body rows of the first table under the heading line that starts so,
// cells trimmed; none when the heading or its table is not there.
QList<QStringList> tableUnder(const QString &text, const QString &heading)
{
    const qsizetype at = text.indexOf(QLatin1Char('\n') + heading);
    if (at < 0)
        return {};
    QList<QStringList> rows;
    for (const QString &line : text.mid(at + 1).split(QLatin1Char('\n')).mid(1)) {
        if (line.startsWith(QLatin1Char('#')) || (!rows.isEmpty() && !line.startsWith('|')))
            break;
        if (!line.startsWith(QLatin1Char('|')) || line.startsWith(QLatin1String("|---")))
            continue;
        QStringList cells = line.split(QLatin1Char('|')).mid(1);
        cells.removeLast();
        for (QString &cell : cells)
            cell = cell.trimmed();
        rows << cells;
    }
    return rows.mid(1);
}

struct Range
{
    qint64 lo, hi;
};
// Every "a..b" of a cell.
QList<Range> rangesIn(const QString &cell)
{
    static const QRegularExpression range(QStringLiteral("(\\d+)\\.\\.(\\d+)"));
    QList<Range> out;
    for (auto it = range.globalMatch(cell); it.hasNext();) {
        const auto m = it.next();
        out << Range{m.captured(1).toLongLong(), m.captured(2).toLongLong()};
    }
    return out;
}

// The range of register i of a row: its own, or the one every register shares.
Range rangeOf(const QList<Range> &ranges, int i)
{
    return ranges.value(ranges.size() > 1 ? i : 0);
}

// A row of the register tables: where its value lies for module m (1 for
// the unit's own), how many registers, the device methods that reach it.
struct Row
{
    std::function<int(int)> address;
    bool perModule = false;
    R::Table table = R::Table::Holding;
    int count = 1;
    QStringList methods;
    QString read, write;
};

// "`GetX`, `Set...`" names GetX and SetX; "`SetY(Z)`" SetY and SetYZ.
QStringList methodsIn(const QString &cell)
{
    static const QRegularExpression name(QStringLiteral("`(\\w+)(\\.\\.\\.)?(?:\\((\\w+)\\))?`"));
    QStringList out;
    for (auto it = name.globalMatch(cell); it.hasNext();) {
        const auto m = it.next();
        out << (m.captured(2).isEmpty() ? m.captured(1) : m.captured(1) + out.value(0).mid(3));
        if (!m.captured(3).isEmpty())
            out << m.captured(1) + m.captured(3);
    }
    return out;
}

// The rows of the four register tables, or why they cannot be read. An
// address is "9", "9 + 2 x (module - 1)" or "258..262" (module 1..5); a
// module block's offset counts from the start its pointer row gives.
QList<Row> registerRows(const QString &text, QString *problem)
{
    static const QRegularExpression shape(
        QStringLiteral("^(\\d+)(?: \\+ (\\d+) x \\(module - 1\\)( \\+ offset)?|\\.\\.(\\d+))?$"));
    const struct
    {
        const char *heading;
        R::Table table;
        int count, methods, read, write, minRows; // columns; -1: none
    } tables[] = {{"### Stored settings", R::Table::Holding, 1, 2, 3, 4, 10},
                  {"Module block", R::Table::Holding, 1, 2, 3, 4, 15},
                  {"### Live state", R::Table::Input, 1, 2, 3, -1, 9},
                  {"### Live commands", R::Table::Holding, -1, 1, -1, 2, 4}};
    QList<Row> rows;
    int blockBase = -1, blockStride = 0;
    for (const auto &t : tables) {
        const QList<QStringList> body = tableUnder(text, QLatin1String(t.heading));
        if (body.size() < t.minRows)
            *problem += QStringLiteral("%1: %2 rows\n").arg(t.heading).arg(body.size());
        const bool inBlock = t.heading == std::string_view("Module block");
        for (const QStringList &c : body) {
            const auto m = shape.match(c.value(0));
            const int base = m.captured(1).toInt() + (inBlock ? blockBase : 0);
            const int stride = m.hasCaptured(2) ? m.captured(2).toInt() : m.hasCaptured(4);
            if (!m.hasMatch() || (m.hasCaptured(4) && m.captured(4).toInt() != base + 4) ||
                (inBlock && (blockBase < 0 || stride))) {
                *problem += QStringLiteral("%1 row: %2\n").arg(t.heading, c.join('|'));
            } else if (m.hasCaptured(3)) {
                blockBase = base;
                blockStride = stride;
            } else {
                const int step = inBlock ? blockStride : stride;
                rows << Row{[=](int module) { return base + step * (module - 1); },
                            step != 0,
                            t.table,
                            t.count < 0 ? 1 : c.value(t.count).toInt(),
                            methodsIn(c.value(t.methods)),
                            c.value(t.read),
                            c.value(t.write)};
            }
        }
    }
    return rows;
}

// A device method by its name in the page, called on unit 1 (and module m)
// with 1 for every value it writes.
using Call = std::function<QString(ZelkDevice &, qint16 module)>;

template<typename T> T argument(bool out, bool isModule, qint16 module)
{
    if constexpr (std::is_arithmetic_v<T>)
        return out ? T(0) : T(isModule ? module : 1);
    else
        return T{};
}

template<typename... A, std::size_t... I>
QString invoke(ZelkDevice &d, QString (ZelkDevice::*f)(const UnitArg &, A...), qint16 module,
               std::index_sequence<I...>)
{
    // A module method's first argument is its module; a unit's setter has one.
    constexpr bool moduleFirst =
        sizeof...(A) >= 2 && !std::is_reference_v<std::tuple_element_t<0, std::tuple<A...>>>;
    std::tuple<std::decay_t<A>...> args{
        argument<std::decay_t<A>>(std::is_reference_v<A>, moduleFirst && I == 0, module)...};
    return (d.*f)(UnitArg(1), std::get<I>(args)...);
}

template<typename... A> Call call(QString (ZelkDevice::*f)(const UnitArg &, A...))
{
    return [f](ZelkDevice &d, qint16 module) {
        return invoke(d, f, module, std::index_sequence_for<A...>{});
    };
}

Call call(QString (ZelkDevice::*f)(qint16 &, qint16 &))
{
    return [f](ZelkDevice &d, qint16) {
        qint16 unit = 1, value = 1;
        return (d.*f)(unit, value);
    };
}

// Every device method the page's register tables name.
// clang-format off
#define M(name) {QStringLiteral(#name), call(&ZelkDevice::name)}
const std::map<QString, Call> Methods = {
    M(GetUnitID), M(SetNewUnitID), M(GetUnitSerialN), M(GetUnitVersion), M(GetFanFailPolarity),
    M(SetFanFailPolarity), M(GetGlobalDCGoodPolarity), M(SetGlobalDCGoodPolarity),
    M(GetOTFailPolarity), M(SetOTFailPolarity), M(GetDefaultGlobalOutputPolarity),
    M(SetDefaultGlobalOutputPolarity), M(GetDefaultGlobalOutputState),
    M(SetDefaultGlobalOutputState), M(GetDefaultGroupState), M(SetDefaultGroupState),
    M(GetModuleType), M(GetModuleSerialN), M(GetModuleVersion), M(GetProgrammingMode),
    M(SetProgrammingMode), M(GetDefaultOutputOnOffPolarity), M(SetDefaultOutputOnOffPolarity),
    M(GetDefaultOutputOnOffState), M(SetDefaultOutputOnOffState), M(GetOutputTurnONDelayExUShort),
    M(SetOutputTurnONDelay), M(SetOutputTurnONDelayExUShort), M(GetDefaultOutputVoltage),
    M(SetDefaultOutputVoltage), M(GetModuleGoodHighThreshold), M(SetModuleGoodHighThreshold),
    M(GetModuleGoodLowThreshold), M(SetModuleGoodLowThreshold), M(GetCurrentLimitMode),
    M(SetCurrentLimitMode), M(GetCurrentLimit), M(SetCurrentLimit),
    M(GetCurrentLimitONTimeExUShort), M(SetCurrentLimitONTimeExUShort),
    M(GetCurrentLimitOFFTimeExUShort), M(SetCurrentLimitOFFTimeExUShort), M(GetGroupID),
    M(SetGroupID), M(GetPresentModules), M(GetModuleGoodStatusByte), M(GetGlobalStatusByte),
    M(GetOutputState), M(GetMasterSlaveMode), M(GetGlobalOutputState), M(GetGroupState),
    M(GetOperatingHoursString), M(MeasureOutputVoltage), M(MeasureOutputCurrent),
    M(SetGlobalOutputState), M(SetGroupState), M(SetOutputState), M(SetOutputVoltageSetpoint)};
#undef M
// clang-format on

class WireProtocolDoc : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_FALSE(text.isEmpty()) << "cannot read " ZELK_DOCS_DIR "/wire-protocol.md";
        env.copyShipped(QStringLiteral("scale.ini"));
        bus = std::make_unique<SimulatedBus>(env.folder());
        bus->setNoiseEnabled(false);
        bus->setWireModelEnabled(false);
        ASSERT_EQ(bus->OpenPort(QStringLiteral("COM1")), CmdOk);
        server = std::make_unique<UnitRegisterServer>(*bus);
    }
    const QString text = [] {
        QFile doc(QStringLiteral(ZELK_DOCS_DIR "/wire-protocol.md"));
        return doc.open(QIODevice::ReadOnly | QIODevice::Text) ? QString::fromUtf8(doc.readAll())
                                                               : QString();
    }();
    TestEnvironment env;
    std::unique_ptr<SimulatedBus> bus;
    std::unique_ptr<UnitRegisterServer> server;
};

} // namespace

// Catches a register moved in the code or in the page: every device method a
// register table names sends the table's function, address and count for
// each module, every method that reads refuses a register just outside the
// table's read range and takes one at its edge, and the emulator takes each
// write range's edge and refuses just outside it (read-only: exception 02).
TEST_F(WireProtocolDoc, RegisterTablesAreWhatTheClientSendsAndTheEmulatorTakes)
{
    QString problem;
    const QList<Row> rows = registerRows(text, &problem);
    ASSERT_TRUE(problem.isEmpty()) << "the page's register tables: " << problem.toStdString();

    std::vector<QByteArray> requests;
    std::vector<quint16> values{1};
    // The client's side of the line: each request kept, each read answered
    // with `values` (the last one for the registers after), each write echoed.
    SerialBus client(fakeLine([&](const QByteArray &pdu, int) {
        requests.push_back(pdu);
        const quint8 function = quint8(pdu[0]);
        QByteArray answer = function == F::Function::WriteSingle ? pdu : pdu.left(5);
        if (function != F::Function::WriteSingle && function != F::Function::WriteMultiple) {
            answer = pdu.left(1) + char(2 * F::word(pdu, 3));
            for (int i = 0; i < F::word(pdu, 3); ++i)
                F::appendWord(answer, values[std::min<std::size_t>(i, values.size() - 1)]);
        }
        return ModbusTransport::Exchange{ModbusTransport::Exchange::Status::Answer, answer};
    }));
    ASSERT_EQ(client.OpenPort(QStringLiteral("/dev/null")), CmdOk);
    client.setBlockReads(false);

    std::set<QString> named;
    quint8 unit = 1;
    for (const Row &row : rows) {
        for (const QString &method : row.methods) {
            named.insert(method);
            const auto call = Methods.find(method);
            if (call == Methods.end()) {
                ADD_FAILURE() << "the page names " << method.toStdString() << ", unknown here";
                continue;
            }
            const bool reads = !method.startsWith(QLatin1String("Set"));
            for (qint16 m = 1; m <= (row.perModule ? 5 : 1); ++m) {
                SCOPED_TRACE(testing::Message() << method.toStdString() << " module " << m);
                requests.clear();
                values = {1};
                std::ignore = call->second(client, m);
                ASSERT_FALSE(requests.empty());
                const QByteArray &pdu = requests.front();
                const quint8 function =
                    reads ? (row.table == R::Table::Input ? 4 : 3) : (row.count == 1 ? 6 : 16);
                EXPECT_EQ(quint8(pdu[0]), function);
                EXPECT_EQ(F::word(pdu, 1), row.address(m));
                EXPECT_EQ(function == 6 ? 1 : F::word(pdu, 3), row.count);
            }
            const QList<Range> ranges = rangesIn(row.read);
            if (!reads || ranges.isEmpty())
                continue;
            // One range for every register, or one a register; above 16 bits, one value.
            const bool wide = ranges[0].hi > 0xFFFF;
            const auto edges = [&](int i, qint64 v) {
                values.clear();
                for (int r = 0; r < row.count; ++r)
                    values.push_back(quint16(wide ? (r == 0 ? v >> 16 : v & 0xFFFF)
                                                  : (r == i ? v : rangeOf(ranges, r).hi)));
                return call->second(client, 1);
            };
            for (int i = 0; i < (wide ? 1 : row.count); ++i) {
                SCOPED_TRACE(testing::Message() << method.toStdString() << " register " << i);
                EXPECT_EQ(edges(i, rangeOf(ranges, i).hi).toStdString(), "CMD_OK");
                for (const qint64 v : {rangeOf(ranges, i).lo - 1, rangeOf(ranges, i).hi + 1}) {
                    const QString reply = edges(i, v);
                    if (v >= 0 && v <= (wide ? 0xFFFFFFFF : 0xFFFF)) {
                        EXPECT_TRUE(reply.startsWith("ERR_BAD_VALUE")) << v << reply.toStdString();
                    }
                }
            }
        }

        if (row.write.isEmpty() || row.table != R::Table::Holding)
            continue;
        SCOPED_TRACE(row.methods.join(',').toStdString());
        const quint16 at = quint16(row.address(1));
        if (row.write == QLatin1String("read-only")) {
            EXPECT_EQ(server->answer(unit, F::writeSingle(at, 0)),
                      F::exceptionAnswer(F::Function::WriteSingle, F::Exception::IllegalAddress));
            continue;
        }
        const QList<Range> ranges = rangesIn(row.write);
        const auto write = [&](int i, qint64 v) {
            std::vector<quint16> words;
            for (int r = 0; r < row.count; ++r)
                words.push_back(quint16(r == i ? v : rangeOf(ranges, r).hi));
            const QByteArray pdu =
                row.count == 1 ? F::writeSingle(at, words[0]) : F::writeMultiple(at, words);
            return F::parseAnswer(pdu, server->answer(unit, pdu).value_or(QByteArray()));
        };
        for (int i = 0; i < (ranges.isEmpty() ? 0 : row.count); ++i) {
            EXPECT_EQ(write(i, rangeOf(ranges, i).hi).kind, F::Answer::Kind::Written)
                << rangeOf(ranges, i).hi;
            if (at == R::UnitId)
                unit = quint8(rangeOf(ranges, i).hi); // the unit answers at its new ID from now on
            for (const qint64 v : {rangeOf(ranges, i).lo - 1, rangeOf(ranges, i).hi + 1}) {
                if (v >= 0 && v <= 0xFFFF) {
                    EXPECT_EQ(write(i, v).exception, F::Exception::IllegalValue) << v;
                }
            }
        }
    }
    for (const auto &[method, call] : Methods)
        EXPECT_TRUE(named.count(method)) << method.toStdString() << " is in no table of the page";
}

// Catches a document that no longer says what goes on the line: every
// "request:" line of the document is a whole RTU frame whose check bytes our
// encoder computes, and the "answer:" after it (a long one runs on over
// indented lines) is, byte for byte, what the emulator answers on the demo
// bus (the examples run in document order, so a write example is seen by the
// reads after it). The examples show every function and every run.
// Catches too a run that grew, shrank or moved, a function the client or the
// emulator takes that the page does not list, or limits of a request that
// differ from the page's.
TEST_F(WireProtocolDoc, RunsFunctionsAndWorkedExamplesAreThePages)
{
    const QList<QStringList> runRows = tableUnder(text, QStringLiteral("Three runs"));
    ASSERT_EQ(runRows.size(), 3) << "the page's table of runs";
    std::map<std::pair<R::Table, int>, bool> inRun;
    for (const QStringList &run : runRows) {
        const R::Table table =
            run.value(1) == QLatin1String("input") ? R::Table::Input : R::Table::Holding;
        const QList<Range> span = rangesIn(run.value(2));
        ASSERT_EQ(span.size(), 1) << run.join('|').toStdString();
        for (qint64 a = span[0].lo; a <= span[0].hi; ++a)
            inRun[{table, int(a)}] = true;
        // Each run in one request; the register after it is in none.
        const quint8 function = table == R::Table::Input ? 4 : 3;
        const QByteArray whole =
            F::readRequest(function, quint16(span[0].lo), quint16(span[0].hi - span[0].lo + 1));
        EXPECT_EQ(F::parseAnswer(whole, server->answer(1, whole).value_or("")).kind,
                  F::Answer::Kind::Registers)
            << run[0].toStdString();
        EXPECT_EQ(server->answer(1, F::readRequest(function, quint16(span[0].hi + 1), 1)),
                  F::exceptionAnswer(function, F::Exception::IllegalAddress))
            << run[0].toStdString();
    }
    for (const R::Table table : {R::Table::Holding, R::Table::Input}) {
        for (int a = 0; a < 1024; ++a)
            EXPECT_EQ(R::exists(table, quint16(a)), inRun.count({table, a}) > 0) << a;
    }

    std::set<int> listed;
    for (const QStringList &row : tableUnder(text, QStringLiteral("## Functions")))
        listed.insert(row.value(0).section(QLatin1Char(' '), 0, 0).toInt());
    EXPECT_EQ(listed, (std::set<int>{F::Function::ReadHolding, F::Function::ReadInput,
                                     F::Function::WriteSingle, F::Function::WriteMultiple}));
    for (int f = 1; f < 0x80; ++f) {
        if (listed.count(f) == 0) {
            EXPECT_EQ(server->answer(1, QByteArray(1, char(f)) + QByteArray(4, '\0')),
                      F::exceptionAnswer(quint8(f), F::Exception::IllegalFunction))
                << f;
        }
    }
    static const QRegularExpression limits(
        QStringLiteral("At most (\\d+) registers a read and (\\d+) a write"));
    const auto limit = limits.match(text);
    ASSERT_TRUE(limit.hasMatch()) << "the page's request limits";
    EXPECT_EQ(limit.captured(1).toInt(), F::MaxReadCount);
    EXPECT_EQ(limit.captured(2).toInt(), F::MaxWriteCount);

    static const QRegularExpression line(
        QStringLiteral("^(request|answer):\\s+((?:[0-9A-F]{2}(?: |\n {9})?)+)$"),
        QRegularExpression::MultilineOption);
    QByteArray request;
    int examples = 0;
    std::set<int> functions;
    std::set<std::pair<R::Table, bool>> runs; // a table, and whether its live commands
    for (auto it = line.globalMatch(text); it.hasNext();) {
        const auto m = it.next();
        const QByteArray bytes =
            QByteArray::fromHex(m.captured(2).remove(QLatin1Char(' ')).remove('\n').toLatin1());
        if (m.captured(1) == QLatin1String("request")) {
            ASSERT_GE(bytes.size(), 8) << m.captured(0).toStdString();
            const QByteArray body = bytes.left(bytes.size() - 2);
            const QByteArray framed = F::rtuFrame(quint8(body[0]), body.mid(1));
            EXPECT_EQ(bytes, framed) << "should be: " << framed.toHex(' ').toUpper().toStdString();
            request = bytes;
            const quint8 function = quint8(bytes[1]);
            functions.insert(function);
            const R::Table table = function == 4 ? R::Table::Input : R::Table::Holding;
            if (R::exists(table, F::word(bytes, 2)))
                runs.insert({table, F::word(bytes, 2) >= R::GlobalOutput});
            continue;
        }
        ASSERT_FALSE(request.isEmpty()) << "an answer without its request";
        const quint8 unit = quint8(request[0]);
        const QByteArray pdu = request.mid(1, request.size() - 3);
        const auto answer = server->answer(unit, pdu);
        ASSERT_TRUE(answer.has_value()) << request.toHex(' ').toStdString();
        const QByteArray expected = F::rtuFrame(unit, *answer);
        EXPECT_EQ(bytes, expected) << "answer to " << request.toHex(' ').toUpper().toStdString()
                                   << " should be: " << expected.toHex(' ').toUpper().toStdString();
        EXPECT_NE(F::parseAnswer(pdu, *answer).kind, F::Answer::Kind::Invalid);
        request.clear();
        ++examples;
    }
    EXPECT_GE(examples, 12);
    EXPECT_EQ(functions, (std::set<int>{3, 4, 6, 16}));
    EXPECT_EQ(runs.size(), 3u) << "an example for each run";
}

// Catches a frame silence cut short on a fast line: 3.5 characters of ten
// bits, but never under 1.75 ms, at every rate the port dialog offers.
TEST(FrameSilence, ThreeAndAHalfCharactersButNeverUnderOnePointSevenFiveMs)
{
    const std::pair<int, double> micros[] = {{1200, 29166.7}, {2400, 14583.3},  {4800, 7291.7},
                                             {9600, 3645.8},  {19200, 1822.9},  {38400, 1750.0},
                                             {57600, 1750.0}, {115200, 1750.0}, {230400, 1750.0}};
    for (const auto &[baud, us] : micros)
        EXPECT_NEAR(double(F::silenceNs(baud)) / 1000, us, 0.1) << baud;
}
