// Shared raster helpers: spans, dash patterns, brush painting, capsules and ellipse rows.
#include "raster_detail.h"

#include <cmath>
#include <initializer_list>
#include <limits>

namespace qm::raster_detail {

void mergeSpans(std::vector<Span>& spans) {
    std::sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) { return a.x0 < b.x0; });
    std::size_t out = 0;
    for (const Span& s : spans) {
        if (s.x1 <= s.x0) continue;
        if (out > 0 && s.x0 <= spans[out - 1].x1) {
            spans[out - 1].x1 = std::max(spans[out - 1].x1, s.x1);
        } else {
            spans[out++] = s;
        }
    }
    spans.resize(out);
}

namespace {
DashPattern makePattern(std::initializer_list<std::uint32_t> runs) {
    DashPattern p;
    bool on = true;
    for (std::uint32_t run : runs) {
        for (std::uint32_t i = 0; i < run; ++i, ++p.length)
            if (on) p.bits |= 1u << p.length;
        on = !on;
    }
    return p;
}
} // namespace

// Runs of drawn and skipped pixels of the one-pixel dashed pens (first run drawn).
DashPattern dashPatternFor(PenStyle style) {
    switch (style) {
    case PenStyle::Dash: return makePattern({18, 6});
    case PenStyle::Dot: return makePattern({3, 3});
    case PenStyle::DashDot: return makePattern({9, 6, 3, 6});
    case PenStyle::DashDotDot: return makePattern({9, 3, 3, 3, 3, 3});
    default: return {};
    }
}

namespace {
// Row r of an 8 x 8 hatch cell; bit c is column c.
void hatchRows(HatchStyle style, std::uint8_t rows[8]) {
    for (int r = 0; r < 8; ++r) {
        const std::uint8_t horizontal = r == 7 ? 0xFF : 0x00;
        const std::uint8_t vertical = 0x10;
        const std::uint8_t falling = static_cast<std::uint8_t>(1u << r);
        const std::uint8_t rising = static_cast<std::uint8_t>(1u << (7 - r));
        switch (style) {
        case HatchStyle::Horizontal: rows[r] = horizontal; break;
        case HatchStyle::Vertical: rows[r] = vertical; break;
        case HatchStyle::FDiagonal: rows[r] = falling; break;
        case HatchStyle::BDiagonal: rows[r] = rising; break;
        case HatchStyle::Cross: rows[r] = horizontal | vertical; break;
        case HatchStyle::DiagCross: rows[r] = falling | rising; break;
        default: rows[r] = 0; break;
        }
    }
}
} // namespace

BrushPainter::BrushPainter(const Brush& brush, Rop2 mode, Rgb bkColour, BackgroundMode bkMode)
    : m_null(brush.isNull()),
      m_hatched(brush.style == BrushStyle::Hatched),
      m_opaqueGaps(bkMode == BackgroundMode::Opaque),
      m_ink(makeInk(mode, brush.colour)),
      m_gapInk(makeInk(mode, bkColour)) {
    if (m_hatched) hatchRows(brush.hatch, m_rows);
}

void BrushPainter::paint(Bitmap& bmp, std::int64_t y, std::int64_t x0, std::int64_t x1) const {
    if (m_null || x0 >= x1) return;
    if (!m_hatched) {
        paintInk(bmp, y, x0, x1, m_ink);
        return;
    }
    std::uint32_t* p = bmp.row(y);
    const unsigned bits = m_rows[y & 7];
    for (std::int64_t x = x0; x < x1; ++x) {
        if ((bits >> (x & 7)) & 1u) p[x] = m_ink.apply(p[x]);
        else if (m_opaqueGaps) p[x] = m_gapInk.apply(p[x]);
    }
}

void paintFigureRow(Bitmap& bmp, std::int64_t y, const std::vector<StrokeRun>& stroke,
                    const std::vector<Span>& fill, const BrushPainter* brush) {
    for (const StrokeRun& run : stroke) paintInk(bmp, y, run.x0, run.x1, *run.ink);
    if (!brush || brush->isNull()) return;
    std::size_t si = 0;
    for (const Span& f : fill) {
        std::int64_t cur = f.x0;
        while (cur < f.x1) {
            while (si < stroke.size() && stroke[si].x1 <= cur) ++si;
            if (si < stroke.size() && stroke[si].x0 <= cur) {
                cur = stroke[si].x1;
                continue;
            }
            const std::int64_t next = si < stroke.size() ? std::min(f.x1, stroke[si].x0) : f.x1;
            brush->paint(bmp, y, cur, next);
            cur = next;
        }
    }
}

