#pragma once

#include <atomic>
#include <thread>

namespace IniEngine {

// Guards the registry of batches and parsed files. One GUI thread uses it, so
// the lock is only ever taken uncontended: a flag costs less than a mutex on
// each of a save's thousands of calls. A misplaced call from another thread
// waits its turn. Header only, as every call takes it.
class SpinLock
{
public:
    void lock()
    {
        while (m_flag.test_and_set(std::memory_order_acquire))
            std::this_thread::yield();
    }
    void unlock() { m_flag.clear(std::memory_order_release); }

private:
    std::atomic_flag m_flag = ATOMIC_FLAG_INIT;
};

} // namespace IniEngine
