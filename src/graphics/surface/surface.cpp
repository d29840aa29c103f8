// The drawing surface: background, object layer, coordinates, stacking order, panes and composition.
#include "graphics/surface/surface.h"

#include <algorithm>

#include "graphics/raster/canvas.h"
#include "logo_error.h"

namespace qm {

namespace {

std::atomic<std::int64_t> g_nextSerial{0};

Rect unite(const Rect& a, const Rect& b) {
    if (a.empty()) return b;
    if (b.empty()) return a;
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
            std::max(a.bottom, b.bottom)};
}

bool intersects(const Rect& a, const Rect& b) { return !a.intersected(b).empty(); }

} // namespace

Surface::Surface(std::int64_t width, std::int64_t height, Rgb background) : m_bgColour(background & kRgbMask) {
    // The pixels are made when something first draws on or reads the picture: a program that never
    // draws does not pay for filling a whole page.
    auto bmp = Bitmap::deferred(width, height, background & kRgbMask);
    if (!bmp) throw eLogoException(erBadValue);
    m_background = std::move(*bmp);
    m_originX = width / 2;
    m_originY = height / 2;
}

Surface::~Surface() {
    if (m_parent) m_parent->removeChild(this);
    std::vector<Child> children;
    std::vector<SurfaceObject*> objects;
    {
        std::lock_guard objectsGuard(m_objectsLock);
        children.swap(m_children);
        objects.swap(m_objects);
    }
    for (const Child& c : children) {
        std::lock_guard dirtyGuard(c.surface->m_dirtyLock);
        c.surface->m_parent = nullptr;
    }
    for (SurfaceObject* o : objects) o->surfaceGone();
}

// ---- coordinates ----

void Surface::setOrigin(Point absolute) {
    m_originX = clampCoord(absolute.x);
    m_originY = clampCoord(absolute.y);
}

RealPoint Surface::toAbsolute(RealPoint c) const {
    return {c.x + static_cast<LReal>(m_originX.load()), static_cast<LReal>(m_originY.load()) - c.y};
}

RealPoint Surface::toCartesian(RealPoint a) const {
    return {a.x - static_cast<LReal>(m_originX.load()), static_cast<LReal>(m_originY.load()) - a.y};
}

Point Surface::toAbsolutePixel(RealPoint c) const {
    return {clampCoord(nearest(c.x) + m_originX.load()), clampCoord(m_originY.load() - nearest(c.y))};
}

RealPoint Surface::upperLeft() const { return toCartesian({0, 0}); }

RangeBox Surface::defaultRange() const {
    return {0, static_cast<LReal>(width() - 1), 0, static_cast<LReal>(height() - 1)};
}

// ---- background ----

void Surface::setBackgroundColour(Rgb colour) {
    m_bgColour = colour & kRgbMask;
    clean();
}

void Surface::clean() {
    {
        std::lock_guard backgroundGuard(m_backgroundLock);
        m_background.fill(m_bgColour.load());
    }
    invalidateAll();
}

void Surface::clearScreen() {
    // Homes are taken from a copy: going home moves the object, which must not find the list locked
    // against the order of locks (a move takes the background lock).
    for (SurfaceObject* o : objects()) o->goHome();
    clean();
}

Rgb Surface::pixelAt(std::int64_t x, std::int64_t y) const {
    std::lock_guard backgroundGuard(m_backgroundLock);
    return m_background.pixel(x, y, m_bgColour.load());
}

Rgb Surface::dotColourAt(RealPoint cartesian) const {
    const Point p = toAbsolutePixel(cartesian);
    return pixelAt(p.x, p.y);
}

void Surface::resize(std::int64_t width, std::int64_t height) {
    {
        std::lock_guard backgroundGuard(m_backgroundLock);
        if (!m_background.resize(width, height, m_bgColour.load())) throw eLogoException(erBadValue);
    }
    for (SurfaceObject* o : objects()) o->surfaceResized();
    invalidateAll();
}

void Surface::setLineWidth(std::int64_t w) {
    if (w < 0 || w > 2147483647) throw eLogoException(erMinMax, 0, 2147483647, makeNumber(w));
    m_lineWidth = w;
}

