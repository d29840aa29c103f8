// The Xlib backend. Only the UI thread calls Xlib, so the display needs no XInitThreads; other
// threads reach the loop through the task queue, whose eventfd is polled beside the X connection.
#include "x11_backend.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "platform/double_click.h"
#include "platform/event_loop.h"

namespace qm::platform {

namespace {

// Xlib's default error handler ends the process; an engine whose embedding parent vanishes must
// not die on the first request that names it. Errors are counted instead, and the places that
// must know (creating a child of a foreign window) look at the count around an XSync.
std::atomic<unsigned long> g_xErrors{0};
int countError(Display*, XErrorEvent*) {
    ++g_xErrors;
    return 0;
}

// Bit position of an 8-bit channel mask (0xFF0000 -> 16); -1 when the mask is not 8 contiguous bits.
int channelShift(unsigned long mask) {
    for (int s = 0; s <= 24; s += 8)
        if (mask == (0xFFul << s)) return s;
    return -1;
}

void appendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

struct KeyName {
    KeySym sym;
    Key key;
};
// The keys the engine names; keypad keys count as their main-keyboard twins when Num Lock is off.
constexpr KeyName kKeyNames[] = {
    {XK_F1, Key::F1}, {XK_F2, Key::F2}, {XK_F3, Key::F3}, {XK_F4, Key::F4}, {XK_F5, Key::F5},
    {XK_F6, Key::F6}, {XK_F7, Key::F7}, {XK_F8, Key::F8}, {XK_F9, Key::F9}, {XK_F10, Key::F10},
    {XK_F11, Key::F11}, {XK_F12, Key::F12},
    {XK_Home, Key::Home}, {XK_KP_Home, Key::Home}, {XK_End, Key::End}, {XK_KP_End, Key::End},
    {XK_Up, Key::Up}, {XK_KP_Up, Key::Up}, {XK_Down, Key::Down}, {XK_KP_Down, Key::Down},
    {XK_Left, Key::Left}, {XK_KP_Left, Key::Left}, {XK_Right, Key::Right}, {XK_KP_Right, Key::Right},
    {XK_Page_Up, Key::PageUp}, {XK_KP_Page_Up, Key::PageUp},
    {XK_Page_Down, Key::PageDown}, {XK_KP_Page_Down, Key::PageDown},
    {XK_Insert, Key::Insert}, {XK_KP_Insert, Key::Insert}, {XK_Delete, Key::Delete}, {XK_KP_Delete, Key::Delete},
    {XK_KP_Begin, Key::Clear}, {XK_Clear, Key::Clear},
    {XK_Return, Key::Enter}, {XK_KP_Enter, Key::Enter}, {XK_BackSpace, Key::Backspace},
    {XK_Tab, Key::Tab}, {XK_ISO_Left_Tab, Key::Tab}, {XK_KP_Tab, Key::Tab}, {XK_Escape, Key::Escape},
    {XK_Pause, Key::Pause}, {XK_Break, Key::Pause},
    {XK_Shift_L, Key::Shift}, {XK_Shift_R, Key::Shift}, {XK_Control_L, Key::Control},
    {XK_Control_R, Key::Control}, {XK_Alt_L, Key::Alt}, {XK_Alt_R, Key::Alt}, {XK_Meta_L, Key::Alt},
    {XK_Meta_R, Key::Alt}, {XK_ISO_Level3_Shift, Key::Alt},
};

std::uint32_t modifiersOf(unsigned state) {
    std::uint32_t m = 0;
    if (state & ShiftMask) m |= kShift;
    if (state & ControlMask) m |= kControl;
    if (state & Mod1Mask) m |= kAlt;
    if (state & Button1Mask) m |= kLeftHeld;
    if (state & Button3Mask) m |= kRightHeld;
    if (state & Button2Mask) m |= kMiddleHeld;
    return m;
}

MouseButton buttonOf(unsigned xbutton) {
    switch (xbutton) {
    case Button1: return MouseButton::Left;
    case Button2: return MouseButton::Middle;
    case Button3: return MouseButton::Right;
    default: return MouseButton::NoButton;  // wheel and extra buttons
    }
}

std::uint32_t heldBitOf(MouseButton b) {
    switch (b) {
    case MouseButton::Left: return kLeftHeld;
    case MouseButton::Right: return kRightHeld;
    case MouseButton::Middle: return kMiddleHeld;
    default: return 0;
    }
}

class X11Backend;

class X11Window final : public Window {
public:
    X11Window(X11Backend& backend, ::Window id, Size size);
    ~X11Window() override;

