// Named critical sections: one holder at a time, waiters let in in arrival order, a stop
// request ends a wait at once and never leaves the section held by nobody, re-entry by
// the holder, and the host's thread waiting like a process.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "critical_section.h"
#include "global_lock.h"
#include "process.h"
#include "process_fixture.h"

namespace qm {
namespace {

using namespace std::chrono_literals;

class CriticalSections : public testing::ProcessFixture {
protected:
    static void waitFor(const std::function<bool()>& condition) {
        while (!condition()) std::this_thread::sleep_for(1ms);
    }
};

TEST_F(CriticalSections, NamesCompareAsNamesDo) {
    EXPECT_EQ(&namedCriticalSection("Abc"), &namedCriticalSection("aBC"));
    EXPECT_NE(&namedCriticalSection("abc"), &namedCriticalSection("abd"));
    EXPECT_NE(&namedCriticalSection("abc"), &savingSection());
}

TEST_F(CriticalSections, TheHolderMayEnterAgainAndOnlyItsLastLeaveFreesTheSection) {
    tLogoCriticalSection s;
    ProcessContext a, b;
    s.enter(a);
    s.enter(a);
    s.leave(b);  // not the holder: ignored
    s.leave(a);
    EXPECT_TRUE(s.isHeld());
    s.leave(a);
    EXPECT_FALSE(s.isHeld());
    s.leave(a);  // one leave too many changes nothing
    s.enter(b);
    EXPECT_TRUE(s.isHeld());
    s.leave(b);
}

TEST_F(CriticalSections, WaitersGetInOneAtATimeInArrivalOrder) {
    tLogoCriticalSection s;
    std::atomic<bool> release{false};
    std::mutex orderMutex;
    std::vector<int> order;
    ProcessPtr holder = startBody("holder", [&](ProcessContext& cx) {
        CriticalScope held(s, cx);
        UnlockedScope unlocked;
        waitFor([&] { return release.load(); });
    });
    waitFor([&] { return s.isHeld(); });
    std::vector<ProcessPtr> waiters;
    for (int i = 0; i < 4; ++i) {
        waiters.push_back(startBody("w" + std::to_string(i), [&, i](ProcessContext& cx) {
            CriticalScope held(s, cx);
            std::lock_guard<std::mutex> g(orderMutex);
            order.push_back(i);
        }));
        waitFor([&] { return s.waiterCount() == static_cast<size_t>(i) + 1; });
    }
    release = true;
    for (auto& w : waiters) processes().join(w, nullptr);
    processes().join(holder, nullptr);
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_FALSE(s.isHeld());
}

// The waiter sleeps on its own signal: the stop request wakes it, its process ends and
// leaves the queue, and the holder's section is unaffected. The test would time out if
// the wait ignored the request.
TEST_F(CriticalSections, AStopRequestEndsAWaitAtOnce) {
    tLogoCriticalSection s;
    std::atomic<bool> release{false}, entered{false};
    ProcessPtr holder = startBody("holder", [&](ProcessContext& cx) {
        CriticalScope held(s, cx);
        UnlockedScope unlocked;
        waitFor([&] { return release.load(); });
    });
    waitFor([&] { return s.isHeld(); });
    ProcessPtr waiter = startBody("waiter", [&](ProcessContext& cx) {
        CriticalScope held(s, cx);
        entered = true;
    });
    waitFor([&] { return s.waiterCount() == 1; });
    waiter->requestStop();
    processes().join(waiter, nullptr);
    EXPECT_FALSE(entered.load());
    EXPECT_EQ(s.waiterCount(), 0u);
    EXPECT_TRUE(s.isHeld());
    release = true;
    processes().join(holder, nullptr);
    EXPECT_FALSE(s.isHeld());
}

// A stop request that meets the hand-over: whether the waiter was let in first or not,
// the section must end up free, and nobody may hang. Many rounds to meet the race.
TEST_F(CriticalSections, AStopMeetingTheHandOverNeverLeavesTheSectionHeld) {
    tLogoCriticalSection s;
    for (int round = 0; round < 200; ++round) {
        std::atomic<bool> release{false};
        ProcessPtr holder = startBody("holder", [&](ProcessContext& cx) {
            CriticalScope held(s, cx);
            UnlockedScope unlocked;
            waitFor([&] { return release.load(); });
        });
        waitFor([&] { return s.isHeld(); });
        ProcessPtr waiter = startBody("waiter", [&](ProcessContext& cx) { CriticalScope held(s, cx); });
        waitFor([&] { return s.waiterCount() == 1; });
        std::thread stopper([&] { waiter->requestStop(); });
        release = true;
        stopper.join();
        processes().join(holder, nullptr);
        processes().join(waiter, nullptr);
        ASSERT_FALSE(s.isHeld()) << "round " << round;
        ASSERT_EQ(s.waiterCount(), 0u) << "round " << round;
    }
}

// Several processes enter one section many times, each giving the global lock away
// inside it: no two are ever inside together, and every entry happens.
TEST_F(CriticalSections, ManyProcessesNeverOverlapInside) {
    tLogoCriticalSection s;
    std::atomic<int> inside{0}, overlaps{0}, entries{0};
    constexpr int kProcesses = 6, kRounds = 300;
    std::vector<ProcessPtr> ps;
    for (int i = 0; i < kProcesses; ++i)
        ps.push_back(startBody("p" + std::to_string(i), [&](ProcessContext& cx) {
            for (int r = 0; r < kRounds; ++r) {
                CriticalScope held(s, cx);
                if (inside.fetch_add(1) != 0) ++overlaps;
                processYieldPoint(cx);  // others run meanwhile and queue for the section
                ++entries;
                inside.fetch_sub(1);
            }
        }));
    for (auto& p : ps) processes().join(p, nullptr);
    EXPECT_EQ(overlaps.load(), 0);
    EXPECT_EQ(entries.load(), kProcesses * kRounds);
    EXPECT_FALSE(s.isHeld());
}

// The host's thread runs instructions outside any process: it waits on the section's
// own condition variable and gets in when the process leaves.
TEST_F(CriticalSections, TheHostThreadWaitsLikeAProcess) {
    tLogoCriticalSection s;
    std::atomic<bool> release{false};
    ProcessPtr holder = startBody("holder", [&](ProcessContext& cx) {
        CriticalScope held(s, cx);
        UnlockedScope unlocked;
        waitFor([&] { return release.load(); });
    });
    waitFor([&] { return s.isHeld(); });
    std::thread releaser([&] {
        waitFor([&] { return s.waiterCount() == 1; });
        release = true;
    });
    {
        LockedScope locked;
        CriticalScope held(s, engine.context());
        EXPECT_TRUE(release.load());
    }
    releaser.join();
    processes().join(holder, nullptr);
    EXPECT_FALSE(s.isHeld());
}

} // namespace
} // namespace qm
