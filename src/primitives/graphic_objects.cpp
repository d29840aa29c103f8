// Pages, panes and turtles as objects: their records and classes, creation from the initialisation
// list, erasing, the current page, the first page of a new project, events after moves, and the
// mouse handed to a page.
#include "graphic_objects.h"

#include <algorithm>
#include <exception>
#include <optional>

#include "control_support.h"
#include "dictionary.h"
#include "events.h"
#include "global_lock.h"
#include "graphic_props.h"
#include "language.h"
#include "name_codes.h"
#include "primitives.h"
#include "property_rows.h"
#include "registry.h"
#include "screen_pointer.h"

namespace qm {

namespace {

tlogopage* g_currentPage = nullptr;  // not held: a page clears it when it is erased
ErasedSurfaceKeeper g_surfaceKeeper;   // the global lock
CurrentPageListener g_pageListener;    // the global lock

// Every change of the current page goes through here, so that whatever shows it follows.
void makeCurrent(tlogopage* page) {
    if (page == g_currentPage) return;
    g_currentPage = page;
    if (page && g_pageListener) g_pageListener(page);
}

// ---- native classes ----

template <class T>
class NativeOf : public NativeClass {
public:
    tmultiobject* newInstance() const override { return new T(true); }
    tmultiobject* newClass() const override { return new T(false); }
};

// Pages sit in no place: they are registered with the main object, whoever makes them.
class PageNative : public NativeOf<tlogopage> {
public:
    tmultiobject* placeFor(tmultiobject*) const override { return nullptr; }
};

const NativeOf<tTurtle> kTurtleNative;
const PageNative kPageNative;
const NativeOf<tlogopane> kPaneNative;

int32_t dictCode(std::string_view group, std::string_view key) { return nameCodes().intern(firstWord(group, key)); }

// ---- the initialisation list being applied ----

// The pairs of the local "initList" while a creation runs; parameters are read by property row
// (any spelling) and taken out, so that what is left is applied as settings afterwards.
class InitParams {
public:
    explicit InitParams(ProcessContext& cx) : m_cx(cx) {
        m_code = dictCode("name", "initList");
        tlogoobject** slot = cx.localScope->binding(m_code);
        if (!slot || !*slot || !(*slot)->IsList()) return;
        auto* l = static_cast<tLogoList*>(*slot);
        for (tLogoList* c = l->IsEmpty() ? nullptr : l; c && c->rest; c = c->rest->rest)
            m_pairs.push_back({c->element, c->rest->element});
        m_present = true;
    }

    // The value of the parameter of that property row, or nil; taken out of the list.
    Ref<tlogoobject> take(int row) {
        const size_t i = indexOf(row);
        if (i == m_pairs.size()) return {};
        Ref<tlogoobject> v = m_pairs[i].value;
        m_pairs.erase(m_pairs.begin() + static_cast<std::ptrdiff_t>(i));
        m_changed = true;
        return v;
    }
    bool has(int row) const { return indexOf(row) != m_pairs.size(); }
    ~InitParams() {
        if (!m_present || !m_changed) return;
        ListBuilder b;
        for (const Pair& p : m_pairs) {
            b.append(p.name.get());
            b.append(p.value.get());
        }
        Ref<tLogoList> rest = b.finish();
        m_cx.localScope->declareLocal(m_code, rest.get());
    }

private:
    struct Pair {
        Ref<tlogoobject> name, value;
    };

