// Turtle movement: the range walker (wrap, window, fence, bounce), trails in every pen mode, and the
// bookkeeping after a move (shape rectangle, hover, bounce and collision reports).
#include "graphics/surface/turtle.h"

#include <algorithm>
#include <cmath>

#include "graphics/raster/canvas.h"
#include "logo_error.h"

namespace qm {

bool turtleOverlapMode();

namespace {

// Walks longer than this many laps of the range (per axis) are shortened by whole laps before the
// walk: the end point stays the same, and the walk stays bounded however far the turtle goes.
constexpr LReal kMaxLaps = 256;
// A safety net on top of that: the walker never takes more steps than this.
constexpr int kMaxWalkSteps = 8 * 256 + 64;

Rect unite(const Rect& a, const Rect& b) {
    if (a.empty()) return b;
    if (b.empty()) return a;
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
            std::max(a.bottom, b.bottom)};
}

enum : unsigned { kLeft = 1, kRight = 2, kTop = 4, kBottom = 8 };

unsigned outcode(const RealPoint& p, const RangeBox& r) {
    unsigned c = 0;
    if (p.x < r.xmin) c |= kLeft;
    else if (p.x > r.xmax) c |= kRight;
    if (p.y < r.ymin) c |= kTop;
    else if (p.y > r.ymax) c |= kBottom;
    return c;
}

RealPoint clampInto(RealPoint p, const RangeBox& r) {
    return {std::clamp(p.x, r.xmin, r.xmax), std::clamp(p.y, r.ymin, r.ymax)};
}

// C moved toward S (inside the range) onto the first edge it violates, in the order left, right, top,
// bottom, until it is inside.
RealPoint clipToward(RealPoint c, const RealPoint& s, const RangeBox& r) {
    for (int guard = 0; guard < 8; ++guard) {
        const unsigned code = outcode(c, r);
        if (code == 0) return c;
        if (code & kLeft) {
            c.y += (s.y - c.y) * (r.xmin - c.x) / (s.x - c.x);
            c.x = r.xmin;
        } else if (code & kRight) {
            c.y += (s.y - c.y) * (r.xmax - c.x) / (s.x - c.x);
            c.x = r.xmax;
        } else if (code & kTop) {
            c.x += (s.x - c.x) * (r.ymin - c.y) / (s.y - c.y);
            c.y = r.ymin;
        } else {
            c.x += (s.x - c.x) * (r.ymax - c.y) / (s.y - c.y);
            c.y = r.ymax;
        }
    }
    // Rounding may leave a hair outside after several edges: the nearest point inside will do.
    return clampInto(c, r);
}

// Shortens d by whole periods so that at most kMaxLaps of them remain.
LReal shortened(LReal d, LReal period) {
    const LReal a = std::fabs(d);
    if (!(a > kMaxLaps * period)) return d;
    const LReal kept = std::fmod(a, period) + kMaxLaps * period;
    return d < 0 ? -kept : kept;
}

// Draws the segments of one move into the background through one canvas: a one-pixel pen that does
// not reverse sets the end pixel too (the three-point line); a reversing pen leaves it out, so the
// pixel where one segment meets the next is reversed once.
struct TrailPainter {
    TrailPainter(Bitmap& bmp, bool active, const Pen& pen, Rop2 rop, const std::optional<RangeBox>& range)
        : canvas(bmp), active(active) {
        if (!active) return;
        canvas.setPen(pen);
        canvas.setRop2(rop);
        canvas.setBrush(Brush::none());
        canvas.setBackgroundMode(BackgroundMode::Transparent);
        if (range) canvas.setClip(range->toRect());
        withEnd = pen.width <= 1 && rop != Rop2::XorPen;
    }

    void draw(const RealPoint& a, const RealPoint& b) {
        if (!active) return;
        const Point p = nearestPoint(a), q = nearestPoint(b);
        if (withEnd) canvas.drawLineWithEnd(p, q);
        else canvas.drawLine(p, q);
        const Rect box{std::min(p.x, q.x), std::min(p.y, q.y), std::max(p.x, q.x + 1) + 1, std::max(p.y, q.y) + 1};
        touched = unite(touched, box);
    }

