// Internal pieces shared by the canvas's drawing files: the line walker, spans, brush painting and
// the row-by-row painting of figures. Not part of the library's interface.
#pragma once

#include "bitmap.h"
#include "geometry.h"
#include "pen.h"
#include "rop.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace qm::raster_detail {

using Int128 = __int128;

// Half-open run of pixels [x0, x1) on one row.
struct Span {
    std::int64_t x0;
    std::int64_t x1;
};

// Sorts and joins overlapping or touching spans, dropping empty ones, so every pixel appears once.
void mergeSpans(std::vector<Span>& spans);

inline std::int64_t floorDiv(Int128 n, Int128 d) {  // d > 0
    Int128 q = n / d;
    if ((n % d != 0) && (n < 0)) --q;
    return static_cast<std::int64_t>(q);
}
inline std::int64_t ceilDiv(Int128 n, Int128 d) {  // d > 0
    Int128 q = n / d;
    if ((n % d != 0) && (n > 0)) ++q;
    return static_cast<std::int64_t>(q);
}

// Calls plot(x, y, t) for every pixel of the segment a -> b that lies inside `clip`, t being the number
// of steps from a; the end pixel b is never plotted. Returns the segment's step count, so dash patterns
// can carry on into the next segment whether or not this one was visible.
//
// Step t along the longer axis lights minor offset k(t) = round(t * minor / len), where an exact half
// goes to the smaller coordinate (the upper pixel of a mostly horizontal line, the left pixel of a
// mostly vertical one). So the pixels do not depend on the direction the line is drawn in.
template <class Plot>
std::int64_t walkSegment(Point a, Point b, const Rect& clip, Plot&& plot) {
    const std::int64_t dx = b.x - a.x;
    const std::int64_t dy = b.y - a.y;
    const std::int64_t adx = std::abs(dx);
    const std::int64_t ady = std::abs(dy);
    const bool xMajor = adx >= ady;
    const std::int64_t len = xMajor ? adx : ady;
    if (len == 0) return 0;
    const std::int64_t minor = xMajor ? ady : adx;
    const std::int64_t du = xMajor ? dx : dy;
    const std::int64_t dv = xMajor ? dy : dx;
    const std::int64_t su = du > 0 ? 1 : -1;
    const std::int64_t sv = dv > 0 ? 1 : (dv < 0 ? -1 : 0);
    const std::int64_t bias = sv > 0 ? 1 : 0;  // ties round down in k when k grows downward/rightward
    const std::int64_t u0 = xMajor ? a.x : a.y;
    const std::int64_t v0 = xMajor ? a.y : a.x;

    std::int64_t tFirst = 0;
    std::int64_t tEnd = len;
    if (!(clip.contains(a.x, a.y) && clip.contains(b.x, b.y))) {
        const std::int64_t uMin = xMajor ? clip.left : clip.top;
        const std::int64_t uMax = xMajor ? clip.right : clip.bottom;
        const std::int64_t vMin = xMajor ? clip.top : clip.left;
        const std::int64_t vMax = xMajor ? clip.bottom : clip.right;
        if (su > 0) {
            tFirst = std::max(tFirst, uMin - u0);
            tEnd = std::min(tEnd, uMax - u0);
        } else {
            tFirst = std::max(tFirst, u0 - (uMax - 1));
            tEnd = std::min(tEnd, u0 - uMin + 1);
        }
        if (tFirst >= tEnd) return len;
        const std::int64_t kLo = sv >= 0 ? vMin - v0 : v0 - (vMax - 1);
        const std::int64_t kHi = sv >= 0 ? vMax - 1 - v0 : v0 - vMin;
        if (minor == 0) {
            if (kLo > 0 || kHi < 0) return len;
        } else {
            // First step whose offset reaches k: k(t) >= k  <=>  2tm + len - bias >= 2 len k.
            auto firstStepReaching = [&](std::int64_t k) -> std::int64_t {
                if (k <= 0) return 0;
                return ceilDiv(Int128{2} * len * k - len + bias, Int128{2} * minor);
            };
            tFirst = std::max(tFirst, firstStepReaching(kLo));
            tEnd = std::min(tEnd, firstStepReaching(kHi + 1));
        }
        if (tFirst >= tEnd) return len;
    }

    const Int128 num = Int128{2} * tFirst * minor + len - bias;
    std::int64_t k = static_cast<std::int64_t>(num / (Int128{2} * len));
    std::int64_t err = static_cast<std::int64_t>(num - Int128{2} * len * (k + 1));
    std::int64_t u = u0 + su * tFirst;
    std::int64_t v = v0 + sv * k;
    const std::int64_t twoMinor = 2 * minor;
    const std::int64_t twoLen = 2 * len;
    if (xMajor) {
        for (std::int64_t t = tFirst; t < tEnd; ++t) {
            plot(u, v, t);
            u += su;
            err += twoMinor;
            if (err >= 0) { v += sv; err -= twoLen; }
        }
    } else {
        for (std::int64_t t = tFirst; t < tEnd; ++t) {
            plot(v, u, t);
            u += su;
            err += twoMinor;
            if (err >= 0) { v += sv; err -= twoLen; }
        }
    }
    return len;
}

