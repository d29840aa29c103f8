// Bitmap: the 24-bit pixel buffer every surface, picture and mask is drawn into.
#pragma once

#include "colour.h"
#include "geometry.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace qm {

// Storage of large pixel buffers: mapped with their pages made present in one call, since a page
// or a picture is filled right after it is made, and taking its pages one fault at a time costs
// more than the fill (a fifth of the start-up of an empty project). Small buffers come from the heap.
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
        return contains(x, y) ? m_pixels[index(x, y)] : outside;
    }
    void setPixel(std::int64_t x, std::int64_t y, Rgb colour) {
        if (contains(x, y)) m_pixels[index(x, y)] = colour & kRgbMask;
    }

    void fill(Rgb colour);
    void fill(const Rect& area, Rgb colour);  // clipped to the bitmap

    // A new bitmap holding `area` of this one; parts outside this bitmap take `outside`.
    // Empty when the area is too large for a bitmap.
    std::optional<Bitmap> copyRect(const Rect& area, Rgb outside) const;

    std::uint32_t* row(std::int64_t y) { return m_pixels.data() + y * m_width; }
    const std::uint32_t* row(std::int64_t y) const { return m_pixels.data() + y * m_width; }
    std::uint32_t* data() { return m_pixels.data(); }
    const std::uint32_t* data() const { return m_pixels.data(); }
    std::int64_t stride() const { return m_width; }

    friend bool operator==(const Bitmap&, const Bitmap&) = default;

private:
    std::size_t index(std::int64_t x, std::int64_t y) const {
        return static_cast<std::size_t>(y * m_width + x);
    }

    std::int32_t m_width = 0;
    std::int32_t m_height = 0;
    std::vector<std::uint32_t, PixelAllocator<std::uint32_t>> m_pixels;
};

} // namespace qm