    Canvas canvas;
    bool active;
    bool withEnd = false;
    Rect touched;
};

struct WalkResult {
    RealPoint final;
    RealPoint wall;  // bounce: the last wall point (the end point when no wall was met)
};

WalkResult walkWrap(RealPoint s, RealPoint e, const RangeBox& r, TrailPainter& painter) {
    const LReal px = r.xmax - r.xmin - 1, py = r.ymax - r.ymin - 1;
    e = {s.x + shortened(e.x - s.x, px), s.y + shortened(e.y - s.y, py)};
    const RealPoint corners[4] = {{r.xmin, r.ymin}, {r.xmax, r.ymin}, {r.xmax, r.ymax}, {r.xmin, r.ymax}};
    int steps = 0;
    while (outcode(e, r) != 0) {
        if (++steps > kMaxWalkSteps) {
            e = clampInto(e, r);
            break;
        }
        RealPoint c = clipToward(e, s, r);
        painter.draw(s, c);
        int corner = -1;
        for (int k = 0; k < 4; ++k)
            if (c == corners[k]) corner = k;
        if (corner >= 0) {
            // Through a corner the walk goes on from the next corner clockwise.
            const RealPoint& next = corners[(corner + 1) % 4];
            e = {e.x + (next.x - c.x), e.y + (next.y - c.y)};
            c = next;
        } else if (c.x == r.xmin) {
            e.x += px;
            c.x = r.xmax;
        } else if (c.y == r.ymin) {
            e.y += py;
            c.y = r.ymax;
        } else if (c.x == r.xmax) {
            e.x -= px;
            c.x = r.xmin;
        } else if (c.y == r.ymax) {
            e.y -= py;
            c.y = r.ymin;
        }
        s = c;
    }
    painter.draw(s, e);
    return {e, e};
}

WalkResult walkBounce(RealPoint s, RealPoint e, const RangeBox& r, TrailPainter& painter) {
    const LReal wx = 2 * (r.xmax - r.xmin), wy = 2 * (r.ymax - r.ymin);
    e = {s.x + shortened(e.x - s.x, wx), s.y + shortened(e.y - s.y, wy)};
    RealPoint wall = e;
    int steps = 0;
    while (outcode(e, r) != 0) {
        if (++steps > kMaxWalkSteps) {
            e = clampInto(e, r);
            break;
        }
        const RealPoint c = clipToward(e, s, r);
        painter.draw(s, c);
        if (c.x == r.xmin) e.x = 2 * r.xmin - e.x;
        else if (c.x == r.xmax) e.x = 2 * r.xmax - e.x;
        if (c.y == r.ymin) e.y = 2 * r.ymin - e.y;
        else if (c.y == r.ymax) e.y = 2 * r.ymax - e.y;
        wall = c;
        s = c;
    }
    painter.draw(s, e);
    return {e, wall};
}

} // namespace

