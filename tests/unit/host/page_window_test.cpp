// The page window on the headless backend: what it presents is the page as composed, partial repaints
// add up to the whole picture, repaints are gathered, the window follows the page, the mouse arrives
// as page points, closing ends a run, and a window may go while a process keeps drawing.
#include <gtest/gtest.h>

#include <atomic>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "host/page_window.h"
#include "page_figure.h"
#include "platform/headless/headless_backend.h"

namespace qm {
namespace {

using namespace std::chrono_literals;
using platform::Event;
using platform::EventType;
using platform::HeadlessBackend;
using platform::HeadlessWindow;
using platform::MouseButton;

// A headless window that also writes down the area of every present.
class RecordingWindow final : public platform::Window {
public:
    RecordingWindow(std::unique_ptr<platform::Window> inner, std::vector<Rect>& log, Bitmap& lastPicture)
        : m_inner(std::move(inner)), m_log(log), m_lastPicture(lastPicture) {}
    ~RecordingWindow() override { m_lastPicture = headless().frame(); }
    void present(const Bitmap& frame, Rect dirty) override {
        m_log.push_back(dirty);
        m_inner->present(frame, dirty);
    }
    using Window::present;
    void setTitle(std::string_view title) override { m_inner->setTitle(title); }
    void resize(platform::Size size) override { m_inner->resize(size); }
    platform::Size size() const override { return m_inner->size(); }
    void setVisible(bool visible) override { m_inner->setVisible(visible); }
    platform::NativeId nativeId() const override { return m_inner->nativeId(); }
    Point screenPosition() const override { return m_inner->screenPosition(); }
    HeadlessWindow& headless() { return static_cast<HeadlessWindow&>(*m_inner); }

private:
    std::unique_ptr<platform::Window> m_inner;
    std::vector<Rect>& m_log;
    Bitmap& m_lastPicture;
};

class RecordingBackend final : public platform::Backend {
public:
    std::string_view name() const override { return "recording"; }
    std::unique_ptr<platform::Window> createWindow(const platform::WindowOptions& options) override {
        auto w = inner.createWindow(options);
        if (!w) return nullptr;
        return std::make_unique<RecordingWindow>(std::move(w), presents, lastPicture);
    }
    bool waitEvent(Event& out, std::chrono::milliseconds timeout) override { return inner.waitEvent(out, timeout); }
    void post(std::function<void()> task) override { inner.post(std::move(task)); }
    bool isUiThread() const override { return inner.isUiThread(); }
    platform::TimerId addTimer(std::chrono::milliseconds interval, bool repeat, std::function<void()> fn) override {
        return inner.addTimer(interval, repeat, std::move(fn));
    }
    void cancelTimer(platform::TimerId id) override { inner.cancelTimer(id); }
    platform::PointerState pointer() override { return inner.pointer(); }
    void warpPointer(Point screen) override { inner.warpPointer(screen); }

