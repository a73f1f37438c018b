#pragma once

#include "core/ZelkDevice.h"
#include "core/ZelkGlobals.h"

#include <QObject>
#include <QString>
#include <array>
#include <optional>

// Where a unit read reports its progress, line by line (the editor's
// communication window).
class ReadProgressLog
{
public:
    virtual ~ReadProgressLog() = default;
    virtual void appendText(const QString &text) = 0;
};

// The fields of one module position of the unit record.
struct ZelkModuleRecord
{
    QString ModuleCode;
    QString SerialNumber;
    QString MajorVersion;
    QString MinorVersion;
    QString DefaultOutputPolarity;
    QString StartUpState;
    QString OutputVoltageSetpoint;
    QString VoltageHighLimit;
    QString VoltageLowLimit;
    QString CurrentLimitMode;
    QString CurrentLimit;
    QString ActivationTime;
    QString ResetTime;
    QString EnableReset;
    QString StartUpDelay;
    QString ProgrammingMode;
    qint16 GroupId = 0;
    // Kept in the configuration file as M<m>Master, M<m>Slave, M<m>Delay, M<m>State.
    QString Master;
    QString Slave;
    QString Delay;
    QString State;
    QString ModuleSection;
    QString MeasuredVoltage;
    QString MeasuredCurrent;
};

// One unit's picture: its configuration record and the last status it
// reported, with one wrapper per device query. Every wrapper follows one
// error convention: the reply goes to LastReply; a failure writes the error
// file, sets LastError, ErrorFlag and clears Responding.
// A text field that was never given a value is a null QString.
class ZelkData : public QObject
{
    Q_OBJECT
public:
    explicit ZelkData(QObject *parent = nullptr);

    // Unit fields
    QString PowerSupplyID;
    QString SerialNumber;
    QString MajorVersion;
    QString MinorVersion;
    bool FanFail = false;
    bool GlobalDC = false;
    bool OverTemp = false;
    bool GlobalOnOff = false;
    bool Global = false;
    bool Group = false;
    QString MODULES;
    QString ModuleGoodStatus;
    QString OutputStatus;
    bool AcOk = false;
    bool GlobalCurrentLimit = false;
    // The global status byte's over-voltage alarm, as the unit last gave it.
    bool GlobalOvp = false;
    bool FanWarn = false;
    bool GlobalOutput = false;
    QString OperatingHours;
    // From the master/slave query: four numbers; -1 where the unit's answer
    // was not one of the known patterns.
    std::array<qint16, 4> MasterSlave{{0, 0, 0, 0}};

    // Module m = 1..5; any other index gives a scratch record that is never read.
    ZelkModuleRecord &Module(int m);
    const ZelkModuleRecord &Module(int m) const;

    // Instance state
    QString UnitID;
    QString LastReply;
    // The last monitor read stopped at a failure (the port, a call): what it
    // did not reach is the read's before.
    bool ReadFailed = false;
    qint16 ModuleIndex = 0;
    bool Responding = false;

    bool modulePresent(int m) const;

    // Decoding
    static QString GetDecimalNumber(const QString &text);
    QString VSerialNumber() const { return SerialNumber; }
    void InitElements();
    // At least two decimals, in the user's decimal separator.
    static QString FormatDecimals(const QString &text);
    // Shows "ERROR " and the last error.
    static void alert();

    // Port
    bool OpenPort();
    bool ClosePort();

    // Unit wrappers
    void GetModuleGoodStatusByte();
    void GetOutputState();
    void GetGlobalStatusByte();
    void GetMasterSlaveMode();
    void GetUnitSerialN();
    void GetFanFailPolarity();
    void GetGlobalDCGoodPolarity();
    void GetOTFailPolarity();
    void GetGroupState();
    void GetDefaultGroupState();
    void GetDefaultGlobalOutputPolarity();
    void GetDefaultGlobalOutputState();
    void GetGlobalOutputState();
    void GetUnitVersion();
    void GetOperatingHours();
    void SetGlobalOutputState(qint16 unit, qint16 state);
    void SetGroupState(qint16 state);

    // Module wrappers: present modules only
    void GetModuleSerialN();
    void GetCurrentLimitMode();
    void GetDefaultOutputOnOffPolarity();
    void GetDefaultOutputOnOffState();
    void GetProgrammingMode();
    void GetOutputTurnONDelay();
    void GetModuleGoodLowThreshold();
    void GetModuleGoodHighThreshold();
    void GetCurrentLimitONTime();
    void GetCurrentLimitOFFTime();
    void GetGroupID();
    void GetModuleVersion();
    void GetOutputVoltageSetpoint();

    // Discovery and scaling
    void GetPresentModules();
    void GetModuleType();
    void MeasureOutputVoltage();
    void MeasureOutputCurrent();
    void GetCurrentLimit();
    void SetCurrentLimit();

    // Snapshot reads
    void ReadZelkSetup(const QString &unit, ReadProgressLog *log = nullptr);
    void ReadZelkMonitor(const QString &unit);

    // Boxes of the device sequences carry the program's title.
    static inline const QString &AppTitle = ZelkGlobals::AppTitle;

signals:
    // A fitted module's type name is known (not shown for "Not Present").
    void moduleTypeNameRead(int module, const QString &typeName);
    // A fitted module's ratings are known: current-limit scroll 0..maxCurrentWhole,
    // rated current text, set-point slider in tenths of a volt.
    void moduleRatingsReady(int module, int maxCurrentWhole, const QString &maxCurrentText,
                            int sliderMin, int sliderMax);
    // The unit did not answer the present-modules query.
    void unitDoesNotRespond();
    // The unit's outputs are off by the global inhibit; no module was read.
    void globalInhibitDetected();

private:
    // The error convention. fileText/errorText are the fixed texts; module 0
    // for unit-wide methods.
    bool check(const QString &reply, const QString &fileText, const QString &errorText,
               int module = 0, bool clearsResponding = true);
    void fail(const QString &fileText, const QString &errorText, const QString &reply, int module,
              bool clearsResponding);
    template<typename Call> void forPresentModules(Call call);
    // A per-module query whose one number is kept as decimal text in a field.
    template<typename Value>
    void readModuleNumbers(const char *name,
                           QString (ZelkDevice::*method)(const UnitArg &, qint16, Value &),
                           QString ZelkModuleRecord::*field);
    // Scale factor of a fitted module's type, or nothing (error recorded)
    // when scale.ini holds no usable number for it.
    std::optional<double> scaleFactor(int m, const QString &key, const QString &fileText,
                                      const QString &errorText, bool clearsResponding);
    ZelkDevice &device() const;

    std::array<ZelkModuleRecord, 5> m_modules;
    ZelkModuleRecord m_scratch;
};
