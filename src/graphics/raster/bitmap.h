// Bitmap: the 24-bit pixel buffer every surface, picture and mask is drawn into.
#pragma once

#include "colour.h"
#include "geometry.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace qm {

// Storage of large pixel buffers: mapped, with no page present until the bitmap fills them (see
// Bitmap::create), so that a bitmap whose pixels are deferred costs address space only. Small
// buffers come from the heap.
template <class T>
struct PixelAllocator {
    using value_type = T;
    static constexpr std::size_t kMappedBytes = std::size_t{256} << 10;

    PixelAllocator() = default;
    template <class U>
    PixelAllocator(const PixelAllocator<U>&) {}

    T* allocate(std::size_t n);
    void deallocate(T* p, std::size_t n);
    friend bool operator==(const PixelAllocator&, const PixelAllocator&) { return true; }
};

// One 32-bit word per pixel holding an Rgb (top byte always zero), rows top to bottom, no padding.
class Bitmap {
public:
    // Sizes come straight from Logo numbers, so every request is checked against these in 64-bit
    // arithmetic before anything is allocated (64 Mi pixels = 256 MiB).
    static constexpr std::int64_t kMaxSide = 32768;
    static constexpr std::int64_t kMaxPixels = std::int64_t{1} << 26;

    Bitmap() = default;

    static bool sizeAllowed(std::int64_t width, std::int64_t height);
    // Empty when the size is negative, beyond the limits, or memory runs out. 0 x n is allowed.
    static std::optional<Bitmap> create(std::int64_t width, std::int64_t height, Rgb fill = kWhite);
    // The same bitmap with its pixels deferred: the memory is reserved now, but the pixels are
    // written only when something first reaches them through row(), data(), setPixel() or fill()
    // of an area (a reading row() or data() too). Until then pixel() answers `fill` everywhere
    // without making them, whole fills only change that colour, and copies stay deferred. A page
    // that is never drawn on thus never writes its pixels.
    static std::optional<Bitmap> deferred(std::int64_t width, std::int64_t height, Rgb fill = kWhite);
    // The colour of every pixel while they are deferred; nothing once they are made.
    std::optional<Rgb> deferredFill() const {
        return m_deferred ? std::optional<Rgb>(m_pendingFill) : std::nullopt;
    }
    // Makes deferred pixels now. std::bad_alloc when memory runs out (a copy of a deferred bitmap
    // has none reserved).
    void makePixels() const {
        if (m_deferred) [[unlikely]] writeDeferredPixels();
    }

    // Changes the size keeping the picture at the top-left; new areas take `fill`.
    // Returns false (and changes nothing) when the size is not allowed.
    bool resize(std::int64_t width, std::int64_t height, Rgb fill);

    std::int32_t width() const { return m_width; }
    std::int32_t height() const { return m_height; }
    bool empty() const { return m_width == 0 || m_height == 0; }
    Rect bounds() const { return {0, 0, m_width, m_height}; }
    bool contains(std::int64_t x, std::int64_t y) const {
        return x >= 0 && y >= 0 && x < m_width && y < m_height;
    }

    // Reading outside gives `outside`; writing outside does nothing.
    Rgb pixel(std::int64_t x, std::int64_t y, Rgb outside = kBlack) const {
        if (!contains(x, y)) return outside;
        return m_deferred ? m_pendingFill : m_pixels[index(x, y)];
    }
    void setPixel(std::int64_t x, std::int64_t y, Rgb colour) {
        if (!contains(x, y)) return;
        makePixels();
        m_pixels[index(x, y)] = colour & kRgbMask;
    }

    void fill(Rgb colour);
    void fill(const Rect& area, Rgb colour);  // clipped to the bitmap

    // A new bitmap holding `area` of this one; parts outside this bitmap take `outside`.
    // Empty when the area is too large for a bitmap.
    std::optional<Bitmap> copyRect(const Rect& area, Rgb outside) const;

    std::uint32_t* row(std::int64_t y) { return data() + y * m_width; }
    const std::uint32_t* row(std::int64_t y) const { return data() + y * m_width; }
    std::uint32_t* data() {
        makePixels();
        return m_pixels.data();
    }
    const std::uint32_t* data() const {
        makePixels();
        return m_pixels.data();
    }
    std::int64_t stride() const { return m_width; }

    // Equal sizes and equal pixels, whether made or deferred.
    friend bool operator==(const Bitmap& a, const Bitmap& b);

private:
    std::size_t index(std::int64_t x, std::int64_t y) const {
        return static_cast<std::size_t>(y * m_width + x);
    }

    void writeDeferredPixels() const;

    std::int32_t m_width = 0;
    std::int32_t m_height = 0;
    // While the pixels are deferred, m_pixels is empty (its capacity may hold the reserved
    // memory) and every pixel is m_pendingFill. Reading functions make them too, hence mutable:
    // like every bitmap, a deferred one is used by one thread at a time.
    mutable bool m_deferred = false;
    Rgb m_pendingFill = kBlack;
    mutable std::vector<std::uint32_t, PixelAllocator<std::uint32_t>> m_pixels;
};

} // namespace qm
