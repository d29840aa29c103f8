// Event primitives: event?, myevent?, event, setevent, eraseevent, runevent, events, and
// in test builds the mouse driver that golden tests use in place of a real mouse.
#include "control_support.h"
#include "events.h"
#include "global_lock.h"
#include "name_codes.h"
#include "primitives.h"
#include "registry.h"

namespace qm {

namespace {

int32_t eventNameCode(tlogoobject* v) { return variableNameCode(v); }

tlogoobject* chainHandler(ProcessContext& cx, int32_t n) {
    return currentObject(cx)->findHandler(eventNameCode(input(cx, n, 0)));
}

void primEventP(ProcessContext& cx, int32_t n) { finish(cx, n, makeBool(chainHandler(cx, n) != nullptr)); }

void primMyeventP(ProcessContext& cx, int32_t n) {
    const int32_t code = eventNameCode(input(cx, n, 0));
    finish(cx, n, makeBool(currentObject(cx)->events.FindEntry(code) != nullptr));
}

void primEvent(ProcessContext& cx, int32_t n) {
    Ref<tlogoobject> h = chainHandler(cx, n);
    if (!h) h = makeEmptyList();
    finish(cx, n, h.get());
}

void primSetevent(ProcessContext& cx, int32_t n) {
    currentObject(cx)->setEvent(eventNameCode(input(cx, n, 0)), input(cx, n, 1));
    finish(cx, n, nullptr);
}

void primEraseevent(ProcessContext& cx, int32_t n) {
    currentObject(cx)->events.removeIfPresent(eventNameCode(input(cx, n, 0)));
    finish(cx, n, nullptr);
}

// Runs the handler in the calling process, in a frame of its own.
void primRunevent(ProcessContext& cx, int32_t n) {
    Ref<tlogoobject> h = chainHandler(cx, n);
    if (h && !h->IsEmpty()) {
        cx.localScope->openFrame(cx, nullptr, 0);
        try {
            runInstructionList(cx, h.get());
        } catch (...) {
            cx.localScope->closeFrame();
            throw;
        }
        cx.localScope->closeFrame();
        cx.stopPending = 0;
    }
    finish(cx, n, nullptr);
}

void primEvents(ProcessContext& cx, int32_t n) {
    ListBuilder b;
    for (tTabDesc* e = currentObject(cx)->events.chainHead(); e; e = e->chainNext) {
        if (e->flags & (tfHidden | tfBuried)) continue;
        Ref<tlogoobject> w = makeRawWord(e->NameText());
        b.append(w.get());
    }
    Ref<tLogoList> l = b.finish();
    finish(cx, n, l.get());
}

#ifdef QM_TESTING
// %testmouse object action button: delivers a mouse notification as the window system
// would. Actions: down, double, up, click, move, enter, leave; button 0 left, 1 right,
// 2 middle, -1 none (move).
void primTestMouse(ProcessContext& cx, int32_t n) {
    tmultiobject* obj = findObject(currentObject(cx), input(cx, n, 0));
    const std::string action = input(cx, n, 1)->GetText();
    const int32_t button = input(cx, n, 2)->ToInt();
    if (action == "down") MouseDriver::down(obj, button, 0, 0, false, false);
    else if (action == "shiftdown") MouseDriver::down(obj, button, 0, 0, true, false);
    else if (action == "double") MouseDriver::down(obj, button, 0, 0, false, true);
    else if (action == "up") MouseDriver::up(obj, button, 0, 0, false);
    else if (action == "click") MouseDriver::click(obj);
    else if (action == "move") MouseDriver::move(obj, 0, 0, button);
    else if (action == "enter") MouseDriver::enter(obj);
    else if (action == "leave") MouseDriver::leave(obj);
    else throw eLogoException(erBadValue, input(cx, n, 1));
    finish(cx, n, nullptr);
}

// %raiseandwait object event: raises the event and returns when its handler has ended.
void primRaiseAndWait(ProcessContext& cx, int32_t n) {
    tmultiobject* obj = findObject(currentObject(cx), input(cx, n, 0));
    raiseEventAndWait(cx, obj, eventNameCode(input(cx, n, 1)));
    finish(cx, n, nullptr);
}
#endif

const PrimitiveRow kEventPrimitives[] = {
    {"event?", DescKind::Main, 1, false, etFun, primEventP},
    {"myevent?", DescKind::Main, 1, false, etFun, primMyeventP},
    {"event", DescKind::Main, 1, false, etFun, primEvent},
    {"setevent", DescKind::Main, 2, false, etFun, primSetevent},
    {"eraseevent", DescKind::Main, 1, false, etFun, primEraseevent},
    {"runevent", DescKind::Main, 1, false, etFun, primRunevent},
    {"events", DescKind::Main, 0, false, etFun, primEvents},
#ifdef QM_TESTING
    {"%testmouse", DescKind::Main, 3, false, etFun, primTestMouse, 0, true},
    {"%raiseandwait", DescKind::Main, 2, false, etFun, primRaiseAndWait, 0, true},
#endif
};

} // namespace

void registerEventPrimitives(tMainLogoObject& main) { addPrimitives(main.procedures, kEventPrimitives); }

} // namespace qm
