// Flood fill: finds the 4-connected area first, then paints it with the brush.
#include "canvas.h"

#include "raster_detail.h"

#include <vector>

namespace qm {

using namespace raster_detail;

// The search runs on an explicit stack of seeds and a visited bit per pixel of the clip area, so its
// memory is bounded by the bitmap and deep areas (spirals, mazes) cannot exhaust the call stack. The
// area is found before anything is painted: the brush may paint pixels in the very colour searched for.
bool Canvas::floodFill(Point seed, Rgb colour, FloodMode mode) {
    const Rect clip = clipRect();
    if (!clip.contains(seed.x, seed.y)) return false;
    colour &= kRgbMask;
    const Bitmap& bmp = *m_target;
    auto fillable = [&](std::int64_t x, std::int64_t y) {
        const Rgb px = bmp.row(y)[x];
        return mode == FloodMode::Surface ? px == colour : px != colour;
    };
    if (!fillable(seed.x, seed.y)) return false;

    const std::int64_t w = clip.width();
    std::vector<std::uint64_t> visited(static_cast<std::size_t>((w * clip.height() + 63) / 64), 0);
    auto bit = [&](std::int64_t x, std::int64_t y) {
        return static_cast<std::size_t>((y - clip.top) * w + (x - clip.left));
    };
    auto seen = [&](std::int64_t x, std::int64_t y) {
        const std::size_t i = bit(x, y);
        return (visited[i >> 6] >> (i & 63)) & 1u;
    };
    auto open = [&](std::int64_t x, std::int64_t y) { return !seen(x, y) && fillable(x, y); };

    struct Run {
        std::int64_t y, x0, x1;
    };
    std::vector<Run> found;
    std::vector<Point> stack{seed};
    while (!stack.empty()) {
        const Point p = stack.back();
        stack.pop_back();
        if (!open(p.x, p.y)) continue;
        std::int64_t x0 = p.x, x1 = p.x + 1;
        while (x0 > clip.left && open(x0 - 1, p.y)) --x0;
        while (x1 < clip.right && open(x1, p.y)) ++x1;
        for (std::int64_t x = x0; x < x1; ++x) {
            const std::size_t i = bit(x, p.y);
            visited[i >> 6] |= std::uint64_t{1} << (i & 63);
        }
        found.push_back({p.y, x0, x1});
        // Only pixels directly above or below the run: diagonal neighbours do not connect.
        for (const std::int64_t ny : {p.y - 1, p.y + 1}) {
            if (ny < clip.top || ny >= clip.bottom) continue;
            for (std::int64_t x = x0; x < x1; ++x) {
                if (!open(x, ny)) continue;
                stack.push_back({x, ny});
                while (x + 1 < x1 && open(x + 1, ny)) ++x;
            }
        }
    }

    const BrushPainter brush(m_brush, m_rop2, m_bkColour, m_bkMode);
    for (const Run& r : found) brush.paint(*m_target, r.y, r.x0, r.x1);
    return true;
}

} // namespace qm
