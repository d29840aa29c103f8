// Blits: placement, clipping, stretching to the nearest source pixel, masks and key colours.
#include "raster_test_util.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

// A w x h source whose pixel (x, y) is the colour x + 16 y, so every pixel says where it came from.
Bitmap numbered(std::int64_t w, std::int64_t h) {
    Bitmap b = test::makeBitmap(w, h);
    for (std::int64_t y = 0; y < h; ++y)
        for (std::int64_t x = 0; x < w; ++x) b.setPixel(x, y, Rgb(x + 16 * y));
    return b;
}

TEST(BitBlt, CopiesAtThePlaceGivenAndClipsAtEveryEdge) {
    const Bitmap src = numbered(4, 3);
    for (Point at : {Point{1, 1}, Point{-2, -1}, Point{4, 2}, Point{-3, 3}, Point{5, -2}}) {
        Bitmap dst = test::makeBitmap(6, 5, kWhite);
        Canvas(dst).bitBlt(Rect::fromSize(at.x, at.y, 4, 3), src, {0, 0}, Rop3::SrcCopy);
        for (std::int64_t y = 0; y < 5; ++y)
            for (std::int64_t x = 0; x < 6; ++x) {
                const bool covered = x >= at.x && x < at.x + 4 && y >= at.y && y < at.y + 3;
                EXPECT_EQ(dst.pixel(x, y), covered ? src.pixel(x - at.x, y - at.y) : kWhite)
                    << "at " << at.x << "," << at.y << " pixel " << x << "," << y;
            }
    }
}

TEST(BitBlt, SourceOutsideItsBitmapLeavesTheDestinationAlone) {
    const Bitmap src = numbered(3, 3);
    Bitmap dst = test::makeBitmap(4, 4, kWhite);
    Canvas(dst).bitBlt({0, 0, 4, 4}, src, {1, -1}, Rop3::SrcCopy);
    EXPECT_EQ(dst.pixel(0, 0), kWhite);  // source row -1
    EXPECT_EQ(dst.pixel(0, 1), src.pixel(1, 0));
    EXPECT_EQ(dst.pixel(1, 3), src.pixel(2, 2));
    EXPECT_EQ(dst.pixel(2, 1), kWhite);  // source column 3
}

TEST(BitBlt, OverlappingCopyWithinOneBitmapReadsTheSourceFirst) {
    Bitmap b = numbered(6, 1);
    Canvas(b).bitBlt({1, 0, 6, 1}, b, {0, 0}, Rop3::SrcCopy);
    for (std::int64_t x = 1; x < 6; ++x) EXPECT_EQ(b.pixel(x, 0), Rgb(x - 1));
}

TEST(StretchBlt, EachDestinationPixelTakesTheSourcePixelUnderItsCentre) {
    struct Case {
        std::int64_t srcSize, destSize;
        std::vector<std::int64_t> picks;  // source column for each destination column
    };
    const Case cases[] = {
        {2, 4, {0, 0, 1, 1}},
        {2, 6, {0, 0, 0, 1, 1, 1}},
        {4, 2, {1, 3}},
        {3, 2, {0, 2}},
        {3, 3, {0, 1, 2}},
        {5, 3, {0, 2, 4}},
    };
    for (const Case& c : cases) {
        const Bitmap src = numbered(c.srcSize, c.srcSize);
        Bitmap dst = test::makeBitmap(c.destSize, c.destSize);
        Canvas(dst).stretchBlt({0, 0, c.destSize, c.destSize}, src, src.bounds(), Rop3::SrcCopy);
        for (std::int64_t y = 0; y < c.destSize; ++y)
            for (std::int64_t x = 0; x < c.destSize; ++x)
                EXPECT_EQ(dst.pixel(x, y), src.pixel(c.picks[x], c.picks[y]))
                    << c.srcSize << "->" << c.destSize << " at " << x << "," << y;
    }
}

