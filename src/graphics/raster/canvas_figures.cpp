// Rectangles, ellipses, arcs and polygons: outlines with the pen, interiors with the brush.
#include "canvas.h"

#include "raster_detail.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>
#include <vector>

namespace qm {

using namespace raster_detail;

namespace {

constexpr long double kPi = std::numbers::pi_v<long double>;

// Clips a span to [left, right) and appends it when something is left.
void pushSpan(std::vector<Span>& out, std::int64_t x0, std::int64_t x1, const Rect& clip) {
    x0 = std::max(x0, clip.left);
    x1 = std::min(x1, clip.right);
    if (x0 < x1) out.push_back({x0, x1});
}

void spansToRuns(const std::vector<Span>& spans, const Ink* ink, std::vector<StrokeRun>& runs) {
    runs.clear();
    for (const Span& s : spans) runs.push_back({s.x0, s.x1, ink});
}

// Rows of the stroke of a wide pen along a closed path of real points.
class WideOutline {
public:
    WideOutline(const std::vector<std::pair<long double, long double>>& path, long double radius) {
        for (std::size_t i = 0; i < path.size(); ++i) {
            const auto& a = path[i];
            const auto& b = path[(i + 1) % path.size()];
            m_capsules.emplace_back(a.first, a.second, b.first, b.second, radius);
            m_top = std::min(m_top, m_capsules.back().top());
            m_bottom = std::max(m_bottom, m_capsules.back().bottom());
        }
    }
    std::int64_t top() const { return m_top; }
    std::int64_t bottom() const { return m_bottom; }
    void row(std::int64_t y, const Rect& clip, std::vector<Span>& out) const {
        out.clear();
        for (const Capsule& c : m_capsules) {
            Span s;
            if (y >= c.top() && y <= c.bottom() && c.rowSpan(y, s)) pushSpan(out, s.x0, s.x1, clip);
        }
        mergeSpans(out);
    }

private:
    std::vector<Capsule> m_capsules;
    std::int64_t m_top = INT64_MAX;
    std::int64_t m_bottom = INT64_MIN;
};

// An ellipse inscribed in an exclusive box, row by row: the outline's spans and the interior span.
// Half axes are measured between the centres of the box's outer pixels, so the curve touches the
// first and last column and row of the box and no pixel outside it (for a one-pixel pen).
class EllipseRows {
public:
    EllipseRows(const Rect& box, const Pen& pen)
        : m_box(box),
          m_cx(box.left + static_cast<long double>(box.width() - 1) / 2),
          m_cy(box.top + static_cast<long double>(box.height() - 1) / 2),
          m_rx(static_cast<long double>(box.width() - 1) / 2),
          m_ry(static_cast<long double>(box.height() - 1) / 2),
          m_wide(pen.isWide()),
          m_width(static_cast<long double>(pen.width)) {
        // A centred wide pen straddles the curve; an inside-frame one stays within the box.
        m_grow = m_wide && pen.style != PenStyle::InsideFrame ? (m_width - 1) / 2 : 0;
    }

    long double cx() const { return m_cx; }
    long double cy() const { return m_cy; }
    std::int64_t top() const { return m_wide ? toRow(std::floor(m_cy - m_ry - m_grow - 1)) : m_box.top; }
    std::int64_t bottom() const {  // exclusive
        return m_wide ? toRow(std::ceil(m_cy + m_ry + m_grow + 2)) : m_box.bottom;
    }

    // Outline spans (unclipped, may be empty) and the interior span (x0 >= x1 when none) of row y.
    void row(std::int64_t y, std::vector<Span>& outline, Span& interior) const {
        outline.clear();
        interior = {0, 0};
        std::int64_t l, r;
        if (!m_wide) {
            if (!ellipseRow(m_cx, m_cy, m_rx, m_ry, y, l, r)) return;
            if (y == m_box.top || y == m_box.bottom - 1) {
                outline.push_back({l, r + 1});
                return;
            }
            // Reach towards the neighbouring rows' ends so the outline stays connected where the
            // curve is flat, and no further, so it stays one pixel thin where it is steep.
            std::int64_t l1 = l, r1 = r, l2 = l, r2 = r;
            ellipseRow(m_cx, m_cy, m_rx, m_ry, y - 1, l1, r1);
            ellipseRow(m_cx, m_cy, m_rx, m_ry, y + 1, l2, r2);
            const std::int64_t leftEnd = std::max(l, std::max(l1, l2) - 1);
            const std::int64_t rightStart = std::min(r, std::min(r1, r2) + 1);
            if (leftEnd + 1 >= rightStart) {
                outline.push_back({l, r + 1});
            } else {
                outline.push_back({l, leftEnd + 1});
                outline.push_back({rightStart, r + 1});
                interior = {leftEnd + 1, rightStart};
            }
            return;
        }
        if (!ellipseRow(m_cx, m_cy, m_rx + m_grow, m_ry + m_grow, y, l, r)) return;
        const long double inRx = m_rx + m_grow - m_width;
        const long double inRy = m_ry + m_grow - m_width;
        std::int64_t hl, hr;
        if (inRx >= 0 && inRy >= 0 && ellipseRow(m_cx, m_cy, inRx, inRy, y, hl, hr)) {
            outline.push_back({l, hl});
            outline.push_back({hr + 1, r + 1});
            interior = {hl, hr + 1};
        } else {
            outline.push_back({l, r + 1});
        }
    }

private:
    static std::int64_t toRow(long double v) {
        return static_cast<std::int64_t>(std::clamp(v, -4.0L * kCoordLimit, 4.0L * kCoordLimit));
    }