// The steps of every move: walk and draw with the background locked, store the end point, turn after
// a bounce, update the shape's rectangle and repaint, then (unlocked) hover and collision checks.
MoveResult Turtle::move(RealPoint target, RangeStyle style, bool collisions, bool events, PenMode mode) {
    checkedReal(target.x);
    checkedReal(target.y);
    if (!m_surface) {
        m_pos = target;
        return {};
    }
    const RangeBox range = effectiveRange();
    if (style == RangeStyle::Wrap || style == RangeStyle::Bounce) checkRangeFor(style, m_range);

    Surface& surface = *m_surface;
    bool bounced = false;
    Rect oldRect, newRect, trail;
    {
        std::lock_guard backgroundGuard(surface.backgroundLock());
        Pen pen = m_pen;
        Rop2 rop = Rop2::CopyPen;
        if (mode == PenMode::Reverse) rop = Rop2::XorPen;
        else if (mode == PenMode::Erase) pen.colour = surface.backgroundColour();
        TrailPainter painter(surface.background(), mode != PenMode::Up && !pen.isNull(), pen, rop, m_range);

        RealPoint s = m_pos;
        WalkResult walked;
        switch (style) {
        case RangeStyle::Window:
            painter.draw(s, target);
            walked = {target, target};
            break;
        case RangeStyle::Fence: {
            s = clampInto(s, range);
            const RealPoint e = clampInto(target, range);
            painter.draw(s, e);
            walked = {e, e};
            break;
        }
        case RangeStyle::Bounce:
            walked = walkBounce(clampInto(s, range), target, range, painter);
            break;
        case RangeStyle::Wrap:
            walked = walkWrap(clampInto(s, range), target, range, painter);
            break;
        }
        m_pos = walked.final;
        if (style == RangeStyle::Bounce && !(walked.final == walked.wall)) {
            // Facing away from the last wall: the direction from the wall point to the end point.
            setHeading(headingBetween(walked.final, walked.wall) + 180);
            bounced = true;
        }
        {
            std::lock_guard shapeGuard(m_shapeLock);
            oldRect = m_rect;
            m_rect = rectAt(nearestPoint(m_pos));
            newRect = m_rect;
        }
        trail = painter.touched;
    }
    if (!trail.empty()) surface.invalidate(trail, m_pen.width);
    if (shown() && !(oldRect == newRect)) surface.invalidate(unite(oldRect, newRect), 0);
    surface.objectMoved(this, newRect);

    MoveResult result;
    result.bounced = events && bounced;
    if (collisions && m_sensitive && shown()) {
        const bool rectanglesOnly = turtleOverlapMode();
        surface.forEachObject([&](SurfaceObject* o) {
            if (result.collidedWith || o == this || o->kind() != 0) return;
            auto* t = dynamic_cast<Turtle*>(o);
            if (t && t->m_sensitive && overlaps(*t, rectanglesOnly)) result.collidedWith = t;
        });
    }
    return result;
}

MoveResult Turtle::forward(LReal distance) {
    const LReal d = checkedReal(distance);
    const RealPoint target{m_pos.x + d * m_cos, m_pos.y - d * m_sin};
    MoveResult r = move(target, m_rangeStyle, true, true, m_penMode);
    // Backing into a wall keeps the turtle facing away from where it backs to.
    if (r.bounced && d < 0) setHeading(m_heading + 180);
    return r;
}

MoveResult Turtle::setPosition(RealPoint cartesian) {
    const RealPoint c{checkedReal(cartesian.x), checkedReal(cartesian.y)};
    return move(m_surface ? m_surface->toAbsolute(c) : c, m_rangeStyle, true, true, m_penMode);
}

MoveResult Turtle::setAbsolutePosition(RealPoint absolute) {
    return move(absolute, m_rangeStyle, true, true, m_penMode);
}

MoveResult Turtle::setX(LReal x) {
    RealPoint c = position();
    c.x = checkedReal(x);
    return setPosition(c);
}

MoveResult Turtle::setY(LReal y) {
    RealPoint c = position();
    c.y = checkedReal(y);
    return setPosition(c);
}

MoveResult Turtle::dotSetPosition(RealPoint cartesian) {
    const RealPoint c{checkedReal(cartesian.x), checkedReal(cartesian.y)};
    const RangeStyle style = m_rangeStyle == RangeStyle::Window ? RangeStyle::Window : RangeStyle::Fence;
    return move(m_surface ? m_surface->toAbsolute(c) : c, style, true, true, m_penMode);
}

MoveResult Turtle::dotSetAbsolutePosition(RealPoint absolute) {
    return move(absolute, RangeStyle::Window, true, true, PenMode::Up);
}

MoveResult Turtle::home() {
    setHeading(m_homeHeading);
    MoveResult r = move(m_homePos, m_rangeStyle, true, true, PenMode::Up);
    // The range may have kept the turtle from its home: home is where it ended up.
    m_homePos = m_pos;
    return r;
}

void Turtle::reapplyRange() {
    if (m_rangeStyle == RangeStyle::Window) return;
    move(m_pos, RangeStyle::Fence, false, false, PenMode::Up);
}

} // namespace qm
