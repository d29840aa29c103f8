// Pens and brushes: what figures are outlined and filled with.
#pragma once

#include "colour.h"

#include <cstdint>

namespace qm {

// Numbered like the GDI pen styles. Dashed styles only exist for one-pixel pens: a wider pen with a
// dashed style draws solid, as a wide pen made from a style and a width always has.
enum class PenStyle : std::uint8_t {
    Solid = 0,
    Dash = 1,
    Dot = 2,
    DashDot = 3,
    DashDotDot = 4,
    Null = 5,
    InsideFrame = 6,  // solid; a wide pen keeps rectangles and ellipses inside their box
};

struct Pen {
    Rgb colour = kBlack;
    std::int64_t width = 1;  // 0 and 1 both mean the one-pixel pen; up to 2147483647 and beyond is fine
    PenStyle style = PenStyle::Solid;

    bool isWide() const { return width > 1; }
    bool isNull() const { return style == PenStyle::Null; }
};

// Numbered like the GDI hatch styles.
enum class HatchStyle : std::uint8_t {
    Horizontal = 0,
    Vertical = 1,
    FDiagonal = 2,   // falling: top-left to bottom-right
    BDiagonal = 3,   // rising: bottom-left to top-right
    Cross = 4,
    DiagCross = 5,
};

enum class BrushStyle : std::uint8_t { Solid, Null, Hatched };

struct Brush {
    BrushStyle style = BrushStyle::Solid;
    Rgb colour = kWhite;
    HatchStyle hatch = HatchStyle::Horizontal;

    static Brush solid(Rgb c) { return {BrushStyle::Solid, c, HatchStyle::Horizontal}; }
    static Brush none() { return {BrushStyle::Null, kBlack, HatchStyle::Horizontal}; }
    static Brush hatched(HatchStyle h, Rgb c) { return {BrushStyle::Hatched, c, h}; }
    bool isNull() const { return style == BrushStyle::Null; }
};

// Whether the gaps of dashed lines and hatch brushes are painted in the background colour (Opaque)
// or left alone (Transparent).
enum class BackgroundMode : std::uint8_t { Transparent = 1, Opaque = 2 };

} // namespace qm