    HeadlessBackend inner;
    std::vector<Rect> presents;
    Bitmap lastPicture;  // of the last window destroyed
};

HeadlessWindow& headlessOf(PageWindow& w) { return static_cast<RecordingWindow&>(w.window()).headless(); }

// Writes down every call in one line each: "pressed 10 20 left 9".
class MouseLog final : public MouseCallbacks {
public:
    void moved(Point p, std::uint32_t m) override { add("moved", p, MouseButton::NoButton, m); }
    void pressed(Point p, MouseButton b, std::uint32_t m) override { add("pressed", p, b, m); }
    void released(Point p, MouseButton b, std::uint32_t m) override { add("released", p, b, m); }
    void doubleClicked(Point p, MouseButton b, std::uint32_t m) override { add("double", p, b, m); }
    void left() override { lines.push_back("left"); }
    std::vector<std::string> lines;

private:
    void add(const char* what, Point p, MouseButton b, std::uint32_t m) {
        std::ostringstream s;
        s << what << ' ' << p.x << ' ' << p.y;
        if (b != MouseButton::NoButton) s << (b == MouseButton::Left ? " left" : b == MouseButton::Right ? " right" : " middle");
        s << ' ' << m;
        lines.push_back(s.str());
    }
};

class PageWindowTest : public ::testing::Test {
protected:
    std::unique_ptr<PageWindow> open(Surface& page, PageWindowOptions options = {}) {
        options.minRepaintInterval = m_interval;
        std::string error;
        auto w = PageWindow::create(backend, page, options, error);
        EXPECT_NE(w, nullptr) << error;
        return w;
    }
    // Runs the tasks, timers and events waiting now.
    void pump(PageWindow& w) {
        Event e;
        for (int i = 0; i < 20; ++i)
            if (backend.waitEvent(e, 0ms)) w.handle(e);
    }
    void inject(PageWindow& w, EventType type, int x, int y, MouseButton button = MouseButton::NoButton,
                std::uint32_t modifiers = 0) {
        Event e;
        e.type = type;
        e.window = &w.window();
        e.x = x;
        e.y = y;
        e.button = button;
        e.modifiers = modifiers;
        backend.inner.inject(e);
    }
    static std::int64_t areaOf(const Rect& r) { return r.width() * r.height(); }

