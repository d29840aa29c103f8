// Processes: the thread body, the registry, stop requests, pausing and joining.
#include "process.h"

#include <algorithm>
#include <thread>

#include "dictionary.h"
#include "evaluator.h"
#include "global_lock.h"
#include "language.h"
#include "multiobject.h"
#include "name_codes.h"

namespace qm {

namespace {
ProcessReporter* g_standardReporter = nullptr;
}

ProcessRegistry& processes() {
    static ProcessRegistry r;
    return r;
}

ProcessReporter* standardReporter() { return g_standardReporter; }

tLogoprocess* currentProcess(ProcessContext& cx) { return static_cast<tLogoprocess*>(cx.process); }

void processYieldPoint(ProcessContext& cx) {
    globalLock().yield();
    if (cx.process) static_cast<tLogoprocess*>(cx.process)->checkAttention();
}

void processWait(ProcessContext& cx, std::chrono::milliseconds time) {
    if (tLogoprocess* p = currentProcess(cx)) {
        p->sleepFor(time);
        return;
    }
    UnlockedScope unlocked;
    std::this_thread::sleep_for(time);
}

// ---- the process ----

tLogoprocess::tLogoprocess(ProcessSetup s)
    : name(std::move(s.name)), kind(s.kind), eventCode(s.eventCode), setup(std::move(s)) {}

tLogoprocess::~tLogoprocess() = default;

bool tLogoprocess::isProtected() const { return name.size() >= 3 && sameName(name.substr(0, 3), "%p%"); }

void tLogoprocess::updateAttention() { m_attention.store(m_stop.load() || m_paused, std::memory_order_relaxed); }

void tLogoprocess::requestStop() {
    {
        std::lock_guard<std::mutex> g(m_signalMutex);
        m_stop.store(true, std::memory_order_release);
        updateAttention();
    }
    m_signal.notify_all();
    // It may itself be waiting for another process to end.
    processes().wakeJoiners();
}

void tLogoprocess::setPaused(bool paused) {
    {
        std::lock_guard<std::mutex> g(m_signalMutex);
        m_paused = paused;
        updateAttention();
    }
    m_signal.notify_all();
}

// A pause holds the process here, without the global lock, until it is resumed or
// stopped; a stop ends it.
void tLogoprocess::attend() {
    if (!stopRequested()) {
        UnlockedScope unlocked;
        std::unique_lock<std::mutex> l(m_signalMutex);
        m_signal.wait(l, [this] { return !m_paused || m_stop.load(); });
    }
    if (stopRequested()) throw eTerminateException();
}

void tLogoprocess::sleepFor(std::chrono::milliseconds time) {
    {
        UnlockedScope unlocked;
        std::unique_lock<std::mutex> l(m_signalMutex);
        m_signal.wait_for(l, time, [this] { return m_stop.load(); });
    }
    if (stopRequested()) throw eTerminateException();
}

void tLogoprocess::runBody(ProcessContext& cx) {
    if (setup.body) {
        setup.body(cx);
        return;
    }
    tlogoobject* list = setup.instructions.get();
    auto once = [&] {
        cx.stopPending = 0;
        runList(cx, list);
        if (cx.stopPending && cx.outputValue) {
            // output has nobody to give its value to at the top of a process.
            release(cx.outputValue);
            cx.outputValue = nullptr;
            cx.stopPending = 0;
            throw eLogoException::withName(erWrongPlace, firstWord("dict", "output"));
        }
        cx.stopPending = 0;
    };
    switch (kind) {
    case pkForever:
        for (;;) once();
    case pkEvery:
        for (;;) {
            once();
            sleepFor(setup.interval);
        }
    case pkAfter:
        sleepFor(setup.interval);
        once();
        return;
    default:
        once();
        return;
    }
}

void tLogoprocess::threadMain() {
    setLogoThread(true);
    globalLock().lock();
    ProcessReporter* reporter = setup.reporter ? setup.reporter : g_standardReporter;
    {
        std::unique_ptr<ProcessContext> fresh;
        if (!setup.context) fresh = std::make_unique<ProcessContext>();
        ProcessContext& context = setup.context ? *setup.context : *fresh;
        setCurrentContext(&context);
        if (setup.scope) context.localScope = setup.scope.get();
        context.me = setup.object ? setup.object.get() : globals().mainObject;
        // An adopted context keeps the who list its earlier runs told.
        if (!setup.context) {
            context.askTable = setup.askTable;
            context.askTableOwner = setup.askTableOwner;
            context.whoList = setup.tellList;
            context.hasWhoList = setup.hasTellList;
        }
        context.askFrames.clear();
        context.output = reporter ? reporter->output() : nullptr;
        context.yieldPoint = processYieldPoint;
        context.process = this;
        // The top of a process is no procedure body: nothing there is a tail call.
        context.tailDepth = 1;
        cx = &context;
        try {
            if (!stopRequested()) runBody(context);
            if (endAfterErase) throw eTerminateException();
        } catch (eTerminateException&) {
        } catch (eLogoException& e) {
            if (kind == pkEvent && !e.located) {
                e.recordProcedure(nameCodes().textOf(eventCode), setup.object.get(), -1, ipEvent);
            } else if (kind == pkDrag && !e.located) {
                e.recordProcedure(name, setup.object.get(), -1, ipAutoDrag);
            }
            if (reporter) reporter->reportError(e);
        } catch (eOutputException&) {
            if (reporter) reporter->reportOther("output");
        } catch (std::exception& e) {
            if (reporter) reporter->reportOther(e.what());
        } catch (...) {
            if (reporter) reporter->reportOther("unknown failure");
        }
        cx = nullptr;
        context.pendingTail = PendingTail();
        context.stopPending = 0;
        context.valueStack.truncate(0);
        context.process = nullptr;
        context.askFrames.clear();
        if (!setup.context) {
            context.whoList.clear();
            context.hasWhoList = false;
            context.askTable = nullptr;
            context.askTableOwner.reset();
        }
        if (setup.context && setup.scope) context.localScope = &context.localScopeTable;
        setCurrentContext(nullptr);
    }
    setup.scope.reset();
    if (setup.onFinished) {
        try {
            setup.onFinished();
        } catch (...) {
        }
    }
    setup.onFinished = nullptr;
    setup.object = nullptr;
    setup.instructions = nullptr;
    setup.callbackObject = nullptr;
    setup.tellList.clear();
    setup.askTableOwner.reset();
    processes().removeLive(this);
    globalLock().unlock();
    setLogoThread(false);
    processes().finished(this);
}

// ---- the registry ----

ProcessPtr ProcessRegistry::start(ProcessSetup setup) {
    reap();
    auto p = std::make_shared<tLogoprocess>(std::move(setup));
    {
        std::lock_guard<std::mutex> g(m_mutex);
        if (!m_acceptNew) return nullptr;
        m_live.push_back(p);
    }
    tLogoprocess* raw = p.get();
    if (!p->m_thread.start([raw] { raw->threadMain(); })) {
        removeLive(raw);
        std::lock_guard<std::mutex> g(m_mutex);
        m_ended.erase(std::remove(m_ended.begin(), m_ended.end(), p), m_ended.end());
        p->m_done = true;
        return nullptr;
    }
    return p;
}

std::vector<ProcessPtr> ProcessRegistry::live() {
    std::lock_guard<std::mutex> g(m_mutex);
    return m_live;
}

size_t ProcessRegistry::count() {
    std::lock_guard<std::mutex> g(m_mutex);
    return m_live.size();
}

ProcessPtr ProcessRegistry::find(const std::string& name, const tLogoprocess* except) {
    std::lock_guard<std::mutex> g(m_mutex);
    for (const ProcessPtr& p : m_live)
        if (p.get() != except && sameName(p->name, name)) return p;
    return nullptr;
}

bool ProcessRegistry::anyNamed(const std::string& name) { return find(name, nullptr) != nullptr; }

std::string ProcessRegistry::uniqueName(const std::string& name) {
    if (!anyNamed(name)) return name;
    for (int i = 1;; ++i) {
        std::string n = name + std::to_string(i);
        if (!anyNamed(n)) return n;
    }
}

void ProcessRegistry::removeLive(tLogoprocess* p) {
    std::lock_guard<std::mutex> g(m_mutex);
    auto it = std::find_if(m_live.begin(), m_live.end(), [p](const ProcessPtr& q) { return q.get() == p; });
    if (it == m_live.end()) return;
    m_ended.push_back(*it);
    m_live.erase(it);
}

void ProcessRegistry::finished(tLogoprocess* p) {
    {
        std::lock_guard<std::mutex> g(m_mutex);
        p->m_done.store(true, std::memory_order_release);
    }
    m_changed.notify_all();
}

void ProcessRegistry::wakeJoiners() {
    {
        std::lock_guard<std::mutex> g(m_mutex);  // a joiner checks its predicate under it
    }
    m_changed.notify_all();
}

void ProcessRegistry::joinThread(tLogoprocess* p) {
    ProcessPtr owned;
    {
        std::lock_guard<std::mutex> g(m_mutex);
        auto it = std::find_if(m_ended.begin(), m_ended.end(), [p](const ProcessPtr& q) { return q.get() == p; });
        if (it == m_ended.end()) return;  // somebody else joins it
        owned = *it;
        m_ended.erase(it);
    }
    owned->m_thread.join();
}

void ProcessRegistry::reap() {
    std::vector<ProcessPtr> done;
    {
        std::lock_guard<std::mutex> g(m_mutex);
        for (auto it = m_ended.begin(); it != m_ended.end();) {
            if ((*it)->isDone()) {
                done.push_back(*it);
                it = m_ended.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (auto& p : done) p->m_thread.join();
}

void ProcessRegistry::join(const ProcessPtr& p, tLogoprocess* waiter) {
    if (!p || p.get() == waiter) return;
    {
        UnlockedScope unlocked;
        std::unique_lock<std::mutex> l(m_mutex);
        m_changed.wait(l, [&] { return p->isDone() || (waiter && waiter->stopRequested()); });
    }
    if (p->isDone()) joinThread(p.get());
    if (waiter && waiter->stopRequested()) throw eTerminateException();
}

void ProcessRegistry::stopAll(tLogoprocess* except, bool protectedToo) {
    std::vector<ProcessPtr> targets;
    {
        std::lock_guard<std::mutex> g(m_mutex);
        for (const ProcessPtr& p : m_live)
            if (p.get() != except && (protectedToo || !p->isProtected())) targets.push_back(p);
    }
    // Ask them all first, so that they wind down together, then wait for each.
    for (auto& p : targets) p->requestStop();
    for (auto& p : targets) join(p, except);
}

void ProcessRegistry::pauseAll(bool paused) {
    for (auto& p : live()) p->setPaused(paused);
}

bool ProcessRegistry::waitUntilEmpty(const std::chrono::steady_clock::time_point* deadline) {
    bool empty;
    {
        UnlockedScope unlocked;
        std::unique_lock<std::mutex> l(m_mutex);
        auto none = [this] { return m_live.empty(); };
        if (deadline) empty = m_changed.wait_until(l, *deadline, none);
        else {
            m_changed.wait(l, none);
            empty = true;
        }
    }
    reap();
    return empty;
}

void initProcessSystem(ProcessReporter* standard) {
    g_standardReporter = standard;
    std::lock_guard<std::mutex> g(processes().m_mutex);
    processes().m_acceptNew = true;
}

void processShutdown() {
    ProcessRegistry& r = processes();
    {
        std::lock_guard<std::mutex> g(r.m_mutex);
        r.m_acceptNew = false;
    }
    r.stopAll(nullptr, true);
    r.waitUntilEmpty(nullptr);
    {
        std::lock_guard<std::mutex> g(r.m_mutex);
        r.m_acceptNew = true;
    }
}

} // namespace qm
