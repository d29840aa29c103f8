// The sixteen pen modes and the blit operations, checked against their boolean definitions.
#include "raster_test_util.h"

#include <gtest/gtest.h>

#include <functional>

namespace qm {
namespace {

struct Rop2Case {
    Rop2 mode;
    std::function<std::uint32_t(std::uint32_t p, std::uint32_t d)> rule;
};

const Rop2Case kRop2Cases[] = {
    {Rop2::Black, [](auto, auto) { return 0u; }},
    {Rop2::NotMergePen, [](auto p, auto d) { return ~(d | p); }},
    {Rop2::MaskNotPen, [](auto p, auto d) { return d & ~p; }},
    {Rop2::NotCopyPen, [](auto p, auto) { return ~p; }},
    {Rop2::MaskPenNot, [](auto p, auto d) { return p & ~d; }},
    {Rop2::Not, [](auto, auto d) { return ~d; }},
    {Rop2::XorPen, [](auto p, auto d) { return d ^ p; }},
    {Rop2::NotMaskPen, [](auto p, auto d) { return ~(d & p); }},
    {Rop2::MaskPen, [](auto p, auto d) { return d & p; }},
    {Rop2::NotXorPen, [](auto p, auto d) { return ~(d ^ p); }},
    {Rop2::Nop, [](auto, auto d) { return d; }},
    {Rop2::MergeNotPen, [](auto p, auto d) { return d | ~p; }},
    {Rop2::CopyPen, [](auto p, auto) { return p; }},
    {Rop2::MergePenNot, [](auto p, auto d) { return p | ~d; }},
    {Rop2::MergePen, [](auto p, auto d) { return d | p; }},
    {Rop2::White, [](auto, auto) { return 0xFFFFFFFFu; }},
};

const Rgb kSamples[] = {0x000000, 0xFFFFFF, 0x0F0F0F, 0x123456, 0xA5C3E1, 0x00FF00};

TEST(Rop2, EveryModeFollowsItsBooleanRule) {
    for (const Rop2Case& c : kRop2Cases)
        for (Rgb p : kSamples)
            for (Rgb d : kSamples)
                EXPECT_EQ(applyRop2(c.mode, p, d), c.rule(p, d) & kRgbMask)
                    << "mode " << int(c.mode) << " pen " << p << " dest " << d;
}

TEST(Rop2, ModesKeepTheirClassicNumbers) {
    EXPECT_EQ(int(Rop2::Black), 1);
    EXPECT_EQ(int(Rop2::Not), 6);
    EXPECT_EQ(int(Rop2::XorPen), 7);
    EXPECT_EQ(int(Rop2::CopyPen), 13);
    EXPECT_EQ(int(Rop2::White), 16);
}

TEST(Rop2, CanvasPixelsGoThroughTheMode) {
    for (const Rop2Case& c : kRop2Cases) {
        Bitmap b = test::makeBitmap(1, 1, 0x123456);
        Canvas canvas(b);
        canvas.setRop2(c.mode);
        canvas.setPixel({0, 0}, 0xA5C3E1);
        EXPECT_EQ(b.pixel(0, 0), c.rule(0xA5C3E1, 0x123456) & kRgbMask) << int(c.mode);
    }
}

TEST(Rop2, ReversingTwiceRestoresThePicture) {
    for (Rop2 mode : {Rop2::XorPen, Rop2::Not, Rop2::NotXorPen}) {
        Bitmap b = test::makeBitmap(20, 20, rgb(10, 200, 30));
        b.fill({5, 5, 12, 12}, rgb(250, 0, 7));
        const Bitmap before = b;
        Canvas canvas(b);
        canvas.setRop2(mode);
        canvas.setPen({rgb(90, 91, 92), 1, PenStyle::Solid});
        canvas.setBrush(Brush::solid(rgb(1, 2, 3)));
        for (int pass = 0; pass < 2; ++pass) {
            const Point poly[] = {{1, 1}, {18, 3}, {4, 17}, {15, 15}};
            canvas.drawPolyline(poly);
            canvas.drawEllipse({2, 2, 17, 11});
            canvas.drawRectangle({3, 8, 19, 19});
        }
        EXPECT_EQ(b, before) << "mode " << int(mode);
    }
}

struct Rop3Case {
    Rop3 op;
    std::function<std::uint32_t(std::uint32_t s, std::uint32_t d)> rule;
};

TEST(Rop3, BlitOperationsFollowTheirBooleanRules) {
    const Rop3Case cases[] = {
        {Rop3::SrcCopy, [](auto s, auto) { return s; }},
        {Rop3::SrcPaint, [](auto s, auto d) { return s | d; }},
        {Rop3::SrcAnd, [](auto s, auto d) { return s & d; }},
        {Rop3::SrcInvert, [](auto s, auto d) { return s ^ d; }},
        {Rop3::SrcErase, [](auto s, auto d) { return s & ~d; }},
        {Rop3::NotSrcCopy, [](auto s, auto) { return ~s; }},
        {Rop3::NotSrcErase, [](auto s, auto d) { return ~(s | d); }},
        {Rop3::MergePaint, [](auto s, auto d) { return ~s | d; }},
        {Rop3::DstInvert, [](auto, auto d) { return ~d; }},
        {Rop3::Blackness, [](auto, auto) { return 0u; }},
        {Rop3::Whiteness, [](auto, auto) { return 0xFFFFFFu; }},
    };
    for (const Rop3Case& c : cases)
        for (Rgb s : kSamples)
            for (Rgb d : kSamples) {
                EXPECT_EQ(applyRop3(c.op, s, d), c.rule(s, d) & kRgbMask) << std::hex << std::uint32_t(c.op);
                Bitmap src = test::makeBitmap(1, 1, s);
                Bitmap dst = test::makeBitmap(1, 1, d);
                Canvas(dst).bitBlt({0, 0, 1, 1}, src, {0, 0}, c.op);
                EXPECT_EQ(dst.pixel(0, 0), c.rule(s, d) & kRgbMask) << std::hex << std::uint32_t(c.op);
            }
}

} // namespace
} // namespace qm
