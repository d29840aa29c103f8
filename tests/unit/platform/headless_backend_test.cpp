// The headless backend: scripted input, timers on a virtual clock, the UI task queue, frames kept
// for reading back, embedded windows, and the start-up choice of backend.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <thread>
#include <vector>

#include "platform/double_click.h"
#include "platform/headless/headless_backend.h"

namespace qm::platform {
namespace {

using namespace std::chrono_literals;

class HeadlessTest : public ::testing::Test {
protected:
    // Takes the next event, running whatever tasks and timers come first; fails after `tries` steps.
    bool nextEvent(Event& out, int tries = 10) {
        for (int i = 0; i < tries; ++i)
            if (backend.waitEvent(out, 0ms)) return true;
        return false;
    }
    HeadlessBackend backend;
};

TEST_F(HeadlessTest, InjectedEventsComeOutInOrderWithTheirFields) {
    auto window = backend.createWindow({});
    Event down;
    down.type = EventType::MouseDown;
    down.window = window.get();
    down.x = 10;
    down.y = 20;
    down.button = MouseButton::Right;
    down.modifiers = kShift | kRightHeld;
    Event key;
    key.type = EventType::KeyDown;
    key.window = window.get();
    key.text = "\xC5\x99";  // ř
    backend.inject(down);
    backend.inject(key);

    Event got;
    ASSERT_TRUE(nextEvent(got));
    EXPECT_EQ(got.type, EventType::MouseDown);
    EXPECT_EQ(got.window, window.get());
    EXPECT_EQ(got.x, 10);
    EXPECT_EQ(got.y, 20);
    EXPECT_EQ(got.button, MouseButton::Right);
    EXPECT_EQ(got.modifiers, kShift | kRightHeld);
    ASSERT_TRUE(nextEvent(got));
    EXPECT_EQ(got.type, EventType::KeyDown);
    EXPECT_EQ(got.key, Key::Character);
    EXPECT_EQ(got.text, "\xC5\x99");
    EXPECT_FALSE(backend.waitEvent(got, 0ms));
}

// The imaginary screen: windows at (0, 0) until placed, the pointer where the last warp or injected
// mouse event put it (at the window's place plus the event's point), a warp making no event.
TEST_F(HeadlessTest, ThePointerIsWhereTheLastWarpOrMouseEventPutIt) {
    auto placed = backend.createWindow({});
    auto other = backend.createWindow({});
    EXPECT_EQ(backend.pointer().position, (Point{0, 0}));
    EXPECT_EQ(backend.pointer().modifiers, 0u);
    EXPECT_EQ(other->screenPosition(), (Point{0, 0}));
    static_cast<HeadlessWindow&>(*placed).moveTo({100, 50});
    EXPECT_EQ(placed->screenPosition(), (Point{100, 50}));

    struct Case {
        const char* name;
        Window* window;
        EventType type;
        std::int32_t x, y;
        std::uint32_t modifiers;
        Point expected;
        std::uint32_t expectedModifiers;
    };
    const Case cases[] = {
        {"press in the placed window", placed.get(), EventType::MouseDown, 10, 20, kLeftHeld | kShift, {110, 70},
         kLeftHeld | kShift},
        {"a key leaves it", placed.get(), EventType::KeyDown, 1, 1, kControl, {110, 70}, kLeftHeld | kShift},
        {"move in the other window", other.get(), EventType::MouseMove, 3, 4, kLeftHeld, {3, 4}, kLeftHeld},
        {"release beside the placed one", placed.get(), EventType::MouseUp, -7, 300, 0, {93, 350}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Event e;
        e.type = c.type;
        e.window = c.window;
        e.x = c.x;
        e.y = c.y;
        e.modifiers = c.modifiers;
        backend.inject(e);
        EXPECT_EQ(backend.pointer().position, c.expected);
        EXPECT_EQ(backend.pointer().modifiers, c.expectedModifiers);
    }
    backend.warpPointer({-5, 6});
    EXPECT_EQ(backend.pointer().position, (Point{-5, 6}));
    Event got;
    int events = 0;
    while (backend.waitEvent(got, 0ms)) ++events;
    EXPECT_EQ(events, 4);
}

TEST_F(HeadlessTest, EventsOfADestroyedWindowAreDropped) {
    auto doomed = backend.createWindow({});
    auto kept = backend.createWindow({});
    Event e;
    e.type = EventType::Close;
    e.window = doomed.get();
    backend.inject(e);
    e.window = kept.get();
    backend.inject(e);
    doomed.reset();
    Event got;
    ASSERT_TRUE(nextEvent(got));
    EXPECT_EQ(got.window, kept.get());
    EXPECT_FALSE(backend.waitEvent(got, 0ms));
}

TEST_F(HeadlessTest, InjectionFromAnotherThreadWakesAWaitingLoop) {
    auto window = backend.createWindow({});
    std::thread other([&] {
        std::this_thread::sleep_for(20ms);
        Event e;
        e.type = EventType::KeyUp;
        e.window = window.get();
        backend.inject(e);
    });
    Event got;
    // A long timeout: the wait must end when the event arrives, not when the time runs out.
    const bool came = backend.waitEvent(got, 60s);
    other.join();
    ASSERT_TRUE(came);
    EXPECT_EQ(got.type, EventType::KeyUp);
}

TEST_F(HeadlessTest, PresentCopiesTheDirtyPartAndKeepsNoReference) {
    auto window = backend.createWindow({.size = {8, 6}});
    auto* headless = static_cast<HeadlessWindow*>(window.get());
    EXPECT_EQ(headless->frame().pixel(3, 3), kWhite);  // white before the first frame

    auto frame = Bitmap::create(8, 6, rgb(1, 2, 3));
    window->present(*frame, Rect{2, 1, 5, 3});
    frame->fill(kBlack);  // after present: must not show
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 8; ++x) {
            const bool inDirty = x >= 2 && x < 5 && y >= 1 && y < 3;
            EXPECT_EQ(headless->frame().pixel(x, y), inDirty ? rgb(1, 2, 3) : kWhite) << x << "," << y;
        }
    }
    // Dirty areas beyond the frame or the window are clipped; reversed corners are accepted.
    window->present(*frame, Rect{100, 100, -100, -100});
    EXPECT_EQ(headless->frame().pixel(7, 5), kBlack);
    // A smaller frame changes only the part it covers.
    auto small = Bitmap::create(2, 2, rgb(9, 9, 9));
    window->present(*small);
    EXPECT_EQ(headless->frame().pixel(1, 1), rgb(9, 9, 9));
    EXPECT_EQ(headless->frame().pixel(2, 2), kBlack);
}

TEST_F(HeadlessTest, WindowStateFollowsRequests) {
    auto window = backend.createWindow({.size = {4, 4}, .title = "one", .visible = false});
    auto* headless = static_cast<HeadlessWindow*>(window.get());
    EXPECT_FALSE(headless->visible());
    EXPECT_EQ(headless->title(), "one");
    window->setTitle("two");
    window->setVisible(true);
    window->resize({10, 3});
    EXPECT_EQ(headless->title(), "two");
    EXPECT_TRUE(headless->visible());
    EXPECT_EQ(window->size(), (Size{10, 3}));
    EXPECT_EQ(headless->frame().width(), 10);
    EXPECT_NE(window->nativeId(), backend.createWindow({})->nativeId());
}

TEST_F(HeadlessTest, EmbeddedWindowNeedsAnExistingParent) {
    EXPECT_EQ(backend.createWindow({.parent = 0x4200001}), nullptr);
    backend.addForeignWindow(0x4200001);
    auto child = backend.createWindow({.parent = 0x4200001});
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(static_cast<HeadlessWindow*>(child.get())->parent(), 0x4200001u);
}

TEST_F(HeadlessTest, VirtualTimersFireInDueOrderOnlyWhenTimeAdvances) {
    backend.useVirtualClock();
    std::vector<std::string> log;
    backend.addTimer(30ms, false, [&] { log.push_back("once@30"); });
    const TimerId every = backend.addTimer(20ms, true, [&] { log.push_back("every"); });
    backend.addTimer(20ms, false, [&] { log.push_back("once@20"); });

    Event e;
    EXPECT_FALSE(backend.waitEvent(e, 0ms));
    EXPECT_TRUE(log.empty());  // real time passing does not move a virtual clock

    backend.advance(19ms);
    EXPECT_TRUE(log.empty());
    backend.advance(1ms);  // t = 20: equal due times fire in the order the timers were made
    EXPECT_EQ(log, (std::vector<std::string>{"every", "once@20"}));
    backend.advance(40ms);  // t = 60: 30, 40, 60
    EXPECT_EQ(log, (std::vector<std::string>{"every", "once@20", "once@30", "every", "every"}));
    backend.cancelTimer(every);
    backend.cancelTimer(every);  // twice is harmless
    backend.advance(100ms);
    EXPECT_EQ(log.size(), 5u);
}

TEST_F(HeadlessTest, TimerMayCancelItselfAndStartOthers) {
    backend.useVirtualClock();
    int ticks = 0;
    int late = 0;
    TimerId self = 0;
    self = backend.addTimer(10ms, true, [&] {
        if (++ticks == 3) {
            backend.cancelTimer(self);
            backend.addTimer(5ms, false, [&] { ++late; });
        }
    });
    backend.advance(100ms);
    EXPECT_EQ(ticks, 3);
    EXPECT_EQ(late, 1);  // started at t = 30 inside the same advance, due at 35
}

TEST_F(HeadlessTest, RealClockTimerEndsAWait) {
    std::atomic<bool> fired = false;
    backend.addTimer(5ms, false, [&] { fired = true; });
    Event e;
    for (int i = 0; i < 100 && !fired; ++i) backend.waitEvent(e, 1s);
    EXPECT_TRUE(fired);
}

TEST_F(HeadlessTest, CallFromAnotherThreadRunsOnTheUiThreadAndReturnsTheResult) {
    const auto uiThread = std::this_thread::get_id();
    std::atomic<bool> done = false;
    int answer = 0;
    std::thread::id ranOn;
    std::thread process([&] {
        EXPECT_FALSE(backend.isUiThread());
        answer = backend.call([&] {
            ranOn = std::this_thread::get_id();
            return 6 * 7;
        });
        backend.call([] {});  // a task with no result waits too
        done = true;
    });
    Event e;
    for (int i = 0; i < 1000 && !done; ++i) backend.waitEvent(e, 100ms);
    process.join();
    EXPECT_EQ(answer, 42);
    EXPECT_EQ(ranOn, uiThread);
}

TEST_F(HeadlessTest, CallOnTheUiThreadRunsAtOnce) {
    EXPECT_TRUE(backend.isUiThread());
    EXPECT_EQ(backend.call([] { return 5; }), 5);
}

TEST_F(HeadlessTest, PostedTasksRunInOrder) {
    std::vector<int> order;
    for (int i = 0; i < 5; ++i) backend.post([&order, i] { order.push_back(i); });
    Event e;
    EXPECT_FALSE(backend.waitEvent(e, 0ms));
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4}));
}

