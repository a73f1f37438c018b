#pragma once

#include "core/SettingsKeys.h"
#include "core/ZelkDevice.h"
#include "device/ModbusFrame.h"
#include "device/ModbusTransport.h"
#include "device/UnitBlocks.h"
#include "device/ZelkRegisterMap.h"

#include <QString>
#include <array>
#include <functional>
#include <memory>
#include <vector>

class ProgramModule;

// The device object on a real line: every device method is a Modbus read or
// write of the unit's registers (docs/wire-protocol.md), over RTU on a serial
// port or Modbus TCP through a gateway. OpenPort takes "COM1".."COM9" (device
// paths from [PORTS] of ZelkGui.ini, else /dev/ttyS0..8), any device path, or
// "tcp://host:port"; the line rate is BaudRate in [PARAMS].
//
// A try that gets no answer, or one that fails its check bytes or does not
// fit the request, is tried again, up to the retry count; a port that goes
// away fails the call at once. Replies: "CMD_OK"; the simulated bus's texts
// where the unit says the same ("ERR_RANGE", "ERR_NO_MODULE", "ERR_ID_IN_USE",
// "ERR_PORT_CLOSED"); "ERR_TIMEOUT: ..." naming the unit and the port,
// "ERR_PORT_LOST: ...", "ERR_PORT_UNAVAILABLE: ...", "ERR_BAD_VALUE: ..." for a
// register holding what the map does not allow, "ERR_BUSY: ..." for a call
// made while another waits on the line, and texts for the other Modbus
// exceptions.
class SerialBus final : public ZelkDevice
{
public:
    using TransportFactory = std::function<std::unique_ptr<ModbusTransport>(
        const QString &target, int baud, int connectTimeoutMs)>;

    static constexpr int DefaultTimeoutMs = 500;
    static constexpr int DefaultRetries = 2;
    static constexpr int DefaultBaud = GuiIniKeys::DefaultBaudRate;

    // Without a factory the line is the line module's (ModbusLink).
    explicit SerialBus(TransportFactory factory = {});
    // The module's line; where the module cannot be opened, one whose
    // opening fails with the reason.
    static std::unique_ptr<ModbusTransport>
    lineTransport(ProgramModule &module, const QString &target, int baud, int connectTimeoutMs);
    ~SerialBus() override;

    // "COM3" as [PORTS] of the settings file names it, else /dev/ttyS2; any
    // other name as it stands.
    static QString devicePath(const QString &port, const QString &guiIniPath);
    static bool knownBaudRate(int baud);

    int readTimeoutMs() const { return m_timeoutMs; }
    int retryCount() const { return m_retries; }
    bool portOpen() const { return m_transport != nullptr; }
    int baud() const { return m_baud; }
    // Every frame from here on, to whoever watches the line; empty to stop.
    void setFrameTap(ModbusFrameTap tap);
    // Whole runs read at once and answered from (UnitBlocks); on by default,
    // off reads every value on its own.
    void setBlockReads(bool on) { m_blocks.setEnabled(on); }
    // A unit that missed its last SilentAfterMisses requests is silent: asked
    // once a call, with no retry and the short wait, until it answers again,
    // so that one dead unit does not hold up a poll of the others.
    static constexpr int SilentAfterMisses = 3;
    bool unitSilent(int unit) const;
    // The units the serial line in use treats as silent (bit n: unit n), for
    // the windows and zelkctl to show; none while no serial line was opened.
    static quint64 silentUnitsNow();
    // Whether that line treats the unit as silent now.
    static bool unitSilentNow(int unit)
    {
        return unit >= 1 && unit <= 32 && ((silentUnitsNow() >> unit) & 1);
    }
    // The line in use asks the unit again for what it keeps of it, as after
    // a write: for a comparison that decides what to write.
    static void readAfresh(int unit);
    // A line left for the simulated bus: its units start afresh when it is
    // taken again.
    void forgetSilentUnits()
    {
        m_misses.fill(0);
        m_answered = 0;
    }
    int silentTimeoutMs() const { return m_silentTimeoutMs; }
    // What a silent unit is given for this request: SilentTimeout, but never
    // less than the answer's wire time and 20 ms, so that a late answer
    // cannot run into the next request.
    int silentWaitMs(const QByteArray &requestPdu) const;

