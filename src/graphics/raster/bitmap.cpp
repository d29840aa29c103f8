// Bitmap allocation, resizing and whole-area operations.
#include "bitmap.h"

#include <algorithm>
#include <new>

namespace qm {

bool Bitmap::sizeAllowed(std::int64_t width, std::int64_t height) {
    if (width < 0 || height < 0 || width > kMaxSide || height > kMaxSide) return false;
    return width * height <= kMaxPixels;  // both <= 2^15, so the product cannot overflow
}

std::optional<Bitmap> Bitmap::create(std::int64_t width, std::int64_t height, Rgb fill) {
    if (!sizeAllowed(width, height)) return std::nullopt;
    Bitmap b;
    try {
        b.m_pixels.assign(static_cast<std::size_t>(width * height), fill & kRgbMask);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    b.m_width = static_cast<std::int32_t>(width);
    b.m_height = static_cast<std::int32_t>(height);
    return b;
}

bool Bitmap::resize(std::int64_t width, std::int64_t height, Rgb fill) {
    if (width == m_width && height == m_height) return true;
    auto next = create(width, height, fill);
    if (!next) return false;
    const std::int64_t w = std::min<std::int64_t>(width, m_width);
    const std::int64_t h = std::min<std::int64_t>(height, m_height);
    for (std::int64_t y = 0; y < h; ++y) std::copy_n(row(y), w, next->row(y));
    *this = std::move(*next);
    return true;
}

void Bitmap::fill(Rgb colour) {
    std::fill(m_pixels.begin(), m_pixels.end(), colour & kRgbMask);
}

void Bitmap::fill(const Rect& area, Rgb colour) {
    const Rect r = area.normalised().intersected(bounds());
    for (std::int64_t y = r.top; y < r.bottom; ++y)
        std::fill(row(y) + r.left, row(y) + r.right, colour & kRgbMask);
}

std::optional<Bitmap> Bitmap::copyRect(const Rect& area, Rgb outside) const {
    const Rect a = area.clamped().normalised();
    auto out = create(a.width(), a.height(), outside);
    if (!out) return std::nullopt;
    const Rect common = a.intersected(bounds());
    for (std::int64_t y = common.top; y < common.bottom; ++y)
        std::copy(row(y) + common.left, row(y) + common.right, out->row(y - a.top) + (common.left - a.left));
    return out;
}

} // namespace qm
