// Bitmap allocation, resizing and whole-area operations.
#include "bitmap.h"

#include <sys/mman.h>

#include <algorithm>
#include <memory>
#include <new>

namespace qm {

template <class T>
T* PixelAllocator<T>::allocate(std::size_t n) {
    if (n > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
    const std::size_t bytes = n * sizeof(T);
    if (bytes < kMappedBytes) return std::allocator<T>().allocate(n);
    void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
    if (p == MAP_FAILED) throw std::bad_alloc();
    return static_cast<T*>(p);
}

template <class T>
void PixelAllocator<T>::deallocate(T* p, std::size_t n) {
    const std::size_t bytes = n * sizeof(T);
    if (bytes < kMappedBytes) std::allocator<T>().deallocate(p, n);
    else munmap(p, bytes);
}

template struct PixelAllocator<std::uint32_t>;

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