    // What became of the last write on the line in use. A write with no good
    // answer after its tries may still have reached the unit: it is settled by
    // reading the registers back (a unit ID change: by asking both IDs), and
    // its reply says so: CMD_OK when the unit holds the value, the failure
    // with "not written" when it does not, ERR_OUTCOME_UNKNOWN when the read
    // back fails too.
    struct WriteSettlement
    {
        enum class Outcome {
            Answered,   // the unit's answer said it (or the write never went out)
            Confirmed,  // no good answer, but the unit holds the value
            NotWritten, // no good answer, and the unit does not hold it
            Unknown     // no good answer, and no good read back
        };
        Outcome outcome = Outcome::Answered;
        int answersAt = 0;  // a unit ID change settled: the ID the unit answers at, 0 none
        quint64 number = 0; // the line's writes so far: a caller knows its own
    };
    static WriteSettlement lastWrite();

    // Every exchange of the process's serial lines by what came back, since
    // the process started (the metrics endpoint's frame counts). A late
    // answer is counted besides the exchange it came before.
    struct FrameCounts
    {
        quint64 good = 0;     // a whole, checked answer (an exception answer too)
        quint64 damaged = 0;  // check bytes, length or contents wrong
        quint64 timedOut = 0; // nothing whole in time
        quint64 late = 0;     // an earlier request's answer, discarded
    };
    static FrameCounts frameCounts();

