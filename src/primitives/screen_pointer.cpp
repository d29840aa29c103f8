// The mouse pointer: the host of a run with a window, or the imaginary screen of runs without one.
#include "screen_pointer.h"

#include "global_lock.h"

namespace qm {

namespace {

PointerHost* g_host = nullptr;  // the global lock
PointerState g_testPointer;     // the global lock

} // namespace

void setPointerHost(PointerHost* host) {
    QM_ASSERT_LOCK_HELD();
    g_host = host;
}

PointerState pointerState() {
    QM_ASSERT_LOCK_HELD();
    return g_host ? g_host->pointer() : g_testPointer;
}

void warpPointer(Point screen) {
    QM_ASSERT_LOCK_HELD();
    if (g_host) g_host->warp(screen);
    else g_testPointer.position = screen;
}

Point pageScreenOrigin() {
    QM_ASSERT_LOCK_HELD();
    return g_host ? g_host->pageOrigin() : Point{};
}

void recordTestPointer(Point screen, std::uint32_t buttons, std::uint32_t shifts) {
    QM_ASSERT_LOCK_HELD();
    if (g_host) return;
    g_testPointer = {screen, buttons, shifts};
}

} // namespace qm
