// The drawing surface of a page or pane: a background bitmap that pen trails draw into for good, an
// ordered layer of objects (turtles) composed over it only when a frame is asked for, both coordinate
// systems, stacking order, hit testing, and the panes placed on a page.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

#include "graphics/raster/bitmap.h"
#include "graphics/surface/surface_types.h"

namespace qm {

class Surface;

// Something that lives in a surface's object layer: a turtle, or the selection frame of the painting
// commands. The surface reads these under its locks (see Surface).
class SurfaceObject {
public:
    virtual ~SurfaceObject() = default;

    // 0 for turtles, 2 for the selection frame; stacking by name and hit testing treat them apart.
    virtual int kind() const { return 0; }
    virtual bool shown() const = 0;
    // Where the object is drawn, absolute, right and bottom exclusive.
    virtual Rect screenRect() const = 0;
    // Draws the object onto `target`, where this surface's pixel (0, 0) lands at `offset`; nothing
    // outside `clip` (target coordinates) may change.
    virtual void drawOn(Bitmap& target, Point offset, const Rect& clip) = 0;
    // Whether an absolute point of the surface hits the object (its shape decides, not only its box).
    virtual bool hit(Point p) const = 0;
    // The surface went away first; the object must forget it.
    virtual void surfaceGone() = 0;
    // `clearscreen`: back to the home state without drawing. The selection frame ignores it.
    virtual void goHome() {}
    // The surface changed size: the object re-applies its range.
    virtual void surfaceResized() {}

    // Given when the object is added to a surface, from one counter for the whole program: first 1.
    std::int64_t serial() const { return m_serial; }

private:
    friend class Surface;
    std::int64_t m_serial = 0;
};

// One entry of a `reorder` request: an object, or a block (a sublist; empty = every object).
struct ReorderItem {
    SurfaceObject* object = nullptr;
    bool isBlock = false;
    std::vector<SurfaceObject*> block;
};

struct HitResult {
    SurfaceObject* object = nullptr;
    std::size_t index = 0;  // in the stacking order, 0 at the bottom
    Point relative;         // the point relative to the object's rectangle's top-left corner
};

// Locks. Logo processes draw and move on their own threads while the user-interface thread paints;
// three locks keep them apart, always taken in this order:
//
//   1. the background lock (recursive): held for a whole drawing operation into the background, and by
//      a paint for the whole composition, so a frame never shows half a figure and two processes never
//      draw at once;
//   2. the objects lock (recursive): the object list, the objects' stacking order and the panes placed
//      on the surface; adding, removing, reordering, hit testing and painting take it;
//   3. the dirty lock: a leaf lock around the rectangle still to be repainted; nothing is taken while
//      it is held.
//
// No code takes the background lock while holding the objects lock. A page's locks come before those
// of the panes placed on it: a paint of the page composes its panes while holding its own locks, and a
// pane never takes its page's background or objects lock.
class Surface {
public:
    static constexpr std::int64_t kPageWidth = 796;
    static constexpr std::int64_t kPageHeight = 499;
    static constexpr std::int64_t kPaneWidth = 100;
    static constexpr std::int64_t kPaneHeight = 100;

    // A surface with its background cleared to `background`, origin at the centre (halves rounded
    // toward zero). A size no bitmap may have: error 9 (erBadValue).
    Surface(std::int64_t width, std::int64_t height, Rgb background = kWhite);
    ~Surface();
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;

    std::int32_t width() const { return m_background.width(); }
    std::int32_t height() const { return m_background.height(); }

    // ---- coordinates ----
    Point origin() const { return {m_originX.load(), m_originY.load()}; }
    // Moves the cartesian origin; nothing is redrawn and nothing moves.
    void setOrigin(Point absolute);
    RealPoint toAbsolute(RealPoint cartesian) const;
    RealPoint toCartesian(RealPoint absolute) const;
    // cartesian -> absolute pixel: each coordinate rounded before the origin is applied.
    Point toAbsolutePixel(RealPoint cartesian) const;
    // The cartesian coordinates of the top-left pixel.
    RealPoint upperLeft() const;
    // 0..width-1, 0..height-1: where turtles without a range of their own stay.
    RangeBox defaultRange() const;

    // ---- the background ----
    Rgb backgroundColour() const { return m_bgColour.load(); }
    // Sets the colour and clears the whole background to it (the owner then runs onClean).
    void setBackgroundColour(Rgb colour);
    // `cleanbgpicture`: the whole background in the background colour (the owner then runs onClean).
    void clean();
    // `clearscreen`: every object goes home, then the background is cleaned.
    void clearScreen();
    // The background pixel at an absolute point; the background colour outside the bitmap.
    Rgb pixelAt(std::int64_t x, std::int64_t y) const;
    // `dotcolourat`.
    Rgb dotColourAt(RealPoint cartesian) const;
    // The background bitmap: draw into it only while holding the background lock, and report what
    // changed with invalidate().
    Bitmap& background() { return m_background; }
    const Bitmap& background() const { return m_background; }
    // New size: the picture stays at the top-left, new parts take the background colour, the default
    // range follows and every object re-applies its range. A size no bitmap may have: erBadValue (9).
    void resize(std::int64_t width, std::int64_t height);

