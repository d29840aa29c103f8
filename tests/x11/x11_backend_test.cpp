// The X11 backend on a real (virtual) X server: pixels read back exactly, input injected with XTest,
// embedded windows in a foreign parent, bad parents, close requests, and the cross-thread queue.
// The test keeps its own connection to play the window manager, the user and the plug-in.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

#include "platform/x11/x11_backend.h"
#include "read_back.h"

// Last: Xlib's macros (None, Bool, Status) would break the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace qm::platform {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Every wait has a bound so that a lost event fails the test instead of hanging it.
constexpr auto kPatience = 10s;

class X11Test : public ::testing::Test {
protected:
    void SetUp() override {
        m_display = XOpenDisplay(nullptr);
        ASSERT_NE(m_display, nullptr) << "no X display";
        std::string error;
        m_backend = createX11Backend(error);
        ASSERT_NE(m_backend, nullptr) << error;
    }
    void TearDown() override {
        m_backend.reset();
        if (m_display) XCloseDisplay(m_display);
    }

    // Runs the loop until an event satisfies `want`; the events seen on the way are kept in `seen`.
    bool waitFor(const std::function<bool(const Event&)>& want) {
        const auto end = Clock::now() + kPatience;
        while (Clock::now() < end) {
            Event e;
            if (m_backend->waitEvent(e, 100ms)) {
                seen.push_back(e);
                if (want(e)) return true;
            }
        }
        return false;
    }
    bool waitForType(EventType type) {
        return waitFor([type](const Event& e) { return e.type == type; });
    }

    std::unique_ptr<Window> mappedWindow(WindowOptions options) {
        auto w = m_backend->createWindow(options);
        if (w && options.visible) {
            EXPECT_TRUE(waitForType(EventType::Exposed));
        }
        return w;
    }

    // The window's pixels as the server holds them, in our 0x00BBGGRR form.
    Bitmap readBack(NativeId id, Size size) {
        return test::readWindowPixels(m_display, id, size.width, size.height);
    }

    // Presents go out on the backend's own connection; read until they have arrived (bounded).
    bool readsBackAs(NativeId id, const Bitmap& expected) {
        const auto end = Clock::now() + kPatience;
        while (Clock::now() < end) {
            Event e;
            m_backend->waitEvent(e, 0ms);  // flushes the backend's requests
            if (readBack(id, {expected.width(), expected.height()}) == expected) return true;
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }

    void click(NativeId window, int x, int y) {
        int rootX = 0, rootY = 0;
        ::Window child;
        XTranslateCoordinates(m_display, window, DefaultRootWindow(m_display), x, y, &rootX, &rootY, &child);
        XTestFakeMotionEvent(m_display, DefaultScreen(m_display), rootX, rootY, CurrentTime);
        XTestFakeButtonEvent(m_display, Button1, True, CurrentTime);
        XTestFakeButtonEvent(m_display, Button1, False, CurrentTime);
        XFlush(m_display);
    }

    void pressKey(KeySym sym) {
        const KeyCode code = XKeysymToKeycode(m_display, sym);
        ASSERT_NE(code, 0) << "no key for keysym " << sym;
        XTestFakeKeyEvent(m_display, code, True, CurrentTime);
        XTestFakeKeyEvent(m_display, code, False, CurrentTime);
        XFlush(m_display);
    }

    Display* m_display = nullptr;
    std::unique_ptr<Backend> m_backend;
    std::vector<Event> seen;
};

Bitmap testPattern(int w, int h) {
    auto b = *Bitmap::create(w, h, kBlack);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) b.setPixel(x, y, rgb(x * 4, y * 5, (x ^ y) * 3 + 7));
    return b;
}

TEST_F(X11Test, PresentedFrameReadsBackExactly) {
    auto window = mappedWindow({.size = {60, 40}, .title = "pixels"});
    ASSERT_NE(window, nullptr);
    const Bitmap frame = testPattern(60, 40);
    window->present(frame);
    EXPECT_TRUE(readsBackAs(window->nativeId(), frame));

    // A dirty rectangle changes only its own pixels.
    auto red = *Bitmap::create(60, 40, rgb(255, 0, 0));
    window->present(red, Rect{10, 5, 20, 15});
    Bitmap expected = frame;
    expected.fill(Rect{10, 5, 20, 15}, rgb(255, 0, 0));
    EXPECT_TRUE(readsBackAs(window->nativeId(), expected));
}

