// The mouse pointer in Logo: mousepos and setmousepos of the main object (screen pixels), of pages
// and panes (their cartesian coordinates) and of turtles; toscreen and toobject; mousestate; and
// what turtles and panes share for the mouse: autoDrag, frozen, freezeme, unfreezeme, isfrozen?,
// startMove, startDrag, and a pane's clickedpos.
#include "events.h"
#include "graphic_props.h"
#include "property_rows.h"
#include "registry.h"
#include "screen_pointer.h"

namespace qm {

namespace {

// A point input: a list of exactly two numbers, erExpectList2 (13) otherwise.
RealPoint pointInput(tlogoobject* v) {
    if (!v->IsList()) throw eLogoException(erExpectList2, v);
    auto* l = static_cast<tLogoList*>(v);
    if (l->IsEmpty() || !l->rest || l->rest->IsEmpty() || (l->rest->rest && !l->rest->rest->IsEmpty()) ||
        !l->element->IsNumber() || !l->rest->element->IsNumber())
        throw eLogoException(erExpectList2, v);
    return {l->element->ToReal(), l->rest->element->ToReal()};
}

tLogoList* pointList(Point p) { return pointValue(static_cast<LReal>(p.x), static_cast<LReal>(p.y)); }

// A cartesian point of a surface on the screen: the pixel it falls in, as positions are rounded
// everywhere, plus where the surface shows.
Point toScreen(const Surface& s, RealPoint cartesian) {
    const Point origin = screenOriginOf(s), pixel = s.toAbsolutePixel(cartesian);
    return {origin.x + pixel.x, origin.y + pixel.y};
}

// A screen pixel in a surface's cartesian coordinates; a point between pixels counts as the pixel
// it falls in.
RealPoint fromScreen(const Surface& s, RealPoint screen) {
    const Point origin = screenOriginOf(s), pixel = nearestPoint(screen);
    return s.toCartesian({static_cast<LReal>(pixel.x - origin.x), static_cast<LReal>(pixel.y - origin.y)});
}

tLogoList* mouseIn(const Surface& s) {
    const Point at = pointerState().position;
    const RealPoint c = fromScreen(s, {static_cast<LReal>(at.x), static_cast<LReal>(at.y)});
    return pointValue(c.x, c.y);
}

// ---- the main object, and everything without a page of its own ----

void primMousepos(ProcessContext& cx, int32_t n) {
    Ref<tLogoList> l = pointList(pointerState().position);
    finish(cx, n, l.get());
}

void primSetmousepos(ProcessContext& cx, int32_t n) {
    warpPointer(nearestPoint(pointInput(input(cx, n, 0))));
    finish(cx, n, nullptr);
}

void primToscreen(ProcessContext& cx, int32_t n) {
    outputConvertedPoint(cx, n, [](const Surface& s, tlogoobject* v) {
        const Point p = toScreen(s, pointInput(v));
        return RealPoint{static_cast<LReal>(p.x), static_cast<LReal>(p.y)};
    });
}

void primToobject(ProcessContext& cx, int32_t n) {
    outputConvertedPoint(cx, n, [](const Surface& s, tlogoobject* v) { return fromScreen(s, pointInput(v)); });
}

// mousestate: [buttons shifts [x y]], the position in the cartesian coordinates of the page or pane.
void primMousestate(ProcessContext& cx, int32_t n) {
    Surface& s = surfaceOf(cx);
    const PointerState p = pointerState();
    const RealPoint c = fromScreen(s, {static_cast<LReal>(p.position.x), static_cast<LReal>(p.position.y)});
    ListBuilder b;
    Ref<tlogoobject> items[] = {makeInt(static_cast<int32_t>(p.buttons)), makeInt(static_cast<int32_t>(p.shifts)),
                                pointValue(c.x, c.y)};
    for (auto& i : items) b.append(i.get());
    Ref<tLogoList> l = b.finish();
    finish(cx, n, l.get());
}

const PrimitiveRow kMainPointerPrimitives[] = {
    {"mousepos", DescKind::Main, 0, false, etFun, primMousepos},
    {"setmousepos", DescKind::Main, 1, false, etFun, primSetmousepos},
    {"toscreen", DescKind::Main, 1, false, etFun, primToscreen},
    {"toobject", DescKind::Main, 1, false, etFun, primToobject},
    {"mousestate", DescKind::Main, 0, false, etFun, primMousestate},
};

// ---- pages and panes: their own cartesian coordinates ----

void primScreenMousepos(ProcessContext& cx, int32_t n) {
    Ref<tLogoList> l = mouseIn(surfaceOf(cx));
    finish(cx, n, l.get());
}

void primScreenSetmousepos(ProcessContext& cx, int32_t n) {
    Surface& s = surfaceOf(cx);
    warpPointer(toScreen(s, pointInput(input(cx, n, 0))));
    finish(cx, n, nullptr);
}

const PrimitiveRow kScreenPointerPrimitives[] = {
    {"mousepos", DescKind::Main, 0, false, etFun, primScreenMousepos},
    {"setmousepos", DescKind::Main, 1, false, etFun, primScreenSetmousepos},
};

// ---- turtles ----

// The cartesian coordinates of the surface the turtle lives on; [0 0] once that has gone.
void primTurtleMousepos(ProcessContext& cx, int32_t n) {
    Turtle& t = turtleOf(cx);
    Ref<tLogoList> l = t.surface() ? mouseIn(*t.surface()) : pointValue(0, 0);
    finish(cx, n, l.get());
}

const PrimitiveRow kTurtlePointerPrimitives[] = {
    {"mousepos", DescKind::Main, 0, false, etFun, primTurtleMousepos},
};

// ---- what turtles and panes share ----

// A turtle with its turtle, or a pane with its surface; erInitTurtle (78) or erInitPane (86) for
// the instances that have lost them, and for the classes themselves.
tmultiobject* movable(tmultiobject* self) {
    if (turtleObjectOf(self)) return self;
    if (auto* pane = dynamic_cast<tlogopane*>(self)) {
        if (!pane->surface) throw eLogoException(erInitPane);
        return self;
    }
    throw eLogoException(erInitTurtle);
}

tmultiobject* movable(ProcessContext& cx) { return movable(currentObject(cx)); }

tlogoobject* getAutoDrag(tmultiobject* self) { return makeBool(mouseStateOf(movable(self)).autoDrag); }
void setAutoDrag(tmultiobject* self, tlogoobject* v) { mouseStateOf(movable(self)).autoDrag = v->ToBool(); }
tlogoobject* getFrozen(tmultiobject* self) { return makeBool(mouseStateOf(movable(self)).frozen); }
void setFrozen(tmultiobject* self, tlogoobject* v) { mouseStateOf(movable(self)).frozen = v->ToBool(); }

const PropertyDef kMovableProperties[] = {
    {64, getAutoDrag, setAutoDrag},
    {178, getFrozen, setFrozen},
};

// freezeme and unfreezeme set the setting as assigning it does, so it is saved as changed.
void setFrozenVariable(ProcessContext& cx, int32_t n, bool frozen) {
    tmultiobject* self = movable(cx);
    Ref<tlogoobject> v = makeBool(frozen);
    self->setVariable(propertyRow(178).code, v.get());
    finish(cx, n, nullptr);
}
void primFreezeme(ProcessContext& cx, int32_t n) { setFrozenVariable(cx, n, true); }
void primUnfreezeme(ProcessContext& cx, int32_t n) { setFrozenVariable(cx, n, false); }

void primIsfrozenP(ProcessContext& cx, int32_t n) { finish(cx, n, makeBool(isFrozen(movable(cx)))); }

void primStartMove(ProcessContext& cx, int32_t n) {
    startMouseMove(movable(cx));
    finish(cx, n, nullptr);
}

// startDrag: the left button drags the object from where the pointer is now, as if it had been
// pressed there.
void primStartDrag(ProcessContext& cx, int32_t n) {
    tmultiobject* self = movable(cx);
    const Point at = pointerState().position;
    if (tTurtle* t = turtleObjectOf(self)) {
        Turtle& turtle = *t->turtle;
        if (turtle.surface()) {
            const Point origin = screenOriginOf(*turtle.surface());
            const Point p{at.x - origin.x, at.y - origin.y}, c = nearestPoint(turtle.absolutePosition());
            const Rect r = turtle.screenRect();
            turtle.setLastClick({p.x - c.x, p.y - c.y});
            MouseDriver::startDrag(self, static_cast<int32_t>(p.x - r.left), static_cast<int32_t>(p.y - r.top));
        }
    } else {
        const Point origin = screenOriginOf(*static_cast<tlogopane*>(self)->surface);
        MouseDriver::startDrag(self, static_cast<int32_t>(at.x - origin.x), static_cast<int32_t>(at.y - origin.y));
    }
    finish(cx, n, nullptr);
}

const PrimitiveRow kMovablePrimitives[] = {
    {"freezeme", DescKind::Main, 0, false, etFun, primFreezeme},
    {"unfreezeme", DescKind::Main, 0, false, etFun, primUnfreezeme},
    {"isfrozen?", DescKind::Main, 0, false, etFun, primIsfrozenP},
    {"startMove", DescKind::Main, 0, false, etFun, primStartMove},
    {"startDrag", DescKind::Main, 0, false, etFun, primStartDrag},
};

// A pane's clickedpos: the last left press from its top-left corner, y growing upwards.
void primPaneClickedpos(ProcessContext& cx, int32_t n) {
    const MouseState& m = mouseStateOf(movable(cx));
    Ref<tLogoList> l = pointValue(m.clickedX, -static_cast<LReal>(m.clickedY));
    finish(cx, n, l.get());
}

const PrimitiveRow kPanePointerPrimitives[] = {
    {"clickedpos", DescKind::Main, 0, false, etFun, primPaneClickedpos},
};

} // namespace

void declareMovableProperties(tmultiobject* obj) {
    declareProperties(obj, kMovableProperties, std::size(kMovableProperties));
    applyClassDefaults(obj, kMovableProperties, std::size(kMovableProperties), {});
}

void registerPointerProcedures(tMainLogoObject& main, tmultiobject& turtleClass, tmultiobject& pageClass,
                               tmultiobject& paneClass) {
    addPrimitives(main.procedures, kMainPointerPrimitives);
    addPrimitives(pageClass.procedures, kScreenPointerPrimitives);
    addPrimitives(paneClass.procedures, kScreenPointerPrimitives);
    addPrimitives(turtleClass.procedures, kTurtlePointerPrimitives);
    for (tmultiobject* c : {&turtleClass, &paneClass}) {
        addPrimitives(c->procedures, kMovablePrimitives);
        addPropertyProcedures(c->procedures, kMovableProperties);
    }
    addPrimitives(paneClass.procedures, kPanePointerPrimitives);
}

} // namespace qm
