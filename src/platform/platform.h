// The platform interface: everything the engine asks of the window system. Backends (headless/, x11/)
// live behind it; nothing outside src/platform/ includes a window-system header.
//
// The engine draws every pixel itself (src/graphics/) and hands a backend finished bitmaps; a backend
// only shows them and delivers input. Frames are qm::Bitmap from the rasteriser (one 0x00BBGGRR word
// per pixel), so no copy or conversion is needed before a frame reaches a backend.
//
// Threads: one UI thread (the thread that created the Backend) runs waitEvent() and is the only thread
// that may use a Window. Any thread may post() or call() work onto it, and may add or cancel timers.
// Text crossing this interface (titles, typed text) is UTF-8; the engine converts to and from its code
// page at its own edge.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

#include "graphics/raster/bitmap.h"

namespace qm::platform {

// A native window handle: an X11 window id, or a made-up number in the headless backend. It is what
// the engine announces to the plug-in and what embedded mode receives on the command line.
using NativeId = std::uint64_t;

struct Size {
    std::int32_t width = 0;
    std::int32_t height = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

// (NoButton, not None: Xlib defines None as a macro.)
enum class MouseButton : std::uint8_t { NoButton, Left, Right, Middle };

// Modifier keys and mouse buttons held while an input event happened.
enum Modifier : std::uint32_t {
    kShift = 1u << 0,
    kControl = 1u << 1,
    kAlt = 1u << 2,
    kLeftHeld = 1u << 3,
    kRightHeld = 1u << 4,
    kMiddleHeld = 1u << 5,
};

// Keys the engine tells apart by themselves; every other key is Key::Character and is known by the
// text it types (empty for keys that type nothing, such as a lone modifier's neighbours).
enum class Key : std::uint16_t {
    Character,
    F1, F2, F3, F4, F5, F6, F7, F8, F9, F10, F11, F12,
    Home, End, Up, Down, Left, Right, PageUp, PageDown, Insert, Delete,
    Clear,  // keypad 5 without Num Lock
    Enter, Backspace, Tab, Escape, Pause,
    Shift, Control, Alt,
};

enum class EventType : std::uint8_t {
    MouseMove,
    MouseDown,         // a press that is not the second press of a double click
    MouseUp,
    MouseDoubleClick,  // the second press of the same button, quickly and close by; comes instead of MouseDown
    MouseLeave,        // the pointer left the window (coming back gives a MouseMove)
    KeyDown,           // repeats while the key is held (no KeyUp in between)
    KeyUp,
    Exposed,           // part of the window needs its picture again (area)
    Resized,           // the window system gave the window a new size (size)
    Close,             // the user asked to close the window
    Destroyed,         // the window system destroyed the window (an embedding parent went away)
};

class Window;

struct Event {
    EventType type = EventType::MouseMove;
    Window* window = nullptr;  // events of a window are dropped when it is destroyed
    std::int32_t x = 0;        // mouse position in window pixels
    std::int32_t y = 0;
    MouseButton button = MouseButton::NoButton;
    std::uint32_t modifiers = 0;  // Modifier bits
    Key key = Key::Character;
    std::string text = {};  // KeyDown/KeyUp: the UTF-8 text the key types with the current layout
    Rect area;         // Exposed
    Size size;         // Resized
};

struct WindowOptions {
    Size size{640, 480};
    std::string title = {};  // UTF-8
    bool visible = true;
    // Embedded mode: the window becomes a child of this foreign window (0: a top-level window).
    NativeId parent = 0;
};

// A window on screen (or in memory). Used on the UI thread only, and destroyed before its backend.
class Window {
public:
    virtual ~Window() = default;
    // Shows `dirty` (clipped to the frame and the window) of `frame`, whose top-left is the window's.
    // The pixels are copied; the window keeps no reference to the frame.
    virtual void present(const Bitmap& frame, Rect dirty) = 0;
    void present(const Bitmap& frame) { present(frame, frame.bounds()); }
    virtual void setTitle(std::string_view title) = 0;
    // For the main window following its page's size. The area outside the last presented frame is
    // undefined after growing, until the next present.
    virtual void resize(Size size) = 0;
    virtual Size size() const = 0;
    // Windows are made hidden when they must be sized and painted before anyone sees them.
    virtual void setVisible(bool visible) = 0;
    // The id other processes know the window by (the plug-in's messages are addressed to it).
    virtual NativeId nativeId() const = 0;
    // Where the top-left pixel of the window's client area is on the screen, in screen pixels: what
    // turns a point of the window into a point of the screen, where the mouse pointer is told.
    virtual Point screenPosition() const = 0;
};

// The mouse pointer now: where it is in screen pixels, and the Modifier bits of the keys and buttons
// held (Shift, Control, Alt and the *Held bits).
struct PointerState {
    Point position;
    std::uint32_t modifiers = 0;
};

using TimerId = std::uint64_t;

class Backend {
public:
    virtual ~Backend() = default;

    virtual std::string_view name() const = 0;

    // Empty when the window cannot be made; embedded mode: when `parent` names no existing window.
    virtual std::unique_ptr<Window> createWindow(const WindowOptions& options) = 0;

    // The UI loop's one step. Runs the tasks posted so far and the timers that are due, then waits up
    // to `timeout` for an input event. True with `out` filled when an event came; false when the time
    // ran out or tasks or timers ran (so the caller can look at state they changed).
    virtual bool waitEvent(Event& out, std::chrono::milliseconds timeout) = 0;

    // Work from any thread for the UI thread; runs inside waitEvent, in the order posted. Tasks still
    // queued when the backend is destroyed are dropped (a caller waiting in call() gets an exception).
    virtual void post(std::function<void()> task) = 0;

    // Posts `fn` and waits for its result: how processes ask the UI thread for work. Runs `fn` at once
    // when called on the UI thread itself, which would otherwise wait for itself forever.
    template <class F>
    auto call(F&& fn) -> std::invoke_result_t<F&> {
        using R = std::invoke_result_t<F&>;
        if (isUiThread()) return fn();
        auto task = std::make_shared<std::packaged_task<R()>>(std::forward<F>(fn));
        std::future<R> result = task->get_future();
        // The queue holds the only reference, so dropping the task breaks the promise.
        post([task = std::move(task)] { (*task)(); });
        return result.get();
    }

    virtual bool isUiThread() const = 0;

    // The mouse pointer, for the engine's mousepos and mousestate, and moving it (setmousepos).
    // UI thread only.
    virtual PointerState pointer() = 0;
    virtual void warpPointer(Point screen) = 0;

    // Runs `fn` on the UI thread after `interval`, and again every `interval` when `repeat` is set,
    // until cancelled. Cancelling an unknown or finished timer does nothing; a timer may cancel itself.
    virtual TimerId addTimer(std::chrono::milliseconds interval, bool repeat, std::function<void()> fn) = 0;
    virtual void cancelTimer(TimerId id) = 0;
};

// The backends compiled into this build, in order of preference.
struct BackendEntry {
    std::string_view name;
    std::unique_ptr<Backend> (*create)(std::string& error);
};
std::span<const BackendEntry> backends();

// The backend by name, or empty with `error` set.
std::unique_ptr<Backend> createBackend(std::string_view name, std::string& error);
// The start-up choice: QUELMAR_BACKEND when set, else x11 when DISPLAY is set (and x11 was built),
// else headless. Empty with `error` set when the chosen backend cannot start.
std::unique_ptr<Backend> chooseBackend(std::string& error);

} // namespace qm::platform
