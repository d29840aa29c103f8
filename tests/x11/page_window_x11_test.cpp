// The page window on a real (virtual) X server: the window's pixels, read back from the server, are
// the page as composed in memory; real clicks reach the Logo side as page points and find the turtle
// under them. The test keeps its own connection to play the user.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <optional>
#include <thread>
#include <vector>

#include "host/page_window.h"
#include "page_figure.h"
#include "platform/x11/x11_backend.h"
#include "read_back.h"

// Last: Xlib's macros (None, Bool, Status) would break the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

namespace qm {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using platform::MouseButton;

constexpr auto kPatience = 10s;  // every wait is bounded, so a lost event fails instead of hanging

struct Press {
    bool down;
    Point page;
    MouseButton button;
    SurfaceObject* hit;  // what the page's hit test found at that point, asked on the UI thread
    SurfaceObject* hovered;
};

class PressLog final : public MouseCallbacks {
public:
    explicit PressLog(Surface& page) : m_page(page) {}
    void moved(Point, std::uint32_t) override { ++moves; }
    void left() override { ++leaves; }
    int moves = 0;
    int leaves = 0;
    void pressed(Point p, MouseButton b, std::uint32_t) override { add(true, p, b); }
    void released(Point p, MouseButton b, std::uint32_t) override { add(false, p, b); }
    std::vector<Press> presses;

private:
    void add(bool down, Point p, MouseButton b) {
        auto hit = m_page.hitTest(p);
        presses.push_back({down, p, b, hit ? hit->object : nullptr, m_page.hoveredObject()});
    }
    Surface& m_page;
};

class PageWindowX11Test : public ::testing::Test {
protected:
    void SetUp() override {
        m_display = XOpenDisplay(nullptr);
        ASSERT_NE(m_display, nullptr) << "no X display";
        std::string error;
        m_backend = platform::createX11Backend(error);
        ASSERT_NE(m_backend, nullptr) << error;
    }
    void TearDown() override {
        m_window.reset();  // before the page it shows
        m_page.reset();
        m_backend.reset();
        if (m_display) XCloseDisplay(m_display);
    }

    // The page lives in the fixture, so that the window, which must go first, can be kept there too.
    Surface& makePage(std::int64_t width, std::int64_t height, Rgb background = kWhite) {
        m_page = std::make_unique<Surface>(width, height, background);
        return *m_page;
    }

    void open(Surface& page) {
        std::string error;
        m_window = PageWindow::create(*m_backend, page, {.title = "Quelmar - page"}, error);
        ASSERT_NE(m_window, nullptr) << error;
    }

    // Runs the UI loop, handing events to the window, until `done` or the patience runs out.
    bool runUntil(const std::function<bool()>& done) {
        const auto end = Clock::now() + kPatience;
        while (Clock::now() < end) {
            if (done()) return true;
            platform::Event e;
            if (m_backend->waitEvent(e, 20ms)) m_window->handle(e);
        }
        return done();
    }

    Bitmap readBack(platform::NativeId id, int width, int height) {
        return test::readWindowPixels(m_display, id, width, height);
    }

    // The window shows `expected` once the server has it all (presents travel on the backend's own
    // connection, so the loop keeps running while the test reads back).
    bool showsOnScreen(const Bitmap& expected, int* differing = nullptr) {
        Bitmap last;
        const bool ok = runUntil([&] {
            last = readBack(m_window->window().nativeId(), expected.width(), expected.height());
            return last == expected;
        });
        if (differing) {
            *differing = 0;
            for (int y = 0; y < expected.height(); ++y)
                for (int x = 0; x < expected.width(); ++x) *differing += last.pixel(x, y) != expected.pixel(x, y);
        }
        return ok;
    }

    void moveTo(platform::NativeId window, std::int64_t x, std::int64_t y) {
        int rootX = 0, rootY = 0;
        ::Window child;
        XTranslateCoordinates(m_display, window, DefaultRootWindow(m_display), static_cast<int>(x),
                              static_cast<int>(y), &rootX, &rootY, &child);
        XTestFakeMotionEvent(m_display, DefaultScreen(m_display), rootX, rootY, CurrentTime);
        XFlush(m_display);
    }

    void click(platform::NativeId window, std::int64_t x, std::int64_t y) {
        moveTo(window, x, y);
        XTestFakeButtonEvent(m_display, Button1, True, CurrentTime);
        XTestFakeButtonEvent(m_display, Button1, False, CurrentTime);
        XFlush(m_display);
    }