    void present(const Bitmap& frame, Rect dirty) override;
    using Window::present;
    void setTitle(std::string_view title) override;
    void resize(Size size) override;
    Size size() const override { return m_size; }
    void setVisible(bool visible) override;
    NativeId nativeId() const override { return m_id; }
    Point screenPosition() const override;

    // Called by the backend's event translation.
    void exposed(const Rect& area);
    void resizedBySystem(Size size);
    void destroyedBySystem() { m_alive = false; }
    XIC inputContext() const { return m_ic; }
    void setInputContext(XIC ic) { m_ic = ic; }

private:
    void makeBacking(Size size);

    X11Backend& m_backend;
    ::Window m_id;
    Size m_size;
    // The window's picture lives on in this server-side pixmap, so the window repaints itself on
    // expose without waiting for the engine.
    Pixmap m_backing = 0;
    Size m_backingSize;
    GC m_gc = nullptr;
    XIC m_ic = nullptr;
    bool m_alive = true;
};

class X11Backend final : public Backend {
public:
    X11Backend(Display* display, Visual* visual, int depth, Colormap colormap);
    ~X11Backend() override;

    std::string_view name() const override { return "x11"; }
    std::unique_ptr<Window> createWindow(const WindowOptions& options) override;
    bool waitEvent(Event& out, std::chrono::milliseconds timeout) override;
    void post(std::function<void()> task) override { m_core.post(std::move(task)); }
    bool isUiThread() const override { return m_core.isUiThread(); }
    TimerId addTimer(std::chrono::milliseconds interval, bool repeat, std::function<void()> fn) override {
        return m_core.addTimer(interval, repeat, std::move(fn));
    }
    void cancelTimer(TimerId id) override { m_core.cancelTimer(id); }
    PointerState pointer() override;
    void warpPointer(Point screen) override;

    Display* display() const { return m_display; }
    int depth() const { return m_depth; }
    unsigned long whitePixel() const {
        return (0xFFul << m_redShift) | (0xFFul << m_greenShift) | (0xFFul << m_blueShift);
    }
    void forget(X11Window* window, ::Window id);
    // Puts `area` of `frame` into `target` at the same position.
    void putPixels(Drawable target, GC gc, const Bitmap& frame, const Rect& area);

private:
    void translate(XEvent& xe);
    void translateKey(XEvent& xe, X11Window* window);

