// The global interpreter lock: a FIFO queue of waiters, each with its own wake-up, and
// direct hand-off from the holder to the longest waiter.
#include "global_lock.h"

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <thread>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define QM_CPU_RELAX() _mm_pause()
#else
#define QM_CPU_RELAX() std::this_thread::yield()
#endif

namespace qm {

// One per thread that ever waits for the lock. Nodes are never freed, only handed to
// the next thread, so that a late wake-up can never touch freed memory.
struct GlobalLock::Waiter {
    std::atomic<bool> granted{false};
    std::mutex m;
    std::condition_variable cv;
    bool sleeping = false;  // under m
    bool poked = false;     // under m: became the head of the queue, spin now
    Waiter* next = nullptr; // queue link, under the queue lock
    Waiter* nextFree = nullptr;
};

namespace {

thread_local bool t_held = false;

constexpr int kSpinRounds = 4000;

std::mutex g_poolMutex;
GlobalLock::Waiter* g_freeWaiters = nullptr;

struct WaiterHolder {
    GlobalLock::Waiter* node = nullptr;
    ~WaiterHolder() {
        if (!node) return;
        std::lock_guard<std::mutex> g(g_poolMutex);
        node->nextFree = g_freeWaiters;
        g_freeWaiters = node;
    }
};
thread_local WaiterHolder t_waiter;

GlobalLock::Waiter* myWaiter() {
    if (!t_waiter.node) {
        std::lock_guard<std::mutex> g(g_poolMutex);
        if (g_freeWaiters) {
            t_waiter.node = g_freeWaiters;
            g_freeWaiters = g_freeWaiters->nextFree;
        } else {
            t_waiter.node = new GlobalLock::Waiter();
        }
    }
    return t_waiter.node;
}

} // namespace

GlobalLock::GlobalLock() : m_spin(std::thread::hardware_concurrency() > 1) {}

GlobalLock& globalLock() {
    static GlobalLock lock;
    return lock;
}

bool GlobalLock::heldByMe() { return t_held; }

void GlobalLock::lock() {
    Waiter* me = myWaiter();
    bool head;
    {
        std::lock_guard<std::mutex> g(m_queueMutex);
        if (!m_held) {
            m_held = true;
            t_held = true;
            return;
        }
        me->granted.store(false, std::memory_order_relaxed);
        {
            std::lock_guard<std::mutex> l(me->m);
            me->poked = false;
        }
        me->next = nullptr;
        if (m_tail) m_tail->next = me;
        else m_head = me;
        m_tail = me;
        head = m_head == me;
        m_waiting.fetch_add(1, std::memory_order_relaxed);
    }
    for (;;) {
        if (m_spin && head) {
            for (int i = 0; i < kSpinRounds; ++i) {
                if (me->granted.load(std::memory_order_acquire)) {
                    t_held = true;
                    return;
                }
                QM_CPU_RELAX();
            }
        }
        std::unique_lock<std::mutex> l(me->m);
        me->sleeping = true;
        me->cv.wait(l, [me] { return me->granted.load(std::memory_order_acquire) || me->poked; });
        me->sleeping = false;
        if (me->granted.load(std::memory_order_acquire)) break;
        me->poked = false;
        head = true;
    }
    t_held = true;
}

void GlobalLock::unlock() {
    Waiter* w;
    Waiter* next;
    {
        std::lock_guard<std::mutex> g(m_queueMutex);
        t_held = false;
        w = m_head;
        if (!w) {
            m_held = false;
            return;
        }
        // The lock stays held: it passes to w without ever being free.
        m_head = w->next;
        if (!m_head) m_tail = nullptr;
        next = m_head;
        m_waiting.fetch_sub(1, std::memory_order_relaxed);
    }
    m_handOffs.fetch_add(1, std::memory_order_relaxed);
    bool wake;
    {
        std::lock_guard<std::mutex> l(w->m);
        w->granted.store(true, std::memory_order_release);
        wake = w->sleeping;
    }
    if (wake) w->cv.notify_one();
    // The new head starts spinning now, so that it is awake when its turn comes. The
    // node may have moved on meanwhile; a poke it does not need only costs it a spin.
    if (next && m_spin) {
        bool poke;
        {
            std::lock_guard<std::mutex> l(next->m);
            poke = next->sleeping && !next->granted.load(std::memory_order_relaxed);
            if (poke) next->poked = true;
        }
        if (poke) next->cv.notify_one();
    }
}

void GlobalLock::handOff() {
    unlock();
    lock();
}

UnlockedScope::UnlockedScope() : m_released(GlobalLock::heldByMe()) {
    if (m_released) globalLock().unlock();
}

UnlockedScope::~UnlockedScope() {
    if (m_released) globalLock().lock();
}

LockedScope::LockedScope() : m_taken(!GlobalLock::heldByMe()) {
    if (m_taken) globalLock().lock();
}

LockedScope::~LockedScope() {
    if (m_taken) globalLock().unlock();
}

#if defined(QM_TESTING) || !defined(NDEBUG)
void lockNotHeld(const char* file, int line) {
    std::fprintf(stderr, "%s:%d: the global interpreter lock is not held\n", file, line);
    std::abort();
}
#endif

} // namespace qm
