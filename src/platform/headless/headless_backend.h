// The in-memory backend: windows keep their last frame for tests and snapshots, input is injected
// by the caller, and timers may follow a virtual clock that tests move by hand.
//
// The screen is imaginary and deterministic: every window's client area starts with its top-left
// pixel at screen (0, 0) until a test places it with moveTo(); the pointer starts at (0, 0) with
// nothing held and is where the last warpPointer() or injected mouse event put it (an event of a
// window counts at the window's position plus the event's point, with the event's modifiers). A warp
// only moves the pointer: unlike a real display it makes no mouse event.
#pragma once

#include <set>

#include "platform/event_loop.h"

namespace qm::platform {

class HeadlessBackend;

class HeadlessWindow final : public Window {
public:
    HeadlessWindow(HeadlessBackend& backend, const WindowOptions& options, NativeId id);
    ~HeadlessWindow() override;

    void present(const Bitmap& frame, Rect dirty) override;
    using Window::present;
    void setTitle(std::string_view title) override { m_title = title; }
    void resize(Size size) override;
    Size size() const override { return {m_frame.width(), m_frame.height()}; }
    void setVisible(bool visible) override { m_visible = visible; }
    NativeId nativeId() const override { return m_id; }
    Point screenPosition() const override;
    // Places the window's client area on the imaginary screen.
    void moveTo(Point screen);

    // What a test or a snapshot reads: the window's picture as last presented (white before that).
    const Bitmap& frame() const { return m_frame; }
    const std::string& title() const { return m_title; }
    bool visible() const { return m_visible; }
    NativeId parent() const { return m_parent; }
    int presentCount() const { return m_presents; }

private:
    HeadlessBackend& m_backend;
    NativeId m_id;
    NativeId m_parent;
    Point m_screenPosition;  // the backend's m_screenMutex
    Bitmap m_frame;
    std::string m_title;
    bool m_visible;
    int m_presents = 0;
};

class HeadlessBackend final : public Backend {
public:
    HeadlessBackend();
    ~HeadlessBackend() override;

    std::string_view name() const override { return "headless"; }
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

    // Scripted input, from any thread: the event is taken by a later waitEvent. A window given in
    // the event must be one of this backend's. A mouse event moves the pointer at once, as a real
    // mouse does before its event is read.
    void inject(Event event);

    // Deterministic time: after useVirtualClock(), timers fire only inside advance(), in due order.
    void useVirtualClock() { m_core.useVirtualClock(); }
    void advance(std::chrono::milliseconds by) { m_core.advance(by); }

    // Windows of other programs that embedded mode may use as a parent; creating a window with any
    // other parent fails, as it does on a real display.
    void addForeignWindow(NativeId id);

private:
    friend class HeadlessWindow;
    LoopCore m_core;
    // The pointer and the windows' places: tests inject from any thread.
    mutable std::mutex m_screenMutex;
    PointerState m_pointer;
    std::mutex m_foreignMutex;
    std::set<NativeId> m_foreign;
    NativeId m_nextId = 0x100000;
};

} // namespace qm::platform