    Display* m_display;
    Visual* m_visual;
    int m_depth;
    Colormap m_colormap;
    int m_redShift, m_greenShift, m_blueShift;
    int m_wakeFd;
    LoopCore m_core;
    XIM m_im = nullptr;
    Atom m_wmProtocols, m_wmDelete, m_netWmName, m_utf8String;
    std::unordered_map<::Window, X11Window*> m_windows;
    DoubleClickDetector m_clicks;
    // The text each held key typed when pressed, given again with its release.
    std::unordered_map<unsigned, std::string> m_pressedText;
    std::vector<std::uint32_t> m_staging;
};

X11Window::X11Window(X11Backend& backend, ::Window id, Size size) : m_backend(backend), m_id(id), m_size(size) {
    m_gc = XCreateGC(backend.display(), id, 0, nullptr);
    XSetGraphicsExposures(backend.display(), m_gc, False);
    makeBacking(size);
}

X11Window::~X11Window() {
    Display* d = m_backend.display();
    if (m_ic) XDestroyIC(m_ic);
    if (m_backing) XFreePixmap(d, m_backing);
    XFreeGC(d, m_gc);
    if (m_alive) XDestroyWindow(d, m_id);
    m_backend.forget(this, m_id);
    XFlush(d);
}

void X11Window::makeBacking(Size size) {
    Display* d = m_backend.display();
    const Size want{std::max(size.width, 1), std::max(size.height, 1)};
    Pixmap fresh = XCreatePixmap(d, m_id, want.width, want.height, m_backend.depth());
    XSetForeground(d, m_gc, m_backend.whitePixel());
    XFillRectangle(d, fresh, m_gc, 0, 0, want.width, want.height);
    if (m_backing) {
        XCopyArea(d, m_backing, fresh, m_gc, 0, 0, std::min(want.width, m_backingSize.width),
                  std::min(want.height, m_backingSize.height), 0, 0);
        XFreePixmap(d, m_backing);
    }
    m_backing = fresh;
    m_backingSize = want;
}

void X11Window::present(const Bitmap& frame, Rect dirty) {
    const Rect area = dirty.normalised().intersected(frame.bounds()).intersected(
        Rect{0, 0, m_backingSize.width, m_backingSize.height});
    if (area.empty()) return;
    Display* d = m_backend.display();
    m_backend.putPixels(m_backing, m_gc, frame, area);
    XCopyArea(d, m_backing, m_id, m_gc, area.left, area.top, area.width(), area.height(), area.left, area.top);
    XFlush(d);
}

void X11Window::exposed(const Rect& area) {
    XCopyArea(m_backend.display(), m_backing, m_id, m_gc, area.left, area.top, area.width(), area.height(),
              area.left, area.top);
}

void X11Window::setTitle(std::string_view title) {
    Display* d = m_backend.display();
    // WM_NAME is Latin-1 by definition; window managers read _NET_WM_NAME for the real text.
    std::string latin;
    for (unsigned char c : title) latin += c < 0x80 ? static_cast<char>(c) : '?';
    XStoreName(d, m_id, latin.c_str());
    XChangeProperty(d, m_id, XInternAtom(d, "_NET_WM_NAME", False), XInternAtom(d, "UTF8_STRING", False), 8,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(title.data()),
                    static_cast<int>(title.size()));
    XFlush(d);
}

void X11Window::resize(Size size) {
    size.width = std::clamp(size.width, 1, 32767);
    size.height = std::clamp(size.height, 1, 32767);
    m_size = size;
    XResizeWindow(m_backend.display(), m_id, size.width, size.height);
    if (size.width > m_backingSize.width || size.height > m_backingSize.height) makeBacking(size);
    XFlush(m_backend.display());
}

void X11Window::resizedBySystem(Size size) {
    m_size = size;
    if (size.width > m_backingSize.width || size.height > m_backingSize.height) makeBacking(size);
}

// The window manager may have framed the window anywhere: the server tells where the client area is.
Point X11Window::screenPosition() const {
    Display* d = m_backend.display();
    int x = 0, y = 0;
    ::Window child = 0;
    if (!m_alive || !XTranslateCoordinates(d, m_id, DefaultRootWindow(d), 0, 0, &x, &y, &child)) return {};
    return {x, y};
}

void X11Window::setVisible(bool visible) {
    if (visible)
        XMapWindow(m_backend.display(), m_id);
    else
        XUnmapWindow(m_backend.display(), m_id);
    XFlush(m_backend.display());
}

X11Backend::X11Backend(Display* display, Visual* visual, int depth, Colormap colormap)
    : m_display(display), m_visual(visual), m_depth(depth), m_colormap(colormap),
      m_redShift(channelShift(visual->red_mask)), m_greenShift(channelShift(visual->green_mask)),
      m_blueShift(channelShift(visual->blue_mask)), m_wakeFd(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)),
      m_core([this] {
          const std::uint64_t one = 1;
          [[maybe_unused]] ssize_t n = write(m_wakeFd, &one, sizeof one);
      }) {
    XSetErrorHandler(countError);
    m_wmProtocols = XInternAtom(display, "WM_PROTOCOLS", False);
    m_wmDelete = XInternAtom(display, "WM_DELETE_WINDOW", False);
    m_netWmName = XInternAtom(display, "_NET_WM_NAME", False);
    m_utf8String = XInternAtom(display, "UTF8_STRING", False);
    // Held keys repeat as presses alone, without a release between them.
    Bool detectable = False;
    XkbSetDetectableAutoRepeat(display, True, &detectable);
    // The built-in input method composes dead keys; an input-method server would make typing depend
    // on the desktop, so none is asked for.
    XSetLocaleModifiers("@im=none");
    m_im = XOpenIM(display, nullptr, nullptr, nullptr);
}

X11Backend::~X11Backend() {
    if (m_im) XCloseIM(m_im);
    XCloseDisplay(m_display);
    close(m_wakeFd);
}

void X11Backend::forget(X11Window* window, ::Window id) {
    m_windows.erase(id);
    m_core.dropEventsOf(window);
}

PointerState X11Backend::pointer() {
    ::Window root = 0, child = 0;
    int rootX = 0, rootY = 0, x = 0, y = 0;
    unsigned mask = 0;
    // On another screen of the display the pointer is still reported against that screen's root.
    XQueryPointer(m_display, DefaultRootWindow(m_display), &root, &child, &rootX, &rootY, &x, &y, &mask);
    return {{rootX, rootY}, modifiersOf(mask)};
}

void X11Backend::warpPointer(Point screen) {
    // The server takes 16-bit coordinates and keeps the pointer on the screen anyway.
    const auto clamp16 = [](std::int64_t v) { return static_cast<int>(std::clamp<std::int64_t>(v, -32768, 32767)); };
    XWarpPointer(m_display, None, DefaultRootWindow(m_display), 0, 0, 0, 0, clamp16(screen.x), clamp16(screen.y));
    XFlush(m_display);
}

void X11Backend::putPixels(Drawable target, GC gc, const Bitmap& frame, const Rect& area) {
    const int w = static_cast<int>(area.width());
    const int h = static_cast<int>(area.height());
    m_staging.resize(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y) {
        const std::uint32_t* src = frame.row(area.top + y) + area.left;
        std::uint32_t* dst = m_staging.data() + static_cast<size_t>(y) * w;
        for (int x = 0; x < w; ++x) {
            const std::uint32_t p = src[x];
            dst[x] = (std::uint32_t{redOf(p)} << m_redShift) | (std::uint32_t{greenOf(p)} << m_greenShift) |
                     (std::uint32_t{blueOf(p)} << m_blueShift);
        }
    }
    XImage* image = XCreateImage(m_display, m_visual, m_depth, ZPixmap, 0,
                                 reinterpret_cast<char*>(m_staging.data()), w, h, 32, w * 4);
    if (!image) return;
    // The words are in this machine's byte order; Xlib swaps when the server wants the other one.
    const std::uint32_t probe = 1;
    image->byte_order = *reinterpret_cast<const unsigned char*>(&probe) ? LSBFirst : MSBFirst;
    XPutImage(m_display, target, gc, image, 0, 0, area.left, area.top, w, h);
    image->data = nullptr;  // the staging buffer is ours
    XDestroyImage(image);
}

std::unique_ptr<Window> X11Backend::createWindow(const WindowOptions& options) {
    const int screen = DefaultScreen(m_display);
    ::Window parent = RootWindow(m_display, screen);
    if (options.parent != 0) {
        // A bad window id in embedded mode must be noticed here, not crash the engine later.
        XSync(m_display, False);
        const unsigned long before = g_xErrors;
        XWindowAttributes attrs;
        const Status ok = XGetWindowAttributes(m_display, static_cast<::Window>(options.parent), &attrs);
        XSync(m_display, False);
        if (!ok || g_xErrors != before) return nullptr;
        parent = static_cast<::Window>(options.parent);
    }
    const Size size{std::clamp(options.size.width, 1, 32767), std::clamp(options.size.height, 1, 32767)};
    XSetWindowAttributes wa{};
    wa.colormap = m_colormap;
    wa.border_pixel = 0;
    wa.background_pixmap = None;  // no server-side clearing: the backing pixmap repaints
    wa.bit_gravity = NorthWestGravity;
    wa.event_mask = ExposureMask | StructureNotifyMask | KeyPressMask | KeyReleaseMask | ButtonPressMask |
                    ButtonReleaseMask | PointerMotionMask | EnterWindowMask | LeaveWindowMask | FocusChangeMask;
    const unsigned long before = g_xErrors;
    ::Window id = XCreateWindow(m_display, parent, 0, 0, size.width, size.height, 0, m_depth, InputOutput,
                                m_visual, CWColormap | CWBorderPixel | CWBackPixmap | CWBitGravity | CWEventMask,
                                &wa);
    XSync(m_display, False);
    if (g_xErrors != before) return nullptr;  // the parent went away in between
    if (options.parent == 0) XSetWMProtocols(m_display, id, &m_wmDelete, 1);
    auto window = std::make_unique<X11Window>(*this, id, size);
    if (m_im) {
        XIC ic = XCreateIC(m_im, XNInputStyle, XIMPreeditNothing | XIMStatusNothing, XNClientWindow, id,
                           XNFocusWindow, id, nullptr);
        window->setInputContext(ic);
    }
    m_windows[id] = window.get();
    if (!options.title.empty()) window->setTitle(options.title);
    if (options.visible) window->setVisible(true);
    XFlush(m_display);
    return window;
}

void X11Backend::translateKey(XEvent& xe, X11Window* window) {
    Event ev;
    ev.window = window;
    ev.modifiers = modifiersOf(xe.xkey.state);
    ev.x = xe.xkey.x;
    ev.y = xe.xkey.y;
    KeySym sym = NoSymbol;
    if (xe.type == KeyPress) {
        ev.type = EventType::KeyDown;
        char buf[64];
        int n = 0;
        if (window->inputContext()) {
            Status status = 0;
            n = Xutf8LookupString(window->inputContext(), &xe.xkey, buf, sizeof buf, &sym, &status);
            if (status != XLookupChars && status != XLookupBoth) n = 0;
            if (status != XLookupKeySym && status != XLookupBoth) sym = NoSymbol;
        } else {
            // No input method: Latin-1 text only.
            n = XLookupString(&xe.xkey, buf, sizeof buf, &sym, nullptr);
            std::string utf8;
            for (int i = 0; i < n; ++i) appendUtf8(utf8, static_cast<unsigned char>(buf[i]));
            n = static_cast<int>(std::min(utf8.size(), sizeof buf));
            std::memcpy(buf, utf8.data(), n);
        }
        if (sym == NoSymbol) sym = XLookupKeysym(&xe.xkey, 0);
        ev.text.assign(buf, std::max(n, 0));
        m_pressedText[xe.xkey.keycode] = ev.text;
    } else {
        ev.type = EventType::KeyUp;
        char buf[8];
        XLookupString(&xe.xkey, buf, sizeof buf, &sym, nullptr);
        auto it = m_pressedText.find(xe.xkey.keycode);
        if (it != m_pressedText.end()) {
            ev.text = it->second;
            m_pressedText.erase(it);
        }
    }
    for (const KeyName& k : kKeyNames) {
        if (k.sym == sym) {
            ev.key = k.key;
            ev.text.clear();  // named keys are told by their name, not by the control codes they type
            break;
        }
    }
    m_core.pushEvent(std::move(ev), false);
}

void X11Backend::translate(XEvent& xe) {
    // The input method sees every event first: a dead key is swallowed here and composed with the next.
    if (XFilterEvent(&xe, None)) return;
    auto it = m_windows.find(xe.xany.window);
    if (it == m_windows.end()) return;
    X11Window* window = it->second;
    Event ev;
    ev.window = window;
    switch (xe.type) {
    case MotionNotify:
        ev.type = EventType::MouseMove;
        ev.x = xe.xmotion.x;
        ev.y = xe.xmotion.y;
        ev.modifiers = modifiersOf(xe.xmotion.state);
        break;
    case ButtonPress:
    case ButtonRelease: {
        ev.button = buttonOf(xe.xbutton.button);
        if (ev.button == MouseButton::NoButton) return;
        ev.x = xe.xbutton.x;
        ev.y = xe.xbutton.y;
        // The held buttons are given as they are after the event (X gives them as before).
        ev.modifiers = modifiersOf(xe.xbutton.state);
        if (xe.type == ButtonPress) {
            ev.modifiers |= heldBitOf(ev.button);
            ev.type = m_clicks.press(window, ev.button, ev.x, ev.y, static_cast<std::uint32_t>(xe.xbutton.time));
        } else {
            ev.modifiers &= ~heldBitOf(ev.button);
            ev.type = EventType::MouseUp;
        }
        break;
    }
    case EnterNotify:
    case LeaveNotify:
        // Moving onto a child window of ours is not leaving; grab changes while the pointer stays
        // put (NotifyGrab) are not moves either. Coming in counts as a move to where the pointer is.
        if (xe.xcrossing.detail == NotifyInferior || xe.xcrossing.mode == NotifyGrab) return;
        ev.type = xe.type == EnterNotify ? EventType::MouseMove : EventType::MouseLeave;
        ev.x = xe.xcrossing.x;
        ev.y = xe.xcrossing.y;
        ev.modifiers = modifiersOf(xe.xcrossing.state);
        break;
    case KeyPress:
    case KeyRelease:
        translateKey(xe, window);
        return;
    case Expose:
        ev.type = EventType::Exposed;
        ev.area = Rect::fromSize(xe.xexpose.x, xe.xexpose.y, xe.xexpose.width, xe.xexpose.height);
        window->exposed(ev.area);
        break;
    case ConfigureNotify: {
        const Size size{xe.xconfigure.width, xe.xconfigure.height};
        if (size == window->size()) return;
        window->resizedBySystem(size);
        ev.type = EventType::Resized;
        ev.size = size;
        break;
    }
    case ClientMessage:
        if (xe.xclient.message_type != m_wmProtocols ||
            static_cast<Atom>(xe.xclient.data.l[0]) != m_wmDelete)
            return;
        ev.type = EventType::Close;
        break;
    case DestroyNotify:
        if (xe.xdestroywindow.window != xe.xany.window) return;
        window->destroyedBySystem();
        ev.type = EventType::Destroyed;
        break;
    case FocusIn:
        if (window->inputContext()) XSetICFocus(window->inputContext());
        return;
    case FocusOut:
        if (window->inputContext()) XUnsetICFocus(window->inputContext());
        return;
    default:
        return;
    }
    m_core.pushEvent(std::move(ev), false);
}

bool X11Backend::waitEvent(Event& out, std::chrono::milliseconds timeout) {
    using Clock = LoopCore::Clock;
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        const bool ran = m_core.runDue();
        // XPending flushes our requests and reads what the server sent; events Xlib already holds
        // would not wake poll(), so they are taken here before every wait.
        while (XPending(m_display) > 0) {
            XEvent xe;
            XNextEvent(m_display, &xe);
            translate(xe);
        }
        if (m_core.popEvent(out)) return true;
        if (ran) return false;
        auto now = Clock::now();
        if (now >= deadline) return false;
        auto wait = deadline - now;
        if (auto next = m_core.untilNextTimer()) wait = std::min(wait, *next);
        const auto ms = std::chrono::ceil<std::chrono::milliseconds>(wait).count();
        pollfd fds[2] = {{ConnectionNumber(m_display), POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
        poll(fds, 2, static_cast<int>(std::min<long long>(ms, 1 << 30)));
        if (fds[1].revents & POLLIN) {
            std::uint64_t count;
            [[maybe_unused]] ssize_t n = read(m_wakeFd, &count, sizeof count);
        }
    }
}

} // namespace

std::unique_ptr<Backend> createX11Backend(std::string& error) {
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        const char* name = std::getenv("DISPLAY");
        error = std::string("cannot open the X display ") + (name ? name : "(DISPLAY is not set)");
        return nullptr;
    }
    const int screen = DefaultScreen(display);
    Visual* visual = DefaultVisual(display, screen);
    int depth = DefaultDepth(display, screen);
    Colormap colormap = DefaultColormap(display, screen);
    auto usable = [](Visual* v, int d) {
        return v->c_class == TrueColor && (d == 24 || d == 32) && channelShift(v->red_mask) >= 0 &&
               channelShift(v->green_mask) >= 0 && channelShift(v->blue_mask) >= 0;
    };
    if (!usable(visual, depth)) {
        XVisualInfo info;
        if (!XMatchVisualInfo(display, screen, 24, TrueColor, &info) || !usable(info.visual, 24)) {
            XCloseDisplay(display);
            error = "the X display has no 24-bit true-colour visual";
            return nullptr;
        }
        visual = info.visual;
        depth = 24;
        colormap = XCreateColormap(display, RootWindow(display, screen), visual, AllocNone);
    }
    // Pixels are put as 32-bit words; a server that packs depth 24 otherwise is not supported.
    int count = 0;
    XPixmapFormatValues* formats = XListPixmapFormats(display, &count);
    bool words = false;
    for (int i = 0; i < count; ++i)
        if (formats[i].depth == depth && formats[i].bits_per_pixel == 32) words = true;
    XFree(formats);
    if (!words) {
        XCloseDisplay(display);
        error = "the X display does not store 24-bit pixels as 32-bit words";
        return nullptr;
    }
    return std::make_unique<X11Backend>(display, visual, depth, colormap);
}

} // namespace qm::platform