TEST_F(X11Test, ClicksArriveAsDownUpAndDoubleClick) {
    auto window = mappedWindow({.size = {100, 80}});
    ASSERT_NE(window, nullptr);
    click(window->nativeId(), 30, 25);
    ASSERT_TRUE(waitForType(EventType::MouseUp));
    const Event* down = nullptr;
    for (const Event& e : seen)
        if (e.type == EventType::MouseDown) down = &e;
    ASSERT_NE(down, nullptr);
    EXPECT_EQ(down->window, window.get());
    EXPECT_EQ(down->x, 30);
    EXPECT_EQ(down->y, 25);
    EXPECT_EQ(down->button, MouseButton::Left);
    EXPECT_TRUE(down->modifiers & kLeftHeld);
    EXPECT_FALSE(seen.back().modifiers & kLeftHeld);

    click(window->nativeId(), 30, 25);  // the server stamps both presses within the double-click time
    EXPECT_TRUE(waitForType(EventType::MouseDoubleClick));
}

TEST_F(X11Test, KeysArriveWithNamesAndText) {
    auto window = mappedWindow({.size = {50, 50}});
    ASSERT_NE(window, nullptr);
    XSetInputFocus(m_display, window->nativeId(), RevertToParent, CurrentTime);

    pressKey(XK_a);
    ASSERT_TRUE(waitForType(EventType::KeyUp));
    ASSERT_GE(seen.size(), 2u);
    EXPECT_EQ(seen[seen.size() - 2].type, EventType::KeyDown);
    EXPECT_EQ(seen[seen.size() - 2].key, Key::Character);
    EXPECT_EQ(seen[seen.size() - 2].text, "a");
    EXPECT_EQ(seen.back().text, "a");  // the release repeats what the press typed

    seen.clear();
    pressKey(XK_F1);
    ASSERT_TRUE(waitForType(EventType::KeyUp));
    EXPECT_EQ(seen.back().key, Key::F1);
    EXPECT_EQ(seen.back().text, "");

    // A letter of code page 1250 that the test keyboard lacks: put it on a spare key first.
    int minCode = 0, maxCode = 0;
    XDisplayKeycodes(m_display, &minCode, &maxCode);
    KeySym rcaron = XK_rcaron;
    XChangeKeyboardMapping(m_display, maxCode, 1, &rcaron, 1);
    XSync(m_display, False);
    seen.clear();
    XTestFakeKeyEvent(m_display, maxCode, True, CurrentTime);
    XTestFakeKeyEvent(m_display, maxCode, False, CurrentTime);
    XFlush(m_display);
    ASSERT_TRUE(waitForType(EventType::KeyDown));
    EXPECT_EQ(seen.back().text, "\xC5\x99");  // ř in UTF-8
}

TEST_F(X11Test, CloseRequestFromTheWindowManager) {
    auto window = mappedWindow({.size = {40, 40}});
    ASSERT_NE(window, nullptr);
    XEvent msg{};
    msg.xclient.type = ClientMessage;
    msg.xclient.window = window->nativeId();
    msg.xclient.message_type = XInternAtom(m_display, "WM_PROTOCOLS", False);
    msg.xclient.format = 32;
    msg.xclient.data.l[0] = static_cast<long>(XInternAtom(m_display, "WM_DELETE_WINDOW", False));
    msg.xclient.data.l[1] = CurrentTime;
    XSendEvent(m_display, window->nativeId(), False, NoEventMask, &msg);
    XFlush(m_display);
    ASSERT_TRUE(waitForType(EventType::Close));
    EXPECT_EQ(seen.back().window, window.get());
}

TEST_F(X11Test, EmbeddedWindowLivesInTheForeignParent) {
    const ::Window parent = XCreateSimpleWindow(m_display, DefaultRootWindow(m_display), 0, 0, 200, 150, 0, 0, 0);
    XMapWindow(m_display, parent);
    XSync(m_display, False);

    auto child = mappedWindow({.size = {120, 90}, .parent = parent});
    ASSERT_NE(child, nullptr);
    ::Window root, reportedParent, *children = nullptr;
    unsigned count = 0;
    XQueryTree(m_display, child->nativeId(), &root, &reportedParent, &children, &count);
    if (children) XFree(children);
    EXPECT_EQ(reportedParent, parent);

    const Bitmap frame = testPattern(120, 90);
    child->present(frame);
    EXPECT_TRUE(readsBackAs(child->nativeId(), frame));

    // The plug-in resizes the engine's window when the page changes.
    XResizeWindow(m_display, child->nativeId(), 150, 100);
    XFlush(m_display);
    ASSERT_TRUE(waitForType(EventType::Resized));
    EXPECT_EQ(seen.back().size, (Size{150, 100}));
    EXPECT_EQ(child->size(), (Size{150, 100}));

    // The parent going away destroys the child; the engine hears of it.
    XDestroyWindow(m_display, parent);
    XFlush(m_display);
    EXPECT_TRUE(waitForType(EventType::Destroyed));
    child.reset();  // no request on the dead window may end the process
    Event e;
    m_backend->waitEvent(e, 50ms);
}