// Forwards to a headless backend and tells when something has been posted.
class SignallingBackend final : public Backend {
public:
    std::string_view name() const override { return "signalling"; }
    std::unique_ptr<Window> createWindow(const WindowOptions& o) override { return inner->createWindow(o); }
    bool waitEvent(Event& out, std::chrono::milliseconds t) override { return inner->waitEvent(out, t); }
    void post(std::function<void()> task) override {
        inner->post(std::move(task));
        posted.set_value();
    }
    bool isUiThread() const override { return inner->isUiThread(); }
    TimerId addTimer(std::chrono::milliseconds i, bool r, std::function<void()> f) override {
        return inner->addTimer(i, r, std::move(f));
    }
    void cancelTimer(TimerId id) override { inner->cancelTimer(id); }
    PointerState pointer() override { return inner->pointer(); }
    void warpPointer(Point screen) override { inner->warpPointer(screen); }

    std::unique_ptr<HeadlessBackend> inner = std::make_unique<HeadlessBackend>();
    std::promise<void> posted;
};

TEST(HeadlessShutdown, CallerWaitingWhenTheLoopEndsGetsAnExceptionNotAHang) {
    SignallingBackend backend;
    auto posted = backend.posted.get_future();
    bool threw = false;
    std::thread process([&] {
        try {
            backend.call([] { return 1; });
        } catch (const std::future_error&) {
            threw = true;
        }
    });
    posted.wait();
    backend.inner.reset();  // the task was queued but never run
    process.join();
    EXPECT_TRUE(threw);
}

