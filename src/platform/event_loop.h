// The parts of a UI loop every backend shares: the cross-thread task queue, timers on a real or
// virtual clock, and the queue of input events waiting to be taken. No window-system code here.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "platform.h"

namespace qm::platform {

class LoopCore {
public:
    using Clock = std::chrono::steady_clock;

    // `wakeHook` is called (from any thread, with no lock held) whenever work arrives, so a backend
    // blocked in its own wait (poll on an X connection) can return; may be empty.
    explicit LoopCore(std::function<void()> wakeHook = {});
    ~LoopCore();

    bool isUiThread() const { return std::this_thread::get_id() == m_uiThread; }

    void post(std::function<void()> task);
    // `wakeUp` false: the caller is the UI loop itself and needs no wake.
    void pushEvent(Event event, bool wakeUp = true);
    void dropEventsOf(const Window* window);
    bool popEvent(Event& out);

    TimerId addTimer(std::chrono::milliseconds interval, bool repeat, std::function<void()> fn);
    void cancelTimer(TimerId id);

    // Runs the tasks queued so far, then the timers due by now(). True when anything ran.
    bool runDue();
    // How long until the next timer is due on the real clock; empty when there is none, or when the
    // clock is virtual (virtual time moves only through advance()).
    std::optional<Clock::duration> untilNextTimer() const;

    // Blocks until work arrives (a task, an event, a wake) or `deadline` passes. For backends with
    // nothing else to wait on.
    void waitForWork(Clock::time_point deadline);

    // Virtual time: from here on timers follow a clock that moves only when advance() moves it, so
    // tests decide exactly when each timer fires.
    void useVirtualClock();
    bool virtualClock() const { return m_virtual; }
    Clock::time_point now() const;
    // Moves virtual time forward by `by`, running every timer that falls due on the way, in order of
    // due time, with now() equal to each timer's due time while it runs. UI thread only.
    void advance(Clock::duration by);

private:
    struct Timer {
        Clock::time_point due;
        Clock::duration interval;
        bool repeat = false;
        std::shared_ptr<std::function<void()>> fn;
    };

    void wake();
    // The earliest timer due at or before `limit`; 0 when none. Called with m_mutex held.
    TimerId earliestDue(Clock::time_point limit) const;
    bool fireTimer(TimerId id);

    std::function<void()> m_wakeHook;
    std::thread::id m_uiThread;
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_woken = false;
    std::deque<std::function<void()>> m_tasks;
    std::deque<Event> m_events;
    std::map<TimerId, Timer> m_timers;
    TimerId m_nextTimer = 1;
    bool m_virtual = false;
    Clock::time_point m_virtualNow;
};

} // namespace qm::platform
