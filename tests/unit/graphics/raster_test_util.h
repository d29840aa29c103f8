// Helpers for the rasteriser tests: pictures as text and sets of touched pixels.
#pragma once

#include "graphics/raster/canvas.h"

#include <set>
#include <string>
#include <utility>

namespace qm::test {

using PixelSet = std::set<std::pair<std::int64_t, std::int64_t>>;  // (x, y)

inline Bitmap makeBitmap(std::int64_t w, std::int64_t h, Rgb fill = kWhite) { return *Bitmap::create(w, h, fill); }

// Pixels that differ from `background`.
inline PixelSet touched(const Bitmap& b, Rgb background = kWhite) {
    PixelSet s;
    for (std::int64_t y = 0; y < b.height(); ++y)
        for (std::int64_t x = 0; x < b.width(); ++x)
            if (b.pixel(x, y) != background) s.insert({x, y});
    return s;
}

// One line per row, '#' for pixels that differ from the background, '.' for the rest.
inline std::string picture(const Bitmap& b, Rgb background = kWhite) {
    std::string s;
    for (std::int64_t y = 0; y < b.height(); ++y) {
        for (std::int64_t x = 0; x < b.width(); ++x) s += b.pixel(x, y) == background ? '.' : '#';
        s += '\n';
    }
    return s;
}

inline std::string rows(std::initializer_list<const char*> lines) {
    std::string s;
    for (const char* l : lines) (s += l) += '\n';
    return s;
}

} // namespace qm::test
