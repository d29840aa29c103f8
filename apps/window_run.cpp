// The player's page on screen. Three threads take part:
//   - this one, the UI thread: the window, its repaints and its input (runWithPageWindow);
//   - the mouse relay: hands the window's mouse to the page's objects. Doing so takes the global
//     lock, which a busy process may hold until its next yield point; the UI thread never waits
//     for it, so repaints and closing go on whatever Logo does;
//   - the waiter: starts the run's processes once the window is up, sleeps until the window is
//     closed or the time is up, then stops the relay and every process (stopping waits for them,
//     which the UI thread must not do either).
// Logo's pointer commands ask the UI thread for the real pointer and wait for the answer with the
// global lock held; that is safe because the UI thread never waits for the lock.
// Whenever another page becomes current the window shows it. A process may erase the page on show:
// its surface is then kept until the window is gone (the UI thread may be painting it at that very
// moment) while the window goes on to the page that became current.
#include "window_run.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "global_lock.h"
#include "graphic_objects.h"
#include "host/page_window.h"
#include "screen_pointer.h"

namespace qm {

namespace {

// Ctrl and Shift of the window system's modifier bits, as Logo's mouse knows them.
std::uint32_t pointerKeysOf(std::uint32_t modifiers) {
    return ((modifiers & platform::kShift) ? kPointerShift : 0u) | ((modifiers & platform::kControl) ? kPointerCtrl : 0u);
}

// Mouse notifications of the window, queued in order and delivered to the page on a thread of
// their own. A move waiting behind another move replaces it: only where the mouse is now matters.
class PageMouseRelay final : public MouseCallbacks {
public:
    PageMouseRelay() : m_thread([this] { serve(); }) {}
    ~PageMouseRelay() override { stop(); }

    // The page shown from now on; it must stay alive (held by the caller) until stop() has returned.
    void setPage(tlogopage* page) {
        std::lock_guard lock(m_mutex);
        m_page = page;
    }

    // Drops what is still queued and waits for a delivery under way; whatever comes later is
    // dropped too, so that no event process can start once the processes are being stopped.
    void stop() {
        {
            std::lock_guard lock(m_mutex);
            if (m_stopping) return;
            m_stopping = true;
            m_queue.clear();
        }
        m_wake.notify_all();
        m_thread.join();
    }

    void moved(Point p, std::uint32_t modifiers) override { push({PageMouse::Move, p, 0, pointerKeysOf(modifiers)}); }
    void pressed(Point p, platform::MouseButton b, std::uint32_t modifiers) override {
        if (int32_t n = buttonIndex(b); n >= 0) push({PageMouse::Press, p, n, pointerKeysOf(modifiers)});
    }
    void released(Point p, platform::MouseButton b, std::uint32_t modifiers) override {
        if (int32_t n = buttonIndex(b); n >= 0) push({PageMouse::Release, p, n, pointerKeysOf(modifiers)});
    }
    void doubleClicked(Point p, platform::MouseButton b, std::uint32_t modifiers) override {
        if (int32_t n = buttonIndex(b); n >= 0) push({PageMouse::DoubleClick, p, n, pointerKeysOf(modifiers)});
    }
    void left() override { push({PageMouse::Leave, {}, 0, 0}); }

private:
    struct Notification {
        PageMouse what;
        Point at;
        int32_t button;
        std::uint32_t keys;  // kPointerCtrl, kPointerShift
    };

    static int32_t buttonIndex(platform::MouseButton b) {
        switch (b) {
        case platform::MouseButton::Left: return 0;
        case platform::MouseButton::Right: return 1;
        case platform::MouseButton::Middle: return 2;
        default: return -1;
        }
    }

    void push(const Notification& n) {
        {
            std::lock_guard lock(m_mutex);
            if (m_stopping) return;
            if (n.what == PageMouse::Move && !m_queue.empty() && m_queue.back().what == PageMouse::Move)
                m_queue.back() = n;
            else
                m_queue.push_back(n);
        }
        m_wake.notify_one();
    }

    void serve() {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
            if (m_stopping) return;
            const Notification n = m_queue.front();
            m_queue.pop_front();
            tlogopage* page = m_page;
            lock.unlock();
            pageMouse(page, n.what, n.at, n.button, n.keys);  // takes the global lock
            lock.lock();
        }
    }

    std::mutex m_mutex;
    tlogopage* m_page = nullptr;  // m_mutex; none: notifications are dropped
    std::condition_variable m_wake;
    std::deque<Notification> m_queue;
    bool m_stopping = false;
    std::thread m_thread;  // last: starts once the members above exist
};

// Logo's pointer during the run: the window system's, asked for on the UI thread. The page's
// top-left pixel shows at the window's client area plus the page's place in the window (pages
// smaller than the window sit in its middle); every page shows at the place of the one shown.
class WindowPointer final : public PointerHost {
public:
    // `window` is the UI thread's: set once the window is made, nil once it is gone.
    WindowPointer(platform::Backend& backend, PageWindow*& window) : m_backend(backend), m_window(window) {}

