// Reading the inputs of surface and turtle commands from Logo values: positions, rectangles in all
// their forms, home states, and the word "any" with the limits its variables give.
#pragma once

#include <cstdint>
#include <optional>

#include "graphics/surface/surface_types.h"
#include "value.h"

namespace qm {

class Surface;

// The limits of a random integer chosen for "any". The ends are taken as absolute values and swapped
// when the second is the smaller one.
struct AnyRange {
    std::int64_t low = 0;
    std::int64_t high = 0;
    std::int64_t pick() const;
};

// The defaults that apply while the variables anyangle, anyforward, anyleft/anyright and anypenwidth
// are unset.
constexpr AnyRange kAnyAngle{0, 359};
constexpr AnyRange kAnyForward{1, 100};
constexpr AnyRange kAnyTurn{1, 90};
constexpr AnyRange kAnyPenWidth{1, 20};

// Limits from the value of one of those variables: a number n is low..n with the fallback's low end,
// a list [a b] is a..b; no value or anything else keeps the fallback.
AnyRange anyRangeFrom(tlogoobject* variableValue, AnyRange fallback);

// The margin of random positions (variable anypos): a number for both axes or a list [mx my].
struct AnyMargin {
    std::int64_t x = 10;
    std::int64_t y = 10;
};
AnyMargin anyMarginFrom(tlogoobject* variableValue);

// One absolute coordinate of a random position: margin + a uniform integer in [0, extent - 2 margin),
// or extent div 2 when that interval is empty (a margin of exactly half the extent included).
std::int64_t randomAxis(std::int64_t margin, std::int64_t extent);

bool isAny(tlogoobject* v);
// A number, or a random integer from `range` for "any"; error 12 (erExpectNumber) otherwise.
LReal numberOrAny(tlogoobject* v, AnyRange range);

// A position [x y], "any", or [x y] with "any" for either coordinate, in the coordinates the command
// uses (cartesian or absolute); random coordinates are chosen in absolute pixels within the margin.
// Anything but a list of two or "any": error 13 (erExpectList2).
RealPoint readPosition(tlogoobject* v, const Surface& surface, bool cartesian, const AnyMargin& margin = {});

// A rectangle in absolute pixels (right and bottom exclusive), corners as given (not ordered):
//   [[x1 y1] [x2 y2]], [x1 y1 [x2 y2]]   two corners
//   [x y w h], [[x y] w h]                a corner and a size (extending right and down); a zero width
//                                         or height makes both extents zero
//   [x y], [[x y]]                        an empty rectangle at a point
// In cartesian terms the corners are converted and a size is not. The empty list is no rectangle
// (nullopt). Not a list: error 6 (erExpectList); elements left over: error 10 (erBadStructure).
std::optional<Rect> readRectangle(tlogoobject* v, const Surface& surface, bool cartesian);

// A full rectangle: a zero width reaches the background's right edge, a zero height its bottom edge,
// and the corners are ordered.
Rect fullRectangle(const Rect& r, const Surface& surface);

// A home state: "any" (a random position and heading) or [position heading], cartesian, the heading
// normalised. A list of another length: erBadStructure (10); neither a list nor "any": erExpectList (6).
struct HomeState {
    RealPoint position;  // cartesian
    LReal heading = 0;
};
HomeState readHomeState(tlogoobject* v, const Surface& surface, const AnyMargin& margin = {},
                        AnyRange angle = kAnyAngle);

// A heading brought into [0, 360) with a remainder, so that huge angles cost no more than small ones.
// Infinities and NaN: error 44 (erReal).
LReal normaliseHeading(LReal degrees);

} // namespace qm
