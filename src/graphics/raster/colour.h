// 24-bit colours as the drawing code passes them around: 0x00BBGGRR, red in the low byte.
#pragma once

#include <cstdint>

namespace qm {

// Colours keep their top byte zero everywhere, so raster operations may work on whole words.
using Rgb = std::uint32_t;

constexpr Rgb kRgbMask = 0x00FFFFFFu;
constexpr Rgb kBlack = 0x000000u;
constexpr Rgb kWhite = 0xFFFFFFu;

constexpr Rgb rgb(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    return Rgb{red} | (Rgb{green} << 8) | (Rgb{blue} << 16);
}
constexpr std::uint8_t redOf(Rgb c) { return static_cast<std::uint8_t>(c); }
constexpr std::uint8_t greenOf(Rgb c) { return static_cast<std::uint8_t>(c >> 8); }
constexpr std::uint8_t blueOf(Rgb c) { return static_cast<std::uint8_t>(c >> 16); }

} // namespace qm
