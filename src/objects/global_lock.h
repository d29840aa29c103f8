// The global interpreter lock: a fair hand-off lock that serialises all Logo evaluation,
// and the scopes through which code gives it up around waits.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

namespace qm {

// LOCKS AND THEIR ORDER
//
// Every lock of the process system, outermost first. A thread may take a lock further
// down the list while holding one above it, never the other way round.
//
//   1. GlobalLock              all Logo evaluation, every value, object and name table.
//   2. ProcessRegistry lock    the list of live processes only; taken with or without
//                              the global lock, never held while waiting for a thread.
//   2a. the named-section table and each named critical section's own lock (runcritical,
//                              the saving section): the table's lock is a leaf; a
//                              section's lock guards its holder and queue, is never held
//                              while sleeping for a process, and takes a waiting
//                              process's signal lock inside it to let that process in.
//   3. a process's signal lock the stop, pause and done flags of one process and the
//                              condition variable its waits sleep on. A leaf.
//   4. GlobalLock's queue lock the waiting queue inside the global lock, held for a few
//                              instructions, never while sleeping; a waiter's own
//                              wake-up lock may be taken inside it (and is a leaf).
//
// Nobody waits (for a thread, a time, a stop request or a handler) while holding the
// global lock: such waits run inside an UnlockedScope, which gives the global lock up
// and takes it back on every way out.
//
// HAND-OFF RULES
//
// The lock is fair: waiters queue in arrival order and unlock() hands the lock straight
// to the longest waiter (the lock never becomes free while someone waits, so a thread
// that unlocks and locks again at once cannot overtake the queue). yield() is unlock
// plus lock: when others wait, the holder lets the longest waiter run first and queues
// behind everybody already waiting. When nobody waits, yield() is one relaxed atomic
// load, so a single process pays nothing for the lock at its yield points.
//
// A waiter at the head of the queue spins briefly before it sleeps, and the holder
// wakes the next head early when it hands the lock on, so that a hand-off between
// processes on different cores costs no sleep and wake-up.
class GlobalLock {
public:
    GlobalLock();
    GlobalLock(const GlobalLock&) = delete;

    void lock();
    void unlock();
    // Hands the lock to the longest waiter when there is one, and waits for its turn.
    void yield() {
        if (m_waiting.load(std::memory_order_relaxed) != 0) handOff();
    }
    bool othersWaiting() const { return m_waiting.load(std::memory_order_relaxed) != 0; }
    int32_t waiterCount() const { return m_waiting.load(std::memory_order_relaxed); }
    // Whether the calling thread holds the lock.
    static bool heldByMe();
    // How many times the lock has passed from one thread straight to a waiting one.
    uint64_t handOffs() const { return m_handOffs.load(std::memory_order_relaxed); }

    struct Waiter;

private:
    void handOff();

    std::mutex m_queueMutex;
    bool m_held = false;
    Waiter* m_head = nullptr;
    Waiter* m_tail = nullptr;
    std::atomic<int32_t> m_waiting{0};
    std::atomic<uint64_t> m_handOffs{0};
    bool m_spin;
};

GlobalLock& globalLock();

// Gives the global lock up for its lifetime when the calling thread holds it, and takes
// it back at the end. Nested scopes release only once.
class UnlockedScope {
public:
    UnlockedScope();
    ~UnlockedScope();
    UnlockedScope(const UnlockedScope&) = delete;

private:
    bool m_released;
};

// Takes the global lock for its lifetime unless the calling thread already holds it.
class LockedScope {
public:
    LockedScope();
    ~LockedScope();
    LockedScope(const LockedScope&) = delete;

private:
    bool m_taken;
};

#if defined(QM_TESTING) || !defined(NDEBUG)
#define QM_ASSERT_LOCK_HELD() ((void)(::qm::GlobalLock::heldByMe() || (::qm::lockNotHeld(__FILE__, __LINE__), 0)))
[[noreturn]] void lockNotHeld(const char* file, int line);
#else
#define QM_ASSERT_LOCK_HELD() ((void)0)
#endif

} // namespace qm