    PointerState pointer() override {
        const platform::PointerState p = m_backend.call([this] { return m_backend.pointer(); });
        PointerState s;
        s.position = p.position;
        if (p.modifiers & platform::kLeftHeld) s.buttons |= kPointerLeft;
        if (p.modifiers & platform::kRightHeld) s.buttons |= kPointerRight;
        if (p.modifiers & platform::kMiddleHeld) s.buttons |= kPointerMiddle;
        s.shifts = pointerKeysOf(p.modifiers);
        return s;
    }
    void warp(Point screen) override {
        m_backend.call([this, screen] { m_backend.warpPointer(screen); });
    }
    Point pageOrigin() override {
        return m_backend.call([this] {
            if (!m_window) return Point{};
            const Point at = m_window->window().screenPosition(), offset = m_window->pageOffset();
            return Point{at.x + offset.x, at.y + offset.y};
        });
    }

private:
    platform::Backend& m_backend;
    PageWindow*& m_window;
};

// What the window shows, and the surfaces of erased pages it may still be using. Everything here
// is changed with the global lock held.
struct ShownPages {
    std::vector<Ref<tlogoobject>> pages;              // every page shown, held until the window is gone
    std::vector<Surface*> mayShow;                     // their surfaces
    std::vector<std::unique_ptr<Surface>> kept;        // those of them whose page was erased
};

// Why the backend chosen shows nothing on screen, or empty when it does.
std::string whyNotOnScreen(const platform::Backend& backend) {
    if (backend.name() != "headless") return {};
    const char* forced = std::getenv("QUELMAR_BACKEND");
    if (forced && *forced) return "QUELMAR_BACKEND chooses the headless backend";
    return "no display (DISPLAY is not set)";
}

} // namespace

bool runInPageWindow(Engine& engine, const WindowRunOptions& options, std::string& why) {
    std::string error;
    std::unique_ptr<platform::Backend> backend = platform::chooseBackend(error);  // this thread: the UI thread
    if (!backend) {
        why = error;
        return false;
    }
    if (why = whyNotOnScreen(*backend); !why.empty()) return false;

    // Pages are held for the run, so that their records outlive every mouse delivery. The keeper
    // and the listener are set with the first page read, so that no erasing or switching comes in
    // between.
    PageMouseRelay mouse;
    PageWindow* pageWindow = nullptr;  // the UI thread's, once it is there
    WindowPointer pointer(*backend, pageWindow);
    ShownPages shown;
    Surface* surface = nullptr;
    {
        LockedScope locked;
        tlogopage* page = currentPage();
        if (!page || page->erased || !page->surface) {
            why = "there is no page to show";
            return false;
        }
        surface = page->surface.get();
        shown.pages.emplace_back(page);
        shown.mayShow.push_back(surface);
        mouse.setPage(page);
        // An erased page's surface stays while the window may be painting it. When the page was
        // current the next one has become current already (without one the window keeps the last
        // picture of this one).
        setErasedSurfaceKeeper([&](std::unique_ptr<Surface>& erased) {
            if (std::find(shown.mayShow.begin(), shown.mayShow.end(), erased.get()) == shown.mayShow.end()) return;
            shown.kept.push_back(std::move(erased));
        });
        setCurrentPageListener([&](tlogopage* next) {
            if (next->erased || !next->surface) return;
            Surface* nextSurface = next->surface.get();
            if (std::find(shown.mayShow.begin(), shown.mayShow.end(), nextSurface) == shown.mayShow.end()) {
                shown.pages.emplace_back(next);
                shown.mayShow.push_back(nextSurface);
            }
            mouse.setPage(next);
            // Runs in the loop, after the window has been made.
            backend->post([&pageWindow, nextSurface] {
                if (pageWindow) pageWindow->show(*nextSurface);
            });
        });
    }
    // After the window is gone: nothing else uses the pages and surfaces kept.
    auto letGo = [&shown] {
        LockedScope locked;  // counts change under the global lock only
        setPointerHost(nullptr);
        setCurrentPageListener(nullptr);
        setErasedSurfaceKeeper(nullptr);
        shown.kept.clear();
        shown.pages.clear();
    };

    std::mutex mutex;
    std::condition_variable wake;
    bool closeAsked = false;  // mutex
    std::atomic<bool> ended{false};
    std::thread waiter;

    PageRunOptions run;
    run.window.title = options.title;
    run.onReady = [&](PageWindow& w) {
        pageWindow = &w;
        waiter = std::thread([&] {
            {
                LockedScope locked;
                setPointerHost(&pointer);
            }
            if (options.start) options.start();
            {
                std::unique_lock lock(mutex);
                auto asked = [&closeAsked] { return closeAsked; };
                if (options.deadline)
                    wake.wait_until(lock, *options.deadline, asked);
                else
                    wake.wait(lock, asked);
            }
            mouse.stop();
            engine.stopProcesses();
            {
                // Before the loop ends: a pointer question from now on would wait for it forever.
                LockedScope locked;
                setPointerHost(nullptr);
            }
            ended = true;
            backend->post([] {});  // the loop looks at `ended` now
        });
    };
    // On the UI thread: only asks; the waiter does the stopping.
    run.onClose = [&] {
        {
            std::lock_guard lock(mutex);
            closeAsked = true;
        }
        wake.notify_all();
    };

    const PageRunEnd end = runWithPageWindow(*backend, *surface, mouse, [&ended] { return ended.load(); }, run, &error);
    pageWindow = nullptr;  // gone with the loop
    if (waiter.joinable()) waiter.join();
    mouse.stop();
    letGo();
    if (end == PageRunEnd::NoWindow) {
        why = error;
        return false;
    }
    return true;
}

} // namespace qm
