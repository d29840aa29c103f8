// The real `quelmar` program with its window on a (virtual) X server, driven from outside as a person
// would: the window's pixels are the page the program drew, clicks run the handlers of the objects
// under them, and closing the window ends the program. Usage: quelmar_window_test QUELMAR [gtest flags].
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "graphics/image/png.h"
#include "read_back.h"

// Last: Xlib's macros (None, Bool, Status) would break the headers above.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

std::string g_quelmar;  // the program under test, from the command line

constexpr auto kPatience = 15s;  // every wait is bounded: a lost event fails the test, never hangs it

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool eventually(const std::function<bool()>& done, std::chrono::milliseconds patience = kPatience) {
    const auto end = Clock::now() + patience;
    while (Clock::now() < end) {
        if (done()) return true;
        std::this_thread::sleep_for(20ms);
    }
    return done();
}

// A running quelmar with its output going to files of a folder of its own.
class QuelmarRun {
public:
    // `environment`: names set (or, with an empty value, removed) on top of ours.
    QuelmarRun(const fs::path& folder, const std::vector<std::string>& args,
        const std::map<std::string, std::string>& environment = {})
        : m_out(folder / "stdout.txt"), m_err(folder / "stderr.txt") {
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e) {
            std::string entry = *e;
            const std::string name = entry.substr(0, entry.find('='));
            if (!environment.count(name)) env.push_back(entry);
        }
        for (const auto& [name, value] : environment)
            if (!value.empty()) env.push_back(name + "=" + value);
        std::vector<char*> argv{g_quelmar.data()}, envp;
        std::vector<std::string> argCopy = args;
        for (auto& a : argCopy) argv.push_back(a.data());
        argv.push_back(nullptr);
        for (auto& e : env) envp.push_back(e.data());
        envp.push_back(nullptr);
        m_pid = fork();
        if (m_pid == 0) {
            const int out = open(m_out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int err = open(m_err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(out, 1);
            dup2(err, 2);
            execve(argv[0], argv.data(), envp.data());
            _exit(127);
        }
    }
    ~QuelmarRun() {
        if (m_pid > 0 && !m_status) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
    }

    // The exit status once the program has ended by itself within the patience; empty (and the
    // program killed) when it did not, or when it died of a signal.
    std::optional<int> exitStatus(std::chrono::milliseconds patience = kPatience) {
        if (m_status) return m_status;
        const auto end = Clock::now() + patience;
        for (;;) {
            int st = 0;
            const pid_t r = waitpid(m_pid, &st, WNOHANG);
            if (r == m_pid) {
                m_status = WIFEXITED(st) ? WEXITSTATUS(st) : 1000 + WTERMSIG(st);
                if (!WIFEXITED(st)) return std::nullopt;
                return m_status;
            }
            if (Clock::now() >= end) {
                kill(m_pid, SIGKILL);
                waitpid(m_pid, nullptr, 0);
                m_status = -1;
                return std::nullopt;
            }
            std::this_thread::sleep_for(20ms);
        }
    }
    bool running() {
        if (m_status) return false;
        int st = 0;
        if (waitpid(m_pid, &st, WNOHANG) != m_pid) return true;
        m_status = WIFEXITED(st) ? WEXITSTATUS(st) : 1000 + WTERMSIG(st);
        return false;
    }
    std::string out() const { return readFile(m_out); }
    std::string err() const { return readFile(m_err); }

private:
    fs::path m_out, m_err;
    pid_t m_pid = -1;
    std::optional<int> m_status;
};

// The program resizes its window when another page is shown; a read-back that races the resize
// asks for more than the window has and gets BadMatch. That must not end the test (Xlib's default
// handler exits): the read gives nothing and is tried again.
int ignoreXError(Display*, XErrorEvent*) { return 0; }

// Public: the cases of a table close the window through it.
class QuelmarWindowTest : public ::testing::Test {
public:
    void SetUp() override {
        XSetErrorHandler(ignoreXError);
        m_display = XOpenDisplay(nullptr);
        ASSERT_NE(m_display, nullptr) << "no X display";
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_folder = fs::temp_directory_path() /
                   ("quelmar_window_" + std::to_string(getpid()) + "_" + info->name());
        fs::remove_all(m_folder);
        fs::create_directories(m_folder);
    }
    void TearDown() override {
        if (m_display) XCloseDisplay(m_display);
        if (!HasFailure()) fs::remove_all(m_folder);
    }

    fs::path program(const std::string& name, const std::string& text) {
        const fs::path p = m_folder / name;
        std::ofstream(p) << text;
        return p;
    }
    fs::path runFolder(const std::string& name) {
        fs::create_directories(m_folder / name);
        return m_folder / name;
    }

