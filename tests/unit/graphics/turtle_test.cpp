// Turtles: moves and their end points, trails in every pen mode and width, ranges (wrap, window,
// fence, bounce), overlaps and collisions, labels, and the inputs that once hung or overflowed.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <cmath>
#include <limits>

#include "graphics/surface/surface.h"
#include "graphics/surface/turtle.h"
#include "logo_error.h"
#include "surface_test_util.h"

namespace qm {
namespace {

using test::errorCode;
using test::list;

int countColour(const Bitmap& b, Rgb c) {
    int n = 0;
    for (std::int64_t y = 0; y < b.height(); ++y)
        for (std::int64_t x = 0; x < b.width(); ++x) n += b.pixel(x, y) == c;
    return n;
}

class TurtleOnPage : public ::testing::Test {
protected:
    Surface page{Surface::kPageWidth, Surface::kPageHeight};
    Turtle t{page};
    const Bitmap& bg() { return page.background(); }
};

TEST_F(TurtleOnPage, StartsAtTheCentreHiddenHeadingUpPenDown) {
    EXPECT_EQ(t.absolutePosition(), (RealPoint{398, 249}));
    EXPECT_EQ(t.position(), (RealPoint{0, 0}));
    EXPECT_EQ(t.heading(), 0);
    EXPECT_FALSE(t.shown());
    EXPECT_EQ(t.penMode(), PenMode::Down);
    EXPECT_EQ(t.penColour(), kBlack);
    EXPECT_EQ(t.penWidth(), 1);
    EXPECT_EQ(t.rangeStyle(), RangeStyle::Wrap);
    EXPECT_FALSE(t.sensitive());
    EXPECT_TRUE(t.animation());
}

// forward 100 from the centre, heading 0: the turtle ends at y 149 and the line has 101 pixels, its
// end pixel included.
TEST_F(TurtleOnPage, ForwardDrawsTheEndPixel) {
    t.forward(100);
    EXPECT_EQ(t.absolutePosition(), (RealPoint{398, 149}));
    EXPECT_EQ(countColour(bg(), kBlack), 101);
    for (int y = 149; y <= 249; ++y) EXPECT_EQ(bg().pixel(398, y), kBlack) << y;
    t.back(50);
    EXPECT_EQ(t.absolutePosition(), (RealPoint{398, 199}));
}

TEST_F(TurtleOnPage, TurningAndTowards) {
    t.right(90);
    EXPECT_EQ(t.heading(), 90);
    t.left(135);
    EXPECT_EQ(t.heading(), 315);
    struct Case {
        RealPoint target;
        LReal heading;
    };
    const Case cases[] = {{{0, 0}, 0}, {{0, 10}, 0}, {{10, 0}, 90}, {{0, -10}, 180}, {{-10, 0}, 270},
                          {{10, 10}, 45}, {{10, -10}, 135}, {{-10, -10}, 225}, {{-10, 10}, 315}};
    for (const Case& c : cases) EXPECT_NEAR(static_cast<double>(t.towards(c.target)), static_cast<double>(c.heading), 1e-9);
    // Exact axis moves do not drift.
    t.setHeading(90);
    for (int i = 0; i < 1000; ++i) t.forward(0.1L);
    EXPECT_NEAR(static_cast<double>(t.position().x), 100, 1e-12);
    EXPECT_EQ(t.position().y, 0);
}

TEST_F(TurtleOnPage, PositionSettersAndHome) {
    t.setPosition({10, 20});
    EXPECT_EQ(t.absolutePosition(), (RealPoint{408, 229}));
    t.setX(-5);
    EXPECT_EQ(t.position(), (RealPoint{-5, 20}));
    t.setY(7);
    EXPECT_EQ(t.position(), (RealPoint{-5, 7}));
    t.setAbsolutePosition({0, 0});
    EXPECT_EQ(t.position(), (RealPoint{-398, 249}));
    const int inked = countColour(bg(), kBlack);
    // home draws nothing even with the pen down.
    t.setHeading(33);
    t.home();
    EXPECT_EQ(t.absolutePosition(), (RealPoint{398, 249}));
    EXPECT_EQ(t.heading(), 0);
    EXPECT_EQ(countColour(bg(), kBlack), inked);
    // .setapos jumps without drawing, even out of the range.
    t.dotSetAbsolutePosition({-100, 5});
    EXPECT_EQ(t.absolutePosition(), (RealPoint{-100, 5}));
    EXPECT_EQ(countColour(bg(), kBlack), inked);
    // .setpos fences a wrapping turtle.
    t.dotSetPosition({1000, 0});
    EXPECT_EQ(t.absolutePosition(), (RealPoint{795, 249}));
}

TEST_F(TurtleOnPage, HomeStateAndSetOrigin) {
    t.setHomeState({{10, 10}, 450});
    EXPECT_EQ(t.homeState().heading, 90);
    EXPECT_EQ(t.position(), (RealPoint{0, 0}));  // setting the home does not move
    t.home();
    EXPECT_EQ(t.position(), (RealPoint{10, 10}));
    EXPECT_EQ(t.heading(), 90);
    // Moving the origin moves nothing: the cartesian coordinates change.
    page.setOrigin({0, 0});
    EXPECT_EQ(t.absolutePosition(), (RealPoint{408, 239}));
    EXPECT_EQ(t.position(), (RealPoint{408, -239}));
}

TEST(TurtleCreation, ParametersChooseTheStart) {
    Surface page(796, 499);
    page.setOrigin({100, 100});
    Turtle centre(page);  // no position at all: the middle of the background
    EXPECT_EQ(centre.absolutePosition(), (RealPoint{398, 249}));
    TurtleSetup s;
    s.x = 5;  // only xCor: from the origin
    Turtle fromOrigin(page, s);
    EXPECT_EQ(fromOrigin.absolutePosition(), (RealPoint{105, 100}));
    TurtleSetup h;
    h.homeState = HomeState{{10, 20}, 90};
    Turtle homed(page, h);
    EXPECT_EQ(homed.position(), (RealPoint{10, 20}));
    EXPECT_EQ(homed.homeState().heading, 90);
    EXPECT_EQ(homed.heading(), 0);
    TurtleSetup p;
    p.position = RealPoint{1, 2};
    p.y = 9;
    p.heading = -90;
    Turtle placed(page, p);
    EXPECT_EQ(placed.position(), (RealPoint{1, 9}));
    EXPECT_EQ(placed.heading(), 270);
    EXPECT_EQ(placed.homeState().heading, 270);
    EXPECT_GT(placed.serial(), homed.serial());
}

TEST_F(TurtleOnPage, PenColourSetsTheFillColourAndChecksRanges) {
    t.setPenColour(rgb(1, 2, 3));
    EXPECT_EQ(t.fillColour(), rgb(1, 2, 3));
    EXPECT_EQ(errorCode([&] { t.setPenWidth(0); }), erMinMax);
    EXPECT_EQ(errorCode([&] { t.setPenWidth(2147483648LL); }), erMinMax);
    EXPECT_EQ(errorCode([&] { t.setPenPattern(7); }), erMinMax);
    EXPECT_EQ(errorCode([&] { t.setFillPattern(8); }), erMinMax);
    EXPECT_EQ(errorCode([&] { t.point(0); }), erMinMax);
    // setpenstate checks all before changing anything.
    EXPECT_EQ(errorCode([&] { t.setPenState({PenMode::Erase, kWhite, 1, 9}); }), erMinMax);
    EXPECT_EQ(t.penMode(), PenMode::Down);
    t.setPenState({PenMode::Reverse, rgb(9, 9, 9), 4, 2});
    const PenState s = t.penState();
    EXPECT_EQ(s.mode, PenMode::Reverse);
    EXPECT_EQ(s.colour, rgb(9, 9, 9));
    EXPECT_EQ(t.fillColour(), rgb(9, 9, 9));
    EXPECT_EQ(s.width, 4);
    EXPECT_EQ(s.pattern, 2);
}

// ---- pen modes ----

TEST_F(TurtleOnPage, EraseDrawsTheBackgroundColour) {
    t.setPenWidth(5);
    t.forward(50);
    t.setPenMode(PenMode::Erase);
    t.back(50);
    EXPECT_EQ(countColour(bg(), kBlack), 0);
}

TEST_F(TurtleOnPage, PenUpDrawsNothing) {
    t.setPenMode(PenMode::Up);
    t.forward(50);
    t.right(90);
    t.forward(50);
    EXPECT_EQ(countColour(bg(), kWhite), 796 * 499);
}

// Reversing twice restores the picture, whatever was under it; shared corners are reversed once.
TEST_F(TurtleOnPage, ReverseTwiceRestores) {
    t.setPenColour(rgb(0, 0, 255));
    t.filledCircle(120);
    const Bitmap before = bg();
    t.setPenColour(rgb(255, 255, 0));
    for (std::int64_t width : {1, 6}) {
        t.setPenWidth(width);
        t.setPenMode(PenMode::Reverse);
        for (int pass = 0; pass < 2; ++pass)
            for (int i = 0; i < 5; ++i) {
                t.forward(100);
                t.right(144);
            }
        EXPECT_TRUE(bg() == before) << "width " << width;
    }
}

TEST_F(TurtleOnPage, ReverseSquareSetsEveryCornerOnce) {
    t.setPenMode(PenMode::Reverse);
    t.setPenColour(kWhite);  // white ^ white = black
    for (int i = 0; i < 4; ++i) {
        t.forward(20);
        t.right(90);
    }
    for (auto [x, y] : {std::pair{398, 249}, {398, 229}, {418, 229}, {418, 249}}) EXPECT_EQ(bg().pixel(x, y), kBlack);
    EXPECT_EQ(countColour(bg(), kBlack), 80);
}

TEST_F(TurtleOnPage, WidePenHasItsWidth) {
    t.setPenWidth(5);
    t.setHeading(90);
    t.forward(100);
    int rows = 0;
    for (int y = 240; y < 260; ++y) rows += bg().pixel(450, y) == kBlack;
    EXPECT_EQ(rows, 5);
}

TEST_F(TurtleOnPage, DashedPatternLeavesGapsAndNoLineDrawsNothing) {
    t.setPenPattern(1);
    t.setHeading(90);
    t.forward(100);
    const int dashed = countColour(bg(), kBlack);
    EXPECT_GT(dashed, 40);
    EXPECT_LT(dashed, 100);
    t.setPenPattern(6);
    t.setHeading(0);
    t.forward(100);
    EXPECT_EQ(countColour(bg(), kBlack), dashed);
}

// ---- ranges ----

// Wrapping on a page 796 wide: at x = 0 going 10 to the left re-enters at 795 and ends at 784 (the
// shift is the extent minus one).
TEST_F(TurtleOnPage, WrapShiftsByTheExtentMinusOne) {
    t.setAbsolutePosition({0, 100});
    t.setHeading(270);
    t.forward(10);
    EXPECT_EQ(t.absolutePosition(), (RealPoint{784, 100}));
    EXPECT_EQ(bg().pixel(790, 100), kBlack);
    EXPECT_EQ(bg().pixel(783, 100), kWhite);
}

TEST_F(TurtleOnPage, BounceTurnsAwayFromTheWall) {
    t.setRangeStyle(RangeStyle::Bounce);
    t.setAbsolutePosition({780, 200});
    t.setHeading(45);
    const MoveResult r = t.forward(40);
    EXPECT_TRUE(r.bounced);
    EXPECT_NEAR(static_cast<double>(t.heading()), 315, 1e-9);
    EXPECT_NEAR(static_cast<double>(t.absolutePosition().x), 795 - (780 + 40 / std::sqrt(2.0) - 795), 1e-9);
    // Backing into a wall turns a further 180 degrees.
    t.setAbsolutePosition({10, 200});
    t.setHeading(90);
    // It ends up going right, away from the wall, and still faces the way it backed from.
    EXPECT_TRUE(t.back(30).bounced);
    EXPECT_NEAR(static_cast<double>(t.heading()), 270, 1e-9);
    EXPECT_NEAR(static_cast<double>(t.absolutePosition().x), 20, 1e-9);
    EXPECT_FALSE(t.forward(5).bounced);
}

TEST_F(TurtleOnPage, FenceStopsAtTheEdgeKeepingTheOtherTravel) {
    t.setRangeStyle(RangeStyle::Fence);
    t.setAbsolutePosition({790, 200});
    t.setHeading(45);
    t.forward(100);
    EXPECT_EQ(t.absolutePosition().x, 795);
    EXPECT_NEAR(static_cast<double>(t.absolutePosition().y), 200 - 100 / std::sqrt(2.0), 1e-9);
}

TEST_F(TurtleOnPage, WindowLeavesTheRange) {
    t.setRangeStyle(RangeStyle::Window);
    t.setHeading(90);
    t.forward(1000);
    EXPECT_EQ(t.absolutePosition(), (RealPoint{1398, 249}));
    EXPECT_EQ(bg().pixel(795, 249), kBlack);
}

TEST_F(TurtleOnPage, ChangingTheStyleReappliesTheRange) {
    t.setRangeStyle(RangeStyle::Window);
    t.setAbsolutePosition({900, -20});
    const int inked = countColour(bg(), kBlack);
    t.setRangeStyle(RangeStyle::Window);
    EXPECT_EQ(t.absolutePosition(), (RealPoint{900, -20}));  // window does not move it
    t.setRangeStyle(RangeStyle::Fence);
    EXPECT_EQ(t.absolutePosition(), (RealPoint{795, 0}));  // the nearest edge point, nothing drawn
    EXPECT_EQ(countColour(bg(), kBlack), inked);
}

TEST_F(TurtleOnPage, OwnRangeClipsTrailsAndWraps) {
    // A 21 x 21 range around the centre.
    t.setRange(Rect{388, 239, 409, 260});
    EXPECT_EQ(t.range(), (RangeBox{388, 408, 239, 259}));
    t.setHeading(90);
    t.forward(30);  // 10 to the edge, then shifted by 19 and on
    EXPECT_EQ(t.absolutePosition(), (RealPoint{390, 249}));  // 428 - 19 - 19
    for (int x = 380; x < 420; ++x) {
        if (x < 388 || x > 408) {
            EXPECT_EQ(bg().pixel(x, 249), kWhite) << x;
        }
    }
    t.setRange(std::nullopt);
    EXPECT_FALSE(t.range());
}

// ---- mends: inputs that used to hang or overflow finish with a picture or an error ----

TEST_F(TurtleOnPage, HugeTurnsFinish) {
    t.right(1e30L);
    EXPECT_GE(t.heading(), 0);
    EXPECT_LT(t.heading(), 360);
    t.left(1e4000L);
    EXPECT_LT(t.heading(), 360);
    EXPECT_EQ(errorCode([&] { t.right(std::numeric_limits<LReal>::infinity()); }), erReal);
    EXPECT_EQ(errorCode([&] { t.setHeading(std::numeric_limits<LReal>::quiet_NaN()); }), erReal);
    EXPECT_EQ(errorCode([&] { t.forward(std::numeric_limits<LReal>::infinity()); }), erReal);
    EXPECT_EQ(errorCode([&] { t.setPosition({0, std::numeric_limits<LReal>::quiet_NaN()}); }), erReal);
}

class HugeMoves : public ::testing::TestWithParam<RangeStyle> {};

TEST_P(HugeMoves, FinishInsideTheRange) {
    Surface page(796, 499);
    Turtle t(page);
    t.setRangeStyle(GetParam());
    for (LReal heading : {0.0L, 1.0L, 45.0L, 91.0L, 180.0L, 269.5L})
        for (LReal d : {1e30L, -1e30L, 1e9L, 123456.789L, 1e4000L}) {
            t.setHeading(heading);
            t.forward(d);
            const RealPoint p = t.absolutePosition();
            ASSERT_TRUE(std::isfinite(p.x) && std::isfinite(p.y));
            if (GetParam() != RangeStyle::Window) {
                EXPECT_GE(p.x, 0);
                EXPECT_LE(p.x, 795);
                EXPECT_GE(p.y, 0);
                EXPECT_LE(p.y, 498);
            }
            t.setAbsolutePosition({398, 249});
        }
}

INSTANTIATE_TEST_SUITE_P(EveryStyle, HugeMoves,
                         ::testing::Values(RangeStyle::Wrap, RangeStyle::Window, RangeStyle::Fence, RangeStyle::Bounce));

// The shortened walk ends where the full one would: on a 13-pixel range the wrap period is 11 and
// the bounce period is 24.
TEST(HugeMovesEndWhereTheWalkWould, WrapAndBounce) {
    Surface page(100, 100);
    Turtle t(page);
    t.setRange(Rect{10, 10, 23, 23});  // xmin 10, xmax 22
    t.setAbsolutePosition({15, 15});
    t.setHeading(90);
    t.forward(11 * 1000000 + 3);  // a million laps: the same as 3
    EXPECT_EQ(t.absolutePosition(), (RealPoint{18, 15}));
    t.setRangeStyle(RangeStyle::Bounce);
    t.setAbsolutePosition({15, 15});
    t.setHeading(90);
    t.forward(24 * 1000000 + 10);  // to 22, back 3 to 19, facing left
    EXPECT_EQ(t.absolutePosition(), (RealPoint{19, 15}));
    EXPECT_NEAR(static_cast<double>(t.heading()), 270, 1e-9);
}

TEST(DegenerateRanges, AreRejectedForWrapAndBounce) {
    Surface page(100, 100);
    Turtle t(page);
    // One pixel wide: wrapping would shift by nothing and bouncing would never leave the walls.
    EXPECT_EQ(errorCode([&] { t.setRange(Rect{10, 10, 11, 50}); }), erBadValue);
    EXPECT_FALSE(t.range());
    t.setRangeStyle(RangeStyle::Fence);
    t.setRange(Rect{10, 10, 11, 50});  // fence and window are fine with it
    t.forward(1e30L);
    EXPECT_EQ(t.absolutePosition().x, 10);
    EXPECT_EQ(errorCode([&] { t.setRangeStyle(RangeStyle::Wrap); }), erBadValue);
    EXPECT_EQ(errorCode([&] { t.setRangeStyle(RangeStyle::Bounce); }), erBadValue);
    EXPECT_EQ(errorCode([&] { t.wrap(Rect{10, 10, 12, 50}); }), erBadValue);
    EXPECT_EQ(t.rangeStyle(), RangeStyle::Fence);
    // Two pixels is enough to bounce, three to wrap.
    t.setRange(Rect{10, 10, 12, 50});
    t.setRangeStyle(RangeStyle::Bounce);
    t.forward(1e6L);
    t.setRange(Rect{10, 10, 13, 50});
    t.setRangeStyle(RangeStyle::Wrap);
    t.right(1);
    t.forward(1e30L);
    EXPECT_GE(t.absolutePosition().x, 10);
    EXPECT_LE(t.absolutePosition().x, 12);
}

TEST_F(TurtleOnPage, HugePensAndDotsAreClipped) {
    t.setPenWidth(2147483647);
    t.forward(10);
    EXPECT_EQ(countColour(bg(), kBlack), 796 * 499);
    page.clean();
    t.point(2147483647);
    EXPECT_EQ(countColour(bg(), kBlack), 796 * 499);
    page.clean();
    t.setRangeStyle(RangeStyle::Window);
    t.setAbsolutePosition({1e30L, -1e30L});
    t.setPenWidth(3);
    t.forward(10);
    t.dot();
    t.circle(1e30L);
    t.filledCircle(1e12L);
    t.fill(0);
    t.label("far away");
}

// ---- figures ----

TEST_F(TurtleOnPage, DotsAndPointsOfAGivenSize) {
    t.point(1);
    EXPECT_EQ(countColour(bg(), kBlack), 1);
    EXPECT_EQ(t.dotColour(), kBlack);
    page.clean();
    t.setPenWidth(4);
    t.dot();
    // Box from x - 2 to x + 2 (exclusive): four pixels across.
    int across = 0;
    for (int x = 390; x < 406; ++x) across += bg().pixel(x, 249) == kBlack;
    EXPECT_EQ(across, 4);
    EXPECT_EQ(bg().pixel(396, 249), kBlack);
    EXPECT_EQ(bg().pixel(400, 249), kWhite);
}

TEST_F(TurtleOnPage, FillByColourAndByBorder) {
    // A square, then fill its inside.
    for (int i = 0; i < 4; ++i) {
        t.forward(40);
        t.right(90);
    }
    t.setPenMode(PenMode::Up);
    t.setPosition({20, 20});
    t.setFillColour(rgb(255, 0, 0));
    t.fill(0);
    EXPECT_EQ(countColour(bg(), rgb(255, 0, 0)), 39 * 39);
    // Border mode: fills over the red up to the black pen colour.
    t.setFillColour(rgb(0, 255, 0));
    t.fill(1);
    EXPECT_EQ(countColour(bg(), rgb(0, 255, 0)), 39 * 39);
    // Outside the square the whole rest of the page but the square.
    t.setPosition({-100, -100});
    t.setFillColour(rgb(0, 0, 255));
    t.fill(0);
    EXPECT_EQ(countColour(bg(), rgb(0, 0, 255)), 796 * 499 - 41 * 41);
}

class Labels : public TurtleOnPage {
protected:
    // The box of the inked pixels: {minX, minY, maxX, maxY}.
    Rect inked() {
        Rect r{9999, 9999, -1, -1};
        for (int y = 0; y < 499; ++y)
            for (int x = 0; x < 796; ++x)
                if (bg().pixel(x, y) == kBlack)
                    r = {std::min<std::int64_t>(r.left, x), std::min<std::int64_t>(r.top, y),
                         std::max<std::int64_t>(r.right, x), std::max<std::int64_t>(r.bottom, y)};
        return r;
    }
};

TEST_F(Labels, RunAlongTheHeadingWhenTheFontTurns) {
    FontRecord f;
    f.face = "DejaVu Sans";
    f.size = 12;
    t.setFont(f);
    t.label("Hello");
    Rect r = inked();
    EXPECT_GT(r.right - r.left, r.bottom - r.top);  // left to right
    EXPECT_GE(r.left, 398);
    EXPECT_GE(r.top, 249);
    page.clean();
    t.setHeading(90);
    t.label("Hello");
    r = inked();
    EXPECT_GT(r.bottom - r.top, r.right - r.left);  // downward
    EXPECT_GE(r.top, 249);
    EXPECT_LE(r.right, 399);  // the text's top faces the heading: the letters lie to its left
}

TEST_F(Labels, TheSystemFontWritesLevel) {
    t.setHeading(90);
    t.label("Hello");
    const Rect r = inked();
    EXPECT_GT(r.right - r.left, r.bottom - r.top);
}

TEST_F(Labels, Label2MovesToTheEndOfTheText) {
    const TextMetrics m = t.textSize("Hello");
    EXPECT_GT(m.width, 10);
    EXPECT_GT(m.height, 5);
    const TextMetrics two = t.textSize("Hello\r\nHello");
    EXPECT_EQ(two.width, m.width);
    EXPECT_EQ(two.height, 2 * m.height + m.leading);
    const MoveResult r = t.label2("Hello");
    EXPECT_FALSE(r.bounced);
    EXPECT_EQ(t.absolutePosition(), (RealPoint{static_cast<LReal>(398 + m.width), 249}));
    EXPECT_GT(countColour(bg(), kBlack), 0);
}

TEST(FontValues, ReadAndWritten) {
    FontRecord r = applyFontValue(FontRecord{}, test::list("[DejaVu Sans] [20 700 1 1 0 238]").get());
    EXPECT_EQ(r.face, "DejaVu Sans");
    EXPECT_EQ(r.size, 20);
    EXPECT_EQ(r.style, FontRecord::kBold | FontRecord::kItalic);
    EXPECT_EQ(r.flags, FontRecord::kOpaque);
    EXPECT_EQ(r.charset, 238);
    // [] keeps a field, a weight below 600 clears bold, a word alone sets the face.
    r = applyFontValue(r, test::list("Arial [[] 400]").get());
    EXPECT_EQ(r.face, "Arial");
    EXPECT_EQ(r.size, 20);
    EXPECT_EQ(r.style, FontRecord::kItalic);
    r = applyFontValue(r, test::item("Courier").get());
    EXPECT_EQ(r.face, "Courier");
    EXPECT_EQ(r.size, 20);
    EXPECT_EQ(applyFontValue(r, test::list("").get()), FontRecord{});
    EXPECT_EQ(errorCode([&] { applyFontValue(r, test::list("Arial [20000]").get()); }), erMinMax);
    Ref<tLogoList> v(fontValue(applyFontValue(FontRecord{}, test::list("[DejaVu Sans] [12 700 2]").get())));
    EXPECT_EQ(v->PrintText(true), "[[DejaVu Sans] [12 700 2 0 0 1]]");
}

// ---- overlaps, collisions, inside and outside ----

class TwoTurtles : public ::testing::Test {
protected:
    void SetUp() override {
        // 11 x 11 boxes: half size 5.
        for (Turtle* x : {&a, &b}) {
            x->setShapeScale({0.5L, 0.5L});
            x->setShown(true);
        }
        a.setAbsolutePosition({100, 100});
    }
    Surface page{200, 200};
    Turtle a{page}, b{page};
};

// Boxes overlapping in a 2 x 2 corner: the lenses' circles are 9 apart on both axes and do not meet;
// the rectangles alone do.
TEST_F(TwoTurtles, LensesMustMeetUnlessRectanglesAreEnough) {
    b.setAbsolutePosition({109, 109});
    EXPECT_EQ(a.screenRect().intersected(b.screenRect()), (Rect{104, 104, 106, 106}));
    EXPECT_FALSE(a.overlaps(b, false));
    EXPECT_TRUE(a.overlaps(b, true));
    b.setAbsolutePosition({104, 103});
    EXPECT_TRUE(a.overlaps(b, false));
    EXPECT_EQ(a.overlapped(false), (std::vector<Turtle*>{&b}));
    a.setShown(false);  // the asking turtle must be shown
    EXPECT_FALSE(a.overlaps(b, true));
}

TEST_F(TwoTurtles, OnlySensitiveTurtlesCollide) {
    b.setAbsolutePosition({150, 100});
    a.setSensitive(true);
    a.setHeading(90);
    EXPECT_EQ(a.forward(48).collidedWith, nullptr);  // b is not sensitive
    b.setSensitive(true);
    a.setAbsolutePosition({100, 100});
    EXPECT_EQ(a.forward(48).collidedWith, &b);
    EXPECT_EQ(a.forward(100).collidedWith, nullptr);
}

TEST_F(TwoTurtles, InsideAndOutside) {
    // a's box: 95..105 inclusive.
    EXPECT_TRUE(a.inside({105, 0, 200, 200}));   // touching counts as inside
    EXPECT_FALSE(a.inside({106, 0, 200, 200}));
    EXPECT_FALSE(a.outside({95, 95, 106, 106}));  // edges may coincide
    EXPECT_TRUE(a.outside({96, 95, 106, 106}));
}

TEST_F(TwoTurtles, HitTestUsesTheShapeAndStacking) {
    b.setAbsolutePosition({100, 100});
    EXPECT_EQ(page.hitTest({100, 100})->object, &b);
    a.toFront();
    EXPECT_EQ(page.hitTest({100, 100})->object, &a);
    // A corner of the box is not part of the arrow, unless the whole box is asked for.
    EXPECT_FALSE(page.hitTest({95, 95}));
    a.setTransparentClick(true);
    EXPECT_EQ(page.hitTest({95, 95})->object, &a);
    a.toBack();
    EXPECT_EQ(page.hitTest({100, 100})->object, &b);
}

TEST_F(TurtleOnPage, AShownTurtleRepaintsWhereItWasAndIs) {
    t.setShown(true);
    page.takeDirty();
    t.setPenMode(PenMode::Up);
    t.setHeading(90);
    t.forward(100);
    const Rect d = page.takeDirty();
    EXPECT_TRUE(d.contains(388, 249));
    EXPECT_TRUE(d.contains(508, 249));
    t.setShown(false);
    page.takeDirty();
    t.forward(100);
    EXPECT_TRUE(page.takeDirty().empty());  // a hidden turtle with its pen up repaints nothing
}

// Speed is measured by bench_turtle_raw; this only shows the long figure finishes.
TEST_F(TurtleOnPage, AHundredThousandSegmentsHidden) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 100000; ++i) {
        t.forward(10);
        t.right(91);
    }
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("100000 x (fd 10 rt 91), turtle hidden: %.4f s\n", s);
    EXPECT_GT(countColour(bg(), kBlack), 0);
}

