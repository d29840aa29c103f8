// The colour rules: the palette, the sixteen colour families with twelve shades each,
// colour names in the current language, the random colour, and how colours are given back.
#pragma once

#include <cstdint>
#include <string_view>

#include "main_object.h"

namespace qm {

// Colours are 0x00BBGGRR (red in the low byte); negative values are system colours.
constexpr int32_t kPaletteSize = 16;
constexpr int32_t kFamilyCount = 16;
constexpr int32_t kShadeCount = 12;

// The palette entry: a negative index is itself (a system colour), above 15 is black.
int32_t paletteColour(int32_t index);
// The colour of family f (0..15, in table order) at shade 1..12.
uint32_t familyColour(int32_t family, int32_t shade);

// A Logo value as a colour: a number is a palette index, a word a colour name or the
// text "[r g b]", a list [r g b]. Failures are error 16; unknown names error 121.
uint32_t colourOfValue(tlogoobject* v);
// A colour name with an optional shade 1..12, or "any".
uint32_t colourOfName(std::string_view text, tlogoobject* offending);
// A random colour, as the project's "anycolour" setting allows.
uint32_t anyColour();
// The colour as the project's "colourstyle" asks: palette index, name or [r g b].
tlogoobject* colourValue(int32_t colour);

// Re-reads the colour names of the current language; call after every language change.
void reloadColourNames();
// Registers torgb, quelmarcolours and any, installs the colour conversion of values and
// reads the names of the current language.
void registerColourPrimitives(tMainLogoObject& main);

} // namespace qm