namespace {
constexpr long double kHuge = static_cast<long double>(std::int64_t{1} << 62);

std::int64_t toInt(long double v) {
    return static_cast<std::int64_t>(std::clamp(v, -kHuge, kHuge));
}

// Solves lo <= alpha * x + beta <= hi for x, narrowing [xmin, xmax]; false when nothing is left.
bool narrow(long double alpha, long double beta, long double lo, long double hi, long double& xmin,
            long double& xmax) {
    if (std::fabs(alpha) < 1e-15L) return beta >= lo && beta <= hi;
    long double a = (lo - beta) / alpha;
    long double b = (hi - beta) / alpha;
    if (a > b) std::swap(a, b);
    xmin = std::max(xmin, a);
    xmax = std::min(xmax, b);
    return xmin <= xmax;
}
} // namespace

Span realSpan(long double x0, long double x1) {
    return {toInt(std::ceil(x0)), toInt(std::ceil(x1))};
}

Capsule::Capsule(long double ax, long double ay, long double bx, long double by, long double r)
    : m_ax(ax), m_ay(ay), m_bx(bx), m_by(by), m_r(r) {
    const long double dx = bx - ax;
    const long double dy = by - ay;
    m_len = std::sqrt(dx * dx + dy * dy);
    if (m_len > 0) {
        m_ux = dx / m_len;
        m_uy = dy / m_len;
    }
    m_top = toInt(std::floor(std::min(ay, by) - r));
    m_bottom = toInt(std::ceil(std::max(ay, by) + r));
}

bool Capsule::rowSpan(std::int64_t y, Span& out) const {
    // Rows follow the same half-open rule as columns: a stroke from y0 to y1 (exclusive) covers rows
    // y0 <= y < y1, so the row is sampled just below its centre line.
    const long double fy = static_cast<long double>(y) + 1.0L / 4096;
    long double lo = std::numeric_limits<long double>::infinity();
    long double hi = -lo;
    auto disc = [&](long double cx, long double cy) {
        const long double d = fy - cy;
        if (std::fabs(d) >= m_r) return;
        const long double h = std::sqrt(m_r * m_r - d * d);
        lo = std::min(lo, cx - h);
        hi = std::max(hi, cx + h);
    };
    disc(m_ax, m_ay);
    disc(m_bx, m_by);
    if (m_len > 0) {
        // Points within r of the segment's line and between the perpendiculars through its ends.
        long double xmin = -std::numeric_limits<long double>::infinity();
        long double xmax = -xmin;
        const long double ry = fy - m_ay;
        if (narrow(m_ux, ry * m_uy, 0, m_len, xmin, xmax) && narrow(-m_uy, ry * m_ux, -m_r, m_r, xmin, xmax)) {
            lo = std::min(lo, m_ax + xmin);
            hi = std::max(hi, m_ax + xmax);
        }
    }
    if (!(lo < hi)) return false;
    out = realSpan(lo, hi);
    return out.x0 < out.x1;
}

bool ellipseRow(long double cx, long double cy, long double rx, long double ry, std::int64_t y,
                std::int64_t& left, std::int64_t& right) {
    if (rx < 0 || ry < 0) return false;
    // Tolerance for values that the square root misses by an ulp; far below a pixel at any coordinate.
    constexpr long double kEps = 1e-6L;
    // The row stands for the band y - 1/2 .. y + 1/2; it takes the curve's widest extent in the band.
    const long double d0 = static_cast<long double>(y) - 0.5L - cy;
    const long double d1 = d0 + 1;
    const long double d = (d0 <= 0 && d1 >= 0) ? 0 : std::min(std::fabs(d0), std::fabs(d1));
    long double s;
    if (ry == 0) {
        if (d > kEps) return false;
        s = rx;
    } else {
        if (d >= ry - kEps) return false;
        s = rx * std::sqrt(std::max(1 - (d / ry) * (d / ry), 0.0L));
    }
    // Pixel centres within that extent, and at least the one or two pixels nearest the centre line.
    s = std::max(s, 0.5L);
    left = toInt(std::ceil(cx - s - kEps));
    right = toInt(std::floor(cx + s + kEps));
    return left <= right;
}

} // namespace qm::raster_detail