    Rect m_box;
    long double m_cx, m_cy, m_rx, m_ry;
    bool m_wide;
    long double m_width;
    long double m_grow = 0;
};

// Angle of a point seen from the centre, counter-clockwise on screen (y grows downward).
long double screenAngle(long double dx, long double dy) { return std::atan2(-dy, dx); }

// The pixels of a one-pixel curved outline in the order a dashed pen walks them: counter-clockwise
// from the angle `from`, each with whether the pen's pattern draws it. An arc keeps the pixels up to
// `sweep`; the pattern starts at its first pixel, as a line's starts at its first step.
struct DashedPixel {
    std::int64_t y;
    std::int64_t x;
    double angle;  // from `from`, 0 .. 2 pi
    bool on;
};

// Outlines longer than this are walked only where they cross the clip rectangle, so a huge figure
// costs what the bitmap holds; the pattern's phase then starts at the clip.
constexpr std::size_t kDashWalkLimit = std::size_t{1} << 20;

std::vector<DashedPixel> dashedOutline(const EllipseRows& rows, const Rect& box, const Rect& clip,
                                       const DashPattern& pattern, long double from, long double sweep) {
    const bool whole = sweep >= 2 * kPi;
    const bool walkAll = static_cast<std::uint64_t>(box.width()) + static_cast<std::uint64_t>(box.height()) <
                         kDashWalkLimit / 2;
    const std::int64_t top = walkAll ? rows.top() : std::max(rows.top(), clip.top);
    const std::int64_t bottom = walkAll ? rows.bottom() : std::min(rows.bottom(), clip.bottom);
    std::vector<DashedPixel> pixels;
    std::vector<Span> outline;
    Span interior;
    for (std::int64_t y = top; y < bottom; ++y) {
        rows.row(y, outline, interior);
        for (const Span& s : outline) {
            const std::int64_t x0 = walkAll ? s.x0 : std::max(s.x0, clip.left);
            const std::int64_t x1 = walkAll ? s.x1 : std::min(s.x1, clip.right);
            for (std::int64_t x = x0; x < x1; ++x) {
                long double a = screenAngle(x - rows.cx(), y - rows.cy()) - from;
                while (a < 0) a += 2 * kPi;
                if (!whole && a > sweep) continue;
                pixels.push_back({y, x, static_cast<double>(a), true});
            }
        }
    }
    std::sort(pixels.begin(), pixels.end(), [](const DashedPixel& a, const DashedPixel& b) {
        if (a.angle != b.angle) return a.angle < b.angle;
        return a.y != b.y ? a.y > b.y : a.x < b.x;
    });
    for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i].on = pattern.on(static_cast<std::int64_t>(i));
    std::sort(pixels.begin(), pixels.end(), [](const DashedPixel& a, const DashedPixel& b) {
        return a.y != b.y ? a.y < b.y : a.x < b.x;
    });
    return pixels;
}

// Appends the stroke runs of row y from a dashed outline (sorted by row), starting at `next` and
// leaving it at the first pixel of a later row. Gaps take `gapInk` when it is given.
void dashedRuns(const std::vector<DashedPixel>& pixels, std::size_t& next, std::int64_t y, const Rect& clip,
                const Ink* penInk, const Ink* gapInk, std::vector<StrokeRun>& runs) {
    while (next < pixels.size() && pixels[next].y < y) ++next;
    for (; next < pixels.size() && pixels[next].y == y; ++next) {
        const DashedPixel& p = pixels[next];
        const Ink* ink = p.on ? penInk : gapInk;
        if (!ink || p.x < clip.left || p.x >= clip.right) continue;
        if (!runs.empty() && runs.back().x1 == p.x && runs.back().ink == ink) ++runs.back().x1;
        else runs.push_back({p.x, p.x + 1, ink});
    }
}

} // namespace