void Surface::setLinePattern(int p) {
    if (p < 0 || p >= kPenPatternCount) throw eLogoException(erMinMax, 0, kPenPatternCount - 1, makeInt(p));
    m_linePattern = p;
}

// ---- object layer ----

std::ptrdiff_t Surface::indexOf(SurfaceObject* object) const {
    auto it = std::find(m_objects.begin(), m_objects.end(), object);
    return it == m_objects.end() ? -1 : it - m_objects.begin();
}

void Surface::addObject(SurfaceObject* object) {
    object->m_serial = ++g_nextSerial;
    std::lock_guard objectsGuard(m_objectsLock);
    m_objects.push_back(object);
}

void Surface::removeObject(SurfaceObject* object) {
    Rect last;
    {
        std::lock_guard objectsGuard(m_objectsLock);
        const std::ptrdiff_t i = indexOf(object);
        if (i < 0) return;
        m_objects.erase(m_objects.begin() + i);
        if (m_pressed == object) m_pressed = nullptr;
        if (m_hovered == object) m_hovered = nullptr;
        last = object->screenRect();
    }
    invalidate(last);
}

void Surface::bringToFront(SurfaceObject* object) {
    Rect r;
    {
        std::lock_guard objectsGuard(m_objectsLock);
        const std::ptrdiff_t i = indexOf(object);
        if (i < 0) return;
        m_objects.erase(m_objects.begin() + i);
        // A selection frame stays on top of everything.
        auto at = m_objects.end();
        if (!m_objects.empty() && m_objects.back()->kind() != 0) --at;
        m_objects.insert(at, object);
        r = object->screenRect();
    }
    invalidate(r);
}

void Surface::sendToBack(SurfaceObject* object) {
    Rect r;
    {
        std::lock_guard objectsGuard(m_objectsLock);
        const std::ptrdiff_t i = indexOf(object);
        if (i < 0) return;
        m_objects.erase(m_objects.begin() + i);
        m_objects.insert(m_objects.begin(), object);
        r = object->screenRect();
    }
    invalidate(r);
}

bool Surface::reorderToBottom(SurfaceObject* object) {
    ReorderItem item;
    item.object = object;
    // A word puts that turtle at the bottom and keeps the others in their order: the list [w] does
    // exactly that.
    return reorder({item});
}

bool Surface::reorder(const std::vector<ReorderItem>& items) {
    bool changed = false;
    {
        std::lock_guard objectsGuard(m_objectsLock);
        std::vector<SurfaceObject*> turtles;  // kind 0, numbered by their current order
        for (SurfaceObject* o : m_objects)
            if (o->kind() == 0) turtles.push_back(o);
        const std::size_t n = turtles.size();
        auto number = [&](SurfaceObject* o) -> std::size_t {
            auto it = std::find(turtles.begin(), turtles.end(), o);
            if (it == turtles.end() || o == nullptr) throw eLogoException(erTurtleUnknown);
            return static_cast<std::size_t>(it - turtles.begin());
        };
        // Check everything first, so a bad request changes nothing.
        bool seenBlock = false;
        for (const ReorderItem& item : items) {
            if (item.isBlock) {
                if (seenBlock) throw eLogoException(erBadStructure);
                seenBlock = true;
                for (SurfaceObject* o : item.block) number(o);
            } else {
                number(item.object);
            }
        }

        std::vector<std::size_t> order;  // S, bottom up
        std::vector<bool> placed(n, false);
        std::size_t frontInsert = 0;  // where the next object "inserted at the front" goes
        std::size_t rangeEnd = 0;     // objects above this number are appended at the end
        bool hadBlock = false;
        auto appendNumber = [&](std::size_t k) {
            auto it = std::find(order.begin(), order.end(), k);
            if (it != order.end()) {
                if (static_cast<std::size_t>(it - order.begin()) < frontInsert) --frontInsert;
                order.erase(it);
            }
            order.push_back(k);
            placed[k] = true;
        };
        for (const ReorderItem& item : items) {
            if (!item.isBlock) {
                appendNumber(number(item.object));
                continue;
            }
            hadBlock = true;
            std::size_t lo = 0, hi = n == 0 ? 0 : n - 1;
            if (!item.block.empty()) {
                lo = n;
                hi = 0;
                for (SurfaceObject* o : item.block) {
                    const std::size_t k = number(o);
                    lo = std::min(lo, k);
                    hi = std::max(hi, k);
                }
            }
            for (std::size_t k = 0; k < lo && k < n; ++k) {
                if (placed[k]) continue;
                order.insert(order.begin() + static_cast<std::ptrdiff_t>(frontInsert++), k);
                placed[k] = true;
            }
            for (std::size_t k = lo; k <= hi && k < n; ++k)
                if (!placed[k]) appendNumber(k);
            rangeEnd = hi + 1;
        }
        for (std::size_t k = hadBlock ? rangeEnd : 0; k < n; ++k)
            if (!placed[k]) appendNumber(k);

        for (std::size_t i = 0; i < order.size(); ++i)
            if (order[i] != i) changed = true;
        if (changed) {
            std::size_t next = 0;
            for (SurfaceObject*& o : m_objects)
                if (o->kind() == 0) o = turtles[order[next++]];
        }
    }
    if (changed) invalidateAll();
    return changed;
}

