// Points and rectangles of the rasteriser, in 64-bit pixel coordinates (x right, y down).
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace qm {

// Every coordinate that enters the rasteriser is clamped to this magnitude. It lies far outside any
// bitmap, and keeps products of two coordinate differences inside 128-bit arithmetic.
constexpr std::int64_t kCoordLimit = std::int64_t{1} << 40;

constexpr std::int64_t clampCoord(std::int64_t v) {
    return std::clamp(v, -kCoordLimit, kCoordLimit);
}

// A real position to a pixel: rounded half away from zero, as positions are everywhere; values beyond
// the coordinate limit (1e30, infinities) saturate and NaN counts as 0, so callers never overflow.
inline std::int64_t toCoord(double v) {
    if (std::isnan(v)) return 0;
    const double r = std::round(v);
    if (r >= static_cast<double>(kCoordLimit)) return kCoordLimit;
    if (r <= -static_cast<double>(kCoordLimit)) return -kCoordLimit;
    return static_cast<std::int64_t>(r);
}

struct Point {
    std::int64_t x = 0;
    std::int64_t y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

// Right and bottom are exclusive: a rectangle (0, 0, 4, 4) covers columns and rows 0..3.
struct Rect {
    std::int64_t left = 0;
    std::int64_t top = 0;
    std::int64_t right = 0;
    std::int64_t bottom = 0;

    friend bool operator==(const Rect&, const Rect&) = default;

    static Rect fromSize(std::int64_t x, std::int64_t y, std::int64_t w, std::int64_t h) {
        return {x, y, x + w, y + h};
    }
    std::int64_t width() const { return right - left; }
    std::int64_t height() const { return bottom - top; }
    bool empty() const { return right <= left || bottom <= top; }
    bool contains(std::int64_t x, std::int64_t y) const {
        return x >= left && x < right && y >= top && y < bottom;
    }
    // Corners swapped where needed so that left <= right and top <= bottom.
    Rect normalised() const {
        return {std::min(left, right), std::min(top, bottom), std::max(left, right), std::max(top, bottom)};
    }
    Rect clamped() const {
        return {clampCoord(left), clampCoord(top), clampCoord(right), clampCoord(bottom)};
    }
    // The common part; empty (at the origin) when the two do not meet.
    Rect intersected(const Rect& o) const {
        Rect r{std::max(left, o.left), std::max(top, o.top), std::min(right, o.right), std::min(bottom, o.bottom)};
        return r.empty() ? Rect{} : r;
    }
};

} // namespace qm
