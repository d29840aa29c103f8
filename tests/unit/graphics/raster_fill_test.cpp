// Flood fill by surface colour and by border colour: connectivity, borders, clipping and deep areas.
#include "raster_test_util.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

constexpr Rgb kRed = rgb(255, 0, 0);

// A bitmap drawn from text: '#' black, '.' white, 'g' green.
Bitmap fromText(std::initializer_list<const char*> lines) {
    const std::int64_t h = static_cast<std::int64_t>(lines.size());
    const std::int64_t w = static_cast<std::int64_t>(std::string(*lines.begin()).size());
    Bitmap b = test::makeBitmap(w, h);
    std::int64_t y = 0;
    for (const char* l : lines) {
        for (std::int64_t x = 0; x < w; ++x)
            b.setPixel(x, y, l[x] == '#' ? kBlack : l[x] == 'g' ? rgb(0, 255, 0) : kWhite);
        ++y;
    }
    return b;
}

// The picture with red as '*', black '#', green 'g', white '.'.
std::string show(const Bitmap& b) {
    std::string s;
    for (std::int64_t y = 0; y < b.height(); ++y) {
        for (std::int64_t x = 0; x < b.width(); ++x) {
            const Rgb p = b.pixel(x, y);
            s += p == kRed ? '*' : p == kBlack ? '#' : p == kWhite ? '.' : 'g';
        }
        s += '\n';
    }
    return s;
}

struct FloodCase {
    const char* name;
    std::initializer_list<const char*> before;
    Point seed;
    Rgb colour;
    FloodMode mode;
    bool filled;
    std::initializer_list<const char*> after;
};

TEST(FloodFill, FillsTheConnectedAreaOnly) {
    const FloodCase cases[] = {
        {"surface stops at other colours", {"......", ".####.", ".#..#.", ".####.", "......"}, {2, 2}, kWhite,
         FloodMode::Surface, true, {"......", ".####.", ".#**#.", ".####.", "......"}},
        {"surface outside the ring", {"......", ".####.", ".#..#.", ".####.", "......"}, {0, 0}, kWhite,
         FloodMode::Surface, true, {"******", "*####*", "*#..#*", "*####*", "******"}},
        {"diagonal neighbours do not connect", {"..#...", "..#...", "###...", "...#..", "....#."}, {0, 0}, kWhite,
         FloodMode::Surface, true, {"**#...", "**#...", "###...", "...#..", "....#."}},
        {"surface of another colour fills nothing", {"...", "...", "..."}, {1, 1}, kBlack, FloodMode::Surface,
         false, {"...", "...", "..."}},
        {"border passes other colours", {"......", ".####.", ".#g.#.", ".#.g#.", ".####."}, {2, 3}, kBlack,
         FloodMode::Border, true, {"......", ".####.", ".#**#.", ".#**#.", ".####."}},
        {"border seed on the border fills nothing", {".#.", "###", ".#."}, {1, 1}, kBlack, FloodMode::Border,
         false, {".#.", "###", ".#."}},
        {"border leaks through a gap", {"......", ".##.#.", ".#..#.", ".####."}, {2, 2}, kBlack,
         FloodMode::Border, true, {"******", "*##*#*", "*#**#*", "*####*"}},
    };
    for (const FloodCase& c : cases) {
        Bitmap b = fromText(c.before);
        Canvas canvas(b);
        canvas.setBrush(Brush::solid(kRed));
        EXPECT_EQ(canvas.floodFill(c.seed, c.colour, c.mode), c.filled) << c.name;
        EXPECT_EQ(show(b), test::rows(c.after)) << c.name;
    }
}

TEST(FloodFill, StopsAtTheClipRectangleAndIgnoresSeedsOutsideIt) {
    Bitmap b = test::makeBitmap(6, 4);
    Canvas c(b);
    c.setBrush(Brush::solid(kRed));
    c.setClip({1, 1, 4, 3});
    EXPECT_FALSE(c.floodFill({0, 0}, kWhite, FloodMode::Surface));
    EXPECT_FALSE(c.floodFill({-1000000, 5}, kWhite, FloodMode::Surface));
    EXPECT_TRUE(c.floodFill({2, 2}, kWhite, FloodMode::Surface));
    EXPECT_EQ(show(b), test::rows({"......", ".***..", ".***..", "......"}));
}

TEST(FloodFill, ABrushInTheSearchedColourStillFillsOnce) {
    // The brush paints white lines on black gaps: the area is found before it is painted.
    Bitmap b = test::makeBitmap(16, 16);
    Canvas c(b);
    c.setBackgroundColour(kBlack);
    c.setBrush(Brush::hatched(HatchStyle::Cross, kWhite));
    EXPECT_TRUE(c.floodFill({5, 5}, kWhite, FloodMode::Surface));
    EXPECT_EQ(test::touched(b).size(), 16u * 16u - 4u * 15u);
}

TEST(FloodFill, ReversingFillTouchesEachPixelOnce) {
    Bitmap b = fromText({"........", ".######.", ".#....#.", ".#.##.#.", ".#....#.", ".######.", "........"});
    Canvas c(b);
    c.setRop2(Rop2::XorPen);
    c.setBrush(Brush::solid(kWhite));
    EXPECT_TRUE(c.floodFill({2, 2}, kWhite, FloodMode::Surface));
    EXPECT_EQ(show(b), test::rows({"........", ".######.", ".######.", ".######.", ".######.", ".######.", "........"}));
}

// A one-pixel corridor winding through the whole bitmap: an area whose depth would overflow a
// recursive fill.
TEST(FloodFill, DeepWindingAreasNeedNoRecursion) {
    constexpr std::int64_t kSize = 1001;
    Bitmap b = test::makeBitmap(kSize, kSize, kBlack);
    for (std::int64_t y = 0; y < kSize; y += 2) {
        b.fill({0, y, kSize, y + 1}, kWhite);
        const std::int64_t link = (y / 2) % 2 == 0 ? kSize - 1 : 0;
        b.setPixel(link, y + 1, kWhite);
    }
    Canvas c(b);
    c.setBrush(Brush::solid(kRed));
    EXPECT_TRUE(c.floodFill({0, 0}, kWhite, FloodMode::Surface));
    EXPECT_EQ(b.pixel(0, kSize - 1), kRed);
    EXPECT_EQ(b.pixel(kSize / 2, kSize / 2 + 1), kBlack);
    for (std::int64_t y = 0; y < kSize; ++y)
        for (std::int64_t x = 0; x < kSize; ++x) ASSERT_NE(b.pixel(x, y), kWhite) << x << "," << y;
}

} // namespace
} // namespace qm
