#pragma once

#include <QString>

// The simulated bus belongs to one process at a time: its units live in the
// process and are written through to simbus.ini, so a second program on the
// same file would overwrite the first one's units with its own. The holder
// keeps an flock() on simbus.ini.lock beside the file, with its name and
// process ID in it; the kernel drops the lock when the holder ends, however
// it ends. The buses of one process share the lock.
class SimBusLock
{
public:
    explicit SimBusLock(const QString &busFile);
    ~SimBusLock();
    SimBusLock(const SimBusLock &) = delete;
    SimBusLock &operator=(const SimBusLock &) = delete;

    // This process may use the bus (also when the lock cannot be made at
    // all, as in a read-only folder: then nothing is written either).
    bool held() const { return m_held; }
    // Who holds the bus when this process does not: "zelkctl (process 1234)".
    const QString &holder() const { return m_holder; }
    // Tells the user, once, that the bus is held elsewhere and by whom.
    void tellInUse(const QString &applicationFolder) const;

private:
    QString m_key;
    bool m_held = true;
    QString m_holder;
};
