// The mouse pointer and the screen as Logo sees them: where the pointer is and what is held, moving
// it, and where the shown page's top-left pixel lies on the screen.
//
// A run with a window installs a host that asks the window system. Without one (headless runs, the
// golden tests) the screen is imaginary and deterministic: every page's top-left pixel is at screen
// (0, 0), so a page's absolute pixel is its screen pixel, and the pointer is where setmousepos or
// the test mouse (%pagemouse) last put it; it starts at (0, 0) with nothing held.
//
// Everything here is used with the global lock held; a host may hand the work to the user-interface
// thread and wait for it, which never waits for the global lock.
#pragma once

#include <cstdint>

#include "graphics/raster/geometry.h"

namespace qm {

// The bits of PointerState as mousestate reports them: buttons pressed now, and the keys held.
constexpr std::uint32_t kPointerLeft = 1u << 0, kPointerRight = 1u << 1, kPointerMiddle = 1u << 2;
constexpr std::uint32_t kPointerCtrl = 1u << 0, kPointerShift = 1u << 1;

struct PointerState {
    Point position;            // screen pixels
    std::uint32_t buttons = 0;  // kPointerLeft, kPointerRight, kPointerMiddle
    std::uint32_t shifts = 0;   // kPointerCtrl, kPointerShift
};

class PointerHost {
public:
    virtual ~PointerHost() = default;
    virtual PointerState pointer() = 0;
    virtual void warp(Point screen) = 0;
    // The screen pixel of the shown page's top-left pixel. Every page shows at the same place.
    virtual Point pageOrigin() = 0;
};

// Installs the host of a run with a window (nil: back to the imaginary screen, where the pointer
// is then where it was left).
void setPointerHost(PointerHost* host);

PointerState pointerState();
void warpPointer(Point screen);
Point pageScreenOrigin();

// The test mouse on the imaginary screen: the pointer is at `screen` with these buttons and keys
// held. Nothing when a host is installed: the real pointer is where it is.
void recordTestPointer(Point screen, std::uint32_t buttons, std::uint32_t shifts);

} // namespace qm
