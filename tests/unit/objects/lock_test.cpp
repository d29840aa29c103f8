// The global interpreter lock: waiters get it in arrival order, a yielding holder lets
// the longest waiter in, and nobody starves a waiter by re-taking the lock.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "global_lock.h"

namespace qm {
namespace {

TEST(GlobalLock, YieldHandsTheLockToWaitersInArrivalOrder) {
    std::vector<int> order;
    std::mutex orderLock;
    globalLock().lock();
    std::vector<std::thread> threads;
    // Start the waiters one at a time, each only after the previous one is queued.
    uint64_t before = globalLock().handOffs();
    for (int id = 1; id <= 3; ++id) {
        threads.emplace_back([id, &order, &orderLock] {
            globalLock().lock();
            {
                std::lock_guard<std::mutex> g(orderLock);
                order.push_back(id);
            }
            globalLock().unlock();
        });
        while (globalLock().waiterCount() < id) std::this_thread::yield();
    }
    globalLock().yield();  // the holder queues behind the three
    {
        std::lock_guard<std::mutex> g(orderLock);
        order.push_back(0);
    }
    EXPECT_TRUE(GlobalLock::heldByMe());
    globalLock().unlock();
    for (auto& t : threads) t.join();
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 0}));
    // Three hand-offs at least; a fourth back to the holder when it queued in time.
    EXPECT_GE(globalLock().handOffs() - before, 3u);
}

TEST(GlobalLock, YieldWithoutWaitersKeepsTheLock) {
    globalLock().lock();
    const uint64_t before = globalLock().handOffs();
    for (int i = 0; i < 1000; ++i) globalLock().yield();
    EXPECT_EQ(globalLock().handOffs(), before);
    EXPECT_TRUE(GlobalLock::heldByMe());
    globalLock().unlock();
    EXPECT_FALSE(GlobalLock::heldByMe());
}

// A holder that never stops yielding must still let a newcomer in; with a plain mutex
// re-taken at once, the newcomer could wait for ever and this test would hang.
TEST(GlobalLock, AWaiterIsNotStarvedByAHolderThatKeepsYielding) {
    std::atomic<bool> done{false};
    std::atomic<bool> holding{false};
    std::thread holder([&] {
        globalLock().lock();
        holding = true;
        while (!done.load()) globalLock().yield();
        globalLock().unlock();
    });
    while (!holding.load()) std::this_thread::yield();
    std::thread newcomer([&] {
        globalLock().lock();
        done = true;
        globalLock().unlock();
    });
    newcomer.join();
    holder.join();
    EXPECT_TRUE(done.load());
}

// Several threads that each take turns through yield all make progress, and the
// counter they share (guarded only by the lock) adds up.
TEST(GlobalLock, YieldingThreadsTakeTurnsAndSeeEachOthersWrites) {
    constexpr int kThreads = 4;
    constexpr int kRounds = 2000;
    int shared = 0;  // guarded by the global lock alone
    std::vector<int> progress(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            globalLock().lock();
            for (int i = 0; i < kRounds; ++i) {
                ++shared;
                ++progress[static_cast<size_t>(t)];
                globalLock().yield();
            }
            globalLock().unlock();
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(shared, kThreads * kRounds);
    for (int p : progress) EXPECT_EQ(p, kRounds);
}

TEST(GlobalLock, ScopesReleaseAndRetakeOnce) {
    {
        LockedScope outer;
        EXPECT_TRUE(GlobalLock::heldByMe());
        {
            LockedScope inner;  // already held: takes nothing
            EXPECT_TRUE(GlobalLock::heldByMe());
            {
                UnlockedScope u1;
                EXPECT_FALSE(GlobalLock::heldByMe());
                UnlockedScope u2;  // already released
                EXPECT_FALSE(GlobalLock::heldByMe());
            }
            EXPECT_TRUE(GlobalLock::heldByMe());
        }
        EXPECT_TRUE(GlobalLock::heldByMe());
    }
    EXPECT_FALSE(GlobalLock::heldByMe());
}

} // namespace
} // namespace qm
