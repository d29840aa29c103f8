// Shared pieces of surfaces and turtles: real points, ranges, rounding to pixels, and the numbered
// pen modes, range styles and patterns with the internal words that name them.
#pragma once

#include <cmath>
#include <cstdint>
#include <string_view>

#include "graphics/raster/geometry.h"
#include "graphics/raster/pen.h"
#include "value.h"

namespace qm {

// A position in pixels of a surface, kept unrounded (absolute: y down; cartesian: y up).
struct RealPoint {
    LReal x = 0;
    LReal y = 0;
    friend bool operator==(const RealPoint&, const RealPoint&) = default;
};

// Rounded to the nearest pixel, halves away from zero, as positions are everywhere. Values far outside
// any bitmap (1e30, infinities) saturate at the rasteriser's coordinate limit and NaN counts as 0, so
// nothing downstream overflows.
inline std::int64_t nearest(LReal v) {
    if (std::isnan(v)) return 0;
    if (v >= static_cast<LReal>(kCoordLimit)) return kCoordLimit;
    if (v <= -static_cast<LReal>(kCoordLimit)) return -kCoordLimit;
    // Through double and an exact correction instead of roundl or a long double -> integer
    // conversion, both slow on x87. t is within one of v, and v - t is exact.
    const std::int64_t t = static_cast<std::int64_t>(static_cast<double>(v));
    const LReal f = v - static_cast<LReal>(t);
    if (f > 0.5L || (f == 0.5L && v > 0)) return t + 1;
    if (f < -0.5L || (f == -0.5L && v < 0)) return t - 1;
    return t;
}

inline Point nearestPoint(RealPoint p) { return {nearest(p.x), nearest(p.y)}; }

// The area a turtle stays in, in absolute coordinates, all four edges inclusive.
struct RangeBox {
    LReal xmin = 0;
    LReal xmax = 0;
    LReal ymin = 0;
    LReal ymax = 0;
    friend bool operator==(const RangeBox&, const RangeBox&) = default;

    // From a rectangle with exclusive right and bottom edges (a full rectangle).
    static RangeBox fromRect(const Rect& r) {
        return {static_cast<LReal>(r.left), static_cast<LReal>(r.right - 1), static_cast<LReal>(r.top),
                static_cast<LReal>(r.bottom - 1)};
    }
    // Back to a rectangle with exclusive right and bottom edges, on whole pixels.
    Rect toRect() const { return {nearest(xmin), nearest(ymin), nearest(xmax) + 1, nearest(ymax) + 1}; }
};

enum class PenMode : std::uint8_t { Up = 0, Down = 1, Reverse = 2, Erase = 3 };
enum class RangeStyle : std::uint8_t { Wrap = 0, Window = 1, Fence = 2, Bounce = 3 };

// The internal words (dictionary group "param") of the pen modes and range styles, by index.
inline constexpr std::string_view kPenModeWords[4] = {"penup", "pendown", "penreverse", "penerase"};
inline constexpr std::string_view kRangeStyleWords[4] = {"wrap", "window", "fence", "bounce"};

// The index of an internal word in one of the tables above; error 9 (erBadValue) for any other word.
int wordIndex(const std::string_view (&table)[4], std::string_view internalWord);
PenMode penModeFromWord(std::string_view internalWord);
RangeStyle rangeStyleFromWord(std::string_view internalWord);

// Pen patterns 0..6: solid inside the frame, dashed, dotted, dash-dot, dash-dot-dot, solid, no line.
constexpr int kPenPatternCount = 7;
PenStyle penStyleOfPattern(int pattern);
// Fill patterns 0..7: solid, rising hatch, cross, diagonal cross, falling hatch, horizontal, vertical,
// none.
constexpr int kFillPatternCount = 8;
Brush brushOfPattern(int pattern, Rgb colour);

} // namespace qm
