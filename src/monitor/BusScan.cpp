#include "monitor/BusScan.h"

#include "core/StatusArray.h"
#include "core/ZelkDevice.h"
#include "core/ZelkGlobals.h"
#include "core/ZelkRoutines.h"
#include "core/clsScalability.h"
#include "device/SharedLine.h"
#include "monitor/AlarmWatch.h"

#include <QTimer>

BusScan::BusScan(QObject *parent)
    : QObject(parent)
{}

void BusScan::start()
{
    ++m_run;
    m_found.clear();
    m_portError.clear();
    m_garbled = false;
    m_next = FirstId;
    m_running = true;
    m_cancelled = false;
    scheduleNext();
}

void BusScan::cancel()
{
    if (!m_running)
        return;
    // Asked from the event pass of an ID being asked: that one ends first.
    if (m_inStep) {
        m_cancelled = true;
        return;
    }
    ++m_run; // the step already waiting never runs
    finish(true);
}

void BusScan::scheduleNext()
{
    // Through the event loop: the window shows its progress and takes a
    // Cancel between two IDs.
    const quint64 run = m_run;
    QTimer::singleShot(0, this, [this, run] {
        if (run != m_run)
            return;
        SharedLine::instance().whenFree(this, [this, run] {
            if (run == m_run)
                step();
        });
    });
}

void BusScan::step()
{
    if (!m_running)
        return;
    if (m_cancelled || !ZelkGlobals::Device) {
        finish(true);
        return;
    }
    const int id = m_next++;
    Unit unit;
    m_inStep = true;
    const bool answers =
        probe(*ZelkGlobals::Device, id, unit, &m_portError, Ask::LookFirst, &m_garbled);
    m_inStep = false;
    if (!m_portError.isEmpty()) {
        // Without the port no ID can answer: saying "none" would be wrong.
        m_next = id;
        finish(true);
        return;
    }
    if (answers) {
        m_found.append(unit);
        emit unitFound(unit);
    }
    emit progress(id);
    if (m_cancelled)
        finish(true);
    else if (m_next > LastId)
        finish(false);
    else
        scheduleNext();
}

void BusScan::finish(bool cancelled)
{
    m_running = false;
    m_cancelled = false;
    emit finished(cancelled);
}

bool BusScan::probe(ZelkDevice &device, int id, Unit &unit, QString *portError, Ask ask,
                    bool *garbled)
{
    const UnitArg at(id);
    const QString opened = device.OpenPort(ZelkGlobals::ComPort);
    if (!IsCmdOk(opened)) {
        device.ClosePort();
        if (portError)
            *portError = opened;
        return false;
    }
    StatusArray modules;
    const QString asked = ask == Ask::Read ? CmdOk : device.ProbeUnit(qint16(id));
    const bool there = !ZelkDevice::nobodyAnswered(asked);
    const bool answers = there && IsCmdOk(device.GetPresentModules(at, modules));
    if (garbled && there && !IsCmdOk(asked))
        *garbled = true;
    if (answers) {
        unit.id = id;
        QString serial;
        unit.serial =
            IsCmdOk(device.GetUnitSerialN(at, serial)) ? serial.trimmed() : QStringLiteral("?");
        qint16 major = 0, minor = 0;
        unit.firmware = IsCmdOk(device.GetUnitVersion(at, major, minor))
                            ? QStringLiteral("%1.%2").arg(major).arg(minor)
                            : QStringLiteral("?");
        for (int m = 1; m <= 5; ++m) {
            if (modules(m) != 1)
                continue;
            qint16 code = 0;
            QString type = QStringLiteral("?");
            if (IsCmdOk(device.GetModuleType(at, qint16(m), code))) {
                clsScalability ratings;
                ratings.fillFromScaleIni(code);
                type = ratings.Type.isEmpty() || ratings.Type == QLatin1String("N/A")
                           ? QStringLiteral("type %1").arg(code)
                           : ratings.Type;
            }
            unit.modules << QStringLiteral("%1: %2").arg(m).arg(type);
        }
        StatusArray g;
        if (IsCmdOk(device.GetGlobalStatusByte(at, g))) {
            // Elements 1-4 and 8 are good signals, 5 and 7 alarms.
            const std::pair<int, bool> raised[] = {
                {AlarmWatch::OverTemp, g(1) != 1},     {AlarmWatch::FanFail, g(2) != 1},
                {AlarmWatch::FanWarning, g(8) != 1},   {AlarmWatch::AcGood, g(3) != 1},
                {AlarmWatch::GlobalDcGood, g(4) != 1}, {AlarmWatch::GlobalCurrentLimit, g(5) == 1},
                {AlarmWatch::Ovp, g(7) == 1}};
            // Told as the status log tells a flag, so that a good signal
            // that dropped does not read as fine.
            for (const auto &[flag, on] : raised) {
                if (on)
                    unit.alarms << AlarmWatch::flagName(flag) + QStringLiteral(": Fail");
            }
        } else {
            unit.alarms << QStringLiteral("?");
        }
    }
    device.ClosePort();
    return answers;
}
