// Bitmap sizes, limits, pixel access, resizing, capture of rectangles and deferred pixels.
#include "raster_test_util.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

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

std::vector<Rgb> allPixels(const Bitmap& b) {
    std::vector<Rgb> v;
    for (std::int64_t y = 0; y < b.height(); ++y)
        for (std::int64_t x = 0; x < b.width(); ++x) v.push_back(b.pixel(x, y));
    return v;
}

struct DeferredCase {
    const char* what;
    std::function<void(Bitmap&)> op;
    bool staysDeferred;
};

// A bitmap whose pixels are deferred must answer exactly what the same bitmap made at once does,
// whatever is done to it; the operations that need no pixels must leave them unmade. Run on a
// small (heap) and a large (mapped) size.
TEST(BitmapDeferred, BehavesAsTheBitmapMadeAtOnce) {
    const Rgb grey = rgb(7, 8, 9), red = rgb(255, 0, 0);
    const DeferredCase cases[] = {
        {"nothing", [](Bitmap&) {}, true},
        {"reading pixels", [](Bitmap& b) { (void)b.pixel(1, 1); (void)b.pixel(-1, 0); }, true},
        {"writing outside", [&](Bitmap& b) { b.setPixel(-1, 0, red); }, true},
        {"writing one pixel", [&](Bitmap& b) { b.setPixel(1, 2, red); }, false},
        {"a whole fill", [&](Bitmap& b) { b.fill(red); }, true},
        {"an area fill covering everything", [&](Bitmap& b) { b.fill({-5, -5, 100000, 100000}, red); }, true},
        {"an area fill in the same colour", [&](Bitmap& b) { b.fill({1, 1, 3, 3}, grey); }, true},
        {"an area fill outside", [&](Bitmap& b) { b.fill({-9, -9, -1, -1}, red); }, true},
        {"an area fill in another colour", [&](Bitmap& b) { b.fill({1, 1, 3, 3}, red); }, false},
        {"a whole fill, then a pixel", [&](Bitmap& b) { b.fill(red); b.setPixel(0, 0, grey); }, false},
        {"growing in the same colour", [&](Bitmap& b) { ASSERT_TRUE(b.resize(b.width() + 3, 7, grey)); }, true},
        {"growing in another colour", [&](Bitmap& b) { ASSERT_TRUE(b.resize(b.width() + 3, 7, red)); }, false},
        {"a refused size", [&](Bitmap& b) { EXPECT_FALSE(b.resize(-1, 7, red)); }, true},
        {"a reading row()", [](Bitmap& b) { EXPECT_EQ(std::as_const(b).row(1)[2], rgb(7, 8, 9)); }, false},
        {"a written copy", [&](Bitmap& b) { Bitmap c = b; c.setPixel(2, 1, red); b = c; }, false},
        {"a copy of a rectangle", [&](Bitmap& b) { b = *b.copyRect({-1, -1, 3, 2}, red); }, false},
    };
    for (const std::int64_t w : {5, 400}) {
        for (const DeferredCase& c : cases) {
            Bitmap made = *Bitmap::create(w, 4, grey);
            Bitmap lazy = *Bitmap::deferred(w, 4, grey);
            ASSERT_EQ(lazy.deferredFill(), grey);
            c.op(made);
            c.op(lazy);
            EXPECT_EQ(lazy.deferredFill().has_value(), c.staysDeferred) << c.what << ", width " << w;
            EXPECT_EQ(lazy.width(), made.width()) << c.what;
            EXPECT_EQ(lazy.height(), made.height()) << c.what;
            EXPECT_EQ(allPixels(lazy), allPixels(made)) << c.what << ", width " << w;
            EXPECT_TRUE(lazy == made && made == lazy) << c.what << ", width " << w;
            // Made now, the pixels must still be the same.
            lazy.makePixels();
            EXPECT_EQ(allPixels(lazy), allPixels(made)) << c.what << ", width " << w;
        }
    }
}

TEST(BitmapDeferred, EqualityComparesPixelsNotTheirState) {
    EXPECT_EQ(*Bitmap::deferred(3, 2, kBlack), *Bitmap::deferred(3, 2, kBlack));
    EXPECT_NE(*Bitmap::deferred(3, 2, kBlack), *Bitmap::deferred(3, 2, kWhite));
    EXPECT_NE(*Bitmap::deferred(3, 2, kBlack), *Bitmap::deferred(2, 3, kBlack));
    Bitmap made = *Bitmap::create(3, 2, kBlack);
    EXPECT_EQ(made, *Bitmap::deferred(3, 2, kBlack));
    made.setPixel(2, 1, kWhite);
    EXPECT_NE(made, *Bitmap::deferred(3, 2, kBlack));
    EXPECT_NE(*Bitmap::deferred(3, 2, kBlack), made);
    // 0 x n has no pixels to defer.
    EXPECT_FALSE(Bitmap::deferred(0, 5)->deferredFill().has_value());
    EXPECT_FALSE(Bitmap::deferred(Bitmap::kMaxSide + 1, 1).has_value());
}

} // namespace
} // namespace qm
