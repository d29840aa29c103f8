// Page and pane primitives: the background and its colour, the origin and both coordinate
// systems, cleaning, the turtles on a surface, stacking, and the properties of pages and panes.
#include "dictionary.h"
#include "graphic_props.h"
#include "language.h"
#include "name_codes.h"
#include "registry.h"

namespace qm {

namespace {

Surface& screen(tmultiobject* self) {
    Surface* s = surfaceFrom(self);
    if (!s) throw eLogoException(erInitPane);
    return *s;
}

tLogoList* twoNumbers(tlogoobject* v) {
    if (!v->IsList()) throw eLogoException(erExpectList2, v);
    auto* l = static_cast<tLogoList*>(v);
    if (l->IsEmpty() || !l->rest || l->rest->IsEmpty() || (l->rest->rest && !l->rest->rest->IsEmpty()))
        throw eLogoException(erExpectList2, v);
    if (!l->element->IsNumber()) throw eLogoException(erExpectNumber, l->element);
    if (!l->rest->element->IsNumber()) throw eLogoException(erExpectNumber, l->rest->element);
    return l;
}

RealPoint pointOf(tlogoobject* v) {
    tLogoList* l = twoNumbers(v);
    return {l->element->ToReal(), l->rest->element->ToReal()};
}

tlogoobject* namesValue(const std::vector<tmultiobject*>& objs) {
    ListBuilder b;
    for (tmultiobject* o : objs) {
        Ref<tlogoobject> w = makeRawWord(o->name);
        b.append(w.get());
    }
    return b.finish();
}

// ---- properties ----

tlogoobject* getBgColour(tmultiobject* self) { return colourValue(static_cast<int32_t>(screen(self).backgroundColour())); }
void setBgColour(tmultiobject* self, tlogoobject* v) {
    Surface& s = screen(self);
    const Rgb c = rgbOfValue(v);
    s.setBackgroundColour(c);
    raiseObjectEvent(screenObjectFrom(self), "onClean");
}

tlogoobject* getLineColour(tmultiobject* self) { return colourValue(static_cast<int32_t>(screen(self).lineColour())); }
void setLineColour(tmultiobject* self, tlogoobject* v) { screen(self).setLineColour(rgbOfValue(v)); }

tlogoobject* getLineWidth(tmultiobject* self) { return makeNumber(screen(self).lineWidth()); }
void setLineWidth(tmultiobject* self, tlogoobject* v) {
    Surface& s = screen(self);
    s.setLineWidth(isAny(v) ? anyRangeFrom(anyVariable("anypenwidth"), kAnyPenWidth).pick() : v->ToIntRange(0, 2147483647));
}

tlogoobject* getLinePattern(tmultiobject* self) { return makeInt(screen(self).linePattern()); }
void setLinePattern(tmultiobject* self, tlogoobject* v) {
    Surface& s = screen(self);
    s.setLinePattern(isAny(v) ? static_cast<int>(AnyRange{0, 5}.pick()) : v->ToIntRange(0, kPenPatternCount - 1));
}

tlogoobject* getOrigin(tmultiobject* self) {
    const Point o = screen(self).origin();
    return pointValue(static_cast<LReal>(o.x), static_cast<LReal>(o.y));
}
void setOrigin(tmultiobject* self, tlogoobject* v) {
    Surface& s = screen(self);
    s.setOrigin(nearestPoint(pointOf(v)));
}

tlogoobject* getSize(tmultiobject* self) {
    Surface& s = screen(self);
    return pointValue(s.width(), s.height());
}
void setSize(tmultiobject* self, tlogoobject* v) {
    Surface& s = screen(self);
    const RealPoint p = pointOf(v);
    s.resize(nearest(p.x), nearest(p.y));
}

// The page's who list: the turtles a process working on the page addresses.
tlogopage& page(tmultiobject* self) {
    auto* p = dynamic_cast<tlogopage*>(self);
    if (!p || !p->surface) throw eLogoException(erInitPage);
    return *p;
}
tlogoobject* getPageWho(tmultiobject* self) {
    tlogopage& p = page(self);
    std::vector<tmultiobject*> objs;
    for (auto& w : p.who)
        if (auto* o = dynamic_cast<tmultiobject*>(w.get()); o && !o->erased) objs.push_back(o);
    if (objs.size() == 1) return makeRawWord(objs[0]->name);
    return namesValue(objs);
}
void setPageWho(tmultiobject* self, tlogoobject* v) {
    tlogopage& p = page(self);
    std::vector<Ref<tlogoobject>> who;
    auto one = [&](tlogoobject* name) { who.emplace_back(findObject(self, name)); };
    if (v->IsList()) {
        for (auto* c = static_cast<tLogoList*>(v); c && c->element; c = c->rest) one(c->element);
    } else {
        one(v);
    }
    p.who = std::move(who);
}

// A pane's place on its page: absolute pixels of the page, or the page's cartesian coordinates.
tlogopane& pane(tmultiobject* self) {
    auto* p = dynamic_cast<tlogopane*>(self);
    if (!p || !p->surface) throw eLogoException(erInitPane);
    return *p;
}
tlogoobject* getPaneAPos(tmultiobject* self) {
    const Point at = pane(self).surface->positionInParent();
    return pointValue(static_cast<LReal>(at.x), static_cast<LReal>(at.y));
}
void setPaneAPos(tmultiobject* self, tlogoobject* v) {
    tlogopane& p = pane(self);
    if (Surface* onto = p.surface->parent()) onto->addChild(p.surface.get(), nearestPoint(pointOf(v)));
}
tlogoobject* getPanePos(tmultiobject* self) {
    tlogopane& p = pane(self);
    const Point at = p.surface->positionInParent();
    Surface* onto = p.surface->parent();
    const RealPoint c = onto ? onto->toCartesian({static_cast<LReal>(at.x), static_cast<LReal>(at.y)})
                             : RealPoint{static_cast<LReal>(at.x), static_cast<LReal>(at.y)};
    return pointValue(c.x, c.y);
}
void setPanePos(tmultiobject* self, tlogoobject* v) {
    tlogopane& p = pane(self);
    if (Surface* onto = p.surface->parent()) onto->addChild(p.surface.get(), onto->toAbsolutePixel(pointOf(v)));
}
tlogoobject* getPaneShown(tmultiobject* self) { return makeBool(pane(self).surface->visible()); }
void setPaneShown(tmultiobject* self, tlogoobject* v) { pane(self).surface->setVisible(v->ToBool()); }

const PropertyDef kScreenProperties[] = {
    {39, getBgColour, setBgColour},
    {35, getLineColour, setLineColour},
    {36, getLineWidth, setLineWidth},
    {123, getLinePattern, setLinePattern},
    {34, getOrigin, setOrigin},
    {5, getSize, setSize},
};
const PropertyDef kPageProperties[] = {
    {38, getPageWho, setPageWho},
};
const PropertyDef kPaneProperties[] = {
    {1, getPaneAPos, setPaneAPos},
    {4, getPanePos, setPanePos},
    {10, getPaneShown, setPaneShown},
};

// ---- commands ----

Surface& screenOf(ProcessContext& cx) { return surfaceOf(cx); }

void primClearscreen(ProcessContext& cx, int32_t n) {
    Surface& s = screenOf(cx);
    tmultiobject* owner = screenObjectFrom(currentObject(cx));
    finish(cx, n, nullptr);
    cleanSurface(owner, s);
}

void primCleanbgpicture(ProcessContext& cx, int32_t n) {
    Surface& s = screenOf(cx);
    tmultiobject* owner = screenObjectFrom(currentObject(cx));
    s.clean();
    finish(cx, n, nullptr);
    raiseObjectEvent(owner, "onClean");
}

void primDotcolourat(ProcessContext& cx, int32_t n) {
    Surface& s = screenOf(cx);
    Ref<tlogoobject> v = colourValue(static_cast<int32_t>(s.dotColourAt(pointOf(input(cx, n, 0)))));
    finish(cx, n, v.get());
}

void primUpperleft(ProcessContext& cx, int32_t n) {
    const RealPoint p = screenOf(cx).upperLeft();
    Ref<tLogoList> l = pointValue(p.x, p.y);
    finish(cx, n, l.get());
}

// The turtles of the surface (bottom to top) whose Logo object is still there.
std::vector<tTurtle*> turtlesOn(const Surface& s) {
    std::vector<tTurtle*> out;
    for (SurfaceObject* o : s.objects())
        if (o->kind() == 0)
            if (tTurtle* t = ownerOf(o); t && !t->erased) out.push_back(t);
    return out;
}

void primOverlappedpos(ProcessContext& cx, int32_t n) {
    Surface& s = screenOf(cx);
    const Point p = s.toAbsolutePixel(pointOf(input(cx, n, 0)));
    std::vector<tmultiobject*> hits;
    for (tTurtle* t : turtlesOn(s))
        if (t->turtle->hit(p)) hits.push_back(t);
    Ref<tlogoobject> l = namesValue(hits);
    finish(cx, n, l.get());
}

void primAllturtles(ProcessContext& cx, int32_t n) {
    std::vector<tmultiobject*> all;
    for (tTurtle* t : turtlesOn(screenOf(cx)))
        if (t->firstClass()) all.push_back(t);
    Ref<tlogoobject> l = namesValue(all);
    finish(cx, n, l.get());
}

// allof class: the objects placed on this page or pane that are instances of the class.
void primAllof(ProcessContext& cx, int32_t n) {
    tmultiobject* owner = screenObjectFrom(currentObject(cx));
    if (!owner) throw eLogoException(erInitPane);
    tmultiobject* cls = findObject(currentObject(cx), input(cx, n, 0));
    std::vector<tmultiobject*> out;
    for (tmultiobject* o = firstObject(); o; o = o->next)
        if (o->place == owner && o->isInstance && !o->erased && o->descendsThroughClasses(cls)) out.push_back(o);
    Ref<tlogoobject> l = namesValue(out);
    finish(cx, n, l.get());
}

// One turtle of the surface by name, or by "#k", its number in the stacking order.
SurfaceObject* turtleNamed(ProcessContext& cx, Surface& s, tlogoobject* name) {
    if (!name->IsWord()) throw eLogoException(erTurtleUnknown, name);
    const std::string text = name->PrintText(false);
    std::vector<tTurtle*> turtles = turtlesOn(s);
    if (text.size() > 1 && text[0] == '#') {
        Ref<tlogoobject> number = makeRawWord(text.substr(1));
        if (number->IsNumber()) {
            const LReal k = number->ToReal();
            if (k >= 0 && k < static_cast<LReal>(turtles.size()) && k == static_cast<LReal>(static_cast<size_t>(k)))
                return turtles[static_cast<size_t>(k)]->turtle.get();
        }
        throw eLogoException(erTurtleUnknown, name);
    }
    for (tTurtle* t : turtles)
        if (sameName(t->name, text)) return t->turtle.get();
    throw eLogoException(erTurtleUnknown, name);
}

void primReorder(ProcessContext& cx, int32_t n) {
    Surface& s = screenOf(cx);
    tlogoobject* v = input(cx, n, 0);
    if (v->IsWord()) {
        s.reorderToBottom(turtleNamed(cx, s, v));
    } else if (v->IsList()) {
        std::vector<ReorderItem> items;
        for (auto* c = static_cast<tLogoList*>(v); c && c->element; c = c->rest) {
            ReorderItem item;
            if (c->element->IsList()) {
                item.isBlock = true;
                for (auto* b = static_cast<tLogoList*>(c->element); b && b->element; b = b->rest)
                    item.block.push_back(turtleNamed(cx, s, b->element));
            } else {
                item.object = turtleNamed(cx, s, c->element);
            }
            items.push_back(std::move(item));
        }
        s.reorder(items);
    } else {
        throw eLogoException(erExpectList, v);
    }
    finish(cx, n, nullptr);
}

void primTocartesian(ProcessContext& cx, int32_t n) {
    outputConvertedPoint(cx, n, [](const Surface& s, tlogoobject* v) { return s.toCartesian(pointOf(v)); });
}
void primToabsolute(ProcessContext& cx, int32_t n) {
    outputConvertedPoint(cx, n, [](const Surface& s, tlogoobject* v) { return s.toAbsolute(pointOf(v)); });
}

// A pane's .setpos and .setapos: as setting pos and aPos.
void primPaneDotSetpos(ProcessContext& cx, int32_t n) {
    setPanePos(currentObject(cx), input(cx, n, 0));
    finish(cx, n, nullptr);
}
void primPaneDotSetapos(ProcessContext& cx, int32_t n) {
    setPaneAPos(currentObject(cx), input(cx, n, 0));
    finish(cx, n, nullptr);
}

void primPrintme(ProcessContext& cx, int32_t n) {
    if (!dynamic_cast<tlogopage*>(currentObject(cx))) throw eLogoException(erInitPage);
    throw eLogoException(erNoPrint);
}

const PrimitiveRow kScreenPrimitives[] = {
    {"clearscreen", DescKind::Main, 0, false, etFun, primClearscreen},
    {"cleanbgpicture", DescKind::Main, 0, false, etFun, primCleanbgpicture},
    {"dotcolourat", DescKind::Main, 1, false, etFun, primDotcolourat},
    {"upperleft", DescKind::Main, 0, false, etFun, primUpperleft},
    {"overlappedpos", DescKind::Main, 1, false, etFun, primOverlappedpos},
    {"allturtles", DescKind::Main, 0, false, etFun, primAllturtles},
    {"reorder", DescKind::Main, 1, false, etFun, primReorder},
    {"tocartesian", DescKind::Main, 1, false, etFun, primTocartesian},
    {"toabsolute", DescKind::Main, 1, false, etFun, primToabsolute},
};

// Only in the classes: the main object's own `allof` is another primitive.
const PrimitiveRow kScreenClassPrimitives[] = {
    {"allof_page", DescKind::Main, 1, false, etFun, primAllof},
};
const PrimitiveRow kPagePrimitives[] = {
    {"printme", DescKind::Main, 0, false, etFun, primPrintme},
};
const PrimitiveRow kPanePrimitives[] = {
    {".setpos", DescKind::Main, 1, false, etFun, primPaneDotSetpos},
    {".setapos", DescKind::Main, 1, false, etFun, primPaneDotSetapos},
};

} // namespace

// Every turtle goes home as `home` sends it, with the events of its move, which start only
// after all have gone home and the background is clean; then the owner hears onClean.
void cleanSurface(tmultiobject* screenObject, Surface& s) {
    struct Moved {
        Ref<tmultiobject> turtle;
        MoveResult result;
    };
    std::vector<Moved> moved;
    for (SurfaceObject* o : s.objects()) {
        auto* t = dynamic_cast<Turtle*>(o);
        if (!t) {
            o->goHome();
            continue;
        }
        const MoveResult r = t->home();
        if (tTurtle* owner = ownerOf(t); owner && (r.bounced || r.collidedWith)) moved.push_back({owner, r});
    }
    s.clean();
    for (const Moved& m : moved) afterMove(m.turtle.get(), m.result);
    raiseObjectEvent(screenObject, "onClean");
}

void outputConvertedPoint(ProcessContext& cx, int32_t n, RealPoint (*convert)(const Surface&, tlogoobject*)) {
    tlogoobject* v = input(cx, n, 0);
    Surface* s = surfaceFrom(currentObject(cx));
    if (!s) {
        finish(cx, n, v);
        return;
    }
    const RealPoint p = convert(*s, v);
    Ref<tLogoList> l = pointValue(p.x, p.y);
    finish(cx, n, l.get());
}

void declareScreenProperties(tmultiobject* obj, bool isPage) {
    declareProperties(obj, kScreenProperties, std::size(kScreenProperties));
    applyClassDefaults(obj, kScreenProperties, std::size(kScreenProperties), {5, 39});
    if (isPage) {
        declareProperties(obj, kPageProperties, std::size(kPageProperties));
    } else {
        declareProperties(obj, kPaneProperties, std::size(kPaneProperties));
        declareMovableProperties(obj);
    }
}

void registerScreenProcedures(tMainLogoObject& main, tmultiobject& pageClass, tmultiobject& paneClass) {
    addPrimitives(main.procedures, kScreenPrimitives);
    for (tmultiobject* c : {&pageClass, &paneClass}) {
        addPrimitives(c->procedures, kScreenClassPrimitives);
        addPropertyProcedures(c->procedures, kScreenProperties);
    }
    addPrimitives(pageClass.procedures, kPagePrimitives);
    addPropertyProcedures(pageClass.procedures, kPageProperties);
    addPropertyProcedures(paneClass.procedures, kPaneProperties);
    addPrimitives(paneClass.procedures, kPanePrimitives);
}

} // namespace qm
