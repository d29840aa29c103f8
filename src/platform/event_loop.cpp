// The shared UI loop parts: task queue, timers, event queue.
#include "event_loop.h"

#include <algorithm>

namespace qm::platform {

LoopCore::LoopCore(std::function<void()> wakeHook)
    : m_wakeHook(std::move(wakeHook)), m_uiThread(std::this_thread::get_id()) {}

LoopCore::~LoopCore() {
    // Dropping the tasks destroys any packaged_task inside, so a thread waiting in call() gets a
    // broken-promise exception instead of waiting forever.
    std::deque<std::function<void()>> tasks;
    {
        std::lock_guard lock(m_mutex);
        tasks.swap(m_tasks);
    }
}

void LoopCore::wake() {
    {
        std::lock_guard lock(m_mutex);
        m_woken = true;
    }
    m_cv.notify_all();
    if (m_wakeHook) m_wakeHook();
}

void LoopCore::post(std::function<void()> task) {
    {
        std::lock_guard lock(m_mutex);
        m_tasks.push_back(std::move(task));
    }
    wake();
}

void LoopCore::pushEvent(Event event, bool wakeUp) {
    {
        std::lock_guard lock(m_mutex);
        m_events.push_back(std::move(event));
    }
    if (wakeUp) wake();
}

void LoopCore::dropEventsOf(const Window* window) {
    std::lock_guard lock(m_mutex);
    std::erase_if(m_events, [window](const Event& e) { return e.window == window; });
}

bool LoopCore::popEvent(Event& out) {
    std::lock_guard lock(m_mutex);
    if (m_events.empty()) return false;
    out = std::move(m_events.front());
    m_events.pop_front();
    return true;
}

TimerId LoopCore::addTimer(std::chrono::milliseconds interval, bool repeat, std::function<void()> fn) {
    // A repeating timer of no interval would fire forever within one advance or one loop step.
    if (interval < std::chrono::milliseconds(1)) interval = std::chrono::milliseconds(repeat ? 1 : 0);
    TimerId id;
    {
        std::lock_guard lock(m_mutex);
        id = m_nextTimer++;
        const Clock::time_point base = m_virtual ? m_virtualNow : Clock::now();
        m_timers.emplace(id, Timer{base + interval, interval, repeat,
                                   std::make_shared<std::function<void()>>(std::move(fn))});
    }
    wake();  // the loop may be sleeping past the new due time
    return id;
}

void LoopCore::cancelTimer(TimerId id) {
    std::lock_guard lock(m_mutex);
    m_timers.erase(id);
}

LoopCore::Clock::time_point LoopCore::now() const {
    std::lock_guard lock(m_mutex);
    return m_virtual ? m_virtualNow : Clock::now();
}

TimerId LoopCore::earliestDue(Clock::time_point limit) const {
    TimerId best = 0;
    Clock::time_point bestDue{};
    // Equal due times fire in the order the timers were made (map order).
    for (const auto& [id, t] : m_timers) {
        if (t.due <= limit && (best == 0 || t.due < bestDue)) {
            best = id;
            bestDue = t.due;
        }
    }
    return best;
}

bool LoopCore::fireTimer(TimerId id) {
    std::shared_ptr<std::function<void()>> fn;
    {
        std::lock_guard lock(m_mutex);
        auto it = m_timers.find(id);
        if (it == m_timers.end()) return false;
        Timer& t = it->second;
        fn = t.fn;
        if (t.repeat) {
            // The next due time follows the schedule rather than the moment this one ran, so a
            // repeating timer does not drift; one that fell a whole interval behind starts afresh.
            const Clock::time_point now = m_virtual ? m_virtualNow : Clock::now();
            t.due += t.interval;
            if (t.due <= now) t.due = now + t.interval;
        } else {
            m_timers.erase(it);
        }
    }
    (*fn)();  // no lock held: the callback may add or cancel timers, or post
    return true;
}

bool LoopCore::runDue() {
    bool ran = false;
    std::deque<std::function<void()>> tasks;
    {
        std::lock_guard lock(m_mutex);
        tasks.swap(m_tasks);
        m_woken = false;
    }
    for (auto& task : tasks) {
        task();
        ran = true;
    }
    if (m_virtual) return ran;
    // Only the timers due when this step began: a callback that takes long does not starve input.
    const Clock::time_point limit = Clock::now();
    std::vector<TimerId> due;
    {
        std::lock_guard lock(m_mutex);
        for (const auto& [id, t] : m_timers)
            if (t.due <= limit) due.push_back(id);
        std::sort(due.begin(), due.end(),
                  [this](TimerId a, TimerId b) { return m_timers.at(a).due < m_timers.at(b).due; });
    }
    for (TimerId id : due) ran |= fireTimer(id);
    return ran;
}

std::optional<LoopCore::Clock::duration> LoopCore::untilNextTimer() const {
    std::lock_guard lock(m_mutex);
    if (m_virtual || m_timers.empty()) return std::nullopt;
    Clock::time_point first = Clock::time_point::max();
    for (const auto& entry : m_timers) first = std::min(first, entry.second.due);
    return std::max(Clock::duration::zero(), first - Clock::now());
}

void LoopCore::waitForWork(Clock::time_point deadline) {
    std::unique_lock lock(m_mutex);
    m_cv.wait_until(lock, deadline, [this] { return m_woken || !m_tasks.empty() || !m_events.empty(); });
}

void LoopCore::useVirtualClock() {
    std::lock_guard lock(m_mutex);
    if (m_virtual) return;
    // Timers already set keep their distance from now.
    const Clock::time_point real = Clock::now();
    m_virtual = true;
    m_virtualNow = real;
}

void LoopCore::advance(Clock::duration by) {
    Clock::time_point target;
    {
        std::lock_guard lock(m_mutex);
        if (!m_virtual) return;
        target = m_virtualNow + by;
    }
    for (;;) {
        TimerId id;
        {
            std::lock_guard lock(m_mutex);
            id = earliestDue(target);
            if (id == 0) break;
            m_virtualNow = std::max(m_virtualNow, m_timers.at(id).due);
        }
        fireTimer(id);
    }
    std::lock_guard lock(m_mutex);
    m_virtualNow = target;
}

} // namespace qm::platform