    std::string titleOf(::Window w) {
        Atom type;
        int format;
        unsigned long count, after;
        unsigned char* data = nullptr;
        std::string title;
        if (XGetWindowProperty(m_display, w, XInternAtom(m_display, "_NET_WM_NAME", False), 0, 1024, False,
                               XInternAtom(m_display, "UTF8_STRING", False), &type, &format, &count, &after,
                               &data) == Success &&
            data) {
            title.assign(reinterpret_cast<char*>(data), count);
            XFree(data);
        }
        return title;
    }

    // A mapped window of that title anywhere in the tree.
    std::optional<::Window> findIn(::Window parent, const std::string& title) {
        ::Window root, up, *children = nullptr;
        unsigned int n = 0;
        if (!XQueryTree(m_display, parent, &root, &up, &children, &n)) return std::nullopt;
        std::optional<::Window> found;
        for (unsigned int i = 0; i < n && !found; ++i) {
            XWindowAttributes a;
            if (titleOf(children[i]) == title && XGetWindowAttributes(m_display, children[i], &a) &&
                a.map_state == IsViewable)
                found = children[i];
            else
                found = findIn(children[i], title);
        }
        if (children) XFree(children);
        return found;
    }
    std::optional<::Window> findWindow(const std::string& title) {
        std::optional<::Window> w;
        eventually([&] {
            XSync(m_display, False);
            w = findIn(DefaultRootWindow(m_display), title);
            return w.has_value();
        });
        return w;
    }

    qm::Bitmap readBack(::Window w) {
        XSync(m_display, False);
        XWindowAttributes a;
        if (!XGetWindowAttributes(m_display, w, &a)) return {};
        return qm::test::readWindowPixels(m_display, w, a.width, a.height);
    }

    static int differing(const qm::Bitmap& a, const qm::Bitmap& b) {
        if (a.width() != b.width() || a.height() != b.height()) return -1;
        int n = 0;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x) n += a.pixel(x, y) != b.pixel(x, y);
        return n;
    }

    void click(::Window w, int x, int y) {
        int rootX = 0, rootY = 0;
        ::Window child;
        XTranslateCoordinates(m_display, w, DefaultRootWindow(m_display), x, y, &rootX, &rootY, &child);
        XTestFakeMotionEvent(m_display, DefaultScreen(m_display), rootX, rootY, CurrentTime);
        XTestFakeButtonEvent(m_display, Button1, True, CurrentTime);
        XTestFakeButtonEvent(m_display, Button1, False, CurrentTime);
        XFlush(m_display);
    }

    // Where the pointer is on the screen, as the server tells.
    std::pair<int, int> pointer() {
        ::Window root, child;
        int rootX = 0, rootY = 0, x = 0, y = 0;
        unsigned mask = 0;
        XQueryPointer(m_display, DefaultRootWindow(m_display), &root, &child, &rootX, &rootY, &x, &y, &mask);
        return {rootX, rootY};
    }
    std::pair<int, int> screenOf(::Window w, int x, int y) {
        int rootX = 0, rootY = 0;
        ::Window child;
        XTranslateCoordinates(m_display, w, DefaultRootWindow(m_display), x, y, &rootX, &rootY, &child);
        return {rootX, rootY};
    }
    void moveMouse(::Window w, int x, int y) {
        const auto [rootX, rootY] = screenOf(w, x, y);
        XTestFakeMotionEvent(m_display, DefaultScreen(m_display), rootX, rootY, CurrentTime);
        XFlush(m_display);
    }
    void leftButton(bool down) {
        XTestFakeButtonEvent(m_display, Button1, down ? True : False, CurrentTime);
        XFlush(m_display);
    }

    // What a window manager sends when the user clicks the window's close box.
    void askToClose(::Window w) {
        XEvent e{};
        e.xclient.type = ClientMessage;
        e.xclient.window = w;
        e.xclient.message_type = XInternAtom(m_display, "WM_PROTOCOLS", False);
        e.xclient.format = 32;
        e.xclient.data.l[0] = static_cast<long>(XInternAtom(m_display, "WM_DELETE_WINDOW", False));
        e.xclient.data.l[1] = CurrentTime;
        XSendEvent(m_display, w, False, NoEventMask, &e);
        XFlush(m_display);
    }

    Display* m_display = nullptr;
    fs::path m_folder;
};

// Lines, colours, a fill of the background and turtles: enough that a pixel out of place shows.
const char* const kDrawing = R"(setbgcolour [255 255 224]
setpenwidth 3
repeat 5 [setpencolour item repcount [red green blue orange purple] forward 120 right 144]
penup setxy -300 -150 pendown
setpencolour "black
repeat 36 [forward 8 right 10]
penup home right 45 forward 60
print "drawn
)";