TEST(DoubleClick, PressesPairUpOnlyWhenQuickCloseAndAlike) {
    int windowA = 0, windowB = 0;
    struct Case {
        const char* what;
        const void* window;
        MouseButton button;
        int x, y;
        std::uint32_t time;
        EventType expected;
    };
    const Case cases[] = {
        {"first press", &windowA, MouseButton::Left, 10, 10, 1000, EventType::MouseDown},
        {"second, quick and close", &windowA, MouseButton::Left, 12, 8, 1500, EventType::MouseDoubleClick},
        {"third starts afresh", &windowA, MouseButton::Left, 12, 8, 1600, EventType::MouseDown},
        {"too slow", &windowA, MouseButton::Left, 12, 8, 2101, EventType::MouseDown},
        {"too far", &windowA, MouseButton::Left, 15, 8, 2200, EventType::MouseDown},
        {"other button", &windowA, MouseButton::Right, 15, 8, 2300, EventType::MouseDown},
        {"other window", &windowB, MouseButton::Right, 15, 8, 2400, EventType::MouseDown},
        {"pair across clock wrap, first", &windowB, MouseButton::Middle, 0, 0, 0xFFFFFF00u, EventType::MouseDown},
        {"pair across clock wrap, second", &windowB, MouseButton::Middle, 0, 0, 0x50u, EventType::MouseDoubleClick},
    };
    DoubleClickDetector detector;
    for (const Case& c : cases)
        EXPECT_EQ(detector.press(c.window, c.button, c.x, c.y, c.time), c.expected) << c.what;
}

TEST(BackendChoice, EnvironmentPicksTheBackend) {
    std::string error;
    ::setenv("QUELMAR_BACKEND", "headless", 1);
    auto chosen = chooseBackend(error);
    ASSERT_NE(chosen, nullptr) << error;
    EXPECT_EQ(chosen->name(), "headless");

    ::setenv("QUELMAR_BACKEND", "teletype", 1);
    EXPECT_EQ(chooseBackend(error), nullptr);
    EXPECT_NE(error.find("teletype"), std::string::npos) << error;
    ::unsetenv("QUELMAR_BACKEND");

    // Without a display the headless backend is the choice.
    const char* display = std::getenv("DISPLAY");
    std::string saved = display ? display : "";
    ::unsetenv("DISPLAY");
    chosen = chooseBackend(error);
    ASSERT_NE(chosen, nullptr);
    EXPECT_EQ(chosen->name(), "headless");
    if (display) ::setenv("DISPLAY", saved.c_str(), 1);
}

} // namespace
} // namespace qm::platform
