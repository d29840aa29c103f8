// Blits: plain, stretched (nearest source pixel), masked and key-coloured copies of bitmaps.
#include "canvas.h"

#include "raster_detail.h"

#include <vector>

namespace qm {

using namespace raster_detail;

void Canvas::bitBlt(const Rect& dest, const Bitmap& src, Point srcOrigin, Rop3 op) {
    const Rect d = dest.clamped().normalised();
    const Rect s = Rect::fromSize(clampCoord(srcOrigin.x), clampCoord(srcOrigin.y), d.width(), d.height());
    blit(d, src, s, BlitKind::Rop, op, nullptr, 0);
}

void Canvas::stretchBlt(const Rect& dest, const Bitmap& src, const Rect& srcRect, Rop3 op) {
    blit(dest, src, srcRect, BlitKind::Rop, op, nullptr, 0);
}

void Canvas::maskBlt(const Rect& dest, const Bitmap& src, const Rect& srcRect, const Bitmap& mask) {
    if (mask.width() != src.width() || mask.height() != src.height()) return;
    blit(dest, src, srcRect, BlitKind::Mask, Rop3::SrcCopy, &mask, 0);
}

void Canvas::transparentBlt(const Rect& dest, const Bitmap& src, const Rect& srcRect, Rgb key) {
    blit(dest, src, srcRect, BlitKind::Key, Rop3::SrcCopy, nullptr, key & kRgbMask);
}

void Canvas::drawMasked(const Rect& dest, const Bitmap& picture, const Bitmap* mask) {
    if (!mask) {
        stretchBlt(dest, picture, picture.bounds(), Rop3::SrcCopy);
        return;
    }
    stretchBlt(dest, *mask, mask->bounds(), Rop3::SrcAnd);
    stretchBlt(dest, picture, picture.bounds(), Rop3::SrcInvert);
}

// Destination pixel i of n takes source pixel floor((i + 1/2) * m / n) of m: the source pixel under
// its centre. Only the visible destination pixels are mapped, so huge destinations cost nothing more.
void Canvas::blit(const Rect& destIn, const Bitmap& srcIn, const Rect& srcRectIn, BlitKind kind, Rop3 op,
                  const Bitmap* maskIn, Rgb key) {
    const Rect d = destIn.clamped().normalised();
    const Rect s = srcRectIn.clamped().normalised();
    if (d.empty() || s.empty() || srcIn.empty()) return;
    const Rect vis = d.intersected(clipRect());
    if (vis.empty()) return;

    // Reading from the bitmap being drawn into: work from a copy, so overlapping areas come out as if
    // the source had been read whole before writing.
    std::optional<Bitmap> srcCopy, maskCopy;
    const Bitmap* src = &srcIn;
    const Bitmap* mask = maskIn;
    if (src == m_target) src = &srcCopy.emplace(srcIn);
    if (mask && mask == m_target) mask = &maskCopy.emplace(*maskIn);

    auto map = [](std::int64_t i, std::int64_t n, std::int64_t from, std::int64_t m) {
        return from + floorDiv((Int128{2} * i + 1) * m, Int128{2} * n);
    };
    std::vector<std::int64_t> cols(static_cast<std::size_t>(vis.width()));
    for (std::int64_t x = vis.left; x < vis.right; ++x)
        cols[static_cast<std::size_t>(x - vis.left)] = map(x - d.left, d.width(), s.left, s.width());

    const BlitInk ink = makeBlitInk(op);
    for (std::int64_t y = vis.top; y < vis.bottom; ++y) {
        const std::int64_t sy = map(y - d.top, d.height(), s.top, s.height());
        if (sy < 0 || sy >= src->height()) continue;
        const std::uint32_t* srow = src->row(sy);
        const std::uint32_t* mrow = mask ? mask->row(sy) : nullptr;
        std::uint32_t* drow = m_target->row(y);
        for (std::int64_t x = vis.left; x < vis.right; ++x) {
            const std::int64_t sx = cols[static_cast<std::size_t>(x - vis.left)];
            if (sx < 0 || sx >= src->width()) continue;
            const std::uint32_t sp = srow[sx];
            switch (kind) {
            case BlitKind::Rop: drow[x] = ink.apply(sp, drow[x]); break;
            case BlitKind::Mask: if (mrow[sx] == kBlack) drow[x] = sp; break;
            case BlitKind::Key: if (sp != key) drow[x] = sp; break;
            }
        }
    }
}

} // namespace qm