std::vector<SurfaceObject*> Surface::objects() const {
    std::lock_guard objectsGuard(m_objectsLock);
    return m_objects;
}

std::optional<HitResult> Surface::hitTest(Point p) const {
    std::lock_guard objectsGuard(m_objectsLock);
    for (std::size_t i = m_objects.size(); i-- > 0;) {
        SurfaceObject* o = m_objects[i];
        if (!o->shown()) continue;
        const Rect r = o->screenRect();
        const bool accepted = o->kind() != 0 ? r.contains(p.x, p.y) : o->hit(p);
        if (accepted) return HitResult{o, i, {p.x - r.left, p.y - r.top}};
    }
    return std::nullopt;
}

void Surface::mouseAt(std::optional<Point> absolute) {
    std::lock_guard objectsGuard(m_objectsLock);
    m_mouse = absolute;
    m_watchHover = absolute.has_value();
    recomputeHover();
}

void Surface::recomputeHover() {
    if (!m_mouse) {
        m_hovered = nullptr;
        return;
    }
    auto hit = hitTest(*m_mouse);
    m_hovered = hit ? hit->object : nullptr;
}

void Surface::objectMoved(SurfaceObject* object, const Rect& newRect) {
    if (!m_watchHover.load(std::memory_order_relaxed)) return;  // no mouse over the surface: nothing to do
    std::lock_guard objectsGuard(m_objectsLock);
    if (m_hovered == object || (m_mouse && newRect.contains(m_mouse->x, m_mouse->y))) recomputeHover();
}

// ---- panes ----

void Surface::addChild(Surface* child, Point position) {
    if (child == this || child == nullptr) return;
    if (child->parent() && child->parent() != this) child->parent()->removeChild(child);
    {
        std::lock_guard objectsGuard(m_objectsLock);
        auto it = std::find_if(m_children.begin(), m_children.end(), [&](const Child& c) { return c.surface == child; });
        if (it == m_children.end()) m_children.push_back({child, position});
        else it->position = position;
        std::lock_guard dirtyGuard(child->m_dirtyLock);
        child->m_parent = this;
        child->m_position = position;
    }
    invalidateAll();
}

void Surface::removeChild(Surface* child) {
    Rect area;
    {
        std::lock_guard objectsGuard(m_objectsLock);
        auto it = std::find_if(m_children.begin(), m_children.end(), [&](const Child& c) { return c.surface == child; });
        if (it == m_children.end()) return;
        area = Rect::fromSize(it->position.x, it->position.y, child->width(), child->height());
        m_children.erase(it);
        std::lock_guard dirtyGuard(child->m_dirtyLock);
        child->m_parent = nullptr;
    }
    invalidate(area);
}

Point Surface::positionInParent() const {
    std::lock_guard dirtyGuard(m_dirtyLock);
    return m_position;
}

void Surface::setVisible(bool visible) {
    m_visible = visible;
    invalidateAll();
}

// ---- painting ----

