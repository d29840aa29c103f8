// PNG files of bitmaps: written for snapshots (quelmar run --snapshot), read back by tests.
#pragma once

#include <optional>
#include <string>

#include "graphics/raster/bitmap.h"

namespace qm {

// Writes 8-bit RGB without alpha. False with `error` set when the file cannot be written.
bool writePng(const Bitmap& bitmap, const std::string& path, std::string& error);

// Any PNG, converted to 8-bit RGB (alpha is dropped, grey and palette images are expanded).
// Empty with `error` set when the file is missing, damaged or larger than a bitmap may be.
std::optional<Bitmap> readPng(const std::string& path, std::string& error);

} // namespace qm