    // The first pair named by any spelling of the row's property (a leading quote allowed), or
    // the number of pairs.
    size_t indexOf(int row) const {
        const PropertyRow& pr = propertyRow(row);
        for (size_t i = 0; i < m_pairs.size(); ++i) {
            tlogoobject* n = m_pairs[i].name.get();
            if (!n->IsWord()) continue;
            std::string_view text = n->TextView();
            if (!text.empty() && text[0] == '"') text.remove_prefix(1);
            if (std::find(pr.synonyms.begin(), pr.synonyms.end(), nameCodes().intern(text)) !=
                pr.synonyms.end())
                return i;
        }
        return m_pairs.size();
    }
    ProcessContext& m_cx;
    int32_t m_code = 0;
    std::vector<Pair> m_pairs;
    bool m_present = false;
    bool m_changed = false;
};

// A parameter, else the value a variable of that property has for the class.
Ref<tlogoobject> paramOrClass(InitParams& params, tmultiobject* cls, int row) {
    if (Ref<tlogoobject> v = params.take(row)) return v;
    if (!cls) return {};
    if (tLogoVarDesc* d = cls->findVariable(propertyRow(row).code))
        if (!dynamic_cast<tPseudoVarDesc*>(d)) return Ref<tlogoobject>(d->Value());
    return {};
}

std::int64_t sizeNumber(tlogoobject* v) {
    if (!v->IsNumber()) throw eLogoException(erExpectNumber, v);
    return nearest(v->ToReal());
}

// [w h] from `size`, then `width` and `height`, over the class's default.
void readSize(InitParams& params, tmultiobject* cls, std::int64_t& w, std::int64_t& h) {
    if (Ref<tlogoobject> v = paramOrClass(params, cls, 5)) {
        if (!v->IsList()) throw eLogoException(erExpectList2, v.get());
        auto* l = static_cast<tLogoList*>(v.get());
        if (l->IsEmpty() || !l->rest || l->rest->IsEmpty() || (l->rest->rest && !l->rest->rest->IsEmpty()))
            throw eLogoException(erExpectList2, v.get());
        w = sizeNumber(l->element);
        h = sizeNumber(l->rest->element);
    }
    if (Ref<tlogoobject> v = paramOrClass(params, cls, 6)) w = sizeNumber(v.get());
    if (Ref<tlogoobject> v = paramOrClass(params, cls, 7)) h = sizeNumber(v.get());
}

} // namespace

// ---- turtles ----

tTurtle::tTurtle(bool instance) : tControlObject(instance) { needsPlace = true; }
tTurtle::~tTurtle() = default;

void tTurtle::OnCreate(ProcessContext& cx) {
    if (!isInstance || turtle || erased) return;
    Surface* surface = surfaceFrom(place);
    if (!surface) throw eLogoException(erInvalidPlace, this);
    InitParams params(cx);
    tmultiobject* cls = firstClass();
    const AnyMargin margin = anyMarginFrom(anyVariable("anypos"));

    TurtleSetup setup;
    if (Ref<tlogoobject> v = paramOrClass(params, cls, 41)) setup.homeState = readHomeState(v.get(), *surface, margin, anyAngleRange());
    if (Ref<tlogoobject> v = paramOrClass(params, cls, 40)) setup.heading = numberOrAny(v.get(), anyAngleRange());
    Ref<tlogoobject> apos = params.take(1);
    Ref<tlogoobject> pos = params.take(4);
    if (apos) setup.absolutePosition = readPosition(apos.get(), *surface, false, margin);
    else if (pos) setup.position = readPosition(pos.get(), *surface, true, margin);
    if (Ref<tlogoobject> v = paramOrClass(params, cls, 42)) setup.x = cartesianCoordinate(v.get(), *surface, true, margin);
    if (Ref<tlogoobject> v = paramOrClass(params, cls, 43)) setup.y = cartesianCoordinate(v.get(), *surface, false, margin);
    if (Ref<tlogoobject> v = paramOrClass(params, cls, 50)) setup.rangeStyle = rangeStyleOfValue(v.get());
    if (Ref<tlogoobject> v = paramOrClass(params, cls, 51)) {
        if (std::optional<Rect> r = readRectangle(v.get(), *surface, true)) setup.range = fullRectangle(*r, *surface);
    }
    const bool shownGiven = params.has(10);
    turtle = std::make_unique<Turtle>(*surface, setup);
    turtle->setOwner(static_cast<tmultiobject*>(this));
    declareTurtleProperties(this);
    // Shown unless the initialisation list says otherwise (it is applied after this).
    if (!shownGiven) turtle->setShown(true);
}

void tTurtle::OnErased() { turtle.reset(); }

tTurtle* turtleObjectOf(tmultiobject* obj) {
    auto* t = dynamic_cast<tTurtle*>(obj);
    return t && t->turtle ? t : nullptr;
}

Turtle& turtleOf(ProcessContext& cx) {
    tTurtle* t = turtleObjectOf(currentObject(cx));
    if (!t) throw eLogoException(erInitTurtle);
    return *t->turtle;
}

tTurtle* ownerOf(SurfaceObject* o) {
    auto* t = dynamic_cast<Turtle*>(o);
    return t ? static_cast<tTurtle*>(static_cast<tmultiobject*>(t->owner())) : nullptr;
}

// ---- pages and panes ----

tlogopage::tlogopage(bool instance) : tcontainerobject(instance) {}
tlogopage::~tlogopage() = default;

void tlogopage::OnCreate(ProcessContext& cx) {
    if (!isInstance || surface || erased) return;
    InitParams params(cx);
    tmultiobject* cls = firstClass();
    std::int64_t w = Surface::kPageWidth, h = Surface::kPageHeight;
    readSize(params, cls, w, h);
    Rgb bg = kWhite;
    if (Ref<tlogoobject> v = paramOrClass(params, cls, 39)) bg = colourOfValue(v.get()) & kRgbMask;
    params.take(1);
    params.take(4);
    surface = std::make_unique<Surface>(w, h, bg);
    declareScreenProperties(this, true);
    if (!g_currentPage) makeCurrent(this);
}

void forgetMouseOf(tlogopage* page);

void tlogopage::OnErased() {
    who.clear();
    forgetMouseOf(this);
    if (g_currentPage == this) {
        g_currentPage = nullptr;
        // The next page to show is the first other page still there.
        for (tmultiobject* o = firstObject(); o; o = o->next)
            if (auto* p = dynamic_cast<tlogopage*>(o); p && p != this && p->surface && !p->erased) {
                makeCurrent(p);
                break;
            }
    }
    if (g_surfaceKeeper && surface) g_surfaceKeeper(surface);
    surface.reset();
}

void setErasedSurfaceKeeper(ErasedSurfaceKeeper keeper) {
    QM_ASSERT_LOCK_HELD();
    g_surfaceKeeper = std::move(keeper);
}

tlogopane::tlogopane(bool instance) : tcontainingcontrol(instance) { needsPlace = true; }
tlogopane::~tlogopane() = default;

void tlogopane::OnCreate(ProcessContext& cx) {
    if (!isInstance || surface || erased) return;
    Surface* onto = surfaceFrom(place);
    if (!onto) throw eLogoException(erInvalidPlace, this);
    InitParams params(cx);
    tmultiobject* cls = firstClass();
    std::int64_t w = Surface::kPaneWidth, h = Surface::kPaneHeight;
    readSize(params, cls, w, h);
    // The background: the parameter, else the class's bgcolour1 unless the page already has that
    // colour, then its bgcolour2.
    Rgb bg = kWhite;
    if (Ref<tlogoobject> v = params.take(39)) {
        bg = colourOfValue(v.get()) & kRgbMask;
    } else if (cls) {
        try {
            if (tLogoVarDesc* d = cls->findVariable(dictCode("name", "bgcolour1")); d && d->Value()) {
                bg = colourOfValue(d->Value()) & kRgbMask;
                if (bg == onto->backgroundColour())
                    if (tLogoVarDesc* d2 = cls->findVariable(dictCode("name", "bgcolour2")); d2 && d2->Value())
                        bg = colourOfValue(d2->Value()) & kRgbMask;
            }
        } catch (eLogoException&) {
        }
    }
    Point at{0, 0};
    if (Ref<tlogoobject> v = params.take(1)) at = nearestPoint(readPosition(v.get(), *onto, false));
    else if (Ref<tlogoobject> v = params.take(4)) at = onto->toAbsolutePixel(readPosition(v.get(), *onto, true));
    surface = std::make_unique<Surface>(w, h, bg);
    onto->addChild(surface.get(), at);
    declareScreenProperties(this, false);
}

namespace {

// The turtles that live on a surface, erased as `erasecomplete` erases them: their destroy
// procedures run and their processes end. A process that belonged to one of them ends once the
// whole erase is over (the erase primitive sees to that); any other error is passed on after the
// rest are gone. Turtles whose page is being erased with them are left to the page.
void eraseTurtlesOn(Surface* surface) {
    ProcessContext* cx = currentContext();
    if (!surface || !cx || !cx->process) return;
    std::vector<Ref<tTurtle>> doomed;
    for (tmultiobject* o = firstObject(); o; o = o->next)
        if (auto* t = dynamic_cast<tTurtle*>(o); t && t->isInstance && !t->erased && t->turtle &&
                                                 t->turtle->surface() == surface && t->owner && !t->owner->erased)
            doomed.emplace_back(t);
    if (doomed.empty()) return;
    const std::string eraseWord = firstWord("dict", "erasecomplete");
    std::exception_ptr firstError;
    for (const Ref<tTurtle>& t : doomed) {
        if (t->erased || !t->owner) continue;
        tlogoobject* savedMe = cx->me;
        struct RestoreMe {
            ProcessContext* cx;
            tlogoobject* me;
            ~RestoreMe() { cx->me = me; }
        } restore{cx, savedMe};
        cx->me = t->owner;
        ListBuilder b;
        Ref<tlogoobject> command = makeRawWord(eraseWord), name = makeRawWord("\"" + t->name);
        b.append(command.get());
        b.append(name.get());
        Ref<tLogoList> line = b.finish();
        try {
            runInstructionList(*cx, line.get());
        } catch (const eTerminateException&) {
        } catch (...) {
            if (!firstError) firstError = std::current_exception();
        }
    }
    if (firstError) std::rethrow_exception(firstError);
}

} // namespace

// A pane takes the turtles on it along; its surface goes last, whatever their erasing raised.
void tlogopane::OnErased() {
    struct DropSurface {
        tlogopane* pane;
        ~DropSurface() { pane->surface.reset(); }
    } drop{this};
    eraseTurtlesOn(surface.get());
}

Surface* surfaceFrom(tmultiobject* obj) {
    tmultiobject* o = screenObjectFrom(obj);
    return o ? dynamic_cast<ScreenHolder*>(o)->surface.get() : nullptr;
}

tmultiobject* screenObjectFrom(tmultiobject* obj) {
    for (tmultiobject* o = obj; o; o = o->place)
        if (auto* s = dynamic_cast<ScreenHolder*>(o); s && s->surface) return o;
    return nullptr;
}

Surface& surfaceOf(ProcessContext& cx) {
    Surface* s = surfaceFrom(currentObject(cx));
    if (!s) throw eLogoException(erInitPane);
    return *s;
}

tlogopage* currentPage() { return g_currentPage; }
void setCurrentPage(tlogopage* page) { makeCurrent(page); }

void setCurrentPageListener(CurrentPageListener listener) {
    QM_ASSERT_LOCK_HELD();
    g_pageListener = std::move(listener);
}

// ---- events ----

void raiseObjectEvent(tmultiobject* obj, const char* internalEventName) {
    if (!obj || obj->erased) return;
    raiseEvent(obj, dictCode("dict", internalEventName));
}

void afterMove(tmultiobject* mover, const MoveResult& result) {
    if (result.bounced) raiseObjectEvent(mover, "onBounce");
    if (result.collidedWith) raiseObjectEvent(mover, "onCollide");
}

// ---- classes ----

namespace {

template <class T>
T* makeClass(tMainLogoObject& main, const char* classKey, const char* prefixKey, const NativeClass& native) {
    auto* cls = new T(false);
    Ref<tmultiobject> keep(cls);
    cls->name = firstWord("class", classKey);
    cls->nameCode = nameCodes().intern(cls->name);
    cls->nativeClass = &native;
    cls->addAncestor(&main, true);
    cls->declareCommon(dictCode("name", "namePrefix"), makeWord(firstWord("prefix", prefixKey)));
    main.addChild(cls);
    cls->finished = true;
    return cls;
}

} // namespace

void registerGraphicClasses(tMainLogoObject& main) {
    tTurtle* turtleClass = makeClass<tTurtle>(main, "turtle", "turtle", kTurtleNative);
    tlogopage* pageClass = makeClass<tlogopage>(main, "page", "page", kPageNative);
    tlogopane* paneClass = makeClass<tlogopane>(main, "pane", "pane", kPaneNative);
    for (tmultiobject* c : {static_cast<tmultiobject*>(pageClass), static_cast<tmultiobject*>(paneClass)})
        c->declareCommon(dictCode("name", "savePicture"), makeBool(true));
    registerTurtleProcedures(main, *turtleClass);
    registerScreenProcedures(main, *pageClass, *paneClass);
    registerPointerProcedures(main, *turtleClass, *pageClass, *paneClass);
    Turtle::setOverlapModeReader(overlapModeIsRectangles);
}

// ---- a new project ----

tlogopage* createFirstPage(ProcessContext& cx) {
    ProcessContext* before = currentContext();
    setCurrentContext(&cx);
    tlogoobject* savedMe = cx.me;
    cx.me = globals().mainObject;
    struct Restore {
        ProcessContext& cx;
        tlogoobject* me;
        ProcessContext* before;
        ~Restore() {
            cx.me = me;
            setCurrentContext(before);
        }
    } restore{cx, savedMe, before};

    auto* main = static_cast<tmultiobject*>(globals().mainObject);
    tmultiobject* pageClass = findObjectByCode(main, dictCode("class", "page"));
    tmultiobject* turtleClass = findObjectByCode(main, dictCode("class", "turtle"));
    Ref<tLogoList> none = makeEmptyList();
    tlogopage* page = static_cast<tlogopage*>(createObject(cx, pageClass, none.get()));
    cx.me = page;
    tmultiobject* turtle = createObject(cx, turtleClass, none.get());
    page->who.assign(1, Ref<tlogoobject>(turtle));
    makeCurrent(page);
    return page;
}

void enterPage(ProcessContext& cx, tlogopage* page) {
    cx.me = page;
    std::vector<Ref<tmultiobject>> objs;
    for (auto& w : page->who)
        if (auto* o = dynamic_cast<tmultiobject*>(w.get()); o && !o->erased) objs.emplace_back(o);
    if (!objs.empty()) tellObjects(cx, objs);
}

// ---- the mouse ----

namespace {

// What a page remembers between mouse notifications: the object pressed and the one under the
// mouse (a turtle, a pane or the page itself).
struct PageMouseState {
    tlogopage* page = nullptr;  // not held; compared only
    Ref<tmultiobject> pressed, hovered;
    int32_t heldButton = -1;
};
std::vector<PageMouseState> g_mouseStates;

// The object moving or resized with the mouse (there is one mouse, so at most one): where the
// pointer was when that began, in absolute pixels of the page shown, and where the object was then
// (a turtle's absolute position, or a pane's place in its parent) or, when resizing, the pane's size.
// It has the mouse to itself until a button goes up, wherever the pointer goes.
struct MouseMoveCapture {
    Ref<tmultiobject> object;
    Point anchor;
    RealPoint start;
    bool resize = false;
};
std::optional<MouseMoveCapture> g_moving;

// Ends the capture; its object, unless it is `keep`, is no longer moving or resized.
void dropCapture(tmultiobject* keep = nullptr) {
    if (g_moving && g_moving->object.get() != keep) {
        MouseState& m = mouseStateOf(g_moving->object.get());
        m.moving = m.resizing = false;
    }
    g_moving.reset();
}

// The object follows the pointer from `anchor`; a page does not move. An object that was moving
// stops: the mouse has one capture.
void beginFollowing(tmultiobject* obj, Point anchor) {
    dropCapture(obj);
    RealPoint start;
    if (tTurtle* t = turtleObjectOf(obj)) {
        start = t->turtle->absolutePosition();
    } else if (auto* pane = dynamic_cast<tlogopane*>(obj); pane && pane->surface && pane->surface->parent()) {
        const Point at = pane->surface->positionInParent();
        start = {static_cast<LReal>(at.x), static_cast<LReal>(at.y)};
    } else {
        mouseStateOf(obj).moving = false;
        return;
    }
    g_moving = MouseMoveCapture{obj, anchor, start};
}

// A pane's size follows the pointer from `anchor`.
void beginResizing(tlogopane* pane, Point anchor) {
    dropCapture(pane);
    g_moving = MouseMoveCapture{pane, anchor,
                                {static_cast<LReal>(pane->surface->width()), static_cast<LReal>(pane->surface->height())},
                                true};
}

// The resizing grip of a pane: a rectangle in its bottom-right corner, a tenth of its width and
// height, each at least 8 and at most 24 pixels.
bool inResizeGrip(const Surface& pane, Point relative) {
    const std::int64_t w = pane.width(), h = pane.height();
    const std::int64_t gw = std::clamp<std::int64_t>(w / 10, 8, 24), gh = std::clamp<std::int64_t>(h / 10, 8, 24);
    return relative.x >= w - gw && relative.y >= h - gh;
}

void followMouse(Point p) {
    const MouseMoveCapture& m = *g_moving;
    if (m.resize) {
        // At least 4 pixels each way, however far back the pointer goes.
        auto* pane = static_cast<tlogopane*>(m.object.get());
        if (!pane->surface) return;
        const std::int64_t w = std::max<std::int64_t>(4, static_cast<std::int64_t>(m.start.x) + (p.x - m.anchor.x));
        const std::int64_t h = std::max<std::int64_t>(4, static_cast<std::int64_t>(m.start.y) + (p.y - m.anchor.y));
        pane->surface->resize(w, h);
        return;
    }
    const RealPoint to{m.start.x + static_cast<LReal>(p.x - m.anchor.x), m.start.y + static_cast<LReal>(p.y - m.anchor.y)};
    if (tTurtle* t = turtleObjectOf(m.object.get())) {
        Turtle& turtle = *t->turtle;
        if (!turtle.surface()) return;
        // Nothing is drawn on the way and no event comes of it.
        struct PenBack {
            Turtle& turtle;
            PenMode pen;
            ~PenBack() { turtle.setPenMode(pen); }
        } penBack{turtle, turtle.penMode()};
        turtle.setPenMode(PenMode::Up);
        try {
            turtle.dotSetPosition(turtle.surface()->toCartesian(to));
        } catch (const eLogoException&) {
        }
    } else if (auto* pane = dynamic_cast<tlogopane*>(m.object.get()); pane && pane->surface) {
        if (Surface* onto = pane->surface->parent()) onto->addChild(pane->surface.get(), nearestPoint(to));
    }
}

} // namespace

bool startMouseMove(tmultiobject* obj) {
    QM_ASSERT_LOCK_HELD();
    if (!MouseDriver::startMove(obj)) return false;
    const Point pointer = pointerState().position, origin = pageScreenOrigin();
    beginFollowing(obj, {pointer.x - origin.x, pointer.y - origin.y});
    return true;
}

Point screenOriginOf(const Surface& s) {
    Point at = pageScreenOrigin();
    for (const Surface* c = &s; c->parent(); c = c->parent()) {
        const Point p = c->positionInParent();
        at.x += p.x;
        at.y += p.y;
    }
    return at;
}

void forgetMouseOf(tlogopage* page) {
    // Erasing a page ends a move with the mouse, so that nothing is held once the pages have gone.
    dropCapture();
    g_mouseStates.erase(std::remove_if(g_mouseStates.begin(), g_mouseStates.end(),
                                       [page](const PageMouseState& s) { return s.page == page; }),
                        g_mouseStates.end());
}

namespace {

PageMouseState& pageStateOf(tlogopage* page) {
    for (auto& s : g_mouseStates)
        if (s.page == page) return s;
    g_mouseStates.push_back({page, {}, {}, -1});
    return g_mouseStates.back();
}

struct Hit {
    tmultiobject* object = nullptr;  // a turtle, a pane or the page
    Point relative;                  // from the object's top-left corner
    Turtle* turtle = nullptr;
};

// The topmost thing at an absolute point of a surface: a turtle, else a pane placed there (whose
// own turtles come first), else the screen object itself.
Hit hitAt(tmultiobject* screenObject, Surface& surface, Point p) {
    if (auto h = surface.hitTest(p))
        if (tTurtle* t = ownerOf(h->object); t && !t->erased) return {t, h->relative, t->turtle.get()};
    for (tmultiobject* o = firstObject(); o; o = o->next) {
        auto* pane = dynamic_cast<tlogopane*>(o);
        if (!pane || pane->erased || !pane->surface || pane->surface->parent() != &surface || !pane->surface->visible())
            continue;
        const Point at = pane->surface->positionInParent();
        const Rect r = Rect::fromSize(at.x, at.y, pane->surface->width(), pane->surface->height());
        if (r.contains(p.x, p.y)) return hitAt(pane, *pane->surface, {p.x - at.x, p.y - at.y});
    }
    return {screenObject, p, nullptr};
}

} // namespace

void pageMouse(tlogopage* page, PageMouse what, Point p, int32_t button, std::uint32_t keys) {
    const bool shift = (keys & kPointerShift) != 0;
    LockedScope locked;
    if (!page || page->erased || !page->surface) return;
    PageMouseState& st = pageStateOf(page);
    if (what == PageMouse::Leave) {
        if (st.hovered && st.hovered.get() != page) MouseDriver::leave(st.hovered.get());
        st.hovered = nullptr;
        MouseDriver::leave(page);
        page->surface->mouseAt(std::nullopt);
        return;
    }
    page->surface->mouseAt(p);
    if (g_moving) {
        const MouseState& m = mouseStateOf(g_moving->object.get());
        if (g_moving->object->erased || !(g_moving->resize ? m.resizing : m.moving)) g_moving.reset();
    }
    if (g_moving) {
        // Whatever is under the pointer, the moving object has the mouse; presses change nothing.
        if (what == PageMouse::Move) {
            followMouse(p);
        } else if (what == PageMouse::Release) {
            Ref<tmultiobject> moved = g_moving->object;
            g_moving.reset();
            st.pressed = nullptr;
            st.heldButton = -1;
            MouseDriver::up(moved.get(), button, 0, 0, shift);  // ends the move; nothing is raised
        }
        return;
    }
    const Hit hit = hitAt(page, *page->surface, p);
    const auto rx = static_cast<int32_t>(hit.relative.x), ry = static_cast<int32_t>(hit.relative.y);
    switch (what) {
    case PageMouse::Press:
    case PageMouse::DoubleClick: {
        st.pressed = hit.object;
        st.heldButton = button;
        if (hit.turtle && button == 0) {
            const Rect r = hit.turtle->screenRect();
            const Point c = nearestPoint(hit.turtle->absolutePosition());
            hit.turtle->setLastClick({r.left + hit.relative.x - c.x, r.top + hit.relative.y - c.y});
        }
        auto* pane = dynamic_cast<tlogopane*>(hit.object);
        const bool inGrip = (keys & kPointerCtrl) && pane && pane->surface && inResizeGrip(*pane->surface, {rx, ry});
        MouseDriver::down(hit.object, button, rx, ry, shift, what == PageMouse::DoubleClick, inGrip);
        if (hit.object->mouse && hit.object->mouse->moving) beginFollowing(hit.object, p);
        else if (inGrip && hit.object->mouse->resizing) beginResizing(pane, p);
        break;
    }
    case PageMouse::Release: {
        Ref<tmultiobject> pressed = st.pressed;
        st.pressed = nullptr;
        st.heldButton = -1;
        tmultiobject* target = pressed ? pressed.get() : hit.object;
        MouseDriver::up(target, button, rx, ry, shift);
        // A click is a press and a release of the left button on the same object.
        if (button == 0 && pressed && pressed.get() == hit.object) MouseDriver::click(target);
        break;
    }
    case PageMouse::Move:
        if (st.pressed && st.heldButton >= 0) {
            MouseDriver::move(st.pressed.get(), rx, ry, st.heldButton);
            break;
        }
        if (st.hovered.get() != hit.object) {
            if (st.hovered) MouseDriver::leave(st.hovered.get());
            st.hovered = hit.object;
            MouseDriver::enter(hit.object);
        }
        MouseDriver::move(hit.object, rx, ry, -1);
        break;
    case PageMouse::Leave:
        break;
    }
}

} // namespace qm

