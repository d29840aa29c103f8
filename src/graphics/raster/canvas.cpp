// Canvas state, single pixels, and lines: one-pixel pens walked step by step, wide pens filled as
// round-ended strokes.
#include "canvas.h"

#include "raster_detail.h"

#include <vector>

namespace qm {

using namespace raster_detail;

Canvas::Canvas(Bitmap& target) : m_target(&target) {}

void Canvas::setPen(const Pen& pen) {
    m_pen = pen;
    if (m_pen.width < 1) m_pen.width = 1;
}

Rect Canvas::clipRect() const {
    const Rect b = m_target->bounds();
    return m_userClip ? b.intersected(*m_userClip) : b;
}

void Canvas::setPixel(Point p, Rgb colour) {
    if (!clipRect().contains(p.x, p.y)) return;
    std::uint32_t& d = m_target->row(p.y)[p.x];
    d = applyRop2(m_rop2, colour, d);
}

void Canvas::drawLine(Point from, Point to) {
    const Point pts[2] = {from, to};
    drawPolyline(pts);
}

void Canvas::drawPolyline(std::span<const Point> points) {
    if (points.size() < 2 || m_pen.isNull()) return;
    if (m_pen.isWide()) strokeWidePolyline(points, false);
    else strokeThinPolyline(points, false, false);
}

void Canvas::drawLineWithEnd(Point from, Point to) {
    if (m_pen.isNull()) return;
    const Point pts[2] = {from, to};
    if (m_pen.isWide()) strokeWidePolyline(pts, false);
    else strokeThinPolyline(pts, false, true);
}

namespace {
Point clampPoint(Point p) { return {clampCoord(p.x), clampCoord(p.y)}; }
} // namespace

// One-pixel pen. Each segment leaves out its end pixel, which is the next segment's first, so shared
// vertices are visited once; a dash pattern runs on across the vertices.
void Canvas::strokeThinPolyline(std::span<const Point> points, bool closed, bool drawLastPixel) {
    const Rect clip = clipRect();
    if (clip.empty() || points.empty()) return;
    const Ink on = makeInk(m_rop2, m_pen.colour);
    const Ink gap = makeInk(m_rop2, m_bkColour);
    const bool opaqueGaps = m_bkMode == BackgroundMode::Opaque;
    const DashPattern pattern = dashPatternFor(m_pen.style);
    std::uint32_t* const data = m_target->data();
    const std::int64_t stride = m_target->stride();
    std::int64_t pos = 0;

    auto segment = [&](Point a, Point b) {
        if (pattern.length == 0) {
            walkSegment(a, b, clip, [&](std::int64_t x, std::int64_t y, std::int64_t) {
                std::uint32_t& d = data[y * stride + x];
                d = on.apply(d);
            });
            return;
        }
        const std::int64_t base = pos;
        const std::int64_t steps = walkSegment(a, b, clip, [&](std::int64_t x, std::int64_t y, std::int64_t t) {
            std::uint32_t& d = data[y * stride + x];
            if (pattern.on(base + t)) d = on.apply(d);
            else if (opaqueGaps) d = gap.apply(d);
        });
        pos = (base + steps) % pattern.length;
    };

    for (std::size_t i = 0; i + 1 < points.size(); ++i) segment(clampPoint(points[i]), clampPoint(points[i + 1]));
    if (closed && points.size() > 1) segment(clampPoint(points.back()), clampPoint(points.front()));
    if (drawLastPixel) {
        const Point e = clampPoint(points.back());
        segment(e, {e.x + 1, e.y});
    }
}

// Wide pen: the union of round-ended strokes along the segments, row by row, each pixel once.
void Canvas::strokeWidePolyline(std::span<const Point> points, bool closed) {
    const Rect clip = clipRect();
    if (clip.empty() || points.size() < 2) return;
    const long double radius = static_cast<long double>(m_pen.width) / 2;
    std::vector<Capsule> capsules;
    capsules.reserve(points.size());
    auto add = [&](Point a, Point b) {
        a = clampPoint(a);
        b = clampPoint(b);
        capsules.emplace_back(a.x, a.y, b.x, b.y, radius);
    };
    for (std::size_t i = 0; i + 1 < points.size(); ++i) add(points[i], points[i + 1]);
    if (closed) add(points.back(), points.front());

    std::int64_t top = clip.bottom, bottom = clip.top - 1;
    for (const Capsule& c : capsules) {
        top = std::min(top, c.top());
        bottom = std::max(bottom, c.bottom());
    }
    top = std::max(top, clip.top);
    bottom = std::min(bottom, clip.bottom - 1);

    const Ink on = makeInk(m_rop2, m_pen.colour);
    std::vector<Span> spans;
    for (std::int64_t y = top; y <= bottom; ++y) {
        spans.clear();
        for (const Capsule& c : capsules) {
            Span s;
            if (y < c.top() || y > c.bottom() || !c.rowSpan(y, s)) continue;
            s.x0 = std::max(s.x0, clip.left);
            s.x1 = std::min(s.x1, clip.right);
            if (s.x0 < s.x1) spans.push_back(s);
        }
        mergeSpans(spans);
        for (const Span& s : spans) paintInk(*m_target, y, s.x0, s.x1, on);
    }
}

void Canvas::fillRect(const Rect& area, const Brush& brush) {
    const Rect r = area.clamped().normalised().intersected(clipRect());
    const BrushPainter painter(brush, Rop2::CopyPen, m_bkColour, m_bkMode);
    for (std::int64_t y = r.top; y < r.bottom; ++y) painter.paint(*m_target, y, r.left, r.right);
}

} // namespace qm