void Canvas::drawRectangle(const Rect& boxIn) {
    const Rect box = boxIn.clamped().normalised();
    const Rect clip = clipRect();
    if (box.empty() || clip.empty()) return;
    const BrushPainter brush(m_brush, m_rop2, m_bkColour, m_bkMode);

    if (m_pen.isNull()) {
        // Without a pen the filled area is one pixel smaller on the right and at the bottom, as GDI's is.
        const Rect inner = Rect{box.left, box.top, box.right - 1, box.bottom - 1}.intersected(clip);
        for (std::int64_t y = inner.top; y < inner.bottom; ++y) brush.paint(*m_target, y, inner.left, inner.right);
        return;
    }
    if (!m_pen.isWide()) {
        const Rect inner = Rect{box.left + 1, box.top + 1, box.right - 1, box.bottom - 1}.intersected(clip);
        for (std::int64_t y = inner.top; y < inner.bottom; ++y) brush.paint(*m_target, y, inner.left, inner.right);
        if (box.width() == 1 || box.height() == 1) {
            const Point line[2] = {{box.left, box.top}, {box.right - 1, box.bottom - 1}};
            strokeThinPolyline(line, false, true);
        } else {
            const Point frame[4] = {{box.left, box.top}, {box.right - 1, box.top},
                                    {box.right - 1, box.bottom - 1}, {box.left, box.bottom - 1}};
            strokeThinPolyline(frame, true, false);
        }
        return;
    }

    // Wide pen: a round-joined stroke along the path through the outer pixel centres (moved inward by
    // half the pen for an inside-frame pen); the interior is what the path encloses.
    const long double inset =
        m_pen.style == PenStyle::InsideFrame ? static_cast<long double>(m_pen.width - 1) / 2 : 0;
    long double l = box.left + inset, r = box.right - 1 - inset;
    long double t = box.top + inset, b = box.bottom - 1 - inset;
    if (l > r) l = r = box.left + static_cast<long double>(box.width() - 1) / 2;
    if (t > b) t = b = box.top + static_cast<long double>(box.height() - 1) / 2;
    const WideOutline outline({{l, t}, {r, t}, {r, b}, {l, b}}, static_cast<long double>(m_pen.width) / 2);
    const Span fillCols = realSpan(l, r);
    const Span fillRows = realSpan(t, b);

    const Ink penInk = makeInk(m_rop2, m_pen.colour);
    // An inside-frame pen wider than the box fills the box and no more.
    const Rect area = m_pen.style == PenStyle::InsideFrame ? clip.intersected(box) : clip;
    const std::int64_t top = std::max(area.top, outline.top());
    const std::int64_t bottom = std::min(area.bottom - 1, outline.bottom());
    std::vector<Span> strokeSpans, fill;
    std::vector<StrokeRun> runs;
    for (std::int64_t y = top; y <= bottom; ++y) {
        outline.row(y, area, strokeSpans);
        spansToRuns(strokeSpans, &penInk, runs);
        fill.clear();
        if (y >= fillRows.x0 && y < fillRows.x1) pushSpan(fill, fillCols.x0, fillCols.x1, area);
        paintFigureRow(*m_target, y, runs, fill, &brush);
    }
}