// ---- registration ----

namespace qm {

namespace {

#ifdef QM_TESTING
// %pagemouse page action x y [button [shifts]]: the window system's mouse on a page at the absolute
// point (x, y). Actions: move, press, release, double, leave; button 0 left (the default), 1 right,
// 2 middle; shifts as mousestate gives them (bit 0 Ctrl, bit 1 Shift), none by default. On the
// imaginary screen of a run without a window the pointer goes there first, holding what is held.
void primTestPageMouse(ProcessContext& cx, int32_t n) {
    auto* page = dynamic_cast<tlogopage*>(findObject(currentObject(cx), input(cx, n, 0)));
    if (!page) throw eLogoException(erInitPage, input(cx, n, 0));
    const std::string action = input(cx, n, 1)->GetText();
    const Point p{nearest(input(cx, n, 2)->ToReal()), nearest(input(cx, n, 3)->ToReal())};
    const int32_t button = n > 4 ? input(cx, n, 4)->ToIntRange(0, 2) : 0;
    const std::uint32_t shifts = n > 5 ? static_cast<std::uint32_t>(input(cx, n, 5)->ToIntRange(0, 3)) : 0;
    PageMouse what;
    if (action == "move") what = PageMouse::Move;
    else if (action == "press") what = PageMouse::Press;
    else if (action == "release") what = PageMouse::Release;
    else if (action == "double") what = PageMouse::DoubleClick;
    else if (action == "leave") what = PageMouse::Leave;
    else throw eLogoException(erBadValue, input(cx, n, 1));
    std::uint32_t buttons = pointerState().buttons;
    if (what == PageMouse::Press || what == PageMouse::DoubleClick) buttons |= 1u << button;
    else if (what == PageMouse::Release) buttons &= ~(1u << button);
    const Point origin = pageScreenOrigin();
    recordTestPointer({origin.x + p.x, origin.y + p.y}, buttons, shifts);
    pageMouse(page, what, p, button, shifts);
    finish(cx, n, nullptr);
}

const PrimitiveRow kGraphicsTestPrimitives[] = {
    {"%pagemouse", DescKind::Main, 4, true, etFun, primTestPageMouse, 0, true},
};
#endif

} // namespace

void registerGraphicsPrimitives(tMainLogoObject& main) {
    registerGraphicClasses(main);
#ifdef QM_TESTING
    addPrimitives(main.procedures, kGraphicsTestPrimitives);
#endif
}

} // namespace qm
