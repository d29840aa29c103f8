// Turtle primitives: moving, turning, the pen, figures drawn into the background, labels, stamps,
// ranges, overlaps and stacking, and the turtle's properties as pseudo-variables.
#include <algorithm>
#include <cmath>

#include "control_support.h"
#include "dictionary.h"
#include "graphic_props.h"
#include "language.h"
#include "name_codes.h"
#include "property_rows.h"
#include "registry.h"

namespace qm {

// ---- shared input readers ----

tlogoobject* anyVariable(const char* internalName) {
    if (!globals().variables) return nullptr;
    return globals().variables->GetOrNil(nameCodes().intern(firstWord("name", internalName)));
}

AnyRange anyAngleRange() { return anyRangeFrom(anyVariable("anyangle"), kAnyAngle); }

namespace {

// A number, or for "any" one drawn from the range in the variable of that internal name. The
// variable is looked up only for "any": moves and turns by a number are the usual case.
LReal numberOrAnyFrom(tlogoobject* v, const char* anyName, AnyRange fallback) {
    return numberOrAny(v, isAny(v) ? anyRangeFrom(anyVariable(anyName), fallback) : fallback);
}

} // namespace

LReal cartesianCoordinate(tlogoobject* v, const Surface& s, bool xAxis, const AnyMargin& margin) {
    if (!isAny(v)) {
        if (!v->IsNumber()) throw eLogoException(erExpectNumber, v);
        return v->ToReal();
    }
    const RealPoint abs{static_cast<LReal>(randomAxis(margin.x, s.width())),
                        static_cast<LReal>(randomAxis(margin.y, s.height()))};
    const RealPoint c = s.toCartesian(abs);
    return xAxis ? c.x : c.y;
}

namespace {

int wordOfTable(tlogoobject* v, const std::string_view (&table)[4]) {
    if (v && v->IsWord() && !v->IsNumber()) {
        std::string text = v->GetText();
        if (!text.empty() && text[0] == '"') text.erase(0, 1);
        for (int i = 0; i < 4; ++i)
            for (const std::string& w : synonyms("param", table[i]))
                if (sameName(w, text)) return i;
    }
    throw eLogoException(erBadValue, v);
}

} // namespace

RangeStyle rangeStyleOfValue(tlogoobject* v) { return static_cast<RangeStyle>(wordOfTable(v, kRangeStyleWords)); }
PenMode penModeOfValue(tlogoobject* v) { return static_cast<PenMode>(wordOfTable(v, kPenModeWords)); }
tlogoobject* penModeWord(PenMode m) { return makeRawWord(firstWord("param", kPenModeWords[static_cast<int>(m)])); }
tlogoobject* rangeStyleWord(RangeStyle s) {
    return makeRawWord(firstWord("param", kRangeStyleWords[static_cast<int>(s)]));
}

bool overlapModeIsRectangles() {
    tlogoobject* v = anyVariable("overlapmode");
    if (!v || !v->IsNumber()) return false;
    const LReal r = v->ToReal();
    return r == std::trunc(r) && r != 0;
}

Rgb rgbOfValue(tlogoobject* v) { return static_cast<Rgb>(colourOfValue(v)) & kRgbMask; }

tLogoList* pointValue(LReal x, LReal y) {
    ListBuilder b;
    Ref<tlogoobject> a = makeReal(x), c = makeReal(y);
    b.append(a.get());
    b.append(c.get());
    return b.finish();
}

// ---- property procedures ----

namespace {

class tPropertyGetter : public tProcDesc {
public:
    tPropertyGetter(int32_t code, PropertyGet g) : tProcDesc(code, 0, false, etFun), get(g) {}
    PropertyGet get;
    void Execute(ProcessContext& cx, int32_t n) override {
        Ref<tlogoobject> v = get(currentObject(cx));
        finish(cx, n, v.get());
    }
};

class tPropertySetter : public tProcDesc {
public:
    tPropertySetter(int32_t code, PropertySet s) : tProcDesc(code, 1, false, etFun), set(s) {}
    PropertySet set;
    void Execute(ProcessContext& cx, int32_t n) override {
        set(currentObject(cx), input(cx, n, 0));
        finish(cx, n, nullptr);
    }
};

} // namespace

void addPropertyProcedures(tLogoTab& table, const PropertyDef* defs, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const PropertyRow& row = propertyRow(defs[i].row);
        if (!row.code) continue;
        table.add(new tPropertyGetter(row.code, defs[i].get));
        for (int32_t c : row.extraGetters) table.add(new tPropertyGetter(c, defs[i].get));
        if (!defs[i].set) continue;
        table.add(new tPropertySetter(row.setter, defs[i].set));
        for (int32_t c : row.extraSetters) table.add(new tPropertySetter(c, defs[i].set));
    }
}

void declareProperties(tmultiobject* obj, const PropertyDef* defs, size_t count) {
    for (size_t i = 0; i < count; ++i) obj->declarePseudoVariable(defs[i].row, defs[i].get, defs[i].set);
}

void applyClassDefaults(tmultiobject* obj, const PropertyDef* defs, size_t count, std::initializer_list<int> skip) {
    tmultiobject* cls = obj->firstClass();
    if (!cls) return;
    for (size_t i = 0; i < count; ++i) {
        if (!defs[i].set || std::find(skip.begin(), skip.end(), defs[i].row) != skip.end()) continue;
        tLogoVarDesc* d = cls->findVariable(propertyRow(defs[i].row).code);
        if (!d || dynamic_cast<tPseudoVarDesc*>(d) || d->table == &mainObjectRecord()->varTable) continue;
        if (tlogoobject* v = d->Value()) defs[i].set(obj, v);
    }
}

