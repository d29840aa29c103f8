// Shared pieces of the turtle, page and pane primitives: reading their inputs (colours, "any", the
// words of pen modes and range styles), their properties as pseudo-variables, and registering the
// procedures of their classes.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "colours.h"
#include "graphic_objects.h"
#include "graphics/surface/surface_args.h"
#include "main_object.h"

namespace qm {

// ---- inputs ----

// The value of a global variable named by a dictionary entry of group "name" (anypos, anyangle,
// fillmode, ...), or nil.
tlogoobject* anyVariable(const char* internalName);
AnyRange anyAngleRange();
// One cartesian coordinate (`any` gives a random one within the anypos margin).
LReal cartesianCoordinate(tlogoobject* v, const Surface& s, bool xAxis, const AnyMargin& margin);
// The index of a pen-mode or range-style word in the current language; erBadValue (9) otherwise.
RangeStyle rangeStyleOfValue(tlogoobject* v);
PenMode penModeOfValue(tlogoobject* v);
// The word of the current language for a pen mode or range style (a fresh word).
tlogoobject* penModeWord(PenMode m);
tlogoobject* rangeStyleWord(RangeStyle s);
// Whether the global variable overlapmode asks for rectangles only (a non-zero integer).
bool overlapModeIsRectangles();
// A colour as the drawing code keeps it.
Rgb rgbOfValue(tlogoobject* v);
// [x y] of two numbers (fresh).
tLogoList* pointValue(LReal x, LReal y);

// ---- properties ----

// Declares the pseudo-variables of a new turtle, page or pane on the instance itself.
void declareTurtleProperties(tmultiobject* turtle);
void declareScreenProperties(tmultiobject* screen, bool page);
// autoDrag and frozen, which turtles and panes share.
void declareMovableProperties(tmultiobject* obj);

// ---- procedures ----

// toscreen, toobject, tocartesian and toabsolute: the input converted through the surface of the
// current object's page or pane; the main object (and whatever sits on no page) gives it back
// unchanged, as its coordinates are the screen's.
void outputConvertedPoint(ProcessContext& cx, int32_t n, RealPoint (*convert)(const Surface&, tlogoobject*));

// The commands and property procedures of turtles: in the main object (so that calling them from
// an object without a turtle is erInitTurtle) and in the turtle class (so that `tell` and `ask`
// send them to turtles).
void registerTurtleProcedures(tMainLogoObject& main, tmultiobject& turtleClass);
void registerScreenProcedures(tMainLogoObject& main, tmultiobject& pageClass, tmultiobject& paneClass);
// The mouse pointer's procedures: the main object's, and those of the graphic classes.
void registerPointerProcedures(tMainLogoObject& main, tmultiobject& turtleClass, tmultiobject& pageClass,
                               tmultiobject& paneClass);

// Registers a property's getter and setter procedures (every spelling) in a table.
using PropertyGet = tlogoobject* (*)(tmultiobject* self);
using PropertySet = void (*)(tmultiobject* self, tlogoobject* value);
struct PropertyDef {
    int row;
    PropertyGet get;
    PropertySet set;
};
void addPropertyProcedures(tLogoTab& table, const PropertyDef* defs, size_t count);
template <size_t N>
void addPropertyProcedures(tLogoTab& table, const PropertyDef (&defs)[N]) {
    addPropertyProcedures(table, defs, N);
}
void declareProperties(tmultiobject* obj, const PropertyDef* defs, size_t count);
// Settings a class gave as plain variables (newclass "turtle "runner [penColour blue]) become
// the instance's settings; rows in `skip` were creation parameters, read already.
void applyClassDefaults(tmultiobject* obj, const PropertyDef* defs, size_t count, std::initializer_list<int> skip);

// The Logo side of page commands that turtles share: clearscreen goes through every object home.
void cleanSurface(tmultiobject* screenObject, Surface& s);

} // namespace qm