    Display* m_display = nullptr;
    std::unique_ptr<platform::Backend> m_backend;
    std::unique_ptr<Surface> m_page;
    std::unique_ptr<PageWindow> m_window;
};

TEST_F(PageWindowX11Test, WindowShowsThePageAsComposedInMemory) {
    Surface& page = makePage(260, 170, rgb(255, 255, 224));
    open(page);
    // Drawn by a process thread while the window is up, as Logo draws.
    test::PageFigure figure;
    std::atomic<bool> drawn{false};
    std::thread process([&] {
        figure = test::drawPageFigure(page);
        drawn = true;
        m_backend->post([] {});
    });
    const bool finished = runUntil([&] { return drawn.load(); });
    process.join();
    ASSERT_TRUE(finished);
    int differing = -1;
    EXPECT_TRUE(showsOnScreen(page.frame(), &differing)) << differing << " pixels differ";

    // Later changes arrive as partial repaints and still add up to the page.
    figure.shown->forward(25);
    figure.shown->right(100);
    figure.painter->setPenMode(PenMode::Down);
    figure.painter->forward(60);
    EXPECT_TRUE(showsOnScreen(page.frame(), &differing)) << differing << " pixels differ";

    // The page grows: the window follows it on the server too.
    page.resize(300, 200);
    EXPECT_TRUE(showsOnScreen(page.frame(), &differing)) << differing << " pixels differ";
    XWindowAttributes attrs;
    XGetWindowAttributes(m_display, m_window->window().nativeId(), &attrs);
    EXPECT_EQ(attrs.width, 300);
    EXPECT_EQ(attrs.height, 200);
}

TEST_F(PageWindowX11Test, RealClicksArriveAsPagePointsAndFindTheTurtle) {
    Surface& page = makePage(240, 160);
    open(page);
    test::PageFigure figure = test::drawPageFigure(page);
    PressLog log(page);
    m_window->setMouse(&log);
    ASSERT_TRUE(showsOnScreen(page.frame()));

    // A click on plain background.
    click(m_window->window().nativeId(), 30, 20);
    ASSERT_TRUE(runUntil([&] { return log.presses.size() >= 2; }));
    ASSERT_EQ(log.presses.size(), 2u);
    EXPECT_TRUE(log.presses[0].down);
    EXPECT_EQ(log.presses[0].page, (Point{30, 20}));
    EXPECT_EQ(log.presses[0].button, MouseButton::Left);
    EXPECT_EQ(log.presses[0].hit, nullptr);
    EXPECT_FALSE(log.presses[1].down);
    EXPECT_EQ(log.presses[1].page, (Point{30, 20}));

    // A click on a pixel of the shown turtle's shape.
    const Rect r = figure.shown->screenRect();
    std::optional<Point> onTurtle;
    for (std::int64_t y = r.top; y < r.bottom && !onTurtle; ++y)
        for (std::int64_t x = r.left; x < r.right && !onTurtle; ++x) {
            auto hit = page.hitTest({x, y});
            if (hit && hit->object == figure.shown.get()) onTurtle = Point{x, y};
        }
    ASSERT_TRUE(onTurtle) << "the shown turtle has no pixel to click";
    log.presses.clear();
    // Far enough in time and place from the first click not to make a double click.
    std::this_thread::sleep_for(600ms);
    click(m_window->window().nativeId(), onTurtle->x, onTurtle->y);
    ASSERT_TRUE(runUntil([&] { return log.presses.size() >= 2; }));
    EXPECT_TRUE(log.presses[0].down);
    EXPECT_EQ(log.presses[0].page, *onTurtle);
    EXPECT_EQ(log.presses[0].hit, figure.shown.get());
    EXPECT_EQ(log.presses[0].hovered, figure.shown.get());
    EXPECT_EQ(page.hoveredObject(), figure.shown.get());

    // The pointer leaves the window: the page hears of it and nothing is hovered any more; coming
    // back over the turtle hovers it again.
    const int leaves = log.leaves;
    moveTo(m_window->window().nativeId(), 400, 300);
    ASSERT_TRUE(runUntil([&] { return log.leaves > leaves; }));
    EXPECT_EQ(page.hoveredObject(), nullptr);
    moveTo(m_window->window().nativeId(), onTurtle->x, onTurtle->y);
    ASSERT_TRUE(runUntil([&] { return page.hoveredObject() == figure.shown.get(); }));
}

} // namespace
} // namespace qm
