// Events: raising an object's event in a new process, raising and waiting, and the
// mouse rules of visible objects, with a driver through which tests deliver input.
#pragma once

#include <cstdint>
#include <functional>

#include "multiobject.h"
#include "process.h"

namespace qm {

// Starts the handler of `code`, found through the object's event chain, in a new
// process whose current object is the object. Without a non-empty handler no process
// starts and onFinished runs at once. With dataVar the process's local scope first
// binds that name to dataValue. Call with the global lock held.
ProcessPtr raiseEvent(tmultiobject* obj, int32_t code, std::function<void()> onFinished = {},
                      int32_t dataVar = 0, tlogoobject* dataValue = nullptr);
// Raises and returns when the handler has finished; the waiting process is stopped
// instead when it is asked to stop meanwhile.
void raiseEventAndWait(ProcessContext& cx, tmultiobject* obj, int32_t code);

// The mouse notifications of a visible object. Buttons: 0 left, 1 right, 2 middle.
// Positions are pixels from the object's top-left corner. Each call takes the global
// lock unless the calling thread holds it already, so the user-interface thread, a
// unit test and a Logo primitive may all call them.
struct MouseDriver {
    // `inGrip`: Ctrl is held and (x, y) lies in the object's resizing grip (the caller knows its size).
    static void down(tmultiobject* obj, int32_t button, int32_t x, int32_t y, bool shift, bool doubleClick,
                     bool inGrip = false);
    static void up(tmultiobject* obj, int32_t button, int32_t x, int32_t y, bool shift);
    static void click(tmultiobject* obj);
    // buttons: -1 none, else the button held down.
    static void move(tmultiobject* obj, int32_t x, int32_t y, int32_t buttons);
    static void enter(tmultiobject* obj);
    static void leave(tmultiobject* obj);

    // Starts moving the object with the mouse, as a right button-down with Shift does; false when
    // it or a place up its chain is frozen. The next button-up ends the move. Whoever delivers the
    // mouse makes the object follow it meanwhile (move() itself ignores a moving object).
    static bool startMove(tmultiobject* obj);
    // Makes the left button drag the object until it is released, as a left button-down on an
    // object whose autoDrag is true does; (x, y) is the grab point from its top-left corner.
    static void startDrag(tmultiobject* obj, int32_t x, int32_t y);
};

// The mouse state of a visible object, made on first use. Use with the global lock held.
MouseState& mouseStateOf(tmultiobject* obj);
// Whether the object or a place up its chain has a true "frozen" setting; the walk ends (false) at
// the first object without such a setting.
bool isFrozen(tmultiobject* obj);

} // namespace qm
