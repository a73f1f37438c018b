// The serial device object's decoding of what a unit answers, on arbitrary
// answers: register contents, exceptions, damaged and missing frames, each
// try of each call drawn from the input. A call that says CMD_OK gives only
// values inside the register map's ranges; a call that fails leaves its
// out-arguments as they were and says why; nothing crashes or reads past an
// answer.
#include "FuzzCheck.h"
#include "device/ModbusFrame.h"
#include "device/SerialBus.h"
#include "device/ZelkRegisterMap.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <functional>
#include <memory>

namespace {

namespace F = ModbusFrame;
namespace R = ZelkRegisters;

// Answers each try from the input: a well-formed answer with random
// registers, an exception, random bytes, nothing, or a damaged frame.
class ScriptedLine final : public ModbusTransport
{
public:
    explicit ScriptedLine(FuzzedDataProvider &input)
        : m_input(input)
    {}
    QString open() override { return {}; }
    void close() override {}
    QString lostText() const override { return QStringLiteral("gone"); }
    Exchange exchange(quint8, const QByteArray &pdu, int) override
    {
        using Status = Exchange::Status;
        switch (m_input.ConsumeIntegralInRange(0, 5)) {
        case 0:
        case 1: { // the answer the request asks for, registers from the input
            QByteArray answer = pdu.left(1);
            const quint8 function = quint8(pdu[0]);
            if (function == F::Function::ReadHolding || function == F::Function::ReadInput) {
                const int count = F::word(pdu, 3);
                answer.append(char(count * 2));
                for (int i = 0; i < count; ++i)
                    F::appendWord(answer, m_input.ConsumeIntegral<quint16>());
            } else {
                answer = function == F::Function::WriteSingle ? pdu : pdu.left(5);
            }
            return {Status::Answer, answer};
        }
        case 2:
            return {Status::Answer,
                    F::exceptionAnswer(quint8(pdu[0]), m_input.ConsumeIntegral<quint8>())};
        case 3: {
            const std::string bytes = m_input.ConsumeRandomLengthString(300);
            return {Status::Answer, QByteArray(bytes.data(), qsizetype(bytes.size()))};
        }
        case 4:
            return {Status::BadFrame, {}};
        default:
            return {m_input.ConsumeBool() ? Status::NoAnswer : Status::Lost, {}};
        }
    }

private:
    FuzzedDataProvider &m_input;
};

bool ok(const QString &reply)
{
    return reply == QLatin1String("CMD_OK");
}

bool printableText(const QString &text)
{
    if (text.size() > 2 * R::SerialRegisters)
        return false;
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() >= 0x7F)
            return false;
    }
    return true;
}

bool flags(const StatusArray &a)
{
    for (int i = 1; i <= 8; ++i) {
        if (a(i) != 0 && a(i) != 1)
            return false;
    }
    return true;
}

// One call's outcome: on success the value is in range; on failure it is the
// sentinel it had and the reply says something.
template<typename Value, typename InRange>
void expect(const QString &reply, const Value &value, const Value &sentinel, InRange inRange)
{
    FUZZ_CHECK(!reply.isEmpty());
    if (ok(reply))
        FUZZ_CHECK(inRange(value));
    else
        FUZZ_CHECK(value == sentinel);
}

using Step = std::function<void(SerialBus &, const UnitArg &, qint16)>;

std::function<bool(qint32)> between(qint32 min, qint32 max)
{
    return [=](qint32 v) {
        return v >= min && v <= max;
    };
}

