// Raising events and the mouse rules of visible objects.
//
// Mouse notifications of one visible object, while no mouse-started handler of that
// object runs (not busy) and while one does (busy):
//
//   notification   not busy                                  busy
//   -------------  ----------------------------------------  ------------------------------
//   button down    becomes busy; onDoubleClick (left double,  dropped
//                  when handled, else onClick), onLeftDown,
//                  onRightDown or onMiddleDown
//   button up      becomes busy; onLeftUp/onRightUp/...       remembered (only the last)
//   click          becomes busy; onClick (not right after a   dropped
//                  tool ran)
//   move           left down: onDrag; no button: onMouseMove  dropped
//   enter / leave  becomes busy; onMouseEnter/onMouseLeave    cancels a pending opposite one,
//                                                             else remembered
//   handler ends   -                                          not busy; then delivers the
//                                                             remembered release, else enter,
//                                                             else leave
//
// A right button-down with Shift starts moving the object with the mouse (unless it is
// frozen) and the next button-up ends it; meanwhile nothing else is raised.
#include "events.h"

#include "dictionary.h"
#include "global_lock.h"
#include "name_codes.h"

namespace qm {

namespace {

enum EventIndex {
    evClick = 2, evDoubleClick = 3, evLeftDown = 4, evLeftUp = 7, evDrag = 10,
    evMouseMove = 17, evMouseEnter = 18, evMouseLeave = 19,
};

int32_t eventCode(int index) { return specialCodes().events[static_cast<size_t>(index)]; }

bool hasHandler(tmultiobject* obj, int32_t code) {
    tlogoobject* h = obj->findHandler(code);
    return h && !h->IsEmpty();
}

MouseState& stateOf(tmultiobject* obj) {
    if (!obj->mouse) obj->mouse = std::make_unique<MouseState>();
    return *obj->mouse;
}

// Whether the object or a place up its chain has a true "frozen" setting.
bool isFrozen(tmultiobject* obj) {
    const int32_t frozen = nameCodes().intern(firstWord("dict", "frozen"));
    for (tmultiobject* o = obj; o; o = o->place) {
        tLogoVarDesc* d = o->findVariable(frozen);
        if (!d) return false;
        tlogoobject* v = d->Value();
        if (v && v->IsBool() && v->ToBool()) return true;
    }
    return false;
}

void handlerFinished(tmultiobject* obj);

// The object becomes busy and raises the event; the end of the handler (or at once,
// when there is none) clears the flag and delivers what was remembered.
void raiseBusy(tmultiobject* obj, int index) {
    stateOf(obj).busy = true;
    Ref<tmultiobject> keep = obj;
    raiseEvent(obj, eventCode(index), [keep] { handlerFinished(keep.get()); });
}

void deliverUp(tmultiobject* obj, int32_t button) {
    MouseState& s = stateOf(obj);
    s.busy = true;
    raiseBusy(obj, evLeftUp + (button < 0 || button > 2 ? 0 : button));
}

void handlerFinished(tmultiobject* obj) {
    MouseState& s = stateOf(obj);
    s.busy = false;
    if (obj->erased) return;
    if (s.pendingRelease) {
        s.pendingRelease = false;
        deliverUp(obj, s.releaseButton);
    } else if (s.pendingEnter) {
        s.pendingEnter = false;
        raiseBusy(obj, evMouseEnter);
    } else if (s.pendingLeave) {
        s.pendingLeave = false;
        raiseBusy(obj, evMouseLeave);
    }
}

} // namespace

ProcessPtr raiseEvent(tmultiobject* obj, int32_t code, std::function<void()> onFinished, int32_t dataVar,
                      tlogoobject* dataValue) {
    QM_ASSERT_LOCK_HELD();
    tlogoobject* handler = obj ? obj->findHandler(code) : nullptr;
    if (!handler || handler->IsEmpty()) {
        if (onFinished) onFinished();
        return nullptr;
    }
    ProcessSetup setup;
    setup.name = processes().uniqueName("@" + (obj ? obj->name : std::string("nil")) + nameCodes().textOf(code));
    setup.kind = pkEvent;
    setup.eventCode = code;
    setup.object = obj;
    setup.instructions = handler;
    setup.scope = std::make_unique<tLogoLocaltab>();
    if (dataVar) setup.scope->declareLocal(dataVar, dataValue);
    setup.onFinished = std::move(onFinished);
    setup.callbackObject = obj;
    auto callback = setup.onFinished;
    ProcessPtr p = processes().start(std::move(setup));
    if (!p && callback) callback();  // shutting down: nothing will run it
    return p;
}

void raiseEventAndWait(ProcessContext& cx, tmultiobject* obj, int32_t code) {
    ProcessPtr p = raiseEvent(obj, code);
    if (p) processes().join(p, currentProcess(cx));
}

void MouseDriver::down(tmultiobject* obj, int32_t button, int32_t x, int32_t y, bool shift, bool doubleClick) {
    LockedScope locked;
    MouseState& s = stateOf(obj);
    if (s.moving || s.resizing) return;
    if (button == 0) s.toolJustRan = false;
    if (s.busy) return;
    if (button == 1 && shift) {
        if (!isFrozen(obj)) s.moving = true;
        return;
    }
    if (button == 0) {
        s.clickedX = x;
        s.clickedY = y;
        if (doubleClick) {
            raiseBusy(obj, hasHandler(obj, eventCode(evDoubleClick)) ? evDoubleClick : evClick);
            return;
        }
        if (s.autoDrag) s.dragging = true;
    }
    raiseBusy(obj, evLeftDown + (button < 0 || button > 2 ? 0 : button));
}

void MouseDriver::up(tmultiobject* obj, int32_t button, int32_t x, int32_t y, bool shift) {
    LockedScope locked;
    MouseState& s = stateOf(obj);
    if (s.moving || s.resizing) {
        s.moving = s.resizing = false;
        return;
    }
    s.dragging = false;
    if (s.busy) {
        s.pendingRelease = true;
        s.releaseButton = button;
        s.releaseX = x;
        s.releaseY = y;
        s.releaseShift = shift;
        return;
    }
    deliverUp(obj, button);
}

void MouseDriver::click(tmultiobject* obj) {
    LockedScope locked;
    MouseState& s = stateOf(obj);
    const bool skip = s.moving || s.busy || s.toolJustRan;
    s.toolJustRan = false;
    if (!skip) raiseBusy(obj, evClick);
}

void MouseDriver::move(tmultiobject* obj, int32_t x, int32_t y, int32_t buttons) {
    LockedScope locked;
    MouseState& s = stateOf(obj);
    if (s.moving || s.resizing || s.busy) return;
    if (buttons == 0) raiseBusy(obj, evDrag);
    else if (buttons < 0) raiseBusy(obj, evMouseMove);
}

void MouseDriver::enter(tmultiobject* obj) {
    LockedScope locked;
    MouseState& s = stateOf(obj);
    if (!s.busy) raiseBusy(obj, evMouseEnter);
    else if (s.pendingLeave) s.pendingLeave = false;
    else s.pendingEnter = true;
}

void MouseDriver::leave(tmultiobject* obj) {
    LockedScope locked;
    MouseState& s = stateOf(obj);
    if (!s.busy) raiseBusy(obj, evMouseLeave);
    else if (s.pendingEnter) s.pendingEnter = false;
    else s.pendingLeave = true;
}

} // namespace qm