    // The line pen of the background painting commands.
    Rgb lineColour() const { return m_lineColour; }
    void setLineColour(Rgb c) { m_lineColour = c & kRgbMask; }
    std::int64_t lineWidth() const { return m_lineWidth; }
    void setLineWidth(std::int64_t w);  // 0..2147483647, else erMinMax (26)
    int linePattern() const { return m_linePattern; }
    void setLinePattern(int p);         // 0..6, else erMinMax (26)

    // ---- the object layer ----
    void addObject(SurfaceObject* object);     // gives it its serial; duplicates are not checked
    void removeObject(SurfaceObject* object);  // the first occurrence; repaints its last rectangle
    void bringToFront(SurfaceObject* object);  // to the top, but below a selection frame on top
    void sendToBack(SurfaceObject* object);
    // `reorder` with a word: that turtle goes to the bottom. Returns whether the order changed.
    // A turtle not on this surface: erTurtleUnknown (71).
    bool reorderToBottom(SurfaceObject* object);
    // `reorder` with a list (names already resolved to objects). Two blocks: erBadStructure (10);
    // a turtle not on this surface: erTurtleUnknown (71). Returns whether the order changed; when it
    // did, the whole surface is repainted.
    bool reorder(const std::vector<ReorderItem>& items);
    // A copy of the object list, bottom to top.
    std::vector<SurfaceObject*> objects() const;
    // Calls f(object) for each object bottom to top with the objects lock held.
    template <class F>
    void forEachObject(F&& f) const {
        std::lock_guard objectsGuard(m_objectsLock);
        for (SurfaceObject* o : m_objects) f(o);
    }
    // The topmost shown object that the point hits (absolute).
    std::optional<HitResult> hitTest(Point absolute) const;

    // The object under the mouse and the one pressed last; cleared when they leave the surface.
    SurfaceObject* hoveredObject() const { return m_hovered; }
    SurfaceObject* pressedObject() const { return m_pressed; }
    void setPressedObject(SurfaceObject* o) { m_pressed = o; }
    // Remembers the mouse position (absolute) and recomputes the hovered object.
    void mouseAt(std::optional<Point> absolute);
    // Told by a turtle after it moved: when it is the hovered object or the mouse is inside its
    // rectangle, the hovered object is recomputed.
    void objectMoved(SurfaceObject* object, const Rect& newRect);

    // ---- panes placed on this surface ----
    // Places `child` with its top-left at `position` (absolute pixels of this surface). A surface has
    // at most one parent; placing it again moves it.
    void addChild(Surface* child, Point position);
    void removeChild(Surface* child);
    Surface* parent() const { return m_parent; }
    Point positionInParent() const;
    void setVisible(bool visible);
    bool visible() const { return m_visible.load(); }

    // ---- painting ----
    // Marks a rectangle for repainting, normalised and grown by (penWidth div 2) + 3 on every side.
    void invalidate(const Rect& area, std::int64_t penWidth = 1);
    void invalidateAll();
    // The area waiting to be repainted, emptied by the call.
    Rect takeDirty();
    // Called (outside every lock of this surface) whenever a repaint becomes due, so a window can
    // schedule one; the call must not draw.
    void setRepaintHook(void (*hook)(void* context), void* context);

    // Composes `update` (this surface's absolute pixels) as a person sees it into `offscreen`, at the
    // same position: the background, then the shown objects bottom to top, then the visible panes.
    // `offscreen` grows when it is too small and never shrinks, so steady painting allocates nothing.
    void paint(Bitmap& offscreen, const Rect& update);
    // The whole surface composed.
    Bitmap frame();

    std::recursive_mutex& backgroundLock() const { return m_backgroundLock; }
    std::recursive_mutex& objectsLock() const { return m_objectsLock; }

private:
    void composeInto(Bitmap& target, Point offset, const Rect& updateLocal);
    std::ptrdiff_t indexOf(SurfaceObject* object) const;
    void recomputeHover();
    void addDirty(const Rect& r);

    mutable std::recursive_mutex m_backgroundLock;
    mutable std::recursive_mutex m_objectsLock;
    mutable std::mutex m_dirtyLock;

    Bitmap m_background;
    std::atomic<Rgb> m_bgColour{kWhite};
    std::atomic<std::int64_t> m_originX{0};
    std::atomic<std::int64_t> m_originY{0};
    Rgb m_lineColour = kBlack;
    std::int64_t m_lineWidth = 1;
    int m_linePattern = 0;

    std::vector<SurfaceObject*> m_objects;  // bottom to top
    SurfaceObject* m_hovered = nullptr;
    SurfaceObject* m_pressed = nullptr;
    std::optional<Point> m_mouse;
    std::atomic<bool> m_watchHover{false};  // a mouse position is known: moves must check the hover

    struct Child {
        Surface* surface;
        Point position;
    };
    std::vector<Child> m_children;  // objects lock
    Surface* m_parent = nullptr;    // dirty lock (set while the parent's objects lock is held)
    Point m_position;               // in the parent; dirty lock
    std::atomic<bool> m_visible{true};

    Rect m_dirty;  // dirty lock
    void (*m_repaintHook)(void*) = nullptr;
    void* m_repaintContext = nullptr;
};

} // namespace qm
