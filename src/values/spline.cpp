// Catmull-Rom sampling: every segment gets a number of steps that grows with its length.
#include "spline.h"

#include <cmath>

namespace qm {

namespace {

LReal hundredths(LReal v) { return std::round(v * 100) / 100; }  // half away from zero

void addPoint(std::vector<SplinePoint>& out, size_t curveStart, LReal x, LReal y) {
    SplinePoint p{hundredths(x), hundredths(y)};
    if (out.size() > curveStart && out.back() == p) return;
    out.push_back(p);
}

// Short segments need few samples; long ones get up to 50.
LReal stepFor(const SplinePoint& a, const SplinePoint& b) {
    LReal len = std::hypot(b.x - a.x, b.y - a.y);
    if (len < 3) return 0.2L;
    if (len < 20) return 0.1L;
    if (len < 100) return 0.05L;
    return 0.02L;
}

} // namespace

void sampleSpline(const SplinePoint* pts, size_t n, std::vector<SplinePoint>& out) {
    const size_t start = out.size();
    if (n == 0) return;
    bool closed = n > 2 && pts[0] == pts[n - 1];
    if (closed) --n;  // the repeated first point is the curve's end
    if (n <= 2) {
        // Two points give a straight segment.
        for (size_t i = 0; i < n; ++i) addPoint(out, start, pts[i].x, pts[i].y);
        if (closed) addPoint(out, start, pts[0].x, pts[0].y);
        return;
    }
    const size_t segments = closed ? n : n - 1;
    auto at = [&](ptrdiff_t i) -> const SplinePoint& {
        if (closed) return pts[((i % static_cast<ptrdiff_t>(n)) + static_cast<ptrdiff_t>(n)) % static_cast<ptrdiff_t>(n)];
        if (i < 0) return pts[0];
        if (i >= static_cast<ptrdiff_t>(n)) return pts[n - 1];
        return pts[i];
    };
    for (size_t s = 0; s < segments; ++s) {
        const ptrdiff_t i = static_cast<ptrdiff_t>(s);
        const SplinePoint &p0 = at(i - 1), &p1 = at(i), &p2 = at(i + 1), &p3 = at(i + 2);
        const LReal dt = stepFor(p1, p2);
        // Steps are counted, not summed, so rounding never adds or loses a sample.
        const int steps = static_cast<int>(std::lround(1 / dt));
        for (int k = 0; k < steps; ++k) {
            const LReal t = k * dt, t2 = t * t, t3 = t2 * t;
            const LReal h = 2 * t3 - 3 * t2 + 1;
            const LReal m1 = (t3 - 2 * t2 + t) / 2, m2 = (t3 - t2) / 2;
            addPoint(out, start, p1.x * h + p2.x * (1 - h) + (p2.x - p0.x) * m1 + (p3.x - p1.x) * m2,
                     p1.y * h + p2.y * (1 - h) + (p2.y - p0.y) * m1 + (p3.y - p1.y) * m2);
        }
    }
    const SplinePoint& last = closed ? pts[0] : pts[n - 1];
    addPoint(out, start, last.x, last.y);
}

} // namespace qm
