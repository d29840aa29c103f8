// Raster operations: the 16 binary pen modes (ROP2) and the source/destination blit codes (ROP3).
#pragma once

#include "colour.h"

#include <cstdint>

namespace qm {

// Pen modes, numbered as the classic GDI constants: (value - 1) is the 4-bit truth table of the
// operation, indexed by (pen bit * 2 + destination bit). Paint is CopyPen, reverse is XorPen (or Not),
// erase is CopyPen with the background colour.
enum class Rop2 : std::uint8_t {
    Black = 1,        // 0
    NotMergePen = 2,  // ~(D | P)
    MaskNotPen = 3,   // D & ~P
    NotCopyPen = 4,   // ~P
    MaskPenNot = 5,   // P & ~D
    Not = 6,          // ~D
    XorPen = 7,       // D ^ P
    NotMaskPen = 8,   // ~(D & P)
    MaskPen = 9,      // D & P
    NotXorPen = 10,   // ~(D ^ P)
    Nop = 11,         // D
    MergeNotPen = 12, // D | ~P
    CopyPen = 13,     // P
    MergePenNot = 14, // P | ~D
    MergePen = 15,    // D | P
    White = 16,       // 1
};

// Blit operations that combine source and destination only, with their GDI codes. Bits 16..23 hold the
// truth table indexed by (pattern * 4 + source * 2 + destination); none of these depends on the pattern.
enum class Rop3 : std::uint32_t {
    SrcCopy = 0x00CC0020,     // S
    SrcPaint = 0x00EE0086,    // S | D
    SrcAnd = 0x008800C6,      // S & D
    SrcInvert = 0x00660046,   // S ^ D
    SrcErase = 0x00440328,    // S & ~D
    NotSrcCopy = 0x00330008,  // ~S
    NotSrcErase = 0x001100A6, // ~(S | D)
    MergePaint = 0x00BB0226,  // ~S | D
    DstInvert = 0x00550009,   // ~D
    Blackness = 0x00000042,   // 0
    Whiteness = 0x00FF0062,   // 1
};

// With the pen colour fixed, every bit of a binary raster operation is one of 0, 1, D or ~D, so any mode
// reduces to D' = (D & keep) ^ flip. That keeps inner loops free of per-pixel switches.
struct Ink {
    std::uint32_t keep = kRgbMask;
    std::uint32_t flip = 0;

    std::uint32_t apply(std::uint32_t d) const { return (d & keep) ^ flip; }
};

inline Ink makeInk(Rop2 mode, Rgb pen) {
    const unsigned table = static_cast<unsigned>(mode) - 1u;
    auto all = [&](unsigned bit) -> std::uint32_t { return ((table >> bit) & 1u) ? kRgbMask : 0u; };
    const std::uint32_t p = pen & kRgbMask;
    const std::uint32_t np = ~pen & kRgbMask;
    const std::uint32_t whenD0 = (p & all(2)) | (np & all(0));
    const std::uint32_t whenD1 = (p & all(3)) | (np & all(1));
    return {whenD0 ^ whenD1, whenD0};
}

inline Rgb applyRop2(Rop2 mode, Rgb pen, Rgb dest) { return makeInk(mode, pen).apply(dest & kRgbMask); }

// The same reduction for a blit, where the "pen" varies per pixel: keep and flip are themselves
// (S & a) ^ x with constant masks a, x.
struct BlitInk {
    std::uint32_t keepAnd, keepXor, flipAnd, flipXor;

    std::uint32_t apply(std::uint32_t s, std::uint32_t d) const {
        return (d & ((s & keepAnd) ^ keepXor)) ^ ((s & flipAnd) ^ flipXor);
    }
};

inline BlitInk makeBlitInk(Rop3 op) {
    const unsigned table = (static_cast<std::uint32_t>(op) >> 16) & 0xFFu;
    auto all = [&](unsigned bit) -> std::uint32_t { return ((table >> bit) & 1u) ? kRgbMask : 0u; };
    // f(s, d) is bit (s * 2 + d); with D = 0 the result is g0(S), with D = 1 it is g1(S).
    const std::uint32_t g0a = all(2) ^ all(0), g0x = all(0);
    const std::uint32_t g1a = all(3) ^ all(1), g1x = all(1);
    return {g0a ^ g1a, g0x ^ g1x, g0a, g0x};
}

inline Rgb applyRop3(Rop3 op, Rgb src, Rgb dest) {
    return makeBlitInk(op).apply(src & kRgbMask, dest & kRgbMask);
}

} // namespace qm