void Canvas::drawEllipse(const Rect& boxIn) {
    const Rect box = boxIn.clamped().normalised();
    const Rect clip = clipRect();
    if (box.empty() || clip.empty()) return;
    const BrushPainter brush(m_brush, m_rop2, m_bkColour, m_bkMode);
    const Ink penInk = makeInk(m_rop2, m_pen.colour);
    const Ink gapInk = makeInk(m_rop2, m_bkColour);
    const EllipseRows rows(box, m_pen);
    const bool noPen = m_pen.isNull();
    const DashPattern pattern = noPen || m_pen.isWide() ? DashPattern{} : dashPatternFor(m_pen.style);
    std::vector<DashedPixel> dashed;
    std::size_t nextDashed = 0;
    if (pattern.length) dashed = dashedOutline(rows, box, clip, pattern, 0, 2 * kPi);

    std::vector<Span> outline, fill;
    std::vector<StrokeRun> runs;
    Span interior;
    const std::int64_t top = std::max(clip.top, rows.top());
    const std::int64_t bottom = std::min(clip.bottom, rows.bottom());
    for (std::int64_t y = top; y < bottom; ++y) {
        rows.row(y, outline, interior);
        runs.clear();
        fill.clear();
        if (noPen) {
            // The brush covers the whole figure, outline included.
            for (const Span& s : outline) pushSpan(fill, s.x0, s.x1, clip);
            pushSpan(fill, interior.x0, interior.x1, clip);
            mergeSpans(fill);
        } else if (pattern.length) {
            dashedRuns(dashed, nextDashed, y, clip, &penInk,
                       m_bkMode == BackgroundMode::Opaque ? &gapInk : nullptr, runs);
            pushSpan(fill, interior.x0, interior.x1, clip);
        } else {
            for (const Span& s : outline) {
                const std::int64_t x0 = std::max(s.x0, clip.left), x1 = std::min(s.x1, clip.right);
                if (x0 < x1) runs.push_back({x0, x1, &penInk});
            }
            pushSpan(fill, interior.x0, interior.x1, clip);
        }
        paintFigureRow(*m_target, y, runs, fill, &brush);
    }
}

void Canvas::drawArc(const Rect& boxIn, Point start, Point end) {
    const Rect box = boxIn.clamped().normalised();
    const Rect clip = clipRect();
    if (box.empty() || clip.empty() || m_pen.isNull()) return;
    const EllipseRows rows(box, m_pen);
    const Ink penInk = makeInk(m_rop2, m_pen.colour);
    start = {clampCoord(start.x), clampCoord(start.y)};
    end = {clampCoord(end.x), clampCoord(end.y)};
    const long double from = screenAngle(start.x - rows.cx(), start.y - rows.cy());
    long double sweep = screenAngle(end.x - rows.cx(), end.y - rows.cy()) - from;
    while (sweep <= 0) sweep += 2 * kPi;
    const bool whole = start == end || std::fabs(sweep - 2 * kPi) < 1e-12L;

    const DashPattern pattern = m_pen.isWide() ? DashPattern{} : dashPatternFor(m_pen.style);
    if (pattern.length) {
        const Ink gapInk = makeInk(m_rop2, m_bkColour);
        const std::vector<DashedPixel> dashed = dashedOutline(rows, box, clip, pattern, from, whole ? 2 * kPi : sweep);
        std::vector<StrokeRun> runs;
        const std::vector<Span> noFill;
        std::size_t next = 0;
        while (next < dashed.size()) {
            const std::int64_t y = dashed[next].y;
            runs.clear();
            dashedRuns(dashed, next, y, clip, &penInk, m_bkMode == BackgroundMode::Opaque ? &gapInk : nullptr, runs);
            if (y >= clip.top && y < clip.bottom) paintFigureRow(*m_target, y, runs, noFill, nullptr);
        }
        return;
    }

    std::vector<Span> outline;
    Span interior;
    const std::int64_t top = std::max(clip.top, rows.top());
    const std::int64_t bottom = std::min(clip.bottom, rows.bottom());
    for (std::int64_t y = top; y < bottom; ++y) {
        rows.row(y, outline, interior);
        std::uint32_t* p = m_target->row(y);
        for (const Span& s : outline) {
            const std::int64_t x0 = std::max(s.x0, clip.left), x1 = std::min(s.x1, clip.right);
            for (std::int64_t x = x0; x < x1; ++x) {
                if (!whole) {
                    long double a = screenAngle(x - rows.cx(), y - rows.cy()) - from;
                    while (a < 0) a += 2 * kPi;
                    if (a > sweep) continue;
                }
                p[x] = penInk.apply(p[x]);
            }
        }
    }
}

