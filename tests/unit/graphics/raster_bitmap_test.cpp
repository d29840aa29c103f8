// Bitmap sizes, limits, pixel access, resizing and capture of rectangles.
#include "raster_test_util.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

struct SizeCase {
    std::int64_t w, h;
    bool allowed;
};

TEST(BitmapSize, LimitsAreCheckedWithoutOverflow) {
    const SizeCase cases[] = {
        {0, 0, true},
        {796, 499, true},
        {Bitmap::kMaxSide, 1, true},
        {8192, 8192, true},                       // exactly the pixel limit
        {8192, 8193, false},
        {Bitmap::kMaxSide + 1, 1, false},
        {-1, 10, false},
        {10, -1, false},
        {2147483647, 2147483647, false},          // w * h overflows 32 bits
        {INT64_MAX, INT64_MAX, false},            // and 64 bits
        {4294967296, 1, false},                   // wraps to 0 in 32 bits
    };
    for (const SizeCase& c : cases) {
        EXPECT_EQ(Bitmap::sizeAllowed(c.w, c.h), c.allowed) << c.w << " x " << c.h;
        if (!c.allowed) {
            EXPECT_FALSE(Bitmap::create(c.w, c.h).has_value()) << c.w << " x " << c.h;
        }
    }
}

TEST(BitmapPixels, ReadsOutsideGiveTheFallbackAndWritesOutsideAreIgnored) {
    Bitmap b = test::makeBitmap(3, 2, rgb(1, 2, 3));
    EXPECT_EQ(b.pixel(2, 1), rgb(1, 2, 3));
    EXPECT_EQ(b.pixel(3, 0, kWhite), kWhite);
    EXPECT_EQ(b.pixel(-1, 0, 7u), 7u);
    const Bitmap before = b;
    b.setPixel(3, 0, kBlack);
    b.setPixel(0, -1, kBlack);
    b.setPixel(INT64_MIN, INT64_MAX, kBlack);
    EXPECT_EQ(b, before);
}

TEST(BitmapPixels, ColoursKeepRedInTheLowByte) {
    EXPECT_EQ(rgb(0x12, 0x34, 0x56), 0x563412u);
    EXPECT_EQ(redOf(0x563412u), 0x12);
    EXPECT_EQ(blueOf(0x563412u), 0x56);
    Bitmap b = test::makeBitmap(1, 1);
    b.setPixel(0, 0, 0xFF123456u);  // stray top byte is dropped
    EXPECT_EQ(b.pixel(0, 0), 0x123456u);
}

TEST(BitmapResize, KeepsThePictureAtTheTopLeftAndFillsNewAreas) {
    Bitmap b = test::makeBitmap(2, 2, kBlack);
    b.setPixel(1, 1, kWhite);
    ASSERT_TRUE(b.resize(3, 3, rgb(9, 9, 9)));
    EXPECT_EQ(b.pixel(1, 1), kWhite);
    EXPECT_EQ(b.pixel(0, 0), kBlack);
    EXPECT_EQ(b.pixel(2, 0), rgb(9, 9, 9));
    EXPECT_EQ(b.pixel(0, 2), rgb(9, 9, 9));
    EXPECT_FALSE(b.resize(1, Bitmap::kMaxSide + 1, 0));
    EXPECT_EQ(b.width(), 3);  // a refused size changes nothing
}

TEST(BitmapCopyRect, PartsOutsideTakeTheGivenColour) {
    Bitmap b = test::makeBitmap(2, 2, kBlack);
    const auto c = b.copyRect({-1, 0, 2, 3}, kWhite);
    ASSERT_TRUE(c.has_value());
    EXPECT_EQ(test::picture(*c, kBlack), test::rows({"#..", "#..", "###"}));
    EXPECT_FALSE(b.copyRect({0, 0, 1000000000, 1000000000}, kWhite).has_value());
    EXPECT_FALSE(b.copyRect({-kCoordLimit, 0, kCoordLimit, 1}, kWhite).has_value());
}

} // namespace
} // namespace qm
