// The tables of pen modes, range styles and patterns.
#include "graphics/surface/surface_types.h"

#include "language.h"
#include "logo_error.h"

namespace qm {

int wordIndex(const std::string_view (&table)[4], std::string_view internalWord) {
    for (int i = 0; i < 4; ++i)
        if (sameName(table[i], internalWord)) return i;
    throw eLogoException(erBadValue, std::string(internalWord), true);
}

PenMode penModeFromWord(std::string_view w) { return static_cast<PenMode>(wordIndex(kPenModeWords, w)); }
RangeStyle rangeStyleFromWord(std::string_view w) { return static_cast<RangeStyle>(wordIndex(kRangeStyleWords, w)); }

PenStyle penStyleOfPattern(int pattern) {
    static constexpr PenStyle kStyles[kPenPatternCount] = {PenStyle::InsideFrame, PenStyle::Dash,
                                                           PenStyle::Dot,         PenStyle::DashDot,
                                                           PenStyle::DashDotDot,  PenStyle::Solid,
                                                           PenStyle::Null};
    return kStyles[pattern >= 0 && pattern < kPenPatternCount ? pattern : 0];
}

Brush brushOfPattern(int pattern, Rgb colour) {
    switch (pattern) {
    case 1: return Brush::hatched(HatchStyle::BDiagonal, colour);
    case 2: return Brush::hatched(HatchStyle::Cross, colour);
    case 3: return Brush::hatched(HatchStyle::DiagCross, colour);
    case 4: return Brush::hatched(HatchStyle::FDiagonal, colour);
    case 5: return Brush::hatched(HatchStyle::Horizontal, colour);
    case 6: return Brush::hatched(HatchStyle::Vertical, colour);
    case 7: return Brush::none();
    default: return Brush::solid(colour);
    }
}

} // namespace qm