    RecordingBackend backend;
    std::chrono::milliseconds m_interval{0};
};

TEST_F(PageWindowTest, RunShowsWhatAProcessThreadDrew) {
    Surface page(260, 170, rgb(255, 255, 224));
    std::atomic<bool> done{false};
    test::PageFigure figure;
    MouseLog mouse;
    PageRunOptions options;
    options.window.title = "Quelmar - figure";
    HeadlessWindow* shownIn = nullptr;
    options.onReady = [&](PageWindow& w) { shownIn = &headlessOf(w); };
    std::thread process([&] {
        figure = test::drawPageFigure(page);
        // Keep moving after the figure, so that repaints overlap with drawing.
        for (int i = 0; i < 200; ++i) {
            figure.shown->forward(3);
            figure.shown->right(7);
        }
        done = true;
        backend.post([] {});  // the loop looks at `done` now rather than at its next poll
    });
    std::string error;
    const PageRunEnd end = runWithPageWindow(backend, page, mouse, [&] { return done.load(); }, options, &error);
    process.join();
    ASSERT_EQ(end, PageRunEnd::Finished) << error;
    ASSERT_NE(shownIn, nullptr);
    // The run presents its last changes before it ends: the window's last picture is the page.
    EXPECT_EQ(backend.lastPicture, page.frame());
}

TEST_F(PageWindowTest, PresentsExactlyTheComposedPage) {
    Surface page(260, 170, rgb(255, 255, 224));
    auto w = open(page, {.title = "Quelmar - figure"});
    ASSERT_NE(w, nullptr);
    std::atomic<bool> drawn{false};
    test::PageFigure figure;
    std::thread process([&] {
        figure = test::drawPageFigure(page);
        drawn = true;
        backend.post([] {});
    });
    Event e;
    while (!drawn) {
        if (backend.waitEvent(e, 50ms)) w->handle(e);
    }
    process.join();
    pump(*w);
    HeadlessWindow& hw = headlessOf(*w);
    EXPECT_EQ(hw.title(), "Quelmar - figure");
    EXPECT_TRUE(hw.visible());
    EXPECT_EQ(hw.size(), (platform::Size{260, 170}));
    EXPECT_EQ(hw.frame(), page.frame());
    EXPECT_EQ(w->picture(), page.frame());
}

TEST_F(PageWindowTest, PartialRepaintsAddUpToTheWholePicture) {
    Surface page(300, 200);
    auto w = open(page);
    ASSERT_NE(w, nullptr);
    test::PageFigure figure = test::drawPageFigure(page);
    pump(*w);
    ASSERT_EQ(headlessOf(*w).frame(), page.frame());

    Turtle& t = *figure.shown;
    struct Step {
        const char* what;
        std::function<void()> change;
        bool small;  // the change touches a small area, so the present must be small too
    };
    const Step steps[] = {
        {"shown turtle moves without its pen", [&] { t.forward(15); }, true},
        {"shown turtle turns", [&] { t.right(50); }, true},
        {"shown turtle draws", [&] { t.setPenMode(PenMode::Down); t.forward(20); }, true},
        {"painter draws a dot far away", [&] { figure.painter->setAbsolutePosition({280, 190}); figure.painter->dot(); }, false},
        {"shown turtle hides", [&] { t.setShown(false); }, true},
        {"shown turtle shows again elsewhere", [&] { t.setPenMode(PenMode::Up); t.setAbsolutePosition({40, 40}); t.setShown(true); }, false},
        {"background colour changes", [&] { page.setBackgroundColour(rgb(200, 220, 255)); }, false},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        const std::size_t before = backend.presents.size();
        s.change();
        pump(*w);
        ASSERT_GT(backend.presents.size(), before);
        EXPECT_EQ(headlessOf(*w).frame(), page.frame());
        if (s.small) {
            EXPECT_LT(areaOf(backend.presents.back()), 300 * 200 / 8);
        }
    }
}

TEST_F(PageWindowTest, ManyChangesWaitingMakeOneRepaint) {
    Surface page(200, 150);
    auto w = open(page);
    ASSERT_NE(w, nullptr);
    Turtle t(page);
    t.setShown(true);
    const std::uint64_t before = w->repaintCount();
    for (int i = 0; i < 500; ++i) {
        t.forward(5);
        t.right(13);
    }
    pump(*w);
    EXPECT_EQ(w->repaintCount(), before + 1);
    EXPECT_EQ(headlessOf(*w).frame(), page.frame());
    pump(*w);  // nothing left to do
    EXPECT_EQ(w->repaintCount(), before + 1);
}

TEST_F(PageWindowTest, RepaintsSoonAfterOneAnotherWaitOutTheInterval) {
    backend.inner.useVirtualClock();
    m_interval = 10s;  // far longer than the test takes on the real clock
    Surface page(120, 90);
    auto w = open(page);
    ASSERT_NE(w, nullptr);
    const std::uint64_t first = w->repaintCount();
    Turtle t(page);
    t.forward(30);
    pump(*w);
    EXPECT_EQ(w->repaintCount(), first);  // too soon: gathered for later
    EXPECT_NE(headlessOf(*w).frame(), page.frame());
    t.right(90);
    t.forward(30);
    pump(*w);
    backend.inner.advance(10s);
    EXPECT_EQ(w->repaintCount(), first + 1);
    EXPECT_EQ(headlessOf(*w).frame(), page.frame());
}

TEST_F(PageWindowTest, WindowFollowsThePageAndCentresASmallerOne) {
    Surface page(160, 100, rgb(250, 250, 200));
    auto w = open(page, {.borderColour = rgb(1, 2, 3)});
    ASSERT_NE(w, nullptr);
    test::PageFigure figure = test::drawPageFigure(page);
    pump(*w);

    page.resize(260, 170);  // the page grows: so does the window
    pump(*w);
    EXPECT_EQ(w->window().size(), (platform::Size{260, 170}));
    EXPECT_EQ(headlessOf(*w).frame(), page.frame());

    // The user makes the window larger than the page: the page sits in the middle of a border.
    w->window().resize({301, 200});
    Event e;
    e.type = EventType::Resized;
    e.window = &w->window();
    e.size = {301, 200};
    backend.inner.inject(e);
    pump(*w);
    EXPECT_EQ(w->pageOffset(), (Point{20, 15}));
    const Bitmap& shown = headlessOf(*w).frame();
    const Bitmap expected = page.frame();
    EXPECT_EQ(shown.pixel(0, 0), rgb(1, 2, 3));
    EXPECT_EQ(shown.pixel(300, 199), rgb(1, 2, 3));
    EXPECT_EQ(shown.pixel(19, 100), rgb(1, 2, 3));
    EXPECT_EQ(shown.pixel(20 + 260, 100), rgb(1, 2, 3));
    auto inner = shown.copyRect(Rect::fromSize(20, 15, 260, 170), kBlack);
    ASSERT_TRUE(inner);
    EXPECT_EQ(*inner, expected);

    // Drawing now lands at the page's place in the window.
    figure.painter->setAbsolutePosition({0, 0});
    figure.painter->dot();
    pump(*w);
    inner = headlessOf(*w).frame().copyRect(Rect::fromSize(20, 15, 260, 170), kBlack);
    EXPECT_EQ(*inner, page.frame());

    // An exposed window shows its picture again.
    const int presents = headlessOf(*w).presentCount();
    e = {};
    e.type = EventType::Exposed;
    e.window = &w->window();
    e.area = Rect{0, 0, 50, 50};
    backend.inner.inject(e);
    pump(*w);
    EXPECT_EQ(headlessOf(*w).presentCount(), presents + 1);
}

TEST_F(PageWindowTest, MouseArrivesAsPagePointsAndMovesTheHover) {
    Surface page(100, 80);
    auto w = open(page);
    ASSERT_NE(w, nullptr);
    MouseLog mouse;
    w->setMouse(&mouse);
    // A larger window puts the page at (50, 20); every point below is in window pixels.
    w->window().resize({200, 120});
    Event resized;
    resized.type = EventType::Resized;
    resized.window = &w->window();
    resized.size = {200, 120};
    backend.inner.inject(resized);
    pump(*w);
    ASSERT_EQ(w->pageOffset(), (Point{50, 20}));

    Turtle t(page);
    t.setPenMode(PenMode::Up);
    t.setAbsolutePosition({30, 40});
    t.setShown(true);
    constexpr std::uint32_t L = platform::kLeftHeld;
    struct Case {
        const char* what;
        EventType type;
        int x, y;
        MouseButton button;
        std::uint32_t modifiers;
        std::vector<std::string> expect;
    };
    const Case cases[] = {
        {"move onto the page", EventType::MouseMove, 60, 30, MouseButton::NoButton, 0, {"moved 10 10 0"}},
        {"move onto the border", EventType::MouseMove, 10, 10, MouseButton::NoButton, 0, {"left"}},
        {"move on the border again", EventType::MouseMove, 12, 10, MouseButton::NoButton, 0, {}},
        {"press on the border", EventType::MouseDown, 5, 5, MouseButton::Left, L, {}},
        {"its release", EventType::MouseUp, 5, 5, MouseButton::Left, 0, {}},
        {"press at the page's last pixel", EventType::MouseDown, 149, 99, MouseButton::Left, L, {"pressed 99 79 left 8"}},
        {"drag off the page", EventType::MouseMove, 170, 110, MouseButton::NoButton, L, {"moved 120 90 8"}},
        {"release off the page", EventType::MouseUp, 170, 110, MouseButton::Left, 0, {"released 120 90 left 0", "left"}},
        {"right press with shift", EventType::MouseDown, 80, 60, MouseButton::Right,
         platform::kRightHeld | platform::kShift, {"pressed 30 40 right 17"}},
        {"right release", EventType::MouseUp, 80, 60, MouseButton::Right, platform::kShift, {"released 30 40 right 1"}},
        {"double click", EventType::MouseDoubleClick, 70, 40, MouseButton::Left, L, {"double 20 20 left 8"}},
        {"its release", EventType::MouseUp, 70, 40, MouseButton::Left, 0, {"released 20 20 left 0"}},
        {"leaving the window", EventType::MouseLeave, 250, 40, MouseButton::NoButton, 0, {"left"}},
        {"leaving again", EventType::MouseLeave, 250, 40, MouseButton::NoButton, 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        mouse.lines.clear();
        inject(*w, c.type, c.x, c.y, c.button, c.modifiers);
        pump(*w);
        EXPECT_EQ(mouse.lines, c.expect);
    }

    // The hovered object follows the mouse: onto the shown turtle, then off the page.
    inject(*w, EventType::MouseMove, 50 + 30, 20 + 40);
    pump(*w);
    EXPECT_EQ(page.hoveredObject(), &t);
    inject(*w, EventType::MouseMove, 50 + 90, 20 + 5);
    pump(*w);
    EXPECT_EQ(page.hoveredObject(), nullptr);
    inject(*w, EventType::MouseMove, 50 + 30, 20 + 40);
    inject(*w, EventType::MouseLeave, 300, 300);
    pump(*w);
    EXPECT_EQ(page.hoveredObject(), nullptr);
}

TEST_F(PageWindowTest, ShowingAnotherPage) {
    Surface first(120, 80, rgb(255, 0, 0));
    Surface second(200, 150, rgb(0, 0, 255));
    auto w = open(first);
    ASSERT_NE(w, nullptr);
    Turtle onSecond(second);
    onSecond.forward(40);
    w->show(second);
    pump(*w);
    EXPECT_EQ(w->window().size(), (platform::Size{200, 150}));
    EXPECT_EQ(headlessOf(*w).frame(), second.frame());
    // The first page no longer repaints this window.
    const std::uint64_t count = w->repaintCount();
    Turtle onFirst(first);
    onFirst.forward(20);
    pump(*w);
    EXPECT_EQ(w->repaintCount(), count);
    EXPECT_EQ(headlessOf(*w).frame(), second.frame());
}

TEST_F(PageWindowTest, ClosingHidesTheWindowAndServesProcessesUntilTheyEnd) {
    Surface page(100, 100);
    MouseLog mouse;
    std::atomic<bool> done{false};
    std::thread stopper;
    HeadlessWindow* hw = nullptr;
    int answered = 0;
    PageRunOptions options;
    options.onReady = [&](PageWindow& w) {
        hw = &headlessOf(w);
        Event e;
        e.type = EventType::Close;
        e.window = &w.window();
        backend.inner.inject(e);
    };
    options.onClose = [&] {
        // A process still asks the UI thread for work while it is being stopped.
        stopper = std::thread([&] {
            answered = backend.call([] { return 7; });
            done = true;
            backend.post([] {});
        });
    };
    bool visibleAtEnd = true;
    const PageRunEnd end = runWithPageWindow(backend, page, mouse, [&] {
        if (done && hw) visibleAtEnd = hw->visible();
        return done.load();
    }, options);
    stopper.join();
    EXPECT_EQ(end, PageRunEnd::Closed);
    EXPECT_EQ(answered, 7);
    EXPECT_FALSE(visibleAtEnd);
}

TEST_F(PageWindowTest, NoWindowInAParentThatDoesNotExist) {
    Surface page(50, 50);
    MouseLog mouse;
    PageRunOptions options;
    options.window.parent = 0x5151;
    std::string error;
    bool asked = false;
    EXPECT_EQ(runWithPageWindow(backend, page, mouse, [&] { return asked = true; }, options, &error),
              PageRunEnd::NoWindow);
    EXPECT_FALSE(asked);
    EXPECT_NE(error.find("20817"), std::string::npos) << error;  // the parent's number
}

TEST_F(PageWindowTest, WindowsComeAndGoWhileAProcessKeepsDrawing) {
    Surface page(200, 150);
    std::atomic<bool> stop{false};
    std::thread process([&] {
        Turtle t(page);
        t.setShown(true);
        while (!stop) {
            t.forward(7);
            t.right(11);
        }
    });
    for (int i = 0; i < 40; ++i) {
        auto w = open(page);
        ASSERT_NE(w, nullptr);
        pump(*w);
        // Destroyed with repaints posted and hooks running on the other thread.
    }
    stop = true;
    process.join();
    // Work posted for the windows that are gone does nothing now.
    Event e;
    for (int i = 0; i < 5; ++i) backend.waitEvent(e, 0ms);
    auto last = open(page);
    ASSERT_NE(last, nullptr);
    pump(*last);
    EXPECT_EQ(headlessOf(*last).frame(), page.frame());
}

} // namespace
} // namespace qm