    void SetINIParams(qint16 &readTimeout, qint16 &retryCount) override;
    QString OpenPort(const QString &port) override;
    QString ClosePort() override;
    QString WhoAmI() override;
    QString GetUnitID(qint16 &id, qint16 &result) override;
    QString ProbeUnit(qint16 unit) override;
    QString SetNewUnitID(qint16 &oldId, qint16 &newId) override;
    QString GetPresentModules(const UnitArg &unit, StatusArray &modules) override;
    QString GetModuleGoodStatusByte(const UnitArg &unit, StatusArray &status) override;
    QString GetGlobalStatusByte(const UnitArg &unit, StatusArray &status) override;
    QString GetOutputState(const UnitArg &unit, StatusArray &status) override;
    QString GetMasterSlaveMode(const UnitArg &unit, StatusArray &first,
                               StatusArray &second) override;
    QString GetUnitSerialN(const UnitArg &unit, QString &serial) override;
    QString GetUnitVersion(const UnitArg &unit, qint16 &major, qint16 &minor) override;
    QString GetOperatingHoursString(const UnitArg &unit, QString &hours) override;
    QString GetFanFailPolarity(const UnitArg &unit, qint16 &value) override;
    QString SetFanFailPolarity(const UnitArg &unit, qint16 value) override;
    QString GetGlobalDCGoodPolarity(const UnitArg &unit, qint16 &value) override;
    QString SetGlobalDCGoodPolarity(const UnitArg &unit, qint16 value) override;
    QString GetOTFailPolarity(const UnitArg &unit, qint16 &value) override;
    QString SetOTFailPolarity(const UnitArg &unit, qint16 value) override;
    QString GetDefaultGlobalOutputPolarity(const UnitArg &unit, qint16 &value) override;
    QString SetDefaultGlobalOutputPolarity(const UnitArg &unit, qint16 value) override;
    QString GetDefaultGlobalOutputState(const UnitArg &unit, qint16 &value) override;
    QString SetDefaultGlobalOutputState(const UnitArg &unit, qint16 value) override;
    QString GetDefaultGroupState(const UnitArg &unit, qint16 &value) override;
    QString SetDefaultGroupState(const UnitArg &unit, qint16 value) override;
    QString GetGlobalOutputState(const UnitArg &unit, qint16 &value) override;
    QString SetGlobalOutputState(const UnitArg &unit, qint16 state) override;
    QString GetGroupState(const UnitArg &unit, qint16 &value) override;
    QString SetGroupState(const UnitArg &unit, qint16 state) override;
    QString GetModuleType(const UnitArg &unit, qint16 module, qint16 &code) override;
    QString GetModuleSerialN(const UnitArg &unit, qint16 module, QString &serial) override;
    QString GetModuleVersion(const UnitArg &unit, qint16 module, qint16 &major,
                             qint16 &minor) override;
    QString GetProgrammingMode(const UnitArg &unit, qint16 module, qint16 &value) override;
    QString SetProgrammingMode(const UnitArg &unit, qint16 module, qint16 value) override;
    QString GetDefaultOutputOnOffPolarity(const UnitArg &unit, qint16 module,
                                          qint16 &value) override;
    QString SetDefaultOutputOnOffPolarity(const UnitArg &unit, qint16 module,
                                          qint16 value) override;
    QString GetDefaultOutputOnOffState(const UnitArg &unit, qint16 module, qint16 &value) override;
    QString SetDefaultOutputOnOffState(const UnitArg &unit, qint16 module, qint16 value) override;
    QString GetOutputTurnONDelayExUShort(const UnitArg &unit, qint16 module,
                                         qint32 &delayMs) override;
    QString SetOutputTurnONDelayExUShort(const UnitArg &unit, qint16 module,
                                         qint32 delayMs) override;
    QString SetOutputTurnONDelay(const UnitArg &unit, qint16 module, qint32 delayMs) override;
    QString GetDefaultOutputVoltage(const UnitArg &unit, qint16 module, qint16 &raw) override;
    QString SetDefaultOutputVoltage(const UnitArg &unit, qint16 module, qint16 raw) override;
    QString GetModuleGoodHighThreshold(const UnitArg &unit, qint16 module, qint16 &raw) override;
    QString SetModuleGoodHighThreshold(const UnitArg &unit, qint16 module, qint16 raw) override;
    QString GetModuleGoodLowThreshold(const UnitArg &unit, qint16 module, qint16 &raw) override;
    QString SetModuleGoodLowThreshold(const UnitArg &unit, qint16 module, qint16 raw) override;
    QString GetCurrentLimitMode(const UnitArg &unit, qint16 module, qint16 &mode,
                                qint16 &enableReset) override;
    QString SetCurrentLimitMode(const UnitArg &unit, qint16 module, qint16 mode,
                                qint16 enableReset) override;
    QString GetCurrentLimit(const UnitArg &unit, qint16 module, qint16 &raw) override;
    QString SetCurrentLimit(const UnitArg &unit, qint16 module, qint16 raw) override;
    QString GetCurrentLimitONTimeExUShort(const UnitArg &unit, qint16 module,
                                          qint32 &timeMs) override;
    QString SetCurrentLimitONTimeExUShort(const UnitArg &unit, qint16 module,
                                          qint32 timeMs) override;
    QString GetCurrentLimitOFFTimeExUShort(const UnitArg &unit, qint16 module,
                                           qint32 &timeMs) override;
    QString SetCurrentLimitOFFTimeExUShort(const UnitArg &unit, qint16 module,
                                           qint32 timeMs) override;
    QString GetGroupID(const UnitArg &unit, qint16 module, qint16 &group) override;
    QString SetGroupID(const UnitArg &unit, qint16 module, qint16 group) override;
    QString SetOutputState(const UnitArg &unit, qint16 module, qint16 state) override;
    QString SetOutputVoltageSetpoint(const UnitArg &unit, qint16 module, qint16 raw) override;
    QString MeasureOutputVoltage(const UnitArg &unit, qint16 module, qint16 &raw) override;
    QString MeasureOutputCurrent(const UnitArg &unit, qint16 module, qint16 &raw) override;

private:
    using Table = ZelkRegisters::Table;
    struct Request
    {
        int unit;
        int module; // 0: the unit's own registers
        QByteArray pdu;
        bool unitIdWrite = false;
    };
    using Registers = std::vector<quint16>;