TEST_F(QuelmarWindowTest, TheWindowShowsThePageTheSnapshotHolds) {
    const fs::path drawing = program("drawing.lgo", kDrawing);
    const fs::path headlessPng = m_folder / "headless.png", windowPng = m_folder / "window.png";

    // The page as a headless run of the same program leaves it.
    {
        QuelmarRun run(runFolder("headless"), {"--snapshot", headlessPng.string(), "run", drawing.string()},
                {{"QUELMAR_BACKEND", "headless"}});
        ASSERT_EQ(run.exitStatus(), 0) << run.err();
    }
    std::string error;
    const auto expected = qm::readPng(headlessPng.string(), error);
    ASSERT_TRUE(expected) << error;

    QuelmarRun run(runFolder("window"),
            {"--window", "--seconds", "60", "--snapshot", windowPng.string(), "run", drawing.string()});
    const auto window = findWindow("Quelmar - drawing.lgo");
    ASSERT_TRUE(window) << run.err();
    // Its pixels, read back from the server, become the page once the drawing is done.
    qm::Bitmap shown;
    const bool same = eventually([&] {
        shown = readBack(*window);
        return shown == *expected;
    });
    EXPECT_TRUE(same) << differing(shown, *expected) << " pixels differ (-1: sizes " << shown.width() << "x"
                      << shown.height() << " and " << expected->width() << "x" << expected->height() << ")";
    EXPECT_EQ(run.out(), "drawn\n");
    // The program has ended, the window stays until it is closed.
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(run.running());

    askToClose(*window);
    EXPECT_EQ(run.exitStatus(), 0) << run.err();
    const auto written = qm::readPng(windowPng.string(), error);
    ASSERT_TRUE(written) << error;
    EXPECT_EQ(differing(*written, *expected), 0);
}

TEST_F(QuelmarWindowTest, AClickOnTheTurtleRunsItsHandlerAndBesideItThePages) {
    const fs::path clicks = program("clicks.lgo", R"(ask "turtle1 [setevent "onClick [print "turtle]]
ask "page1 [setevent "onClick [print "page]]
print "ready
)");
    QuelmarRun run(runFolder("run"), {"--window", "--seconds", "60", "run", clicks.string()});
    const auto window = findWindow("Quelmar - clicks.lgo");
    ASSERT_TRUE(window) << run.err();
    ASSERT_TRUE(eventually([&] { return run.out() == "ready\n"; })) << run.out() << run.err();

    // Beside the turtle (at the origin, 398 249): the page's handler, not the turtle's.
    click(*window, 100, 80);
    EXPECT_TRUE(eventually([&] { return run.out() == "ready\npage\n"; })) << run.out() << run.err();
    // Far enough in time and place from the first not to make a double click.
    std::this_thread::sleep_for(600ms);
    click(*window, 398, 250);
    EXPECT_TRUE(eventually([&] { return run.out() == "ready\npage\nturtle\n"; })) << run.out() << run.err();

    askToClose(*window);
    EXPECT_EQ(run.exitStatus(), 0) << run.err();
    EXPECT_EQ(run.out(), "ready\npage\nturtle\n");
}

// The page on show is erased while the window paints it: the window goes on to the page shown next
// (at that page's size) and the mouse with it.
TEST_F(QuelmarWindowTest, WhenThePageShownIsErasedTheWindowShowsTheNextOne) {
    const fs::path erase = program("erase.lgo", R"(new "page [name second width 300 height 200 bgColour [0 128 0]]
ask "second [setevent "onClick [print "second]]
setpenwidth 5
repeat 200 [forward 100 right 91]
print "erasing
ask "main [eraseobject "page1]
)");
    const fs::path headlessPng = m_folder / "headless.png", windowPng = m_folder / "window.png";
    {
        QuelmarRun run(runFolder("headless"), {"--snapshot", headlessPng.string(), "run", erase.string()},
                       {{"QUELMAR_BACKEND", "headless"}});
        ASSERT_EQ(run.exitStatus(), 0) << run.err();
    }
    std::string error;
    const auto expected = qm::readPng(headlessPng.string(), error);
    ASSERT_TRUE(expected) << error;
    ASSERT_EQ(expected->width(), 300);

    QuelmarRun run(runFolder("window"),
                   {"--window", "--seconds", "60", "--snapshot", windowPng.string(), "run", erase.string()});
    const auto window = findWindow("Quelmar - erase.lgo");
    ASSERT_TRUE(window) << run.err();
    ASSERT_TRUE(eventually([&] { return run.out() == "erasing\n"; })) << run.out() << run.err();
    qm::Bitmap shown;
    EXPECT_TRUE(eventually([&] {
        shown = readBack(*window);
        return shown == *expected;
    })) << differing(shown, *expected) << " pixels differ (-1: the window is " << shown.width() << "x"
        << shown.height() << ")";
    click(*window, 150, 100);
    EXPECT_TRUE(eventually([&] { return run.out() == "erasing\nsecond\n"; })) << run.out() << run.err();

    askToClose(*window);
    EXPECT_EQ(run.exitStatus(), 0) << run.err();
    const auto written = qm::readPng(windowPng.string(), error);
    ASSERT_TRUE(written) << error;
    EXPECT_EQ(differing(*written, *expected), 0);
}

