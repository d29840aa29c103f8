// The window that shows a page: it composes the page's surface into a picture of its own and hands
// that to a platform window, repaints what the page reports dirty, follows the page's size, and turns
// the window's mouse into page points for the Logo side. Also the UI loop the player runs while Logo
// processes work on their own threads.
//
// Threads: a PageWindow is made, used and destroyed on the backend's UI thread, and destroyed before
// its backend and before the surface it shows. The surface may be drawn on from any thread; its
// repaint hook only posts work to the UI thread, at most one repaint waiting at a time.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "graphics/surface/surface.h"
#include "platform/platform.h"

namespace qm {

namespace detail {
struct RepaintLink;
}

// What the Logo side does with the mouse over a page. Points are absolute pixels of the page (y down,
// from its top-left pixel); modifiers are platform::Modifier bits as they are after the event. Called
// on the UI thread, after the page's hovered object has been brought up to date.
class MouseCallbacks {
public:
    virtual ~MouseCallbacks() = default;
    virtual void moved(Point page, std::uint32_t modifiers) {}
    virtual void pressed(Point page, platform::MouseButton button, std::uint32_t modifiers) {}
    virtual void released(Point page, platform::MouseButton button, std::uint32_t modifiers) {}
    // The second press of a double click, given instead of pressed(); its release follows as usual.
    virtual void doubleClicked(Point page, platform::MouseButton button, std::uint32_t modifiers) {}
    // The mouse left the page (no button held); the next move over it comes as moved().
    virtual void left() {}
};

struct PageWindowOptions {
    std::string title = "Quelmar";  // UTF-8
    // Embedded mode: the window is made a child of this foreign window (0: a top-level window).
    platform::NativeId parent = 0;
    // The window takes the page's size, and takes it again whenever the page is resized.
    bool followPageSize = true;
    // Around the page when the window is larger than it (the page is centred then).
    Rgb borderColour = rgb(240, 240, 240);
    // Repaints come at most this often while a page keeps changing; a change after a quiet spell
    // is shown at once. 0: every repaint is posted as soon as it becomes due.
    std::chrono::milliseconds minRepaintInterval{10};
};

class PageWindow {
public:
    // Makes the window (shown once the page is painted into it). Empty, with `error` set, when the
    // backend cannot make it (embedded: the parent window does not exist).
    static std::unique_ptr<PageWindow> create(platform::Backend& backend, Surface& page,
                                              const PageWindowOptions& options, std::string& error);
    ~PageWindow();
    PageWindow(const PageWindow&) = delete;
    PageWindow& operator=(const PageWindow&) = delete;

    platform::Window& window() { return *m_window; }
    Surface& page() { return *m_page; }
    // Shows another page in this window (switching pages); the previous one is left alone.
    void show(Surface& page);

    void setMouse(MouseCallbacks* mouse) { m_mouse = mouse; }
    // The user asked to close the window, or the window system destroyed it.
    void setCloseHandler(std::function<void()> handler) { m_onClose = std::move(handler); }
    // KeyDown and KeyUp events of the window.
    void setKeyHandler(std::function<void(const platform::Event&)> handler) { m_onKey = std::move(handler); }
    void setTitle(std::string_view title) { m_window->setTitle(title); }

    // Handles an event of the backend's loop; false when it is not this window's.
    bool handle(const platform::Event& event);
    // Composes and presents whatever the page has marked dirty, now.
    void repaintNow();
    bool closed() const { return m_closed; }
    // The window system destroyed the window (an embedding parent went away): nothing is shown now.
    bool destroyed() const { return m_destroyed; }

    // Where the page's top-left pixel is in the window (non-zero when the window is the larger).
    Point pageOffset() const { return m_offset; }
    // The window's picture as last presented: the page composed at pageOffset() within the border.
    const Bitmap& picture() const { return m_picture; }
    // Repaints presented so far (each may cover only part of the page); readable from any thread.
    std::uint64_t repaintCount() const { return m_repaints.load(std::memory_order_relaxed); }

private:
    PageWindow(platform::Backend& backend, Surface& page, const PageWindowOptions& options,
               std::unique_ptr<platform::Window> window);
    static void repaintDue(void* link);
    void scheduledRepaint();
    void attach(Surface& page);
    void detach();
    void layout();
    void presentPage(Rect pageArea);
    Point toPage(const platform::Event& e) const { return {e.x - m_offset.x, e.y - m_offset.y}; }
    void mouseEvent(const platform::Event& e);
    void leave();

    platform::Backend& m_backend;
    Surface* m_page;
    PageWindowOptions m_options;
    std::unique_ptr<platform::Window> m_window;
    detail::RepaintLink* m_link;  // from a pool that lives as long as the program (see page_window.cpp)

    Bitmap m_offscreen;  // composition in page pixels; grows, never shrinks
    Bitmap m_picture;    // the window's picture, window-sized
    platform::Size m_pageSize{-1, -1};
    Point m_offset;
    bool m_pictureStale = true;  // m_picture's size or layout changed: everything is presented again
    platform::TimerId m_timer = 0;
    std::chrono::steady_clock::time_point m_lastPaint{};
    std::atomic<std::uint64_t> m_repaints{0};

    MouseCallbacks* m_mouse = nullptr;
    std::function<void()> m_onClose;
    std::function<void(const platform::Event&)> m_onKey;
    bool m_overPage = false;           // the last mouse position was on the page
    std::uint32_t m_pressedButtons = 0;  // Modifier held bits of presses given to the page
    bool m_closed = false;
    bool m_destroyed = false;
};

// How a page run ended.
enum class PageRunEnd {
    Finished,  // `finished` answered true with the window still open
    Closed,    // the user closed the window (or it was destroyed); the loop then ran until `finished`
    NoWindow,  // the window could not be made; nothing ran
};

struct PageRunOptions {
    PageWindowOptions window;
    // Called on the UI thread when the user closes the window. It must not wait for Logo processes
    // (they may be waiting for the UI thread): ask them to stop and let `finished` say when they have.
    std::function<void()> onClose;
    std::function<void(const platform::Event&)> onKey;
    // Called once the window exists, before the loop starts (tests and snapshots keep the window).
    std::function<void(PageWindow&)> onReady;
    // `finished` is asked after every event and task, and at least this often. Another thread that
    // makes it true wakes the loop at once with backend.post([] {}).
    std::chrono::milliseconds pollInterval{50};
};

// Runs the backend's UI loop on the calling thread (the backend's UI thread) with `page` shown in a
// window, until `finished` answers true; then presents the last changes and returns. When the window
// is closed first, it is hidden, onClose runs, and the loop keeps serving posted work until
// `finished`. Works alike on the headless backend. `error` tells why when the result is NoWindow.
PageRunEnd runWithPageWindow(platform::Backend& backend, Surface& page, MouseCallbacks& mouse,
                             const std::function<bool()>& finished, const PageRunOptions& options = {},
                             std::string* error = nullptr);

} // namespace qm