TEST(StretchBlt, HugeDestinationsOnlyCostTheirVisiblePart) {
    const Bitmap src = numbered(2, 2);
    const std::int64_t big = std::int64_t{1} << 31;
    Bitmap dst = test::makeBitmap(10, 10);
    Canvas(dst).stretchBlt({-big, -big, big, big}, src, src.bounds(), Rop3::SrcCopy);
    // The bitmap lies just right of and below the destination's centre: the bottom-right source pixel.
    for (auto [x, y] : test::touched(dst, src.pixel(1, 1))) ADD_FAILURE() << x << "," << y;
    Bitmap dst2 = test::makeBitmap(10, 10);
    Canvas(dst2).stretchBlt({-kCoordLimit, 0, kCoordLimit, 10}, src, {0, 0, 2, 2}, Rop3::SrcInvert);
    EXPECT_EQ(dst2.pixel(3, 7), kWhite ^ src.pixel(1, 1));
}

TEST(MaskedBlits, BlackMaskPixelsTakeTheSourceOthersKeepTheDestination) {
    const Bitmap src = numbered(3, 1);
    Bitmap mask = test::makeBitmap(3, 1, kWhite);
    mask.setPixel(0, 0, kBlack);
    mask.setPixel(2, 0, kBlack);
    Bitmap dst = test::makeBitmap(3, 1, rgb(7, 7, 7));
    Canvas(dst).maskBlt({0, 0, 3, 1}, src, src.bounds(), mask);
    EXPECT_EQ(dst.pixel(0, 0), src.pixel(0, 0));
    EXPECT_EQ(dst.pixel(1, 0), rgb(7, 7, 7));
    EXPECT_EQ(dst.pixel(2, 0), src.pixel(2, 0));

    Bitmap wrongMask = test::makeBitmap(2, 1, kBlack);
    Bitmap untouched = test::makeBitmap(3, 1, rgb(7, 7, 7));
    Canvas(untouched).maskBlt({0, 0, 3, 1}, src, src.bounds(), wrongMask);
    EXPECT_EQ(test::touched(untouched, rgb(7, 7, 7)).size(), 0u);
}

TEST(MaskedBlits, AndMaskThenInvertShowsOpaquePixelsOnly) {
    // Picture black where transparent; mask black where opaque.
    Bitmap picture = test::makeBitmap(2, 1, kBlack);
    picture.setPixel(0, 0, rgb(200, 100, 50));
    Bitmap mask = test::makeBitmap(2, 1, kWhite);
    mask.setPixel(0, 0, kBlack);
    Bitmap dst = test::makeBitmap(4, 2, rgb(1, 2, 3));
    Canvas(dst).drawMasked({0, 0, 4, 2}, picture, &mask);  // stretched twice
    EXPECT_EQ(dst.pixel(0, 0), rgb(200, 100, 50));
    EXPECT_EQ(dst.pixel(1, 1), rgb(200, 100, 50));
    EXPECT_EQ(dst.pixel(2, 0), rgb(1, 2, 3));
    EXPECT_EQ(dst.pixel(3, 1), rgb(1, 2, 3));
}

TEST(MaskedBlits, KeyColouredPixelsAreSkipped) {
    Bitmap src = test::makeBitmap(2, 2, rgb(0, 255, 0));
    src.setPixel(1, 1, rgb(9, 8, 7));
    Bitmap dst = test::makeBitmap(2, 2, kBlack);
    Canvas(dst).transparentBlt({0, 0, 2, 2}, src, src.bounds(), rgb(0, 255, 0));
    EXPECT_EQ(test::touched(dst, kBlack), (test::PixelSet{{1, 1}}));
}

TEST(Blits, StayInsideTheClipRectangle) {
    const Bitmap src = numbered(8, 8);
    Bitmap dst = test::makeBitmap(8, 8);
    Canvas c(dst);
    c.setClip({2, 3, 5, 7});
    c.bitBlt({0, 0, 8, 8}, src, {0, 0}, Rop3::SrcCopy);
    for (std::int64_t y = 0; y < 8; ++y)
        for (std::int64_t x = 0; x < 8; ++x)
            EXPECT_EQ(dst.pixel(x, y), (x >= 2 && x < 5 && y >= 3 && y < 7) ? src.pixel(x, y) : kWhite);
}

} // namespace
} // namespace qm