    // The request on the line with its retries: CMD_OK with the answer, or
    // the reply the call fails with.
    // A probe is asked once with the silent unit's wait, and its silence
    // does not count toward the unit's silent state.
    QString transact(const Request &request, ModbusFrame::Answer &answer, bool probe = false);
    QString exceptionReply(quint8 code, const Request &request) const;
    // Port, unit and module checks before anything goes on the line.
    QString refusal(const UnitArg &unit, int module) const;
    template<typename Decode>
    QString read(const UnitArg &unit, int module, Table table, quint16 address, int count,
                 Decode decode);
    template<typename Decode>
    QString readModule(const UnitArg &unit, qint16 module, quint16 offset, int count,
                       Decode decode);
    QString write(const UnitArg &unit, int module, quint16 address, std::vector<quint16> values,
                  bool unitIdWrite = false);
    // A write whose reply leaves open whether the unit took it, settled by
    // reading back what it wrote.
    QString settleWrite(const Request &request, quint16 address, const std::vector<quint16> &values,
                        const QString &reply);
    QString settleUnitId(int oldId, int newId, const QString &reply);
    // The reply of a settled write that the unit does not hold, or may not.
    QString settled(WriteSettlement::Outcome outcome, const QString &reply, const QString &why,
                    int answersAt = 0);
    // A qint16 goes as its 16 bits, for the unit to refuse when negative.
    QString writeModule(const UnitArg &unit, qint16 module, quint16 offset, qint32 value,
                        qint32 min = -32768, qint32 max = 32767);
    QString readNumber(const UnitArg &unit, quint16 address, quint16 min, quint16 max,
                       qint16 &value);
    // A read answered from the unit's block, fetched first when stale: the
    // reply with the registers, or empty when the read goes on the line alone.
    QString fromBlocks(int unit, int module, Table table, quint16 address, int count,
                       Registers &registers);
    template<typename Value>
    QString readModuleNumber(const UnitArg &unit, qint16 module, quint16 offset, quint16 min,
                             quint16 max, Value &value);
    QString badValue(const UnitArg &unit, Table table, quint16 address, quint16 value) const;
    // The device path, or where the stored port's remembered adapter now sits
    // when it was plugged in elsewhere (told once per move).
    QString followAdapter(const QString &path);
    // The port as the user named it, with its device path when that differs.
    QString portName() const;
    QString where(int unit) const;
    // BaudRate of [PARAMS]; 9600 when absent, and when not a rate the line
    // knows (told once in the error file).
    int baudRateSetting();

public:
    // SilentTimeout of the serial section of Zelk.ini, 10..5000 ms, else 50.
    static int silentTimeoutSetting();

private:
    TransportFactory m_factory;
    std::unique_ptr<ModbusTransport> m_transport;
    ModbusFrameTap m_tap;
    QString m_port;
    QString m_path;
    int m_baud = DefaultBaud;
    int m_timeoutMs = DefaultTimeoutMs;
    int m_retries = DefaultRetries;
    bool m_busy = false;
    QString m_reportedBaud;
    QString m_adapterTold; // the last move of the port's adapter the user was told of
    UnitBlocks m_blocks;
    std::array<quint8, 33> m_misses{}; // requests unanswered in a row, by unit
    quint64 m_answered = 0;            // units that answered on this line (bit n: unit n)
    int m_silentTimeoutMs = ZelkIniKeys::DefaultSilentTimeout;
};
