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
//   move           left down: onDrag, or while dragging a     dropped
//                  "@drag" process; no button: onMouseMove
//   enter / leave  becomes busy; onMouseEnter/onMouseLeave    cancels a pending opposite one,
//                                                             else remembered
//   handler ends   -                                          not busy; then delivers the
//                                                             remembered release, else enter,
//                                                             else leave
//
// Moving and dragging:
//
//   right down with Shift, or startMove   moving (unless frozen): nothing is raised; whoever
//                                         delivers the mouse makes the object follow it
//   any button up while moving            the move ends; nothing is raised
//   right down with Ctrl in the grip      resizing (unless frozen): as moving, but the size
//                                         follows the mouse
//   left down with autoDrag, or startDrag dragging: the grab point is remembered
//   left-button move while dragging       becomes busy; a "@drag" process puts the object
//                                         where the mouse is less the grab point, then runs
//                                         onDrag in that process (moves meanwhile are dropped)
//   button up                             the drag ends
#include "events.h"

#include "dictionary.h"
#include "global_lock.h"
#include "name_codes.h"
#include "property_rows.h"
#include "reader.h"

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

MouseState& stateOf(tmultiobject* obj) { return mouseStateOf(obj); }

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

// What a "@drag" process runs: internal names that take the current language's words.
Ref<tlogoobject> dragInstruction() {
    return Ref<tlogoobject>(
        parse(translateText("\xB7.setpos \xB7myPlace'\xB7mousepos - \xB7" "clickedpos \xB7runevent \"\xB7onDrag")));
}

// The object becomes busy and drags itself in a process of its own (kind 15).
void startDragProcess(tmultiobject* obj) {
    stateOf(obj).busy = true;
    Ref<tmultiobject> keep = obj;
    ProcessSetup setup;
    setup.name = processes().uniqueName("@drag");
    setup.kind = pkDrag;
    setup.object = obj;
    setup.instructions = dragInstruction();
    setup.scope = std::make_unique<tLogoLocaltab>();
    setup.onFinished = [keep] { handlerFinished(keep.get()); };
    setup.callbackObject = obj;
    auto callback = setup.onFinished;
    if (!processes().start(std::move(setup))) callback();  // shutting down
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

MouseState& mouseStateOf(tmultiobject* obj) {
    QM_ASSERT_LOCK_HELD();
    if (!obj->mouse) obj->mouse = std::make_unique<MouseState>();
    return *obj->mouse;
}

bool isFrozen(tmultiobject* obj) {
    const int32_t frozen = propertyRow(178).code;
    for (tmultiobject* o = obj; o; o = o->place) {
        tLogoVarDesc* d = o->findVariable(frozen);
        if (!d) return false;
        tlogoobject* v = d->Value();
        if (v && v->IsBool() && v->ToBool()) return true;
    }
    return false;
}

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

void MouseDriver::down(tmultiobject* obj, int32_t button, int32_t x, int32_t y, bool shift, bool doubleClick,
                       bool inGrip) {
    LockedScope locked;
    MouseState& s = stateOf(obj);
    if (s.moving || s.resizing) return;
    if (button == 0) s.toolJustRan = false;
    if (s.busy) return;
    if (button == 1 && shift) {
        if (!isFrozen(obj)) s.moving = true;
        return;
    }
    if (button == 1 && inGrip) {
        if (!isFrozen(obj)) s.resizing = true;
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
    if (buttons == 0) {
        // An autoDrag object whose press came while it was busy has no grab point: it stays put.
        if (s.dragging) startDragProcess(obj);
        else if (!s.autoDrag) raiseBusy(obj, evDrag);
    } else if (buttons < 0) {
        raiseBusy(obj, evMouseMove);
    }
}

bool MouseDriver::startMove(tmultiobject* obj) {
    LockedScope locked;
    if (isFrozen(obj)) return false;
    MouseState& s = stateOf(obj);
    s.moving = true;
    s.dragging = false;
    return true;
}

void MouseDriver::startDrag(tmultiobject* obj, int32_t x, int32_t y) {
    LockedScope locked;
    MouseState& s = stateOf(obj);
    s.clickedX = x;
    s.clickedY = y;
    s.dragging = true;
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