namespace {

// ---- turtle properties ----

Turtle& turtle(tmultiobject* self) {
    tTurtle* t = turtleObjectOf(self);
    if (!t) throw eLogoException(erInitTurtle);
    return *t->turtle;
}

Surface& surfaceOfTurtle(Turtle& t) {
    if (!t.surface()) throw eLogoException(erInitPane);
    return *t.surface();
}

AnyMargin anyMargin() { return anyMarginFrom(anyVariable("anypos")); }

// A rectangle of the turtle's surface as [x y w h]: the cartesian top-left corner and the size.
tlogoobject* rectValue(const Surface& s, const Rect& r) {
    const RealPoint c = s.toCartesian({static_cast<LReal>(r.left), static_cast<LReal>(r.top)});
    ListBuilder b;
    for (LReal v : {c.x, c.y, static_cast<LReal>(r.width()), static_cast<LReal>(r.height())}) {
        Ref<tlogoobject> n = makeReal(v);
        b.append(n.get());
    }
    return b.finish();
}

std::optional<Rect> fullRectOrNone(tlogoobject* v, const Surface& s) {
    std::optional<Rect> r = readRectangle(v, s, true);
    if (!r) return std::nullopt;
    return fullRectangle(*r, s);
}

// A truth value (erNotBool otherwise).
bool truth(tlogoobject* v) { return v->ToBool(); }

tlogoobject* getHint(tmultiobject* self) { return makeRawWord(turtle(self).hint()); }
void setHint(tmultiobject* self, tlogoobject* v) { turtle(self).setHint(v->PrintText(false)); }

tlogoobject* getHeading(tmultiobject* self) { return makeReal(turtle(self).heading()); }
void setHeading(tmultiobject* self, tlogoobject* v) {
    turtle(self).setHeading(numberOrAnyFrom(v, "anyangle", kAnyAngle));
}

tlogoobject* getHomeState(tmultiobject* self) {
    const HomeState h = turtle(self).homeState();
    Ref<tlogoobject> p = pointValue(h.position.x, h.position.y), d = makeReal(h.heading);
    ListBuilder b;
    b.append(p.get());
    b.append(d.get());
    return b.finish();
}
void setHomeState(tmultiobject* self, tlogoobject* v) {
    Turtle& t = turtle(self);
    t.setHomeState(readHomeState(v, surfaceOfTurtle(t), anyMargin(), anyAngleRange()));
}

tlogoobject* getPos(tmultiobject* self) {
    const RealPoint p = turtle(self).position();
    return pointValue(p.x, p.y);
}
void setPos(tmultiobject* self, tlogoobject* v) {
    Turtle& t = turtle(self);
    afterMove(self, t.setPosition(readPosition(v, surfaceOfTurtle(t), true, anyMargin())));
}

tlogoobject* getAPos(tmultiobject* self) {
    const RealPoint p = turtle(self).absolutePosition();
    return pointValue(p.x, p.y);
}
void setAPos(tmultiobject* self, tlogoobject* v) {
    Turtle& t = turtle(self);
    afterMove(self, t.setAbsolutePosition(readPosition(v, surfaceOfTurtle(t), false, anyMargin())));
}

tlogoobject* getX(tmultiobject* self) { return makeReal(turtle(self).position().x); }
void setX(tmultiobject* self, tlogoobject* v) {
    Turtle& t = turtle(self);
    afterMove(self, t.setX(cartesianCoordinate(v, surfaceOfTurtle(t), true, anyMargin())));
}
tlogoobject* getY(tmultiobject* self) { return makeReal(turtle(self).position().y); }
void setY(tmultiobject* self, tlogoobject* v) {
    Turtle& t = turtle(self);
    afterMove(self, t.setY(cartesianCoordinate(v, surfaceOfTurtle(t), false, anyMargin())));
}

tlogoobject* getShown(tmultiobject* self) { return makeBool(turtle(self).shown()); }
void setShown(tmultiobject* self, tlogoobject* v) { turtle(self).setShown(truth(v)); }

tlogoobject* getFillColour(tmultiobject* self) { return colourValue(static_cast<int32_t>(turtle(self).fillColour())); }
void setFillColour(tmultiobject* self, tlogoobject* v) { turtle(self).setFillColour(rgbOfValue(v)); }

tlogoobject* getFillPattern(tmultiobject* self) { return makeInt(turtle(self).fillPattern()); }
void setFillPattern(tmultiobject* self, tlogoobject* v) {
    Turtle& t = turtle(self);
    t.setFillPattern(isAny(v) ? static_cast<int>(AnyRange{0, 6}.pick()) : v->ToIntRange(0, 7));
}

tlogoobject* getPen(tmultiobject* self) { return penModeWord(turtle(self).penMode()); }
void setPen(tmultiobject* self, tlogoobject* v) { turtle(self).setPenMode(penModeOfValue(v)); }

tlogoobject* getPenColour(tmultiobject* self) { return colourValue(static_cast<int32_t>(turtle(self).penColour())); }
void setPenColour(tmultiobject* self, tlogoobject* v) { turtle(self).setPenColour(rgbOfValue(v)); }

std::int64_t widthOf(tlogoobject* v) {
    if (isAny(v)) return anyRangeFrom(anyVariable("anypenwidth"), kAnyPenWidth).pick();
    return v->ToIntRange(1, 2147483647);
}
tlogoobject* getPenWidth(tmultiobject* self) { return makeNumber(turtle(self).penWidth()); }
void setPenWidth(tmultiobject* self, tlogoobject* v) { turtle(self).setPenWidth(widthOf(v)); }

int penPatternOf(tlogoobject* v) {
    if (isAny(v)) return static_cast<int>(AnyRange{0, 5}.pick());
    return v->ToIntRange(0, kPenPatternCount - 1);
}
tlogoobject* getPenPattern(tmultiobject* self) { return makeInt(turtle(self).penPattern()); }
void setPenPattern(tmultiobject* self, tlogoobject* v) { turtle(self).setPenPattern(penPatternOf(v)); }

tlogoobject* getFont(tmultiobject* self) { return fontValue(turtle(self).font()); }
void setFont(tmultiobject* self, tlogoobject* v) {
    Turtle& t = turtle(self);
    t.setFont(applyFontValue(t.font(), v));
}

tlogoobject* getFrameMode(tmultiobject* self) { return makeBool(turtle(self).frameMode()); }
void setFrameMode(tmultiobject* self, tlogoobject* v) { turtle(self).setFrameMode(truth(v)); }

tlogoobject* getRangeStyle(tmultiobject* self) { return rangeStyleWord(turtle(self).rangeStyle()); }
void setRangeStyle(tmultiobject* self, tlogoobject* v) {
    Turtle& t = turtle(self);
    const RangeStyle style = v->IsList() && v->IsEmpty() ? RangeStyle::Wrap : rangeStyleOfValue(v);
    t.setRangeStyle(style);
}

tlogoobject* getRange(tmultiobject* self) {
    Turtle& t = turtle(self);
    if (!t.range() || !t.surface()) return makeEmptyList();
    return rectValue(*t.surface(), t.range()->toRect());
}
void setRange(tmultiobject* self, tlogoobject* v) {
    Turtle& t = turtle(self);
    t.setRange(fullRectOrNone(v, surfaceOfTurtle(t)));
}

tlogoobject* getShownRange(tmultiobject* self) {
    Turtle& t = turtle(self);
    if (!t.shownRange() || !t.surface()) return makeEmptyList();
    return rectValue(*t.surface(), *t.shownRange());
}
void setShownRange(tmultiobject* self, tlogoobject* v) {
    Turtle& t = turtle(self);
    t.setShownRange(fullRectOrNone(v, surfaceOfTurtle(t)));
}

tlogoobject* getTransparentClick(tmultiobject* self) { return makeBool(turtle(self).transparentClick()); }
void setTransparentClick(tmultiobject* self, tlogoobject* v) { turtle(self).setTransparentClick(truth(v)); }

tlogoobject* getShapeScale(tmultiobject* self) {
    const RealPoint s = turtle(self).shapeScale();
    if (s.x == s.y) return makeReal(s.x);
    return pointValue(s.x, s.y);
}
void setShapeScale(tmultiobject* self, tlogoobject* v) {
    Turtle& t = turtle(self);
    if (v->IsList()) {
        auto* l = static_cast<tLogoList*>(v);
        if (l->IsEmpty() || !l->rest || l->rest->IsEmpty() || (l->rest->rest && !l->rest->rest->IsEmpty()))
            throw eLogoException(erExpectList2, v);
        t.setShapeScale({l->element->ToReal(), l->rest->element->ToReal()});
        return;
    }
    const LReal f = v->ToReal();
    t.setShapeScale({f, f});
}

tlogoobject* getAnimation(tmultiobject* self) { return makeBool(turtle(self).animation()); }
void setAnimation(tmultiobject* self, tlogoobject* v) { turtle(self).setAnimation(truth(v)); }

tlogoobject* getDelayScale(tmultiobject* self) { return makeReal(turtle(self).delayScale()); }
void setDelayScale(tmultiobject* self, tlogoobject* v) {
    const LReal f = v->ToReal();
    if (!std::isfinite(f)) throw eLogoException(erReal, v);
    turtle(self).setDelayScale(f);
}

tlogoobject* getSensitive(tmultiobject* self) { return makeBool(turtle(self).sensitive()); }
void setSensitive(tmultiobject* self, tlogoobject* v) { turtle(self).setSensitive(truth(v)); }

const PropertyDef kTurtleProperties[] = {
    {8, getHint, setHint},
    {40, getHeading, setHeading},
    {41, getHomeState, setHomeState},
    {4, getPos, setPos},
    {1, getAPos, setAPos},
    {42, getX, setX},
    {43, getY, setY},
    {10, getShown, setShown},
    {44, getFillColour, setFillColour},
    {45, getFillPattern, setFillPattern},
    {46, getPen, setPen},
    {47, getPenColour, setPenColour},
    {48, getPenWidth, setPenWidth},
    {49, getPenPattern, setPenPattern},
    {57, getFont, setFont},
    {120, getFrameMode, setFrameMode},
    {50, getRangeStyle, setRangeStyle},
    {51, getRange, setRange},
    {131, getShownRange, setShownRange},
    {58, getTransparentClick, setTransparentClick},
    {54, getShapeScale, setShapeScale},
    {56, getAnimation, setAnimation},
    {155, getDelayScale, setDelayScale},
    {65, getSensitive, setSensitive},
};

// ---- turtle commands ----

tmultiobject* me(ProcessContext& cx) { return currentObject(cx); }

// forward and back: the distance may be "any", drawn from the range in :anyforward.
void moveAlong(ProcessContext& cx, int32_t n, MoveResult (Turtle::*move)(LReal)) {
    Turtle& t = turtleOf(cx);
    const LReal d = numberOrAnyFrom(input(cx, n, 0), "anyforward", kAnyForward);
    const MoveResult r = (t.*move)(d);
    finish(cx, n, nullptr);
    afterMove(me(cx), r);
}

void primForward(ProcessContext& cx, int32_t n) { moveAlong(cx, n, &Turtle::forward); }
void primBack(ProcessContext& cx, int32_t n) { moveAlong(cx, n, &Turtle::back); }

// left and right: the angle may be "any", drawn from the range in :anyleft or :anyright.
void turnBy(ProcessContext& cx, int32_t n, void (Turtle::*turn)(LReal), const char* anyName) {
    Turtle& t = turtleOf(cx);
    (t.*turn)(numberOrAnyFrom(input(cx, n, 0), anyName, kAnyTurn));
    finish(cx, n, nullptr);
}

void primLeft(ProcessContext& cx, int32_t n) { turnBy(cx, n, &Turtle::left, "anyleft"); }
void primRight(ProcessContext& cx, int32_t n) { turnBy(cx, n, &Turtle::right, "anyright"); }

void primHome(ProcessContext& cx, int32_t n) {
    const MoveResult r = turtleOf(cx).home();
    finish(cx, n, nullptr);
    afterMove(me(cx), r);
}

void primSetxy(ProcessContext& cx, int32_t n) {
    Turtle& t = turtleOf(cx);
    Surface& s = surfaceOfTurtle(t);
    const AnyMargin m = anyMargin();
    const RealPoint p{cartesianCoordinate(input(cx, n, 0), s, true, m), cartesianCoordinate(input(cx, n, 1), s, false, m)};
    const MoveResult r = t.setPosition(p);
    finish(cx, n, nullptr);
    afterMove(me(cx), r);
}

void primDotSetpos(ProcessContext& cx, int32_t n) {
    Turtle& t = turtleOf(cx);
    const MoveResult r = t.dotSetPosition(readPosition(input(cx, n, 0), surfaceOfTurtle(t), true, anyMargin()));
    finish(cx, n, nullptr);
    afterMove(me(cx), r);
}

void primDotSetapos(ProcessContext& cx, int32_t n) {
    Turtle& t = turtleOf(cx);
    const MoveResult r = t.dotSetAbsolutePosition(readPosition(input(cx, n, 0), surfaceOfTurtle(t), false, anyMargin()));
    finish(cx, n, nullptr);
    afterMove(me(cx), r);
}

void primTowards(ProcessContext& cx, int32_t n) {
    Turtle& t = turtleOf(cx);
    tlogoobject* target = input(cx, n, 0);
    LReal h;
    if (target->IsList()) {
        h = t.towards(readPosition(target, surfaceOfTurtle(t), true, anyMargin()));
    } else {
        tmultiobject* other = nullptr;
        try {
            other = findObject(me(cx), target);
        } catch (eLogoException&) {
        }
        tTurtle* o = turtleObjectOf(other);
        if (!o) throw eLogoException(erTurtleUnknown, target);
        h = t.towardsTurtle(*o->turtle);
    }
    Ref<tlogoobject> v = makeReal(h);
    finish(cx, n, v.get());
}

void penMode(ProcessContext& cx, int32_t n, PenMode m) {
    turtleOf(cx).setPenMode(m);
    finish(cx, n, nullptr);
}
void primPenup(ProcessContext& cx, int32_t n) { penMode(cx, n, PenMode::Up); }
void primPendown(ProcessContext& cx, int32_t n) { penMode(cx, n, PenMode::Down); }
void primPenreverse(ProcessContext& cx, int32_t n) { penMode(cx, n, PenMode::Reverse); }
void primPenerase(ProcessContext& cx, int32_t n) { penMode(cx, n, PenMode::Erase); }

void primPenstate(ProcessContext& cx, int32_t n) {
    const PenState p = turtleOf(cx).penState();
    ListBuilder b;
    Ref<tlogoobject> items[] = {penModeWord(p.mode), colourValue(static_cast<int32_t>(p.colour)), makeNumber(p.width),
                                makeInt(p.pattern)};
    for (auto& i : items) b.append(i.get());
    Ref<tLogoList> l = b.finish();
    finish(cx, n, l.get());
}

void primSetpenstate(ProcessContext& cx, int32_t n) {
    Turtle& t = turtleOf(cx);
    tlogoobject* v = input(cx, n, 0);
    if (!v->IsList()) throw eLogoException(erExpectList, v);
    tlogoobject* e[4] = {};
    int count = 0;
    for (auto* c = static_cast<tLogoList*>(v); c && c->element; c = c->rest) {
        if (count == 4) throw eLogoException(erBadStructure, v);
        e[count++] = c->element;
    }
    if (count != 4) throw eLogoException(erBadStructure, v);
    PenState p;
    p.mode = penModeOfValue(e[0]);
    p.colour = rgbOfValue(e[1]);
    p.width = widthOf(e[2]);
    p.pattern = penPatternOf(e[3]);
    t.setPenState(p);
    finish(cx, n, nullptr);
}

void primTurtlestate(ProcessContext& cx, int32_t n) {
    Turtle& t = turtleOf(cx);
    const RealPoint p = t.position();
    ListBuilder b;
    // The default shape is the only one a turtle has until images come: it reads as [].
    Ref<tlogoobject> items[] = {makeReal(p.x), makeReal(p.y), makeReal(t.heading()), penModeWord(t.penMode()),
                                makeRawWord(t.shown() ? "st" : "ht"), makeEmptyList()};
    for (auto& i : items) b.append(i.get());
    Ref<tLogoList> l = b.finish();
    finish(cx, n, l.get());
}

void primHideturtle(ProcessContext& cx, int32_t n) {
    turtleOf(cx).setShown(false);
    finish(cx, n, nullptr);
}
void primShowturtle(ProcessContext& cx, int32_t n) {
    turtleOf(cx).setShown(true);
    finish(cx, n, nullptr);
}
void primShownP(ProcessContext& cx, int32_t n) { finish(cx, n, makeBool(turtleOf(cx).shown())); }

void primDot(ProcessContext& cx, int32_t n) {
    turtleOf(cx).dot();
    finish(cx, n, nullptr);
}

void primPoint(ProcessContext& cx, int32_t n) {
    Turtle& t = turtleOf(cx);
    tlogoobject* v = input(cx, n, 0);
    t.point(isAny(v) ? AnyRange{1, 100}.pick() : v->ToIntRange(1, 2147483647));
    finish(cx, n, nullptr);
}

void primDotcolor(ProcessContext& cx, int32_t n) {
    Ref<tlogoobject> v = colourValue(static_cast<int32_t>(turtleOf(cx).dotColour()));
    finish(cx, n, v.get());
}

LReal diameterOf(tlogoobject* v) {
    if (!v->IsNumber()) throw eLogoException(erExpectNumber, v);
    return v->ToReal();
}
void primCircle(ProcessContext& cx, int32_t n) {
    turtleOf(cx).circle(diameterOf(input(cx, n, 0)));
    finish(cx, n, nullptr);
}
void primFilledcircle(ProcessContext& cx, int32_t n) {
    turtleOf(cx).filledCircle(diameterOf(input(cx, n, 0)));
    finish(cx, n, nullptr);
}

void primFill(ProcessContext& cx, int32_t n) {
    Turtle& t = turtleOf(cx);
    tlogoobject* mode = anyVariable("fillmode");
    int m = 0;
    if (mode && mode->IsNumber() && mode->ToReal() == 1) m = 1;
    t.fill(m);
    finish(cx, n, nullptr);
}

void primLabel(ProcessContext& cx, int32_t n) {
    turtleOf(cx).label(input(cx, n, 0)->PrintText(false));
    finish(cx, n, nullptr);
}

void primLabel2(ProcessContext& cx, int32_t n) {
    const MoveResult r = turtleOf(cx).label2(input(cx, n, 0)->PrintText(false));
    finish(cx, n, nullptr);
    afterMove(me(cx), r);
}

void primTextsize(ProcessContext& cx, int32_t n) {
    const TextMetrics m = turtleOf(cx).textSize(input(cx, n, 0)->PrintText(false));
    ListBuilder b;
    for (int v : {m.width, m.height, m.ascent, m.leading}) {
        Ref<tlogoobject> i = makeInt(v);
        b.append(i.get());
    }
    Ref<tLogoList> l = b.finish();
    finish(cx, n, l.get());
}

// settt face details: the font from [face details].
void primSettt(ProcessContext& cx, int32_t n) {
    Turtle& t = turtleOf(cx);
    Ref<tLogoList> value = makeCell(input(cx, n, 0), makeCell(input(cx, n, 1), nullptr));
    t.setFont(applyFontValue(t.font(), value.get()));
    finish(cx, n, nullptr);
}

void primStamp(ProcessContext& cx, int32_t n) {
    turtleOf(cx).stamp();
    finish(cx, n, nullptr);
}

void primShaperectangle(ProcessContext& cx, int32_t n) {
    Turtle& t = turtleOf(cx);
    Ref<tlogoobject> v = rectValue(surfaceOfTurtle(t), t.screenRect());
    finish(cx, n, v.get());
}

// wrap [rectangle] and window [something] [rectangle]: the rectangle is the last input.
void rangeCommand(ProcessContext& cx, int32_t n, int32_t most, bool wrap) {
    if (n > most) throw eLogoException(erTooManyInputs);
    Turtle& t = turtleOf(cx);
    std::optional<Rect> r;
    if (n > 0) r = fullRectOrNone(input(cx, n, n - 1), surfaceOfTurtle(t));
    if (wrap) t.wrap(r);
    else t.window(r);
    finish(cx, n, nullptr);
}
void primWrap(ProcessContext& cx, int32_t n) { rangeCommand(cx, n, 1, true); }
void primWindow(ProcessContext& cx, int32_t n) { rangeCommand(cx, n, 2, false); }

// The turtles named by a word or a list of words.
std::vector<tTurtle*> namedTurtles(ProcessContext& cx, tlogoobject* v) {
    std::vector<tTurtle*> out;
    auto one = [&](tlogoobject* name) {
        if (!name->IsWord()) throw eLogoException(erExpectWord, name);
        tmultiobject* o = nullptr;
        try {
            o = findObject(me(cx), name);
        } catch (eLogoException&) {
        }
        tTurtle* t = turtleObjectOf(o);
        if (!t) throw eLogoException(erTurtleUnknown, name);
        out.push_back(t);
    };
    if (v->IsList()) {
        for (auto* c = static_cast<tLogoList*>(v); c && c->element; c = c->rest) one(c->element);
    } else {
        one(v);
    }
    return out;
}

tLogoList* namesOf(const std::vector<tmultiobject*>& objs) {
    ListBuilder b;
    for (tmultiobject* o : objs) {
        Ref<tlogoobject> w = makeRawWord(o->name);
        b.append(w.get());
    }
    return b.finish();
}

void primOverlapP(ProcessContext& cx, int32_t n) {
    Turtle& t = turtleOf(cx);
    const bool rects = overlapModeIsRectangles();
    bool any = false;
    for (tTurtle* o : namedTurtles(cx, input(cx, n, 0)))
        if (o->turtle.get() != &t && o->turtle->shown() && t.shown() && t.overlaps(*o->turtle, rects)) any = true;
    finish(cx, n, makeBool(any));
}

void primOverlaplist(ProcessContext& cx, int32_t n) {
    Turtle& t = turtleOf(cx);
    const bool rects = overlapModeIsRectangles();
    std::vector<tmultiobject*> hits;
    for (tTurtle* o : namedTurtles(cx, input(cx, n, 0)))
        if (o->turtle.get() != &t && o->turtle->shown() && t.shown() && t.overlaps(*o->turtle, rects)) hits.push_back(o);
    Ref<tLogoList> l = namesOf(hits);
    finish(cx, n, l.get());
}

void primOverlapped(ProcessContext& cx, int32_t n) {
    Turtle& t = turtleOf(cx);
    std::vector<tmultiobject*> hits;
    for (Turtle* o : t.overlapped(overlapModeIsRectangles()))
        if (tTurtle* owner = ownerOf(o)) hits.push_back(owner);
    Ref<tLogoList> l = namesOf(hits);
    finish(cx, n, l.get());
}

Rect fullRectInput(tlogoobject* v, const Surface& s) {
    std::optional<Rect> r = readRectangle(v, s, true);
    return fullRectangle(r ? *r : Rect{}, s);
}

void primInsideP(ProcessContext& cx, int32_t n) {
    Turtle& t = turtleOf(cx);
    finish(cx, n, makeBool(t.inside(fullRectInput(input(cx, n, 0), surfaceOfTurtle(t)))));
}
void primOutsideP(ProcessContext& cx, int32_t n) {
    Turtle& t = turtleOf(cx);
    finish(cx, n, makeBool(t.outside(fullRectInput(input(cx, n, 0), surfaceOfTurtle(t)))));
}

void primClickedpos(ProcessContext& cx, int32_t n) {
    const Point c = turtleOf(cx).lastClick();
    Ref<tLogoList> l = pointValue(static_cast<LReal>(c.x), static_cast<LReal>(-c.y));
    finish(cx, n, l.get());
}

// ---- glide ----

// What glide does between two steps: run `todo`, or wait like `wait`, or only let others run.
struct GlideParams {
    LReal step = 5;
    std::int64_t wait = 30;
    Ref<tlogoobject> todo;  // nil when none was given
};

// One element of a glide path: a vector of the turtle's own frame, or a gap (pen up for the next).
struct GlideLeg {
    bool gap = false;
    RealPoint own;
};

bool isParamName(const std::string& text, std::string_view key) {
    for (const std::string& w : synonyms("param", key))
        if (sameName(w, text)) return true;
    return false;
}

LReal finiteNumber(tlogoobject* v) {
    if (!v->IsNumber()) throw eLogoException(erExpectNumber, v);
    const LReal r = v->ToReal();
    if (!std::isfinite(r)) throw eLogoException(erReal, v);
    return r;
}

GlideParams readGlideParams(tlogoobject* v) {
    if (!v->IsList()) throw eLogoException(erExpectList, v);
    GlideParams p;
    for (auto* c = static_cast<tLogoList*>(v); c && c->element; c = c->rest) {
        tlogoobject* name = c->element;
        if (!name->IsWord()) throw eLogoException(erExpectWord, name);
        if (!c->rest || !c->rest->element) throw eLogoException(erBadStructure, v);
        c = c->rest;
        tlogoobject* value = c->element;
        std::string text = name->GetText();
        if (!text.empty() && text[0] == '"') text.erase(0, 1);
        if (isParamName(text, "step")) {
            p.step = std::fabs(finiteNumber(value));
            if (p.step == 0) p.step = 1;
        } else if (isParamName(text, "wait")) {
            if (!value->IsNumber()) throw eLogoException(erExpectNumber, value);
            p.wait = std::llabs(static_cast<long long>(value->ToInt()));
        } else if (isParamName(text, "todo")) {
            if (!value->IsList()) throw eLogoException(erExpectList, value);
            p.todo = value;
        } else {
            throw eLogoException(erBadStructure, name);
        }
    }
    return p;
}

// The whole path is read before the turtle moves, so a bad element further on draws nothing.
std::vector<GlideLeg> readGlidePath(tlogoobject* v) {
    if (!v->IsList()) throw eLogoException(erExpectList, v);
    std::vector<GlideLeg> legs;
    for (auto* c = static_cast<tLogoList*>(v); c && c->element; c = c->rest) {
        tlogoobject* e = c->element;
        if (!e->IsList()) throw eLogoException(erExpectList2, e);
        auto* l = static_cast<tLogoList*>(e);
        if (l->IsEmpty()) {
            legs.push_back({true, {}});
            continue;
        }
        if (!l->rest || l->rest->IsEmpty() || (l->rest->rest && !l->rest->rest->IsEmpty()))
            throw eLogoException(erExpectList2, e);
        legs.push_back({false, {finiteNumber(l->element), finiteNumber(l->rest->element)}});
    }
    return legs;
}

// glide path parameters: walks each vector of the path in steps of `step`, pausing after every
// completed step. The turtle is found anew after every pause: the pause lets other processes run,
// and one of them may have erased it.
void primGlide(ProcessContext& cx, int32_t n) {
    Ref<tmultiobject> self = me(cx);
    Turtle& first = turtleOf(cx);
    const std::vector<GlideLeg> path = readGlidePath(input(cx, n, 0));
    const GlideParams params = readGlideParams(input(cx, n, 1));
    const bool runTodo = params.todo && !params.todo->IsEmpty();
    const bool pause = !params.todo && params.wait != 0;

    auto current = [&]() -> Turtle& {
        tTurtle* t = turtleObjectOf(self.get());
        if (!t || t->erased) throw eLogoException(erInitTurtle);
        return *t->turtle;
    };
    // A glide that does not run to its end (a stop, an error, the process ended) leaves the pen
    // as it found it, not up in the middle of a vector.
    struct PenGuard {
        Ref<tmultiobject> self;
        PenMode saved;
        bool done = false;
        ~PenGuard() {
            if (done) return;
            if (tTurtle* t = turtleObjectOf(self.get()); t && !t->erased) t->turtle->setPenMode(saved);
        }
    } guard{self, first.penMode()};
    first.setPenMode(PenMode::Up);

    auto betweenSteps = [&] {
        if (runTodo) runInstructionList(cx, params.todo.get());
        else if (pause) waitFor(cx, std::chrono::milliseconds(params.wait * 1000 / ellapseUnitsPerSecond()));
        else if (cx.yieldPoint) cx.yieldPoint(cx);
    };

    LReal open = 0;  // what is left of a step that the previous vector began
    for (const GlideLeg& leg : path) {
        if (leg.gap) {
            current().setPenMode(PenMode::Up);
            continue;
        }
        {
            Turtle& t = current();
            const RealPoint w = t.ownToWorld(leg.own);
            t.setHeading(Turtle::headingBetween({0, 0}, {w.x, -w.y}));
        }
        LReal remaining = std::hypot(leg.own.x, leg.own.y);
        while (remaining > 0) {
            const LReal piece = open > 0 ? open : params.step;
            // A remainder within rounding of the piece completes the step rather than leaving a
            // sliver of a step open for the next vector.
            const bool completes = remaining >= piece * (1 - 1e-12L);
            const LReal walk = completes ? std::min(piece, remaining) : remaining;
            const MoveResult r = current().forward(walk);
            afterMove(self.get(), r);
            if (!completes) {
                open = piece - remaining;
                break;
            }
            remaining = remaining - piece;
            if (remaining < piece * 1e-12L) remaining = 0;
            open = 0;
            betweenSteps();
            if (cx.stopPending) {
                finish(cx, n, nullptr);
                return;
            }
        }
        current().setPenMode(guard.saved);
    }
    guard.done = true;
    finish(cx, n, nullptr);
}

// ---- names a turtle shares with pages and panes ----

void primShowme(ProcessContext& cx, int32_t n);
void primHideme(ProcessContext& cx, int32_t n);
void primToFront(ProcessContext& cx, int32_t n);
void primToBack(ProcessContext& cx, int32_t n);

const PrimitiveRow kTurtlePrimitives[] = {
    {"forward", DescKind::Main, 1, false, etFun, primForward},
    {"back", DescKind::Main, 1, false, etFun, primBack},
    {"left", DescKind::Main, 1, false, etFun, primLeft},
    {"right", DescKind::Main, 1, false, etFun, primRight},
    {"home", DescKind::Main, 0, false, etFun, primHome},
    {"setxy", DescKind::Main, 2, false, etFun, primSetxy},
    {".setpos", DescKind::Main, 1, false, etFun, primDotSetpos},
    {".setapos", DescKind::Main, 1, false, etFun, primDotSetapos},
    {"towards", DescKind::Main, 1, false, etFun, primTowards},
    {"penup", DescKind::Main, 0, false, etFun, primPenup},
    {"pendown", DescKind::Main, 0, false, etFun, primPendown},
    {"penreverse", DescKind::Main, 0, false, etFun, primPenreverse},
    {"penerase", DescKind::Main, 0, false, etFun, primPenerase},
    {"penstate", DescKind::Main, 0, false, etFun, primPenstate},
    {"setpenstate", DescKind::Main, 1, false, etFun, primSetpenstate},
    {"turtlestate", DescKind::Main, 0, false, etFun, primTurtlestate},
    {"hideturtle", DescKind::Main, 0, false, etFun, primHideturtle},
    {"showturtle", DescKind::Main, 0, false, etFun, primShowturtle},
    {"shown?", DescKind::Main, 0, false, etFun, primShownP},
    {"dot", DescKind::Main, 0, false, etFun, primDot},
    {"point", DescKind::Main, 1, false, etFun, primPoint},
    {"dotcolor", DescKind::Main, 0, false, etFun, primDotcolor},
    {"circle", DescKind::Main, 1, false, etFun, primCircle},
    {"filledcircle", DescKind::Main, 1, false, etFun, primFilledcircle},
    {"fill", DescKind::Main, 0, false, etFun, primFill},
    {"label", DescKind::Main, 1, false, etFun, primLabel},
    {"label2", DescKind::Main, 1, false, etFun, primLabel2},
    {"textsize", DescKind::Main, 1, false, etFun, primTextsize},
    {"settt", DescKind::Main, 2, false, etFun, primSettt},
    {"stamp", DescKind::Main, 0, false, etFun, primStamp},
    {"shaperectangle", DescKind::Main, 0, false, etFun, primShaperectangle},
    {"wrap", DescKind::Main, 0, true, etFun, primWrap},
    {"window", DescKind::Main, 0, true, etFun, primWindow},
    {"overlap?", DescKind::Main, 1, false, etFun, primOverlapP},
    {"overlaplist", DescKind::Main, 1, false, etFun, primOverlaplist},
    {"overlapped", DescKind::Main, 0, false, etFun, primOverlapped},
    {"inside?", DescKind::Main, 1, false, etFun, primInsideP},
    {"outside?", DescKind::Main, 1, false, etFun, primOutsideP},
    {"clickedpos", DescKind::Main, 0, false, etFun, primClickedpos},
    {"glide", DescKind::Main, 2, false, etFun, primGlide},
    {"showme", DescKind::Main, 0, false, etFun, primShowme},
    {"hideme", DescKind::Main, 0, false, etFun, primHideme},
    {"toFront", DescKind::Main, 0, false, etFun, primToFront},
    {"toBack", DescKind::Main, 0, false, etFun, primToBack},
};

// showme, hideme, toFront and toBack: a turtle shows, hides or restacks itself; a pane does the
// same on its page; a page shown becomes the current page.
void primShowme(ProcessContext& cx, int32_t n) {
    tmultiobject* self = me(cx);
    if (tTurtle* t = turtleObjectOf(self)) t->turtle->setShown(true);
    else if (auto* pane = dynamic_cast<tlogopane*>(self); pane && pane->surface) pane->surface->setVisible(true);
    else if (auto* page = dynamic_cast<tlogopage*>(self); page && page->surface) setCurrentPage(page);
    else throw eLogoException(erInitTurtle);
    finish(cx, n, nullptr);
}

void primHideme(ProcessContext& cx, int32_t n) {
    tmultiobject* self = me(cx);
    if (tTurtle* t = turtleObjectOf(self)) t->turtle->setShown(false);
    else if (auto* pane = dynamic_cast<tlogopane*>(self); pane && pane->surface) pane->surface->setVisible(false);
    else if (auto* page = dynamic_cast<tlogopage*>(self); page && page->surface) {
        if (currentPage() == page) setCurrentPage(nullptr);
    } else {
        throw eLogoException(erInitTurtle);
    }
    finish(cx, n, nullptr);
}

// A pane goes to the top or the bottom of the panes on its page by being placed again.
void restackPane(tlogopane* pane, bool front) {
    Surface* page = pane->surface->parent();
    if (!page) return;
    const Point at = pane->surface->positionInParent();
    if (front) {
        page->removeChild(pane->surface.get());
        page->addChild(pane->surface.get(), at);
        return;
    }
    std::vector<std::pair<Surface*, Point>> others;
    for (tmultiobject* o = firstObject(); o; o = o->next)
        if (auto* p = dynamic_cast<tlogopane*>(o); p && p != pane && p->surface && p->surface->parent() == page)
            others.push_back({p->surface.get(), p->surface->positionInParent()});
    for (auto& [s, pos] : others) {
        page->removeChild(s);
        page->addChild(s, pos);
    }
}

void primToFront(ProcessContext& cx, int32_t n) {
    tmultiobject* self = me(cx);
    if (tTurtle* t = turtleObjectOf(self)) t->turtle->toFront();
    else if (auto* pane = dynamic_cast<tlogopane*>(self); pane && pane->surface) restackPane(pane, true);
    else throw eLogoException(erInitTurtle);
    finish(cx, n, nullptr);
}

void primToBack(ProcessContext& cx, int32_t n) {
    tmultiobject* self = me(cx);
    if (tTurtle* t = turtleObjectOf(self)) t->turtle->toBack();
    else if (auto* pane = dynamic_cast<tlogopane*>(self); pane && pane->surface) restackPane(pane, false);
    else throw eLogoException(erInitTurtle);
    finish(cx, n, nullptr);
}

} // namespace

void declareTurtleProperties(tmultiobject* turtleObject) {
    declareProperties(turtleObject, kTurtleProperties, std::size(kTurtleProperties));
    applyClassDefaults(turtleObject, kTurtleProperties, std::size(kTurtleProperties), {1, 4, 40, 41, 42, 43, 50, 51});
    declareMovableProperties(turtleObject);
}

void registerTurtleProcedures(tMainLogoObject& main, tmultiobject& turtleClass) {
    addPrimitives(main.procedures, kTurtlePrimitives);
    addPrimitives(turtleClass.procedures, kTurtlePrimitives);
    addPropertyProcedures(main.procedures, kTurtleProperties);
    addPropertyProcedures(turtleClass.procedures, kTurtleProperties);
}

} // namespace qm