// Where a window's client area is, where the pointer is and what it holds, and warping it: what the
// server says, whether the window is top-level or embedded in a foreign parent placed elsewhere.
TEST_F(X11Test, ThePointerAndTheWindowsPlaceAreTheServers) {
    const ::Window parent = XCreateSimpleWindow(m_display, DefaultRootWindow(m_display), 35, 47, 300, 200, 0, 0, 0);
    XMapWindow(m_display, parent);
    XSync(m_display, False);
    auto top = mappedWindow({.size = {80, 60}});
    auto child = mappedWindow({.size = {80, 60}, .parent = parent});
    ASSERT_NE(top, nullptr);
    ASSERT_NE(child, nullptr);
    XMoveWindow(m_display, top->nativeId(), 120, 90);
    XMoveWindow(m_display, child->nativeId(), 7, 9);
    XSync(m_display, False);
    for (Window* w : {top.get(), child.get()}) {
        int x = 0, y = 0;
        ::Window inner;
        XTranslateCoordinates(m_display, w->nativeId(), DefaultRootWindow(m_display), 0, 0, &x, &y, &inner);
        EXPECT_EQ(w->screenPosition(), (Point{x, y}));
    }
    EXPECT_EQ(child->screenPosition(), (Point{35 + 7, 47 + 9}));

    m_backend->warpPointer({200, 111});
    XSync(m_display, False);
    ::Window root, inner;
    int rootX = 0, rootY = 0, x = 0, y = 0;
    unsigned mask = 0;
    XQueryPointer(m_display, DefaultRootWindow(m_display), &root, &inner, &rootX, &rootY, &x, &y, &mask);
    EXPECT_EQ(rootX, 200);
    EXPECT_EQ(rootY, 111);
    EXPECT_EQ(m_backend->pointer().position, (Point{200, 111}));
    EXPECT_EQ(m_backend->pointer().modifiers, 0u);

    // Off the screen the server keeps the pointer at its edge.
    m_backend->warpPointer({-50, 1000000});
    const PointerState edge = m_backend->pointer();
    EXPECT_EQ(edge.position.x, 0);
    EXPECT_EQ(edge.position.y, DisplayHeight(m_display, DefaultScreen(m_display)) - 1);

    XTestFakeMotionEvent(m_display, DefaultScreen(m_display), 150, 100, CurrentTime);
    XTestFakeButtonEvent(m_display, Button3, True, CurrentTime);
    XSync(m_display, False);
    EXPECT_EQ(m_backend->pointer().position, (Point{150, 100}));
    EXPECT_EQ(m_backend->pointer().modifiers, kRightHeld);
    XTestFakeButtonEvent(m_display, Button3, False, CurrentTime);
    XSync(m_display, False);
    EXPECT_EQ(m_backend->pointer().modifiers, 0u);
    XDestroyWindow(m_display, parent);
    XSync(m_display, False);
}

TEST_F(X11Test, BadParentIsRefusedAndTheBackendCarriesOn) {
    // A window id that names nothing: one of ours that no longer exists.
    const ::Window gone = XCreateSimpleWindow(m_display, DefaultRootWindow(m_display), 0, 0, 10, 10, 0, 0, 0);
    XDestroyWindow(m_display, gone);
    XSync(m_display, False);
    EXPECT_EQ(m_backend->createWindow({.parent = gone}), nullptr);
    EXPECT_EQ(m_backend->createWindow({.parent = 0xFFFFFFF0u}), nullptr);
    EXPECT_NE(m_backend->createWindow({.size = {10, 10}}), nullptr);
}

TEST_F(X11Test, ProcessThreadGetsItsAnswerFromTheUiLoop) {
    auto window = m_backend->createWindow({.size = {30, 30}, .visible = false});
    ASSERT_NE(window, nullptr);
    Size got{};
    std::atomic<bool> done = false;
    std::thread process([&] {
        // Windows are used on the UI thread only: the process asks the loop.
        got = m_backend->call([&] { return window->size(); });
        done = true;
        m_backend->post([] {});  // wakes the loop to see `done`
    });
    const auto end = Clock::now() + kPatience;
    Event e;
    while (!done && Clock::now() < end) m_backend->waitEvent(e, 1s);  // the post must end the poll
    process.join();
    EXPECT_EQ(got, (Size{30, 30}));
}

TEST_F(X11Test, TimersFireInsideTheLoop) {
    int fired = 0;
    m_backend->addTimer(10ms, false, [&] { ++fired; });
    const auto end = Clock::now() + kPatience;
    Event e;
    while (fired == 0 && Clock::now() < end) m_backend->waitEvent(e, 1s);
    EXPECT_EQ(fired, 1);
}

} // namespace
} // namespace qm::platform
