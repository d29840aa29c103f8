// Rectangles, ellipses, arcs, polygons and brushes: exclusive boxes, the fill convention, hatches,
// reversing pens and figures far larger than the bitmap.
#include "raster_test_util.h"

#include <gtest/gtest.h>

#include <vector>

namespace qm {
namespace {

using test::PixelSet;

// Draws the same figure with a copying pen and with a reversing one and checks that both touch the
// same pixels: a pixel that one figure reversed twice would be missing from the second set.
template <class Draw>
void expectEachPixelOnce(std::int64_t w, std::int64_t h, const Pen& pen, const Brush& brush, Draw draw) {
    Bitmap copied = test::makeBitmap(w, h);
    Canvas cc(copied);
    cc.setPen({kBlack, pen.width, pen.style});
    cc.setBrush(brush.isNull() ? brush : Brush::solid(kBlack));
    draw(cc);
    Bitmap reversed = test::makeBitmap(w, h, kBlack);
    Canvas rc(reversed);
    rc.setRop2(Rop2::XorPen);
    rc.setPen({kWhite, pen.width, pen.style});
    rc.setBrush(brush.isNull() ? brush : Brush::solid(kWhite));
    draw(rc);
    EXPECT_EQ(test::touched(reversed, kBlack), test::touched(copied));
}

TEST(Rectangles, OutlineLiesOnTheExclusiveBoxAndTheBrushFillsInside) {
    Bitmap bmp = test::makeBitmap(7, 6);
    Canvas c(bmp);
    c.setBrush(Brush::solid(rgb(255, 0, 0)));
    c.drawRectangle({1, 1, 5, 5});
    EXPECT_EQ(test::picture(bmp), test::rows({".......", ".####..", ".####..", ".####..", ".####..", "......."}));
    EXPECT_EQ(bmp.pixel(1, 1), kBlack);
    EXPECT_EQ(bmp.pixel(2, 2), rgb(255, 0, 0));
    EXPECT_EQ(bmp.pixel(4, 4), kBlack);
}

TEST(Rectangles, ReversedCornersAreOrdered) {
    Bitmap a = test::makeBitmap(8, 8), b = test::makeBitmap(8, 8);
    Canvas(a).drawRectangle({1, 2, 6, 7});
    Canvas(b).drawRectangle({6, 7, 1, 2});
    EXPECT_EQ(a, b);
}

TEST(Rectangles, WithoutAPenTheFillIsOnePixelSmaller) {
    Bitmap bmp = test::makeBitmap(6, 5);
    Canvas c(bmp);
    c.setPen({kBlack, 1, PenStyle::Null});
    c.setBrush(Brush::solid(kBlack));
    c.drawRectangle({1, 1, 5, 4});
    EXPECT_EQ(test::picture(bmp), test::rows({"......", ".###..", ".###..", "......", "......"}));
}

TEST(Rectangles, EveryPixelOnceUnderAReversingPen) {
    const Rect boxes[] = {{1, 1, 9, 7}, {2, 2, 3, 9}, {1, 4, 10, 5}, {3, 3, 4, 4}, {0, 0, 2, 2}};
    for (std::int64_t width : {1, 2, 3, 6})
        for (const Rect& box : boxes)
            for (PenStyle style : {PenStyle::Solid, PenStyle::InsideFrame})
                expectEachPixelOnce(12, 12, {kBlack, width, style}, Brush::solid(kBlack),
                                    [&](Canvas& c) { c.drawRectangle(box); });
}

TEST(Rectangles, AnInsideFramePenStaysInsideTheBox) {
    for (std::int64_t width : {1, 2, 3, 4, 7, 30}) {
        Bitmap bmp = test::makeBitmap(20, 20);
        Canvas c(bmp);
        c.setPen({kBlack, width, PenStyle::InsideFrame});
        c.setBrush(Brush::none());
        c.drawRectangle({4, 5, 15, 13});
        for (auto [x, y] : test::touched(bmp)) EXPECT_TRUE(Rect({4, 5, 15, 13}).contains(x, y)) << width;
        EXPECT_TRUE(test::touched(bmp).count({4, 9})) << width;   // the pen reaches the box's edges
        EXPECT_TRUE(test::touched(bmp).count({14, 9})) << width;
    }
}

// Ellipses in boxes of every small size: a one-pixel outline touches each column and each row of its
// box and nothing outside, is symmetric, one piece, and no row of the filled figure has a hole.
TEST(Ellipses, OutlineFillsItsExclusiveBoxExactly) {
    constexpr std::int64_t kX = 2, kY = 3;
    for (std::int64_t w = 1; w <= 14; ++w)
        for (std::int64_t h = 1; h <= 14; ++h) {
            const Rect box{kX, kY, kX + w, kY + h};
            Bitmap bmp = test::makeBitmap(20, 20);
            Canvas c(bmp);
            c.setBrush(Brush::none());
            c.drawEllipse(box);
            const PixelSet px = test::touched(bmp);
            std::set<std::int64_t> cols, rows;
            for (auto [x, y] : px) {
                ASSERT_TRUE(box.contains(x, y)) << w << "x" << h << " at " << x << "," << y;
                cols.insert(x);
                rows.insert(y);
                EXPECT_TRUE(px.count({2 * kX + w - 1 - x, y})) << w << "x" << h;  // mirror left-right
                EXPECT_TRUE(px.count({x, 2 * kY + h - 1 - y})) << w << "x" << h;  // mirror top-bottom
            }
            EXPECT_EQ(cols.size(), std::size_t(w)) << w << "x" << h;
            EXPECT_EQ(rows.size(), std::size_t(h)) << w << "x" << h;
            // One 8-connected piece.
            PixelSet reached{*px.begin()};
            std::vector<std::pair<std::int64_t, std::int64_t>> todo{*px.begin()};
            while (!todo.empty()) {
                auto [x, y] = todo.back();
                todo.pop_back();
                for (std::int64_t dy = -1; dy <= 1; ++dy)
                    for (std::int64_t dx = -1; dx <= 1; ++dx)
                        if (px.count({x + dx, y + dy}) && reached.insert({x + dx, y + dy}).second)
                            todo.push_back({x + dx, y + dy});
            }
            EXPECT_EQ(reached, px) << w << "x" << h;
        }
}

TEST(Ellipses, AFourByFourBoxTouchesColumnsZeroToThreeOnly) {
    Bitmap bmp = test::makeBitmap(6, 6);
    Canvas(bmp).drawEllipse({0, 0, 4, 4});
    EXPECT_EQ(test::picture(bmp), test::rows({".##...", "#..#..", "#..#..", ".##...", "......", "......"}));
}

TEST(Ellipses, FilledRowsHaveNoHolesAndThePenAndBrushShareNoPixel) {
    for (std::int64_t width : {1, 2, 3, 5})
        for (const Rect& box : {Rect{1, 1, 12, 9}, Rect{2, 2, 4, 13}, Rect{0, 0, 14, 14}}) {
            Bitmap bmp = test::makeBitmap(16, 16);
            Canvas c(bmp);
            c.setPen({kBlack, width, PenStyle::Solid});
            c.setBrush(Brush::solid(rgb(255, 0, 0)));
            c.drawEllipse(box);
            for (std::int64_t y = 0; y < 16; ++y) {
                std::int64_t first = -1, last = -1;
                for (std::int64_t x = 0; x < 16; ++x)
                    if (bmp.pixel(x, y) != kWhite) {
                        if (first < 0) first = x;
                        last = x;
                    }
                for (std::int64_t x = first; first >= 0 && x <= last; ++x)
                    EXPECT_NE(bmp.pixel(x, y), kWhite) << "row " << y << " width " << width;
            }
            expectEachPixelOnce(16, 16, {kBlack, width, PenStyle::Solid}, Brush::solid(kBlack),
                                [&](Canvas& cv) { cv.drawEllipse(box); });
        }
}

TEST(Ellipses, AnInsideFramePenStaysInsideTheBox) {
    for (std::int64_t width : {2, 3, 6, 40}) {
        Bitmap bmp = test::makeBitmap(24, 24);
        Canvas c(bmp);
        c.setPen({kBlack, width, PenStyle::InsideFrame});
        c.drawEllipse({3, 4, 20, 17});
        for (auto [x, y] : test::touched(bmp)) EXPECT_TRUE(Rect({3, 4, 20, 17}).contains(x, y)) << width;
    }
}

TEST(Ellipses, HugeBoxesAndPensFinishAndClip) {
    const std::int64_t big = 2147483647;
    Bitmap bmp = test::makeBitmap(40, 30);
    Canvas c(bmp);
    c.setBrush(Brush::solid(kBlack));
    c.drawEllipse({-big, -big, big, big});  // the bitmap lies deep inside it
    EXPECT_EQ(test::touched(bmp).size(), 40u * 30u);

    Bitmap ring = test::makeBitmap(40, 30);
    Canvas rc(ring);
    rc.setBrush(Brush::none());
    rc.setPen({kBlack, big, PenStyle::Solid});
    rc.drawEllipse({-kCoordLimit, -kCoordLimit, kCoordLimit, kCoordLimit});
    EXPECT_TRUE(test::touched(ring).empty());  // the stroke lies far away; only its hole is here

    // A flat ellipse through the bitmap with a huge pen: the arc is part of the whole outline.
    Bitmap whole = test::makeBitmap(40, 30), arc = test::makeBitmap(40, 30);
    Canvas wc(whole), ac(arc);
    wc.setBrush(Brush::none());
    wc.setPen({kBlack, big, PenStyle::Solid});
    ac.setPen({kBlack, big, PenStyle::Solid});
    wc.drawEllipse({-kCoordLimit, 0, kCoordLimit, 5});
    ac.drawArc({-kCoordLimit, 0, kCoordLimit, 5}, {10, 2}, {0, -10});  // east to north
    EXPECT_FALSE(test::touched(arc).empty());
    for (auto p : test::touched(arc)) EXPECT_TRUE(test::touched(whole).count(p));

    Bitmap dot = test::makeBitmap(40, 30);
    Canvas dc(dot);
    dc.setBrush(Brush::solid(kBlack));
    dc.drawEllipse({20 - big / 2, 15 - big / 2, 20 + big - big / 2, 15 + big - big / 2});
    EXPECT_EQ(test::touched(dot).size(), 40u * 30u);
}

// A dashed one-pixel pen walks an ellipse's outline as it walks a line: the drawn pixels are the
// solid outline's, in runs that follow the pattern around the curve, and opaque gaps fill the rest.
TEST(DashedCurves, EllipsesAndArcsFollowThePattern) {
    struct CurveCase {
        PenStyle style;
        double drawnShare;  // drawn steps of the pattern / its length
    };
    const CurveCase cases[] = {{PenStyle::Dash, 18.0 / 24}, {PenStyle::Dot, 3.0 / 6},
                               {PenStyle::DashDot, 12.0 / 24}, {PenStyle::DashDotDot, 15.0 / 24}};
    const Rect box{2, 3, 63, 44};
    Bitmap solid = test::makeBitmap(66, 48);
    Canvas(solid).drawEllipse(box);
    const PixelSet outline = test::touched(solid);
    for (const CurveCase& c : cases) {
        Bitmap dashed = test::makeBitmap(66, 48);
        Canvas dc(dashed);
        dc.setBackgroundMode(BackgroundMode::Transparent);
        dc.setPen({kBlack, 1, c.style});
        dc.drawEllipse(box);
        const PixelSet drawn = test::touched(dashed);
        for (auto p : drawn) EXPECT_TRUE(outline.count(p)) << int(c.style);
        const double share = static_cast<double>(drawn.size()) / outline.size();
        EXPECT_NEAR(share, c.drawnShare, 0.08) << int(c.style);

        // Opaque gaps: every outline pixel is painted, the gaps in the background colour.
        Bitmap opaque = test::makeBitmap(66, 48, rgb(0, 0, 255));
        Canvas oc(opaque);
        oc.setPen({kBlack, 1, c.style});
        oc.setBackgroundColour(rgb(0, 255, 0));
        oc.setBrush(Brush::none());
        oc.drawEllipse(box);
        std::size_t black = 0, gaps = 0;
        for (auto [x, y] : outline) {
            const Rgb px = opaque.pixel(x, y);
            black += px == kBlack;
            gaps += px == rgb(0, 255, 0);
        }
        EXPECT_EQ(black, drawn.size()) << int(c.style);
        EXPECT_EQ(black + gaps, outline.size()) << int(c.style);

        // An arc's dashes start at its first pixel: its drawn pixels lie on the solid arc.
        Bitmap solidArc = test::makeBitmap(66, 48);
        Canvas(solidArc).drawArc(box, {62, 23}, {32, 3});
        Bitmap dashedArc = test::makeBitmap(66, 48);
        Canvas ac(dashedArc);
        ac.setBackgroundMode(BackgroundMode::Transparent);
        ac.setPen({kBlack, 1, c.style});
        ac.drawArc(box, {62, 23}, {32, 3});
        const PixelSet arc = test::touched(solidArc);
        const PixelSet arcDrawn = test::touched(dashedArc);
        EXPECT_FALSE(arcDrawn.empty());
        EXPECT_LT(arcDrawn.size(), arc.size());
        for (auto p : arcDrawn) EXPECT_TRUE(arc.count(p)) << int(c.style);
    }
}

TEST(DashedCurves, HugeDashedEllipsesFinishAndClip) {
    Bitmap bmp = test::makeBitmap(40, 30);
    Canvas c(bmp);
    c.setPen({kBlack, 1, PenStyle::Dot});
    c.setBackgroundMode(BackgroundMode::Transparent);
    const std::int64_t big = std::int64_t{1} << 31;
    c.drawEllipse({-big, -big, 20, big});  // the right end of the outline crosses the bitmap
    c.drawArc({-big, -big, 20, big}, {20, 0}, {20, -1});
    const PixelSet drawn = test::touched(bmp);
    EXPECT_FALSE(drawn.empty());
    for (auto p : drawn) EXPECT_LT(p.first, 20);
}

TEST(Arcs, AQuarterRunsCounterClockwiseFromStartToEnd) {
    Bitmap whole = test::makeBitmap(21, 21);
    Canvas(whole).drawEllipse({0, 0, 21, 21});
    Bitmap quarter = test::makeBitmap(21, 21);
    Canvas(quarter).drawArc({0, 0, 21, 21}, {20, 10}, {10, 0});  // from east to north
    const PixelSet all = test::touched(whole);
    const PixelSet part = test::touched(quarter);
    EXPECT_TRUE(part.count({20, 10}));
    EXPECT_TRUE(part.count({10, 0}));
    for (auto p : part) {
        EXPECT_TRUE(all.count(p));
        EXPECT_GE(p.first, 10);
        EXPECT_LE(p.second, 10);
    }
    EXPECT_GT(part.size(), 10u);

    Bitmap rest = test::makeBitmap(21, 21);
    Canvas(rest).drawArc({0, 0, 21, 21}, {10, 0}, {20, 10});  // the other three quarters
    for (auto p : test::touched(rest)) EXPECT_TRUE(all.count(p));
    EXPECT_TRUE(test::touched(rest).count({0, 10}));

    Bitmap same = test::makeBitmap(21, 21);
    Canvas(same).drawArc({0, 0, 21, 21}, {5, 5}, {5, 5});  // equal rays: the whole ellipse
    EXPECT_EQ(test::touched(same), all);
}

TEST(Polygons, InteriorsIncludeTopAndLeftEdgesOnly) {
    Bitmap bmp = test::makeBitmap(6, 6);
    Canvas c(bmp);
    c.setPen({kBlack, 1, PenStyle::Null});
    c.setBrush(Brush::solid(kBlack));
    const Point square[] = {{0, 0}, {4, 0}, {4, 4}, {0, 4}};
    c.drawPolygon(square, FillRule::Alternate);
    EXPECT_EQ(test::picture(bmp), test::rows({"####..", "####..", "####..", "####..", "......", "......"}));
}

// Shapes that tile an area exactly, filled with a reversing brush: every pixel of the area must come
// out reversed once, with no gaps and no overlaps along the shared edges.
TEST(Polygons, NeighbouringShapesShareEdgesWithoutGapsOrOverlaps) {
    const std::vector<std::vector<Point>> tilings[] = {
        {{{0, 0}, {13, 0}, {0, 11}}, {{13, 0}, {13, 11}, {0, 11}}},
        {{{0, 0}, {5, 0}, {5, 11}, {0, 11}}, {{5, 0}, {13, 0}, {13, 11}, {5, 11}}},
        {{{0, 0}, {13, 0}, {6, 5}}, {{0, 0}, {6, 5}, {0, 11}}, {{13, 0}, {13, 11}, {6, 5}}, {{0, 11}, {6, 5}, {13, 11}}},
        {{{0, 0}, {13, 0}, {13, 3}, {2, 7}, {13, 11}, {0, 11}}, {{13, 3}, {13, 11}, {2, 7}}},
    };
    for (const auto& tiling : tilings) {
        Bitmap bmp = test::makeBitmap(16, 14, kBlack);
        Canvas c(bmp);
        c.setPen({kBlack, 1, PenStyle::Null});
        c.setRop2(Rop2::XorPen);
        c.setBrush(Brush::solid(kWhite));
        for (const auto& shape : tiling) c.drawPolygon(shape, FillRule::Alternate);
        PixelSet expected;
        for (std::int64_t y = 0; y < 11; ++y)
            for (std::int64_t x = 0; x < 13; ++x) expected.insert({x, y});
        EXPECT_EQ(test::touched(bmp, kBlack), expected);
    }
}

TEST(Polygons, WindingFillsTheCentreOfAStarAndAlternateDoesNot) {
    const Point star[] = {{10, 0}, {16, 19}, {0, 7}, {20, 7}, {4, 19}};
    for (FillRule rule : {FillRule::Alternate, FillRule::Winding}) {
        Bitmap bmp = test::makeBitmap(21, 21);
        Canvas c(bmp);
        c.setPen({kBlack, 1, PenStyle::Null});
        c.setBrush(Brush::solid(kBlack));
        c.drawPolygon(star, rule);
        EXPECT_EQ(bmp.pixel(10, 10) == kBlack, rule == FillRule::Winding);
        EXPECT_EQ(bmp.pixel(10, 3), kBlack);  // a point of the star is filled either way
    }
}

TEST(Polygons, OutlineAndInteriorPaintEachPixelOnce) {
    const std::vector<Point> shapes[] = {
        {{1, 1}, {14, 3}, {8, 13}},
        {{10, 0}, {16, 19}, {0, 7}, {20, 7}, {4, 19}},
        {{2, 2}, {12, 2}, {12, 12}, {2, 12}, {7, 7}},
        {{3, 3}, {15, 9}},  // two points: the outline goes there and back
    };
    for (std::int64_t width : {1, 3})
        for (const auto& shape : shapes)
            for (FillRule rule : {FillRule::Alternate, FillRule::Winding})
                expectEachPixelOnce(22, 22, {kBlack, width, PenStyle::Solid}, Brush::solid(kBlack),
                                    [&](Canvas& c) { c.drawPolygon(shape, rule); });
}

TEST(Polygons, HugeVerticesClipToTheBitmap) {
    const std::int64_t big = 2147483647;
    const Point tri[] = {{-big, -big}, {big, -big}, {0, big}};  // the bitmap lies deep inside
    Bitmap bmp = test::makeBitmap(10, 10);
    Canvas c(bmp);
    c.setBrush(Brush::solid(kBlack));
    c.setPen({kBlack, 1, PenStyle::Null});
    c.drawPolygon(tri, FillRule::Winding);
    EXPECT_EQ(test::touched(bmp).size(), 100u);
    const Point far[] = {{-kCoordLimit, 5}, {kCoordLimit, 5}, {0, kCoordLimit}};
    Bitmap bmp2 = test::makeBitmap(10, 10);
    Canvas c2(bmp2);
    c2.setPen({kBlack, big, PenStyle::Solid});
    c2.drawPolygon(far, FillRule::Alternate);
    EXPECT_EQ(test::touched(bmp2).size(), 100u);
}

struct HatchCase {
    HatchStyle style;
    bool (*rule)(std::int64_t x, std::int64_t y, std::int64_t row, std::int64_t col);
};

// Which pixels of a 16 x 16 area a hatch paints, given the phase (row, col) of its lines.
const HatchCase kHatches[] = {
    {HatchStyle::Horizontal, [](auto, auto y, auto row, auto) { return y % 8 == row; }},
    {HatchStyle::Vertical, [](auto x, auto, auto, auto col) { return x % 8 == col; }},
    {HatchStyle::FDiagonal, [](auto x, auto y, auto row, auto) { return (x - y + 16) % 8 == row; }},
    {HatchStyle::BDiagonal, [](auto x, auto y, auto row, auto) { return (x + y) % 8 == row; }},
    {HatchStyle::Cross, [](auto x, auto y, auto row, auto col) { return y % 8 == row || x % 8 == col; }},
    {HatchStyle::DiagCross,
     [](auto x, auto y, auto row, auto col) { return (x - y + 16) % 8 == row || (x + y) % 8 == col; }},
};

TEST(HatchBrushes, EachStyleRepeatsItsLinesEveryEightPixels) {
    for (const HatchCase& h : kHatches) {
        Bitmap bmp = test::makeBitmap(16, 16);
        Canvas c(bmp);
        c.setBackgroundMode(BackgroundMode::Transparent);
        c.fillRect({0, 0, 16, 16}, Brush::hatched(h.style, kBlack));
        const PixelSet px = test::touched(bmp);
        bool found = false;
        for (std::int64_t row = 0; row < 8 && !found; ++row)
            for (std::int64_t col = 0; col < 8 && !found; ++col) {
                PixelSet expected;
                for (std::int64_t y = 0; y < 16; ++y)
                    for (std::int64_t x = 0; x < 16; ++x)
                        if (h.rule(x, y, row, col)) expected.insert({x, y});
                found = expected == px;
            }
        EXPECT_TRUE(found) << "hatch " << int(h.style) << "\n" << test::picture(bmp);
    }
}

TEST(HatchBrushes, GapsTakeTheBackgroundColourOnlyWhenOpaque) {
    for (BackgroundMode mode : {BackgroundMode::Opaque, BackgroundMode::Transparent}) {
        Bitmap bmp = test::makeBitmap(8, 8, rgb(0, 0, 255));
        Canvas c(bmp);
        c.setBackgroundMode(mode);
        c.setBackgroundColour(rgb(0, 255, 0));
        c.fillRect({0, 0, 8, 8}, Brush::hatched(HatchStyle::Cross, kBlack));
        std::size_t gaps = 0, black = 0;
        for (std::int64_t y = 0; y < 8; ++y)
            for (std::int64_t x = 0; x < 8; ++x) {
                gaps += bmp.pixel(x, y) == (mode == BackgroundMode::Opaque ? rgb(0, 255, 0) : rgb(0, 0, 255));
                black += bmp.pixel(x, y) == kBlack;
            }
        EXPECT_EQ(black, 15u);
        EXPECT_EQ(gaps, 49u);
    }
}

TEST(Clipping, FiguresStayInsideTheClipRectangle) {
    const Rect clip{3, 4, 11, 9};
    auto drawAll = [](Canvas& c) {
        c.setPen({kBlack, 3, PenStyle::Solid});
        c.setBrush(Brush::hatched(HatchStyle::DiagCross, kBlack));
        c.drawRectangle({-5, -5, 20, 20});
        c.drawEllipse({0, 0, 15, 15});
        const Point poly[] = {{-3, 7}, {7, -3}, {17, 7}, {7, 17}};
        c.drawPolygon(poly, FillRule::Winding);
        c.setPen({kBlack, 1, PenStyle::Solid});
        c.drawLine({-5, 0}, {20, 14});
        c.drawArc({1, 1, 14, 14}, {0, 0}, {14, 0});
        c.fillRect({-100, 6, 100, 7}, Brush::solid(kBlack));
        c.setPixel({2, 2}, kBlack);
    };
    Bitmap clipped = test::makeBitmap(15, 15);
    Canvas cc(clipped);
    cc.setClip(clip);
    drawAll(cc);
    Bitmap free = test::makeBitmap(15, 15);
    Canvas fc(free);
    drawAll(fc);
    PixelSet expected;
    for (auto p : test::touched(free))
        if (clip.contains(p.first, p.second)) expected.insert(p);
    EXPECT_EQ(test::touched(clipped), expected);
    EXPECT_FALSE(expected.empty());
}

} // namespace
} // namespace qm