// Logo's pointer is the real one: setmousepos moves it (even as the program's first line: the program
// starts once the window is up), mousepos reads it, and toscreen places the page where the window is.
TEST_F(QuelmarWindowTest, ThePointerCommandsUseTheRealPointerAndTheWindowsPlace) {
    const fs::path pointerProgram = program("pointer.lgo", R"(ask "main [setmousepos [300 200]]
ask "page1 [setevent "onClick [print ask "main [mousepos] ask "main [setmousepos [321 123]] print ask "main [mousepos] print toscreen [0 0] print toobject toscreen [10 20] print mousestate]]
print "ready
)");
    QuelmarRun run(runFolder("run"), {"--window", "--seconds", "60", "run", pointerProgram.string()});
    const auto window = findWindow("Quelmar - pointer.lgo");
    ASSERT_TRUE(window) << run.err();
    ASSERT_TRUE(eventually([&] { return run.out() == "ready\n"; })) << run.out() << run.err();
    EXPECT_EQ(pointer(), std::make_pair(300, 200));

    // The window somewhere else than the screen's corner, where no window manager put it.
    XMoveWindow(m_display, *window, 57, 33);
    XSync(m_display, False);
    const auto [pageX, pageY] = screenOf(*window, 0, 0);
    ASSERT_EQ(pageX, 57);
    const auto [clickX, clickY] = screenOf(*window, 100, 80);
    click(*window, 100, 80);
    std::ostringstream expected;
    expected << "ready\n" << clickX << " " << clickY << "\n321 123\n" << pageX + 398 << " " << pageY + 249
             << "\n10 20\n0 0 [" << 321 - pageX - 398 << " " << 249 - (123 - pageY) << "]\n";
    EXPECT_TRUE(eventually([&] { return run.out() == expected.str(); })) << run.out() << run.err();
    EXPECT_EQ(pointer(), std::make_pair(321, 123));

    askToClose(*window);
    EXPECT_EQ(run.exitStatus(), 0) << run.err();
}

// A real drag of a turtle whose autoDrag is on: it follows the pointer, keeping the point it was
// grabbed by (one pixel below its centre), and is where the pointer left it when the button goes up.
TEST_F(QuelmarWindowTest, DraggingAnAutoDragTurtleMovesIt) {
    const fs::path drag = program("drag.lgo", R"(ask "turtle1 [setautodrag "true setevent "onLeftUp [print pos]]
print "ready
)");
    QuelmarRun run(runFolder("run"), {"--window", "--seconds", "60", "run", drag.string()});
    const auto window = findWindow("Quelmar - drag.lgo");
    ASSERT_TRUE(window) << run.err();
    ASSERT_TRUE(eventually([&] { return run.out() == "ready\n"; })) << run.out() << run.err();
    moveMouse(*window, 398, 250);
    std::this_thread::sleep_for(100ms);
    leftButton(true);
    // Moves that come while a step of the drag runs are dropped: the last ones come slowly.
    for (const auto& [x, y] : {std::pair{410, 260}, {430, 280}, {450, 300}, {451, 300}, {450, 300}}) {
        std::this_thread::sleep_for(300ms);
        moveMouse(*window, x, y);
    }
    std::this_thread::sleep_for(300ms);
    leftButton(false);
    EXPECT_TRUE(eventually([&] { return run.out() == "ready\n52 -50\n"; })) << run.out() << run.err();

    // The pen was down all the way: the track crosses the square between the turtle's first and last
    // places, whichever steps the drag took.
    auto trackDrawn = [&] {
        const qm::Bitmap shown = readBack(*window);
        if (shown.width() != 796) return false;
        for (int y = 262; y < 287; ++y)
            for (int x = 412; x < 437; ++x)
                if (shown.pixel(x, y) == qm::kBlack) return true;
        return false;
    };
    EXPECT_TRUE(eventually(trackDrawn));

    askToClose(*window);
    EXPECT_EQ(run.exitStatus(), 0) << run.err();
}

// The window shows whichever page becomes current, at its size, and hands it the mouse.
TEST_F(QuelmarWindowTest, ThePageMadeCurrentIsShown) {
    const fs::path pages = program("pages.lgo", R"(new "page [name second width 300 height 200 bgColour [0 128 0]]
ask "second [setevent "onClick [print "second]]
ask "second [showme]
print "shown
)");
    QuelmarRun run(runFolder("run"), {"--window", "--seconds", "60", "run", pages.string()});
    const auto window = findWindow("Quelmar - pages.lgo");
    ASSERT_TRUE(window) << run.err();
    ASSERT_TRUE(eventually([&] { return run.out() == "shown\n"; })) << run.out() << run.err();
    const qm::Bitmap green = *qm::Bitmap::create(300, 200, qm::rgb(0, 128, 0));
    qm::Bitmap shown;
    EXPECT_TRUE(eventually([&] {
        shown = readBack(*window);
        return shown == green;
    })) << differing(shown, green) << " pixels differ (-1: the window is " << shown.width() << "x" << shown.height()
        << ")";
    click(*window, 150, 100);
    EXPECT_TRUE(eventually([&] { return run.out() == "shown\nsecond\n"; })) << run.out() << run.err();

    askToClose(*window);
    EXPECT_EQ(run.exitStatus(), 0) << run.err();
}

// However the window goes, the program ends at once with status 0, stopping what still runs.
TEST_F(QuelmarWindowTest, ClosingTheWindowEndsTheProgram) {
    const fs::path busy = program("busy.lgo", "forever [right 1]\nprint \"started\n");
    struct Case {
        const char* name;
        std::function<void(QuelmarWindowTest&, ::Window)> close;
    };
    const Case cases[] = {
        {"window manager's close request", [](QuelmarWindowTest& t, ::Window w) { t.askToClose(w); }},
        {"window destroyed (xdotool windowclose)",
         [](QuelmarWindowTest& t, ::Window w) {
             XDestroyWindow(t.m_display, w);
             XFlush(t.m_display);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QuelmarRun run(runFolder(c.name), {"--window", "--seconds", "60", "run", busy.string()});
        const auto window = findWindow("Quelmar - busy.lgo");
        ASSERT_TRUE(window) << run.err();
        ASSERT_TRUE(eventually([&] { return run.out() == "started\n"; })) << run.err();
        const auto asked = Clock::now();
        c.close(*this, *window);
        EXPECT_EQ(run.exitStatus(), 0) << run.err();
        EXPECT_LT(Clock::now() - asked, 10s);
        XSync(m_display, False);
        EXPECT_FALSE(findIn(DefaultRootWindow(m_display), "Quelmar - busy.lgo"));
    }
}

TEST_F(QuelmarWindowTest, TheTimeLimitEndsAWindowedRunWithItsWindowOpen) {
    QuelmarRun run(runFolder("run"), {"--window", "--seconds", "1.5", "eval", "print", "1"});
    ASSERT_TRUE(findWindow("Quelmar")) << run.err();
    EXPECT_EQ(run.exitStatus(), 0) << run.err();
    EXPECT_EQ(run.out(), "1\n");
}

// Without a display the window is given up with a message, and the program runs as it would without.
TEST_F(QuelmarWindowTest, WithoutADisplayTheRunGoesOnWithoutAWindow) {
    struct Case {
        const char* name;
        std::map<std::string, std::string> environment;
    };
    const Case cases[] = {
        {"no DISPLAY", {{"DISPLAY", ""}, {"QUELMAR_BACKEND", ""}}},
        {"a display nobody serves", {{"DISPLAY", ":97"}, {"QUELMAR_BACKEND", ""}}},
        {"headless chosen", {{"QUELMAR_BACKEND", "headless"}}},
    };
    const fs::path png = m_folder / "page.png";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(png);
        QuelmarRun run(runFolder(c.name), {"--window", "--snapshot", png.string(), "eval", "forward", "50", "print", "2"},
                c.environment);
        EXPECT_EQ(run.exitStatus(), 0) << run.err();
        EXPECT_EQ(run.out(), "2\n");
        EXPECT_NE(run.err().find("quelmar: cannot show the page in a window: "), std::string::npos) << run.err();
        EXPECT_TRUE(fs::exists(png));
    }
}

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s QUELMAR [gtest flags]\n", argv[0]);
        return 2;
    }
    g_quelmar = fs::absolute(argv[1]).string();
    return RUN_ALL_TESTS();
}
