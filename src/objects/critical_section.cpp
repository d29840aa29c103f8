// Named critical sections: a FIFO queue of waiting contexts per section, each woken by
// its own signal, and the process-wide table of sections by name.
//
//   event                      section free            held by cx             held by another
//   -------------------------  ----------------------  ---------------------  -------------------------
//   enter (cx)                 cx holds it, depth 1    depth + 1              cx queues; gives up the
//                                                                             global lock and sleeps
//   leave (cx), depth > 1      -                       depth - 1              -
//   leave (cx), depth 1        -                       the head waiter holds  -
//                                                      it (depth 1) and wakes
//   stop request to a waiter   -                       -                      it leaves the queue (or,
//                                                                             let in meanwhile, passes
//                                                                             the section on) and ends
#include "critical_section.h"

#include <algorithm>
#include <map>
#include <memory>

#include "global_lock.h"
#include "language.h"
#include "logo_error.h"
#include "process.h"

namespace qm {

// A context waiting for the section. A process is woken through its own signal, so
// that a stop request wakes the same wait; the host's thread, which cannot be stopped,
// sleeps on the section's condition variable of its own.
struct tLogoCriticalSection::Waiter {
    const ProcessContext* cx = nullptr;
    tLogoprocess* process = nullptr;
    bool granted = false;  // written under the section lock (and the process's signal lock)
    std::condition_variable cv;
};

void tLogoCriticalSection::enter(ProcessContext& cx) {
    Waiter w;
    {
        std::lock_guard<std::mutex> g(m_mutex);
        if (!m_owner) {
            m_owner = &cx;
            m_depth = 1;
            return;
        }
        if (m_owner == &cx) {
            ++m_depth;
            return;
        }
        w.cx = &cx;
        w.process = currentProcess(cx);
        m_queue.push_back(&w);
    }
    bool stopped = false;
    {
        UnlockedScope unlocked;
        if (w.process) {
            w.process->waitUntil([&w] { return w.granted; });
            stopped = w.process->stopRequested();
        } else {
            std::unique_lock<std::mutex> l(m_mutex);
            w.cv.wait(l, [&w] { return w.granted; });
        }
        if (stopped) {
            // Stopped: out of the queue, or, when the section came meanwhile, on to the
            // next waiter, so that the section is never left held by nobody.
            std::lock_guard<std::mutex> g(m_mutex);
            if (w.granted) {
                m_owner = nullptr;
                m_depth = 0;
                passOnLocked();
            } else {
                m_queue.erase(std::remove(m_queue.begin(), m_queue.end(), &w), m_queue.end());
            }
        }
    }
    if (stopped) throw eTerminateException();
}

void tLogoCriticalSection::leave(ProcessContext& cx) {
    std::lock_guard<std::mutex> g(m_mutex);
    // Only the holder gives entries back; anything else would let two contexts in.
    if (m_owner != &cx || m_depth <= 0) return;
    if (--m_depth > 0) return;
    m_owner = nullptr;
    passOnLocked();
}

void tLogoCriticalSection::passOnLocked() {
    if (m_queue.empty()) return;
    Waiter* w = m_queue.front();
    m_queue.pop_front();
    m_owner = w->cx;
    m_depth = 1;
    if (w->process) {
        w->process->signal([w] { w->granted = true; });
    } else {
        w->granted = true;
        w->cv.notify_one();  // the waiter needs the section lock to return: w stays valid
    }
}

bool tLogoCriticalSection::isHeld() {
    std::lock_guard<std::mutex> g(m_mutex);
    return m_owner != nullptr;
}

size_t tLogoCriticalSection::waiterCount() {
    std::lock_guard<std::mutex> g(m_mutex);
    return m_queue.size();
}

namespace {

struct SectionTable {
    std::mutex mutex;
    std::map<std::string, std::unique_ptr<tLogoCriticalSection>> byKey;
};

SectionTable& sectionTable() {
    static SectionTable t;
    return t;
}

} // namespace

tLogoCriticalSection& namedCriticalSection(const std::string& name) {
    SectionTable& t = sectionTable();
    std::lock_guard<std::mutex> g(t.mutex);
    std::unique_ptr<tLogoCriticalSection>& slot = t.byKey[foldName(name)];
    if (!slot) slot = std::make_unique<tLogoCriticalSection>();
    return *slot;
}

tLogoCriticalSection& savingSection() {
    static tLogoCriticalSection section;
    return section;
}

} // namespace qm