void Surface::addDirty(const Rect& r) {
    if (r.empty()) return;
    Surface* parent;
    Point position;
    void (*hook)(void*);
    void* context;
    {
        std::lock_guard dirtyGuard(m_dirtyLock);
        m_dirty = unite(m_dirty, r);
        parent = m_parent;
        position = m_position;
        hook = m_repaintHook;
        context = m_repaintContext;
    }
    if (hook) hook(context);
    // What changes on a pane changes the page it sits on.
    if (parent && m_visible.load()) {
        const Rect mine = r.intersected(m_background.bounds());
        parent->addDirty({mine.left + position.x, mine.top + position.y, mine.right + position.x, mine.bottom + position.y});
    }
}

void Surface::invalidate(const Rect& area, std::int64_t penWidth) {
    const std::int64_t grow = std::clamp<std::int64_t>(penWidth, 0, kCoordLimit) / 2 + 3;
    Rect r = area.clamped().normalised();
    r = {r.left - grow, r.top - grow, r.right + grow, r.bottom + grow};
    addDirty(r.intersected(m_background.bounds()));
}

void Surface::invalidateAll() { addDirty(m_background.bounds()); }

Rect Surface::takeDirty() {
    std::lock_guard dirtyGuard(m_dirtyLock);
    return std::exchange(m_dirty, Rect{});
}

void Surface::setRepaintHook(void (*hook)(void*), void* context) {
    std::lock_guard dirtyGuard(m_dirtyLock);
    m_repaintHook = hook;
    m_repaintContext = context;
}

void Surface::paint(Bitmap& offscreen, const Rect& update) {
    std::lock_guard backgroundGuard(m_backgroundLock);
    const Rect area = update.normalised().intersected(m_background.bounds());
    if (area.empty()) return;
    if (offscreen.width() < area.right || offscreen.height() < area.bottom) {
        if (!offscreen.resize(std::max<std::int64_t>(offscreen.width(), area.right),
                              std::max<std::int64_t>(offscreen.height(), area.bottom), kBlack))
            return;
    }
    composeInto(offscreen, {0, 0}, area);
}

Bitmap Surface::frame() {
    std::lock_guard backgroundGuard(m_backgroundLock);
    Bitmap out = *Bitmap::create(width(), height(), kBlack);
    composeInto(out, {0, 0}, m_background.bounds());
    return out;
}

// Background, then the shown objects bottom to top (each clipped to the update area), then the
// visible panes, each composed the same way at its place.
void Surface::composeInto(Bitmap& target, Point offset, const Rect& updateLocal) {
    std::lock_guard backgroundGuard(m_backgroundLock);
    const Rect local = updateLocal.intersected(m_background.bounds());
    if (local.empty()) return;
    const Rect dest{local.left + offset.x, local.top + offset.y, local.right + offset.x, local.bottom + offset.y};
    const Rect clip = dest.intersected(target.bounds());
    if (clip.empty()) return;
    if (const std::optional<Rgb> colour = m_background.deferredFill()) {
        target.fill(clip, *colour);  // never drawn on: composing it need not make its pixels
    } else {
        for (std::int64_t y = clip.top; y < clip.bottom; ++y) {
            const std::uint32_t* src = m_background.row(y - offset.y) + (clip.left - offset.x);
            std::copy(src, src + clip.width(), target.row(y) + clip.left);
        }
    }
    std::lock_guard objectsGuard(m_objectsLock);
    for (SurfaceObject* o : m_objects) {
        if (!o->shown() || !intersects(o->screenRect(), local)) continue;
        o->drawOn(target, offset, clip);
    }
    for (const Child& c : m_children) {
        if (!c.surface->visible()) continue;
        const Rect childArea = Rect::fromSize(c.position.x, c.position.y, c.surface->width(), c.surface->height());
        const Rect hitArea = childArea.intersected(local);
        if (hitArea.empty()) continue;
        const Rect childLocal{hitArea.left - c.position.x, hitArea.top - c.position.y, hitArea.right - c.position.x,
                              hitArea.bottom - c.position.y};
        c.surface->composeInto(target, {offset.x + c.position.x, offset.y + c.position.y}, childLocal);
    }
}

} // namespace qm