const std::vector<Step> &steps()
{
    using ModuleGet = QString (SerialBus::*)(const UnitArg &, qint16, qint16 &);
    using UnitGet = QString (SerialBus::*)(const UnitArg &, qint16 &);
    using TimeGet = QString (SerialBus::*)(const UnitArg &, qint16, qint32 &);
    static const std::vector<Step> all = [] {
        std::vector<Step> s;
        const auto unitNumber = [&](UnitGet get, qint32 min, qint32 max) {
            s.push_back([=](SerialBus &b, const UnitArg &u, qint16) {
                qint16 v = -7;
                expect((b.*get)(u, v), qint32(v), qint32(-7), between(min, max));
            });
        };
        const auto moduleNumber = [&](ModuleGet get, qint32 min, qint32 max) {
            s.push_back([=](SerialBus &b, const UnitArg &u, qint16 m) {
                qint16 v = -7;
                expect((b.*get)(u, m, v), qint32(v), qint32(-7), between(min, max));
            });
        };
        const auto moduleTime = [&](TimeGet get) {
            s.push_back([=](SerialBus &b, const UnitArg &u, qint16 m) {
                qint32 v = -7;
                expect((b.*get)(u, m, v), v, qint32(-7), between(0, R::MaxTimeMs));
            });
        };
        unitNumber(&SerialBus::GetFanFailPolarity, 0, 1);
        unitNumber(&SerialBus::GetGlobalDCGoodPolarity, 0, 1);
        unitNumber(&SerialBus::GetOTFailPolarity, 0, 1);
        unitNumber(&SerialBus::GetDefaultGlobalOutputPolarity, 0, 1);
        unitNumber(&SerialBus::GetDefaultGlobalOutputState, 0, 1);
        unitNumber(&SerialBus::GetDefaultGroupState, 0, 1);
        unitNumber(&SerialBus::GetGroupState, 0, 1);
        s.push_back([](SerialBus &b, const UnitArg &u, qint16) {
            qint16 v = -7;
            expect(b.GetGlobalOutputState(u, v), qint32(v), qint32(-7),
                   [](qint32 x) { return x == 100 || x == 101 || x == 110 || x == 111; });
        });
        s.push_back([](SerialBus &b, const UnitArg &u, qint16) {
            qint16 id = qint16(u.number()), v = -7;
            expect(b.GetUnitID(id, v), qint32(v), qint32(-7), between(1, 32));
        });
        moduleNumber(&SerialBus::GetModuleType, 0, R::MaxRaw);
        moduleNumber(&SerialBus::GetProgrammingMode, 0, 1);
        moduleNumber(&SerialBus::GetDefaultOutputOnOffPolarity, 0, 1);
        moduleNumber(&SerialBus::GetDefaultOutputOnOffState, 0, 1);
        moduleNumber(&SerialBus::GetDefaultOutputVoltage, 0, R::MaxRaw);
        moduleNumber(&SerialBus::GetModuleGoodHighThreshold, 0, R::MaxRaw);
        moduleNumber(&SerialBus::GetModuleGoodLowThreshold, 0, R::MaxRaw);
        moduleNumber(&SerialBus::GetCurrentLimit, 0, R::MaxRaw);
        moduleNumber(&SerialBus::GetGroupID, 1, 3);
        moduleNumber(&SerialBus::MeasureOutputVoltage, 0, R::MaxRaw);
        moduleNumber(&SerialBus::MeasureOutputCurrent, 0, R::MaxRaw);
        moduleTime(&SerialBus::GetOutputTurnONDelayExUShort);
        moduleTime(&SerialBus::GetCurrentLimitONTimeExUShort);
        moduleTime(&SerialBus::GetCurrentLimitOFFTimeExUShort);
        s.push_back([](SerialBus &b, const UnitArg &u, qint16 m) {
            qint16 mode = -7, reset = -7;
            const QString reply = b.GetCurrentLimitMode(u, m, mode, reset);
            expect(reply, qint32(mode), qint32(-7), between(0, 3));
            expect(reply, qint32(reset), qint32(-7), between(0, 1));
        });
        s.push_back([](SerialBus &b, const UnitArg &u, qint16 m) {
            qint16 major = -7, minor = -7;
            const QString reply =
                m == 0 ? b.GetUnitVersion(u, major, minor) : b.GetModuleVersion(u, m, major, minor);
            expect(reply, qint32(major), qint32(-7), between(0, R::MaxRaw));
            expect(reply, qint32(minor), qint32(-7), between(0, R::MaxRaw));
        });
        s.push_back([](SerialBus &b, const UnitArg &u, qint16 m) {
            const QString sentinel = QStringLiteral("\x01untouched");
            QString text = sentinel;
            const QString reply =
                m == 0 ? b.GetUnitSerialN(u, text) : b.GetModuleSerialN(u, m, text);
            expect(reply, text, sentinel, printableText);
        });
        s.push_back([](SerialBus &b, const UnitArg &u, qint16) {
            const QString sentinel = QStringLiteral("untouched");
            QString hours = sentinel;
            expect(b.GetOperatingHoursString(u, hours), hours, sentinel, [](const QString &h) {
                bool isNumber = false;
                const qint64 n = h.toLongLong(&isNumber);
                return isNumber && n >= 0 && n <= qint64(R::MaxHours);
            });
        });
        using FlagsGet = QString (SerialBus::*)(const UnitArg &, StatusArray &);
        for (const FlagsGet get :
             {&SerialBus::GetPresentModules, &SerialBus::GetModuleGoodStatusByte,
              &SerialBus::GetGlobalStatusByte, &SerialBus::GetOutputState}) {
            s.push_back([get](SerialBus &b, const UnitArg &u, qint16) {
                StatusArray a;
                const QString reply = (b.*get)(u, a);
                FUZZ_CHECK(!reply.isEmpty());
                FUZZ_CHECK(flags(a));
            });
        }
        s.push_back([](SerialBus &b, const UnitArg &u, qint16) {
            StatusArray first, second;
            FUZZ_CHECK(!b.GetMasterSlaveMode(u, first, second).isEmpty());
            FUZZ_CHECK(flags(first) && flags(second));
        });
        // Writes: whatever the unit answers, a reply and no crash.
        s.push_back([](SerialBus &b, const UnitArg &u, qint16 m) {
            FUZZ_CHECK(!b.SetCurrentLimitMode(u, m, 1, 1).isEmpty());
            FUZZ_CHECK(!b.SetOutputVoltageSetpoint(u, m, 1200).isEmpty());
        });
        return s;
    }();
    return all;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    SerialBus bus(
        [&input](const QString &, int, int) { return std::make_unique<ScriptedLine>(input); });
    FUZZ_CHECK(ok(bus.OpenPort(QStringLiteral("/dev/null"))));
    while (input.remaining_bytes() > 0) {
        const UnitArg unit(input.ConsumeIntegralInRange<int>(0, 33));
        const qint16 module = input.ConsumeIntegralInRange<qint16>(0, 6);
        const std::size_t step = input.ConsumeIntegralInRange<std::size_t>(0, steps().size() - 1);
        steps()[step](bus, unit, module);
    }
    bus.ClosePort();

    // The map's own decoders on any register value.
    for (size_t i = 0; i + 1 < size; i += 2) {
        const quint16 value = quint16(data[i] << 8 | data[i + 1]);
        if (const auto a = R::flagArray(value))
            FUZZ_CHECK(flags(*a) && R::flags(*a) == value);
        if (const auto g = R::globalOutputValue(value))
            FUZZ_CHECK(R::outputSwitches(*g) == value);
    }
    return 0;
}
