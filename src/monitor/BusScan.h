#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

class ZelkDevice;

// Looks for the units that answer on the bus, one ID at a time from FirstId
// to LastId. Each ID is one port sequence that waits for the shared line, so
// a Monitor Mode poll or another window's read due meanwhile goes in turn
// between two IDs; the scan can be cancelled between any two.
class BusScan : public QObject
{
    Q_OBJECT
public:
    static constexpr int FirstId = 1;
    static constexpr int LastId = 32;

    struct Unit
    {
        int id = 0;
        QString serial;
        QString firmware;
        QStringList modules; // "1: type" for each fitted module
        QStringList alarms;  // the raised unit alarms ("Fan Fail: Fail"); empty when none
    };

    explicit BusScan(QObject *parent = nullptr);

    void start();
    void cancel();
    bool running() const { return m_running; }
    // The ID looked at next; past LastId when the scan is through.
    int nextId() const { return m_next; }
    const QList<Unit> &found() const { return m_found; }

    // The reply of an OpenPort that failed, which ended the scan; else empty.
    const QString &portError() const { return m_portError; }

    // Asks one ID in one port sequence; false when no unit answers there or
    // the port did not open (its reply then in portError). A look for units
    // asks first whether anybody is there, with the short question, and
    // tells in garbled of a garbled answer to it.
    enum class Ask { Read, LookFirst };
    static bool probe(ZelkDevice &device, int id, Unit &unit, QString *portError = nullptr,
                      Ask ask = Ask::Read, bool *garbled = nullptr);
    // Whether the scan found no unit, or heard a garbled answer to a short
    // question: a slow unit may be on the line (ZelkDevice::slowUnitHint).
    bool slowUnitSuspected() const { return m_found.isEmpty() || m_garbled; }

signals:
    void progress(int idDone);
    void unitFound(const BusScan::Unit &unit);
    void finished(bool cancelled);

private:
    void scheduleNext();
    void step();
    void finish(bool cancelled);

    QList<Unit> m_found;
    QString m_portError;
    int m_next = FirstId;
    bool m_running = false;
    bool m_cancelled = false;
    bool m_inStep = false;
    bool m_garbled = false;
    quint64 m_run = 0; // steps of an earlier scan never act on this one
};
