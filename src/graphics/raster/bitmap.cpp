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
    void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
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

namespace {

using Pixels = std::vector<std::uint32_t, PixelAllocator<std::uint32_t>>;

// Sets `pixels` to n pixels of one colour. A mapped buffer has its pages made present in one call
// before the fill, since taking them one fault at a time costs more than the fill itself.
void fillFresh(Pixels& pixels, std::size_t n, Rgb colour) {
    pixels.reserve(n);
    const std::size_t bytes = n * sizeof(std::uint32_t);
    if (bytes >= PixelAllocator<std::uint32_t>::kMappedBytes && pixels.empty())
        madvise(pixels.data(), bytes, MADV_POPULATE_WRITE);  // only a hint: the fill faults in what it leaves
    pixels.assign(n, colour);
}

} // namespace

bool Bitmap::sizeAllowed(std::int64_t width, std::int64_t height) {
    if (width < 0 || height < 0 || width > kMaxSide || height > kMaxSide) return false;
    return width * height <= kMaxPixels;  // both <= 2^15, so the product cannot overflow
}

std::optional<Bitmap> Bitmap::create(std::int64_t width, std::int64_t height, Rgb fill) {
    if (!sizeAllowed(width, height)) return std::nullopt;
    Bitmap b;
    try {
        fillFresh(b.m_pixels, static_cast<std::size_t>(width * height), fill & kRgbMask);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    b.m_width = static_cast<std::int32_t>(width);
    b.m_height = static_cast<std::int32_t>(height);
    return b;
}

std::optional<Bitmap> Bitmap::deferred(std::int64_t width, std::int64_t height, Rgb fill) {
    if (!sizeAllowed(width, height)) return std::nullopt;
    Bitmap b;
    try {
        // Reserved now, so that a size the memory cannot hold fails here rather than at the first
        // drawing; mapped memory takes no page until it is written.
        b.m_pixels.reserve(static_cast<std::size_t>(width * height));
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    b.m_width = static_cast<std::int32_t>(width);
    b.m_height = static_cast<std::int32_t>(height);
    b.m_pendingFill = fill & kRgbMask;
    b.m_deferred = width * height > 0;
    return b;
}

void Bitmap::writeDeferredPixels() const {
    fillFresh(m_pixels, static_cast<std::size_t>(m_width) * static_cast<std::size_t>(m_height), m_pendingFill);
    m_deferred = false;
}

bool Bitmap::resize(std::int64_t width, std::int64_t height, Rgb fill) {
    if (width == m_width && height == m_height) return true;
    if (m_deferred && (fill & kRgbMask) == m_pendingFill) {
        // Old and new parts alike are all one colour: the result is still deferred.
        auto next = deferred(width, height, fill);
        if (!next) return false;
        *this = std::move(*next);
        return true;
    }
    auto next = create(width, height, fill);
    if (!next) return false;
    const std::int64_t w = std::min<std::int64_t>(width, m_width);
    const std::int64_t h = std::min<std::int64_t>(height, m_height);
    for (std::int64_t y = 0; y < h; ++y) std::copy_n(row(y), w, next->row(y));
    *this = std::move(*next);
    return true;
}

void Bitmap::fill(Rgb colour) {
    if (m_deferred) m_pendingFill = colour & kRgbMask;
    else std::fill(m_pixels.begin(), m_pixels.end(), colour & kRgbMask);
}

void Bitmap::fill(const Rect& area, Rgb colour) {
    const Rect r = area.normalised().intersected(bounds());
    if (r.empty()) return;
    if (r == bounds()) return fill(colour);
    if (m_deferred && (colour & kRgbMask) == m_pendingFill) return;
    for (std::int64_t y = r.top; y < r.bottom; ++y)
        std::fill(row(y) + r.left, row(y) + r.right, colour & kRgbMask);
}

std::optional<Bitmap> Bitmap::copyRect(const Rect& area, Rgb outside) const {
    const Rect a = area.clamped().normalised();
    auto out = create(a.width(), a.height(), outside);
    if (!out) return std::nullopt;
    const Rect common = a.intersected(bounds());
    if (m_deferred) {
        out->fill(Rect{common.left - a.left, common.top - a.top, common.right - a.left, common.bottom - a.top},
                  m_pendingFill);
        return out;
    }
    for (std::int64_t y = common.top; y < common.bottom; ++y)
        std::copy(row(y) + common.left, row(y) + common.right, out->row(y - a.top) + (common.left - a.left));
    return out;
}

bool operator==(const Bitmap& a, const Bitmap& b) {
    if (a.m_width != b.m_width || a.m_height != b.m_height) return false;
    if (a.m_deferred && b.m_deferred) return a.m_pendingFill == b.m_pendingFill;
    if (a.m_deferred || b.m_deferred) {
        const Bitmap& made = a.m_deferred ? b : a;
        const Rgb colour = a.m_deferred ? a.m_pendingFill : b.m_pendingFill;
        return std::all_of(made.m_pixels.begin(), made.m_pixels.end(), [&](std::uint32_t p) { return p == colour; });
    }
    return a.m_pixels == b.m_pixels;
}

} // namespace qm
