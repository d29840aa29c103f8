// Processes: a stop request ends every kind of wait at once, joining returns when the
// process has ended, pausing holds a process at its yield point, and the engine's
// shutdown stops what is still running.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "engine.h"
#include "global_lock.h"
#include "name_codes.h"
#include "process.h"
#include "process_fixture.h"

namespace qm {
namespace {

using namespace std::chrono_literals;

using Processes = testing::ProcessFixture;

// A wait of a thousand seconds is over as soon as the process is asked to stop; the
// test would time out otherwise.
TEST_F(Processes, AStopRequestEndsAWaitAtOnce) {
    std::atomic<bool> waiting{false}, after{false};
    ProcessPtr p = startBody("sleeper", [&](ProcessContext& cx) {
        waiting = true;
        processWait(cx, 1000s);
        after = true;  // never reached: the stop ends the process inside the wait
    });
    ASSERT_TRUE(p);
    while (!waiting.load()) std::this_thread::yield();
    p->requestStop();
    processes().join(p, nullptr);
    EXPECT_TRUE(p->isDone());
    EXPECT_FALSE(after.load());
    EXPECT_EQ(processes().count(), 0u);
}

TEST_F(Processes, AStopRequestEndsAPauseAndAJoin) {
    std::atomic<bool> started{false};
    // One process waits for another that never ends by itself.
    ProcessPtr forever = startBody("forever", [&](ProcessContext& cx) {
        for (;;) processYieldPoint(cx);
    });
    ProcessPtr joiner = startBody("joiner", [&](ProcessContext& cx) {
        started = true;
        processes().join(forever, currentProcess(cx));
    });
    while (!started.load()) std::this_thread::yield();
    joiner->requestStop();
    processes().join(joiner, nullptr);
    EXPECT_TRUE(joiner->isDone());
    EXPECT_FALSE(forever->isDone());

    forever->setPaused(true);
    forever->requestStop();  // a paused process wakes and sees the request
    processes().join(forever, nullptr);
    EXPECT_TRUE(forever->isDone());
}

TEST_F(Processes, JoiningReturnsWhenTheProcessHasEnded) {
    std::atomic<int> steps{0};
    ProcessPtr p = startBody("worker", [&](ProcessContext& cx) {
        for (int i = 0; i < 100; ++i) {
            processYieldPoint(cx);
            ++steps;
        }
    });
    processes().join(p, nullptr);
    EXPECT_EQ(steps.load(), 100);
    EXPECT_TRUE(p->isDone());
    EXPECT_FALSE(processes().anyNamed("worker"));
}

TEST_F(Processes, APausedProcessStopsAtItsYieldPointUntilResumed) {
    std::atomic<int> steps{0};
    std::atomic<bool> stop{false};
    ProcessPtr p = startBody("stepper", [&](ProcessContext& cx) {
        while (!stop.load()) {
            processYieldPoint(cx);
            ++steps;
        }
    });
    while (steps.load() < 10) std::this_thread::yield();
    processes().pauseAll(true);
    // Once paused it makes at most one more step.
    std::this_thread::sleep_for(50ms);
    const int held = steps.load();
    std::this_thread::sleep_for(100ms);
    EXPECT_LE(steps.load(), held + 1);
    processes().pauseAll(false);
    while (steps.load() < held + 10) std::this_thread::yield();
    stop = true;
    processes().join(p, nullptr);
}

TEST_F(Processes, StopAllSparesProtectedNamesAndShutdownStopsEverything) {
    auto spin = [](ProcessContext& cx) {
        for (;;) processYieldPoint(cx);
    };
    ProcessPtr plain = startBody("plain", spin);
    ProcessPtr guarded = startBody("%P%guard", spin);
    processes().stopAll(nullptr, false);
    EXPECT_TRUE(plain->isDone());
    EXPECT_FALSE(guarded->isDone());
    processShutdown();
    EXPECT_TRUE(guarded->isDone());
    EXPECT_EQ(processes().count(), 0u);
}

TEST_F(Processes, UniqueNamesCountUp) {
    std::atomic<bool> stop{false};
    auto spin = [&](ProcessContext& cx) {
        while (!stop.load()) processYieldPoint(cx);
    };
    ProcessPtr a = startBody("@b1onClick", spin);
    EXPECT_EQ(processes().uniqueName("@b1onClick"), "@b1onClick1");
    EXPECT_EQ(processes().uniqueName("@B1ONCLICK"), "@B1ONCLICK1");
    EXPECT_EQ(processes().uniqueName("other"), "other");
    stop = true;
    processes().join(a, nullptr);
}

// The whole path through the engine: "@main" runs the text and the engine waits for
// the processes it launched.
TEST_F(Processes, MainRunsTheTextAndTheEngineWaitsForItsProcesses) {
    engine.runInMain([this](ProcessContext& cx) {
        engine.runInstructionsIn(cx, "make \"n 0 launch [repeat 50 [make \"n :n + 1]]");
    }, true);
    engine.waitForProcesses(nullptr);
    LockedScope locked;
    EXPECT_EQ(engine.mainObject().variables.Get(nameCodes().intern("n"))->ToInt(), 50);
}

} // namespace
} // namespace qm