void Canvas::drawPolygon(std::span<const Point> input, FillRule rule) {
    const Rect clip = clipRect();
    if (input.size() < 2 || clip.empty()) return;
    std::vector<Point> pts(input.begin(), input.end());
    for (Point& p : pts) p = {clampCoord(p.x), clampCoord(p.y)};

    struct Edge {
        std::int64_t x0, y0, x1, y1;
        int dir;
    };
    std::vector<Edge> edges;
    std::int64_t yMin = INT64_MAX, yMax = INT64_MIN;
    for (std::size_t i = 0; i < pts.size(); ++i) {
        const Point a = pts[i], b = pts[(i + 1) % pts.size()];
        yMin = std::min(yMin, a.y);
        yMax = std::max(yMax, a.y);
        if (a.y == b.y) continue;
        if (a.y < b.y) edges.push_back({a.x, a.y, b.x, b.y, 1});
        else edges.push_back({b.x, b.y, a.x, a.y, -1});
    }

    const BrushPainter brush(m_brush, m_rop2, m_bkColour, m_bkMode);
    const Ink penInk = makeInk(m_rop2, m_pen.colour);
    const Ink gapInk = makeInk(m_rop2, m_bkColour);
    const bool hasPen = !m_pen.isNull();
    const bool wide = hasPen && m_pen.isWide();

    // A one-pixel outline is collected first, so the interior can leave its pixels alone and a
    // self-touching outline still paints each pixel once.
    struct OutlinePixel {
        std::int64_t y, x;
        bool on;
    };
    std::vector<OutlinePixel> thin;
    std::int64_t top = yMin, bottom = yMax;  // rows of interest, inclusive
    if (hasPen && !wide) {
        const DashPattern pattern = dashPatternFor(m_pen.style);
        const bool opaqueGaps = m_bkMode == BackgroundMode::Opaque;
        std::int64_t pos = 0;
        for (std::size_t i = 0; i < pts.size(); ++i) {
            const std::int64_t base = pos;
            const std::int64_t steps = walkSegment(pts[i], pts[(i + 1) % pts.size()], clip,
                                                   [&](std::int64_t x, std::int64_t y, std::int64_t t) {
                const bool on = pattern.length == 0 || pattern.on(base + t);
                if (on || opaqueGaps) thin.push_back({y, x, on});
            });
            if (pattern.length) pos = (base + steps) % pattern.length;
        }
        std::sort(thin.begin(), thin.end(), [](const OutlinePixel& a, const OutlinePixel& b) {
            return a.y != b.y ? a.y < b.y : a.x < b.x;
        });
        thin.erase(std::unique(thin.begin(), thin.end(),
                               [](const OutlinePixel& a, const OutlinePixel& b) { return a.y == b.y && a.x == b.x; }),
                   thin.end());
    }
    std::vector<std::pair<long double, long double>> path;
    std::optional<WideOutline> wideOutline;
    if (wide) {
        for (const Point& p : pts) path.emplace_back(p.x, p.y);
        wideOutline.emplace(path, static_cast<long double>(m_pen.width) / 2);
        top = std::min(top, wideOutline->top());
        bottom = std::max(bottom, wideOutline->bottom());
    }
    top = std::max(top, clip.top);
    bottom = std::min(bottom, clip.bottom - 1);

    struct Crossing {
        std::int64_t x;
        int dir;
    };
    std::vector<Crossing> crossings;
    std::vector<Span> fill, strokeSpans;
    std::vector<StrokeRun> runs;
    std::size_t ti = 0;
    for (std::int64_t y = top; y <= bottom; ++y) {
        // Interior: pixel x is inside when x is at or right of a crossing, so left edges are included
        // and right edges left out; edges cover rows y0 <= y < y1, so the bottom row is left out too.
        crossings.clear();
        if (!brush.isNull()) {
            for (const Edge& e : edges) {
                if (y < e.y0 || y >= e.y1) continue;
                const Int128 dy = e.y1 - e.y0;
                const std::int64_t x = ceilDiv(Int128{e.x0} * dy + Int128{y - e.y0} * (e.x1 - e.x0), dy);
                crossings.push_back({x, e.dir});
            }
            std::sort(crossings.begin(), crossings.end(), [](const Crossing& a, const Crossing& b) { return a.x < b.x; });
        }
        fill.clear();
        int winding = 0;
        for (std::size_t i = 0; i + 1 < crossings.size(); ++i) {
            winding += rule == FillRule::Winding ? crossings[i].dir : 1;
            const bool inside = rule == FillRule::Winding ? winding != 0 : (winding & 1) != 0;
            if (inside) pushSpan(fill, crossings[i].x, crossings[i + 1].x, clip);
        }
        mergeSpans(fill);

        runs.clear();
        if (wide) {
            wideOutline->row(y, clip, strokeSpans);
            spansToRuns(strokeSpans, &penInk, runs);
        } else {
            while (ti < thin.size() && thin[ti].y < y) ++ti;
            for (; ti < thin.size() && thin[ti].y == y; ++ti) {
                const Ink* ink = thin[ti].on ? &penInk : &gapInk;
                if (!runs.empty() && runs.back().x1 == thin[ti].x && runs.back().ink == ink) ++runs.back().x1;
                else runs.push_back({thin[ti].x, thin[ti].x + 1, ink});
            }
        }
        paintFigureRow(*m_target, y, runs, fill, &brush);
    }
}

} // namespace qm