// The on/off pattern of a one-pixel dashed pen, one entry per step along the line.
struct DashPattern {
    std::uint32_t bits = 0;  // bit i set: step i of the pattern is drawn
    std::uint32_t length = 0;  // 0: solid

    bool on(std::int64_t step) const { return (bits >> (step % length)) & 1u; }
};
DashPattern dashPatternFor(PenStyle style);

// Paints spans with a brush through a pen mode; hatch cells are aligned to the bitmap's origin.
class BrushPainter {
public:
    BrushPainter(const Brush& brush, Rop2 mode, Rgb bkColour, BackgroundMode bkMode);
    bool isNull() const { return m_null; }
    void paint(Bitmap& bmp, std::int64_t y, std::int64_t x0, std::int64_t x1) const;

private:
    bool m_null = false;
    bool m_hatched = false;
    bool m_opaqueGaps = false;
    Ink m_ink;
    Ink m_gapInk;
    std::uint8_t m_rows[8] = {};
};

inline void paintInk(Bitmap& bmp, std::int64_t y, std::int64_t x0, std::int64_t x1, const Ink& ink) {
    std::uint32_t* p = bmp.row(y);
    for (std::int64_t x = x0; x < x1; ++x) p[x] = ink.apply(p[x]);
}

// A run of outline pixels on one row and the ink it is painted with.
struct StrokeRun {
    std::int64_t x0;
    std::int64_t x1;
    const Ink* ink;
};

// Paints one row of a figure: the stroke runs (sorted, disjoint) with their inks, then the parts of the
// fill spans (sorted, merged) that no stroke run covers, with the brush. No pixel is painted twice.
void paintFigureRow(Bitmap& bmp, std::int64_t y, const std::vector<StrokeRun>& stroke,
                    const std::vector<Span>& fill, const BrushPainter* brush);

// The area swept by a disc of radius r moving from a to b (a segment with round ends), in real
// coordinates where pixel (x, y) is the point (x, y).
class Capsule {
public:
    Capsule(long double ax, long double ay, long double bx, long double by, long double r);
    std::int64_t top() const { return m_top; }
    std::int64_t bottom() const { return m_bottom; }  // inclusive
    // The capsule's pixels on row y as [x0, x1): x0 <= x < x1 for the real crossing points.
    bool rowSpan(std::int64_t y, Span& out) const;

private:
    long double m_ax, m_ay, m_bx, m_by, m_r;
    long double m_ux = 0, m_uy = 0, m_len = 0;  // unit direction and length
    std::int64_t m_top, m_bottom;
};

// Pixels x with x0 <= x < x1 for real bounds, as a clamped integer span.
Span realSpan(long double x0, long double x1);

// Pixels [left, right] of row y of the filled ellipse with centre (cx, cy) and half axes (rx, ry)
// measured between pixel centres; false when the row misses it.
bool ellipseRow(long double cx, long double cy, long double rx, long double ry, std::int64_t y,
                std::int64_t& left, std::int64_t& right);

} // namespace qm::raster_detail
