#pragma once

#include "configfile/ConfigPlan.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class ZelkDevice;

// Puts a configuration file into units through the device object: reads what
// a diff needs, writes the chosen differences in the editor's order with the
// follow-up the current-limit mode needs, and reads every written setting
// back from the unit. It never switches outputs unless asked to restart them.
// Each operation opens the port and closes it again.
class ConfigSession
{
public:
    // How a run ended, the worst first: a unit that did not answer (or a
    // device error) wins over a refused value, which wins over a verify
    // that found a difference.
    enum class Outcome { Done = 0, DeviceError = 2, VerifyDiffers = 3, Refused = 4 };
    static Outcome worse(Outcome a, Outcome b);
    static int exitCode(Outcome outcome) { return int(outcome); }
    // Why a section of a file holds no configuration to apply: a save writes
    // a section for every ID, and one whose unit was never read carries
    // neither a serial number nor a module, only flags of 0. Empty for one
    // that was read.
    static QString neverRead(const ConfigFileContents::Unit &section);

    struct Counts
    {
        int diffReads = 0;
        int writes = 0;
        int followUps = 0; // the mode again after a current limit
        int verifyReads = 0;
        int total() const { return diffReads + writes + followUps + verifyReads; }
    };

    struct Written
    {
        int row = -1; // in the plan; -1 for a follow-up write
        int module = 0;
        ConfigSetting::Id setting = ConfigSetting::Id::FanFail;
        qint32 value = 0;
        bool written = false;
        // "written", "confirmed" (no good answer, but reading it back shows
        // the unit holds it), "not written", "unknown" (no good answer and no
        // good read back), "refused" (not attempted)
        QString outcome;
        QString reply;   // of the write, when it failed
        QString refusal; // not attempted: a chosen part would break a rule
        std::optional<qint32> readBack;
        bool verified = false;
        QString text; // "written, verified" or what went wrong
    };

    struct ApplyResult
    {
        QList<Written> written;
        QString failure; // the first failed reply, told as the technician reads it
        bool verified = true;
        Outcome outcome = Outcome::Done;
        bool wroteModules = false; // a module setting changed: outputs need a restart
        bool wroteUnit = false;    // a unit option changed: the supply needs a recycle
    };

    struct UnitSummary
    {
        int unit = 0;
        Outcome outcome = Outcome::Done;
        int differences = 0; // rows to write
        int refused = 0;
        int writes = 0;
        int verifyFailures = 0;
        QString text; // one line for the summary
        std::optional<ConfigPlan> plan;
        ApplyResult result;
    };

    ConfigSession(ZelkDevice &device, const QString &port);

    // The unit's settings the file's section carries, as the unit answers
    // them now. Nothing, with error set, when the unit or the port fails.
    [[nodiscard]] std::optional<UnitState> readState(const ConfigFileContents::Unit &file, int unit,
                                                     QString *error);
    // Every setting of the unit and of each fitted module, with identity and types.
    [[nodiscard]] std::optional<UnitState> readUnit(int unit, QString *error);
    [[nodiscard]] std::optional<ConfigPlan> diff(const ConfigFileContents::Unit &file, int unit,
                                                 QString *error,
                                                 const QString &separator = QStringLiteral("."));
    // Writes the chosen rows (indices of the plan's Write rows) and, unless
    // told not to, reads each written setting back.
    ApplyResult apply(const ConfigPlan &plan, const QList<int> &chosen, bool verify = true);
    // One file section into one unit: its diff, checks, writes and verify.
    UnitSummary applyTo(const ConfigFileContents::Unit &file, int unit, bool dryRun, bool verify);
    // One file section into several units in turn, each with its own diff,
    // checks and verify; a unit that fails does not stop the others.
    QList<UnitSummary> clone(const ConfigFileContents::Unit &file, const QList<int> &units,
                             bool dryRun, bool verify);
    // The IDs 1..32 that answer.
    QList<int> answeringUnits();

    struct SaveResult
    {
        QList<int> saved;
        QStringList failures; // one line per unit that could not be read
        bool written = false;
    };
    // Reads each unit as the editor reads it and writes their sections to
    // path as the editor's save does; no units means all units that answer.
    SaveResult save(const QString &path, const QList<int> &units);
    // Switches the unit's global output off, and on again when its default
    // state and polarity agree (as the editor's restart does).
    [[nodiscard]] bool restartOutputs(int unit, QString *error);

    Counts counts;
    // Progress of long work, one line at a time (the command line prints it).
    std::function<void(const QString &)> progress;

private:
    std::optional<UnitState> readInto(const ConfigFileContents::Unit *file, int unit,
                                      QString *error);
    bool open(QString *error);
    void close();
    void tell(const QString &line);

    ZelkDevice &m_device;
    QString m_port;
};