// Vectors of the turtle's own frame (x to its right, y ahead) in the page's frame (y up): exact at
// the right angles, so glided paths along the axes do not drift.
TEST(OwnFrame, VectorsTurnWithTheHeading) {
    struct Case {
        LReal heading;
        RealPoint own, world;
    };
    const Case cases[] = {
        {0, {3, 4}, {3, 4}},     {90, {3, 4}, {4, -3}},  {180, {3, 4}, {-3, -4}},
        {270, {3, 4}, {-4, 3}},  {90, {-20, 0}, {0, 20}}, {45, {0, 2}, {std::sqrt(2.0L), std::sqrt(2.0L)}},
    };
    Surface page(100, 100);
    Turtle t(page);
    for (const Case& c : cases) {
        t.setHeading(c.heading);
        const RealPoint w = t.ownToWorld(c.own);
        if (std::fmod(c.heading, 90) == 0) {
            EXPECT_EQ(w.x, c.world.x) << c.heading;
            EXPECT_EQ(w.y, c.world.y) << c.heading;
        } else {
            EXPECT_NEAR(static_cast<double>(w.x), static_cast<double>(c.world.x), 1e-12) << c.heading;
            EXPECT_NEAR(static_cast<double>(w.y), static_cast<double>(c.world.y), 1e-12) << c.heading;
        }
    }
}

} // namespace
} // namespace qm
