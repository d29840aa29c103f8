// One-pixel and wide lines: which pixels a line lights, end pixels, dashes, reversing pens, clipping
// and coordinates far outside the bitmap.
#include "raster_test_util.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

namespace qm {
namespace {

using test::PixelSet;

PixelSet lineOn(std::int64_t w, std::int64_t h, Point a, Point b, bool withEnd = false) {
    Bitmap bmp = test::makeBitmap(w, h);
    Canvas c(bmp);
    if (withEnd) c.drawLineWithEnd(a, b);
    else c.drawLine(a, b);
    return test::touched(bmp);
}

struct LineCase {
    const char* name;
    Point from, to;
    PixelSet pixels;  // worked out by hand: nearest pixel per step, halves to the upper / left pixel
};

class LinePixels : public ::testing::TestWithParam<LineCase> {};

TEST_P(LinePixels, LightsTheNearestPixelPerStepAndLeavesOutTheEnd) {
    const LineCase& c = GetParam();
    EXPECT_EQ(lineOn(8, 8, c.from, c.to), c.pixels);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, LinePixels,
    ::testing::Values(
        LineCase{"horizontal", {1, 2}, {5, 2}, {{1, 2}, {2, 2}, {3, 2}, {4, 2}}},
        LineCase{"horizontalLeftward", {5, 2}, {1, 2}, {{5, 2}, {4, 2}, {3, 2}, {2, 2}}},
        LineCase{"vertical", {3, 1}, {3, 5}, {{3, 1}, {3, 2}, {3, 3}, {3, 4}}},
        LineCase{"verticalUpward", {3, 5}, {3, 1}, {{3, 5}, {3, 4}, {3, 3}, {3, 2}}},
        LineCase{"diagonal", {0, 0}, {4, 4}, {{0, 0}, {1, 1}, {2, 2}, {3, 3}}},
        LineCase{"antiDiagonal", {4, 0}, {0, 4}, {{4, 0}, {3, 1}, {2, 2}, {1, 3}}},
        LineCase{"shallowNoTie", {0, 0}, {3, 1}, {{0, 0}, {1, 0}, {2, 1}}},
        // y = x / 2: at x = 1 and x = 3 the line is half-way between rows: the upper pixel wins.
        LineCase{"shallowTiesGoUp", {0, 0}, {4, 2}, {{0, 0}, {1, 0}, {2, 1}, {3, 1}}},
        LineCase{"shallowTiesGoUpLeftward", {4, 2}, {0, 0}, {{4, 2}, {3, 1}, {2, 1}, {1, 0}}},
        LineCase{"shallowRising", {0, 3}, {4, 1}, {{0, 3}, {1, 2}, {2, 2}, {3, 1}}},
        // x = y / 2: at y = 1 and y = 3 the line is half-way between columns: the left pixel wins.
        LineCase{"steepTiesGoLeft", {0, 0}, {2, 4}, {{0, 0}, {0, 1}, {1, 2}, {1, 3}}},
        LineCase{"steepTiesGoLeftUpward", {2, 4}, {0, 0}, {{2, 4}, {1, 3}, {1, 2}, {0, 1}}},
        LineCase{"steepLeaning", {4, 0}, {2, 4}, {{4, 0}, {3, 1}, {3, 2}, {2, 3}}},
        LineCase{"singleStep", {6, 6}, {7, 7}, {{6, 6}}},
        LineCase{"zeroLength", {6, 6}, {6, 6}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LineEndPixel, TheThreePointFormAddsExactlyTheEndPixel) {
    const std::pair<Point, Point> lines[] = {
        {{1, 1}, {6, 3}}, {{6, 3}, {1, 1}}, {{2, 7}, {2, 0}}, {{0, 0}, {7, 7}}, {{5, 5}, {5, 5}}, {{7, 0}, {0, 2}},
    };
    for (const auto& [a, b] : lines) {
        PixelSet expected = lineOn(8, 8, a, b);
        expected.insert({b.x, b.y});
        EXPECT_EQ(lineOn(8, 8, a, b, true), expected) << a.x << "," << a.y << " -> " << b.x << "," << b.y;
    }
}

TEST(LineEndPixel, TheThreePointFormWorksAtTheCoordinateLimit) {
    Bitmap bmp = test::makeBitmap(4, 4);
    Canvas c(bmp);
    c.drawLineWithEnd({kCoordLimit, 1}, {kCoordLimit, 1});
    c.drawLineWithEnd({0, 2}, {3, 2});
    EXPECT_EQ(test::picture(bmp), test::rows({"....", "....", "####", "...."}));
}

TEST(Polyline, SharedVerticesAreReversedOnce) {
    const std::vector<std::vector<Point>> polylines = {
        {{1, 1}, {8, 1}, {8, 8}, {1, 8}, {1, 2}},
        {{0, 0}, {9, 3}, {2, 9}, {9, 9}},
        {{5, 0}, {5, 5}, {9, 5}, {5, 9}, {0, 5}},
    };
    for (const auto& poly : polylines) {
        Bitmap copied = test::makeBitmap(10, 10);
        Canvas(copied).drawPolyline(poly);
        Bitmap reversed = test::makeBitmap(10, 10);
        Canvas rc(reversed);
        rc.setRop2(Rop2::XorPen);
        rc.setPen({kWhite, 1, PenStyle::Solid});
        rc.drawPolyline(poly);
        // A pixel reversed twice would be back to white and missing here.
        EXPECT_EQ(test::touched(reversed), test::touched(copied));
    }
}

TEST(Polyline, EachSegmentLeavesOutItsEndSoTheLastPointIsNotDrawn) {
    Bitmap bmp = test::makeBitmap(6, 4);
    const Point poly[] = {{0, 0}, {4, 0}, {4, 3}};
    Canvas(bmp).drawPolyline(poly);
    EXPECT_EQ(test::picture(bmp), test::rows({"#####.", "....#.", "....#.", "......"}));
}

TEST(DashedLines, PatternsOfDrawnAndSkippedSteps) {
    struct DashCase {
        PenStyle style;
        const char* row;  // 30 steps of a horizontal line from x = 0
    };
    const DashCase cases[] = {
        {PenStyle::Solid, "##############################"},
        {PenStyle::Dash, "##################......######"},
        {PenStyle::Dot, "###...###...###...###...###..."},
        {PenStyle::DashDot, "#########......###......######"},
        {PenStyle::DashDotDot, "#########...###...###...######"},
        {PenStyle::Null, ".............................."},
    };
    for (const DashCase& c : cases) {
        Bitmap bmp = test::makeBitmap(30, 1);
        Canvas canvas(bmp);
        canvas.setBackgroundMode(BackgroundMode::Transparent);
        canvas.setPen({kBlack, 1, c.style});
        canvas.drawLine({0, 0}, {30, 0});
        EXPECT_EQ(test::picture(bmp), std::string(c.row) + "\n") << int(c.style);
    }
}

TEST(DashedLines, OpaqueGapsTakeTheBackgroundColour) {
    Bitmap bmp = test::makeBitmap(30, 1, rgb(0, 0, 255));
    Canvas canvas(bmp);
    canvas.setPen({kBlack, 1, PenStyle::Dot});
    canvas.setBackgroundColour(rgb(0, 255, 0));
    canvas.drawLine({0, 0}, {6, 0});
    EXPECT_EQ(bmp.pixel(2, 0), kBlack);
    EXPECT_EQ(bmp.pixel(3, 0), rgb(0, 255, 0));
    EXPECT_EQ(bmp.pixel(6, 0), rgb(0, 0, 255));  // end pixel left alone
}

TEST(DashedLines, ThePatternRunsOnAcrossVerticesAndClippedParts) {
    for (PenStyle style : {PenStyle::Dash, PenStyle::DashDot, PenStyle::DashDotDot}) {
        Bitmap straight = test::makeBitmap(60, 3);
        Canvas sc(straight);
        sc.setBackgroundMode(BackgroundMode::Transparent);
        sc.setPen({kBlack, 1, style});
        sc.drawLine({-7, 1}, {70, 1});
        Bitmap pieces = test::makeBitmap(60, 3);
        Canvas pc(pieces);
        pc.setBackgroundMode(BackgroundMode::Transparent);
        pc.setPen({kBlack, 1, style});
        const Point poly[] = {{-7, 1}, {5, 1}, {13, 1}, {41, 1}, {70, 1}};
        pc.drawPolyline(poly);
        EXPECT_EQ(test::picture(pieces), test::picture(straight)) << int(style);
    }
}

// Clipping: a line drawn into a small bitmap must light exactly the pixels that the same line lights
// inside that area when nothing clips it. Lines from a grid of end points cross every edge and corner.
TEST(LineClipping, ClippedLinesMatchTheUnclippedLineInsideTheArea) {
    constexpr std::int64_t kOff = 20;
    for (std::int64_t x0 = -9; x0 <= 18; x0 += 3)
        for (std::int64_t y0 = -9; y0 <= 18; y0 += 4)
            for (std::int64_t x1 = -8; x1 <= 18; x1 += 5)
                for (std::int64_t y1 = -10; y1 <= 19; y1 += 3) {
                    Bitmap small = test::makeBitmap(10, 10);
                    Canvas(small).drawLine({x0, y0}, {x1, y1});
                    Bitmap big = test::makeBitmap(50, 50);
                    Canvas(big).drawLine({x0 + kOff, y0 + kOff}, {x1 + kOff, y1 + kOff});
                    Bitmap clippedBig = test::makeBitmap(50, 50);
                    Canvas cc(clippedBig);
                    cc.setClip({kOff, kOff, kOff + 10, kOff + 10});
                    cc.drawLine({x0 + kOff, y0 + kOff}, {x1 + kOff, y1 + kOff});
                    const auto window = big.copyRect({kOff, kOff, kOff + 10, kOff + 10}, kWhite);
                    ASSERT_EQ(test::picture(small), test::picture(*window))
                        << x0 << "," << y0 << " -> " << x1 << "," << y1;
                    ASSERT_EQ(test::touched(clippedBig), [&] {
                        PixelSet s;
                        for (auto [x, y] : test::touched(small)) s.insert({x + kOff, y + kOff});
                        return s;
                    }()) << x0 << "," << y0 << " -> " << x1 << "," << y1;
                }
}

TEST(LineHugeCoordinates, FarEndPointsDrawOnlyTheVisiblePart) {
    struct HugeCase {
        const char* name;
        Point from, to;
        PixelSet expected;
    };
    PixelSet row3, diagonal, column0;
    for (std::int64_t i = 0; i < 8; ++i) {
        row3.insert({i, 3});
        diagonal.insert({i, i});
        column0.insert({0, i});
    }
    const std::int64_t big = 2147483647;
    const HugeCase cases[] = {
        {"int32 row", {-big - 1, 3}, {big, 3}, row3},
        {"int32 diagonal", {-1000000000, -1000000000}, {1000000000, 1000000000}, diagonal},
        {"limit diagonal", {kCoordLimit, kCoordLimit}, {-kCoordLimit, -kCoordLimit}, diagonal},
        {"saturated 1e30", {0, toCoord(-1e30)}, {0, toCoord(1e30)}, column0},
        {"all outside", {-big, -5}, {big, -4}, {}},
    };
    for (const HugeCase& c : cases) EXPECT_EQ(lineOn(8, 8, c.from, c.to), c.expected) << c.name;
}

TEST(LineHugeCoordinates, RealPositionsRoundHalfAwayFromZeroAndSaturate) {
    EXPECT_EQ(toCoord(2.5), 3);
    EXPECT_EQ(toCoord(-2.5), -3);
    EXPECT_EQ(toCoord(1e30), kCoordLimit);
    EXPECT_EQ(toCoord(-1e300), -kCoordLimit);
    EXPECT_EQ(toCoord(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(toCoord(std::numeric_limits<double>::infinity()), kCoordLimit);
}

TEST(WideLines, RoundEndedStrokeAroundTheSegment) {
    Bitmap bmp = test::makeBitmap(21, 21);
    Canvas c(bmp);
    c.setPen({kBlack, 3, PenStyle::Solid});
    c.drawLine({5, 10}, {15, 10});
    const PixelSet px = test::touched(bmp);
    for (std::int64_t x = 5; x <= 15; ++x)
        for (std::int64_t y = 9; y <= 11; ++y) EXPECT_TRUE(px.count({x, y})) << x << "," << y;
    for (std::int64_t x = 0; x < 21; ++x) {
        EXPECT_FALSE(px.count({x, 8}));
        EXPECT_FALSE(px.count({x, 12}));
    }
    EXPECT_TRUE(px.count({4, 10}));  // the round end reaches 1.5 pixels beyond the end points
    EXPECT_TRUE(px.count({16, 10}));
    EXPECT_FALSE(px.count({3, 10}));
    EXPECT_FALSE(px.count({17, 10}));
}

TEST(WideLines, DashedStylesDrawSolidWhenWide) {
    Bitmap solid = test::makeBitmap(40, 9), dashed = test::makeBitmap(40, 9);
    Canvas sc(solid), dc(dashed);
    sc.setPen({kBlack, 4, PenStyle::Solid});
    dc.setPen({kBlack, 4, PenStyle::DashDot});
    sc.drawLine({2, 4}, {37, 6});
    dc.drawLine({2, 4}, {37, 6});
    EXPECT_EQ(solid, dashed);
}

TEST(WideLines, AFigurePaintsEachPixelOnceEvenWhereSegmentsOverlap) {
    const std::vector<std::vector<Point>> polylines = {
        {{2, 2}, {25, 3}, {3, 5}},              // folds back over itself
        {{2, 20}, {14, 2}, {26, 20}, {2, 10}},  // crosses itself
        {{14, 14}, {14, 14}},                   // a single round dot
    };
    for (std::int64_t width : {2, 5, 9})
        for (const auto& poly : polylines) {
            Bitmap copied = test::makeBitmap(30, 30);
            Canvas cc(copied);
            cc.setPen({kBlack, width, PenStyle::Solid});
            cc.drawPolyline(poly);
            Bitmap reversed = test::makeBitmap(30, 30, kBlack);
            Canvas rc(reversed);
            rc.setRop2(Rop2::XorPen);
            rc.setPen({kWhite, width, PenStyle::Solid});
            rc.drawPolyline(poly);
            EXPECT_EQ(test::touched(reversed, kBlack), test::touched(copied)) << "width " << width;
            EXPECT_FALSE(test::touched(copied).empty());
        }
}

TEST(WideLines, HugeWidthsCoverTheBitmapWithoutOverflow) {
    for (std::int64_t width : {std::int64_t{2147483647}, std::int64_t{1} << 40}) {
        Bitmap bmp = test::makeBitmap(50, 40);
        Canvas c(bmp);
        c.setPen({kBlack, width, PenStyle::Solid});
        c.drawLine({25, 20}, {26, 20});
        EXPECT_EQ(test::touched(bmp).size(), 50u * 40u) << width;
        Bitmap far = test::makeBitmap(50, 40);
        Canvas fc(far);
        fc.setPen({kBlack, width, PenStyle::Solid});
        fc.drawLine({-kCoordLimit, kCoordLimit}, {kCoordLimit, -kCoordLimit});
        EXPECT_EQ(test::touched(far).size(), 50u * 40u) << width;
    }
}

} // namespace
} // namespace qm
