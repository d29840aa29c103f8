// The font of a turtle's labels: the record it keeps, its Logo form, and the font it asks for.
#pragma once

#include <cstdint>
#include <string>

#include "graphics/text/text.h"
#include "value.h"

namespace qm {

struct FontRecord {
    static constexpr std::uint8_t kBold = 1, kItalic = 2, kUnderline = 4, kStrikeOut = 8;
    static constexpr std::uint8_t kOpaque = 1, kBaseline = 2;

    std::int32_t size = 0;  // points; 0 is the default height
    std::uint8_t style = 0;
    std::uint8_t charset = 1;
    std::string face = "System";  // at most 31 characters
    std::uint8_t flags = 0;

    friend bool operator==(const FontRecord&, const FontRecord&) = default;
};

// Applies a font value [face [size weight styles opaque baseline charset]] to `current`: an empty
// inner element keeps its field, missing trailing elements keep theirs, a word alone sets the face,
// the empty list gives the default record. Out-of-range numbers: erMinMax (26); extra elements:
// erBadStructure (10).
FontRecord applyFontValue(const FontRecord& current, tlogoobject* value);
// [face-as-list [size weight styles opaque baseline charset]], weight 700 or 400 (a fresh list).
tLogoList* fontValue(const FontRecord& record);

// What the text library is asked for: a height of -(size x 96 / 72) pixels, the styles and the face.
// The face "System" (the default) stands for the display's fixed system font: it is drawn with the
// default family and, like a bitmap font, never turns.
FontRequest fontRequestOf(const FontRecord& record);
bool isSystemFace(const FontRecord& record);

} // namespace qm
