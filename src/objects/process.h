// Logo processes: one thread each, the registry of live processes, stopping, pausing,
// joining and the waits that a stop request ends at once.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "context.h"
#include "platform/thread.h"

namespace qm {

enum ProcessKind : int32_t {
    pkEvent = 2,
    pkMain = 8,
    pkLaunch = 10,
    pkForever = 11,
    pkEvery = 13,
    pkAfter = 14,
    pkDrag = 15,
};

// The reporting interface of a process: where its text goes and how its errors are told.
class ProcessReporter {
public:
    virtual ~ProcessReporter() = default;
    virtual TextOutput* output() = 0;
    virtual void reportError(const eLogoException& e) = 0;
    virtual void reportOther(const std::string& what) = 0;
};

class tLogoprocess;
using ProcessPtr = std::shared_ptr<tLogoprocess>;
// A body given by the host instead of an instruction list ("@main" runs a script).
using ProcessBody = std::function<void(ProcessContext&)>;

// Everything a new process starts from.
struct ProcessSetup {
    std::string name;
    int32_t kind = pkLaunch;
    int32_t eventCode = 0;
    Ref<tlogoobject> object;        // the current object it starts with; the main object when nil
    Ref<tlogoobject> instructions;  // what it runs
    tLogoTab* askTable = nullptr;
    std::shared_ptr<tLogoTab> askTableOwner;
    std::vector<Ref<tlogoobject>> tellList;
    bool hasTellList = false;
    std::unique_ptr<tLogoLocaltab> scope;  // nil: a new empty one
    ProcessReporter* reporter = nullptr;   // nil: the standard one
    std::chrono::milliseconds interval{0}; // every: the pause; after: the delay
    ProcessBody body;
    // A context that outlives the process, used instead of a fresh one: successive
    // "@main" runs of a host keep their test result, pending error and locals.
    ProcessContext* context = nullptr;
    // Called as the process ends, in its thread while it still holds the global lock.
    std::function<void()> onFinished;
    Ref<tlogoobject> callbackObject;  // the object onFinished refers to, if any
};

class tLogoprocess {
public:
    explicit tLogoprocess(ProcessSetup setup);
    ~tLogoprocess();
    tLogoprocess(const tLogoprocess&) = delete;

    const std::string name;   // fixed at creation
    const int32_t kind;
    const int32_t eventCode;

    // Under the global lock.
    ProcessSetup setup;
    ProcessContext* cx = nullptr;  // while the thread runs its body
    bool endAfterErase = false;    // it erased its own object: it ends when the erase is over

    bool isProtected() const;
    bool isDone() const { return m_done.load(std::memory_order_acquire); }
    bool stopRequested() const { return m_stop.load(std::memory_order_acquire); }

    // Ask it to stop: the flag is seen at its next yield point, and any wait it is in
    // ends at once.
    void requestStop();
    void setPaused(bool paused);

    // At a yield point: cheap unless a stop or pause is pending.
    void checkAttention() {
        if (m_attention.load(std::memory_order_relaxed)) attend();
    }
    // Waits for the time without the global lock; a stop request ends the wait and the
    // process (termination exception).
    void sleepFor(std::chrono::milliseconds time);

    // Waits until `ready` holds or a stop is requested; neither takes nor gives the
    // global lock (the caller gives it up first). `ready` is read under the process's
    // signal lock, so whoever makes it true does so inside signal(). Answers whether it
    // became ready.
    template <class F>
    bool waitUntil(F ready) {
        std::unique_lock<std::mutex> l(m_signalMutex);
        m_signal.wait(l, [&] { return ready() || m_stop.load(std::memory_order_acquire); });
        return ready();
    }
    // Runs `change` under the signal lock and wakes the process's waits.
    template <class F>
    void signal(F change) {
        {
            std::lock_guard<std::mutex> g(m_signalMutex);
            change();
        }
        m_signal.notify_all();
    }

private:
    friend class ProcessRegistry;
    void attend();
    void updateAttention();  // under m_signalMutex
    void threadMain();
    void runBody(ProcessContext& cx);

    std::atomic<bool> m_attention{false};
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_done{false};
    bool m_paused = false;  // under m_signalMutex
    std::mutex m_signalMutex;
    std::condition_variable m_signal;
    platform::LargeStackThread m_thread;
};

// The list of live processes (tallthreads).
class ProcessRegistry {
public:
    // Creates the process and starts its thread. Call with the global lock held.
    ProcessPtr start(ProcessSetup setup);
    std::vector<ProcessPtr> live();
    ProcessPtr find(const std::string& name, const tLogoprocess* except);
    bool anyNamed(const std::string& name);
    // A name not used by a live process: the name, else the name followed by 1, 2, ...
    std::string uniqueName(const std::string& name);
    size_t count();

    // Waits, without the global lock, until the process has ended; the waiting process
    // ends instead when it is asked to stop meanwhile.
    void join(const ProcessPtr& p, tLogoprocess* waiter);
    // Stops every process but `except` (and the protected ones unless told otherwise)
    // and waits for them.
    void stopAll(tLogoprocess* except, bool protectedToo);
    void pauseAll(bool paused);
    // Waits until no process is left; false when the deadline came first.
    bool waitUntilEmpty(const std::chrono::steady_clock::time_point* deadline);
    // Joins the threads of processes that have ended.
    void reap();
    // Lets every join re-check whether its waiter was asked to stop.
    void wakeJoiners();

private:
    friend class tLogoprocess;
    void finished(tLogoprocess* p);
    void removeLive(tLogoprocess* p);
    void joinThread(tLogoprocess* p);

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<ProcessPtr> m_live;
    std::vector<ProcessPtr> m_ended;  // ended, thread not joined yet
    bool m_acceptNew = true;
    friend void processShutdown();
    friend void initProcessSystem(ProcessReporter* standard);
};

ProcessRegistry& processes();

// The process running on this thread, or nil (the host's thread).
tLogoprocess* currentProcess(ProcessContext& cx);

// Installs the yield point and the process-aware wait; once at start-up.
void initProcessSystem(ProcessReporter* standard);
ProcessReporter* standardReporter();
// The yield point of every context: hands the global lock on when others wait, then
// checks for a stop or pause request.
void processYieldPoint(ProcessContext& cx);
// Waits `time` without the global lock; a stop request ends it (and the process) at once.
void processWait(ProcessContext& cx, std::chrono::milliseconds time);
// Ends the run: asks every process to stop, wakes it and joins it. Call without the
// global lock.
void processShutdown();

} // namespace qm
