// Surfaces: coordinates and rounding, rectangles in every form, "any", home states, stacking order,
// reorder, hit testing, composition, panes on a page and the repaint area.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "graphics/surface/surface.h"
#include "graphics/surface/surface_args.h"
#include "graphics/surface/turtle.h"
#include "language.h"
#include "logo_error.h"
#include "surface_test_util.h"

namespace qm {
namespace {

using test::item;
using test::errorCode;
using test::list;

// A plain box in the object layer, filled with one colour.
class Box : public SurfaceObject {
public:
    Box(Rect r, Rgb c, int kind = 0) : m_rect(r), m_colour(c), m_kind(kind) {}
    int kind() const override { return m_kind; }
    bool shown() const override { return m_shown; }
    Rect screenRect() const override { return m_rect; }
    void drawOn(Bitmap& target, Point offset, const Rect& clip) override {
        Rect r{m_rect.left + offset.x, m_rect.top + offset.y, m_rect.right + offset.x, m_rect.bottom + offset.y};
        target.fill(r.intersected(clip), m_colour);
    }
    bool hit(Point p) const override { return m_rect.contains(p.x, p.y); }
    void surfaceGone() override { gone = true; }
    void goHome() override { ++homes; }

    bool m_shown = true;
    bool gone = false;
    int homes = 0;

private:
    Rect m_rect;
    Rgb m_colour;
    int m_kind;
};

TEST(SurfaceCoordinates, DefaultPageHasItsOriginAtTheCentre) {
    Surface page(Surface::kPageWidth, Surface::kPageHeight);
    EXPECT_EQ(page.origin(), (Point{398, 249}));
    EXPECT_EQ(page.upperLeft(), (RealPoint{-398, 249}));
    EXPECT_EQ(page.defaultRange(), (RangeBox{0, 795, 0, 498}));
    Surface odd(7, 5);
    EXPECT_EQ(odd.origin(), (Point{3, 2}));
}

TEST(SurfaceCoordinates, ConversionsBothWays) {
    Surface page(796, 499);
    EXPECT_EQ(page.toAbsolute({10.25L, 20}), (RealPoint{408.25L, 229}));
    EXPECT_EQ(page.toCartesian({408.25L, 229}), (RealPoint{10.25L, 20}));
    page.setOrigin({0, 0});
    EXPECT_EQ(page.toAbsolute({5, 5}), (RealPoint{5, -5}));
    EXPECT_EQ(page.upperLeft(), (RealPoint{0, 0}));
}

// Positions are rounded half away from zero, before the origin is applied.
TEST(SurfaceCoordinates, PixelRoundingIsHalfAwayFromZero) {
    struct Case {
        LReal in;
        std::int64_t out;
    };
    const Case cases[] = {{0.5L, 1},         {-0.5L, -1},  {2.5L, 3},   {-2.5L, -3},        {3.5L, 4},
                          {1.4999999L, 1},   {-1.4999999L, -1},         {0.49999999999999999995L, 0},
                          {2.99999999999999999L, 3},       {1e30L, kCoordLimit},           {-1e30L, -kCoordLimit}};
    for (const Case& c : cases) EXPECT_EQ(nearest(c.in), c.out) << static_cast<double>(c.in);
    EXPECT_EQ(nearest(std::numeric_limits<LReal>::quiet_NaN()), 0);
    Surface page(796, 499);
    EXPECT_EQ(page.toAbsolutePixel({-0.5L, 0.5L}), (Point{397, 248}));
}

struct RectCase {
    const char* text;
    bool cartesian;
    Rect expected;
};

class RectangleForms : public ::testing::TestWithParam<RectCase> {};

TEST_P(RectangleForms, ReadsEveryForm) {
    Surface page(796, 499);
    const RectCase& c = GetParam();
    auto r = readRectangle(list(c.text).get(), page, c.cartesian);
    ASSERT_TRUE(r);
    EXPECT_EQ(*r, c.expected) << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Forms, RectangleForms,
    ::testing::Values(RectCase{"[1 2] [30 40]", false, {1, 2, 30, 40}}, RectCase{"1 2 [30 40]", false, {1, 2, 30, 40}},
                      RectCase{"1 2 30 40", false, {1, 2, 31, 42}}, RectCase{"[1 2] 30 40", false, {1, 2, 31, 42}},
                      RectCase{"5 6", false, {5, 6, 5, 6}}, RectCase{"[5 6]", false, {5, 6, 5, 6}},
                      RectCase{"1 2 0 10", false, {1, 2, 1, 2}}, RectCase{"1 2 10 0", false, {1, 2, 1, 2}},
                      RectCase{"1.5 2.5 3 4", false, {2, 3, 5, 7}},
                      // cartesian: corners converted, sizes not
                      RectCase{"[-10 10] [10 -10]", true, {388, 239, 408, 259}},
                      RectCase{"-10 10 20 30", true, {388, 239, 408, 269}}));

TEST(Rectangles, EmptyListIsNoRectangleAndBadShapesFail) {
    Surface page(796, 499);
    EXPECT_FALSE(readRectangle(list("").get(), page, false));
    EXPECT_EQ(errorCode([&] { readRectangle(item("word").get(), page, false); }), erExpectList);
    EXPECT_EQ(errorCode([&] { readRectangle(list("1 2 3 4 5").get(), page, false); }), erBadStructure);
    EXPECT_EQ(errorCode([&] { readRectangle(list("[1 2] [3 4] 5").get(), page, false); }), erBadStructure);
    EXPECT_EQ(errorCode([&] { readRectangle(list("1 2 3").get(), page, false); }), erBadStructure);
    EXPECT_EQ(errorCode([&] { readRectangle(list("[1 2 3] 4 5").get(), page, false); }), erExpectList2);
}

TEST(Rectangles, FullRectangleReachesTheEdgesAndIsOrdered) {
    Surface page(796, 499);
    // [x y 0 10] is empty, and as a full rectangle it reaches the bottom-right corner.
    const Rect r = *readRectangle(list("100 50 0 10").get(), page, false);
    EXPECT_TRUE(r.empty());
    EXPECT_EQ(fullRectangle(r, page), (Rect{100, 50, 796, 499}));
    EXPECT_EQ(fullRectangle({30, 40, 10, 20}, page), (Rect{10, 20, 30, 40}));
    EXPECT_EQ(fullRectangle({10, 20, 30, 20}, page), (Rect{10, 20, 30, 499}));
}

TEST(Positions, ListsAnyAndErrors) {
    Surface page(796, 499);
    EXPECT_EQ(readPosition(list("3 -4").get(), page, true), (RealPoint{3, -4}));
    EXPECT_EQ(errorCode([&] { readPosition(list("1 2 3").get(), page, true); }), erExpectList2);
    EXPECT_EQ(errorCode([&] { readPosition(item("word").get(), page, true); }), erExpectList2);
    EXPECT_EQ(errorCode([&] { readPosition(list("a 2").get(), page, true); }), erExpectNumber);
    for (int i = 0; i < 200; ++i) {
        const RealPoint a = readPosition(item("any").get(), page, false);
        EXPECT_GE(a.x, 10);
        EXPECT_LT(a.x, 786);
        EXPECT_GE(a.y, 10);
        EXPECT_LT(a.y, 489);
        // One random coordinate; the other stays as given, in cartesian terms.
        const RealPoint c = readPosition(list("any 50").get(), page, true);
        EXPECT_EQ(c.y, 50);
        EXPECT_GE(c.x, 10 - 398);
        EXPECT_LT(c.x, 786 - 398);
    }
}

TEST(Any, RangesMarginsAndTheEmptyInterval) {
    EXPECT_EQ(anyRangeFrom(nullptr, kAnyForward).high, 100);
    EXPECT_EQ(anyRangeFrom(item("30").get(), kAnyForward).high, 30);
    EXPECT_EQ(anyRangeFrom(item("30").get(), kAnyForward).low, 1);
    const AnyRange r = anyRangeFrom(list("[-8 -3]")->element, kAnyTurn);
    for (int i = 0; i < 100; ++i) {
        const std::int64_t v = r.pick();  // absolute values, ordered: 3..8
        EXPECT_GE(v, 3);
        EXPECT_LE(v, 8);
    }
    EXPECT_EQ((anyMarginFrom(list("[4 6]")->element).y), 6);
    // A margin of half the extent or more leaves no room: the middle is used.
    EXPECT_EQ(randomAxis(50, 100), 50);
    EXPECT_EQ(randomAxis(80, 100), 50);
    EXPECT_EQ(randomAxis(0, 1), 0);
    EXPECT_EQ((AnyRange{5, 5}.pick()), 5);
}

TEST(HomeStates, FormsAndErrors) {
    Surface page(796, 499);
    HomeState h = readHomeState(list("[1 2] 450").get(), page);
    EXPECT_EQ(h.position, (RealPoint{1, 2}));
    EXPECT_EQ(h.heading, 90);
    h = readHomeState(item("any").get(), page);
    EXPECT_GE(h.heading, 0);
    EXPECT_LT(h.heading, 360);
    EXPECT_EQ(errorCode([&] { readHomeState(list("[1 2]").get(), page); }), erBadStructure);
    EXPECT_EQ(errorCode([&] { readHomeState(item("word").get(), page); }), erExpectList);
}

TEST(Headings, NormalisedWithARemainder) {
    EXPECT_EQ(normaliseHeading(-90), 270);
    EXPECT_EQ(normaliseHeading(720), 0);
    EXPECT_EQ(normaliseHeading(-1e-30L), 0);  // 360 - tiny rounds to 360: folded to 0
    const LReal huge = normaliseHeading(1e30L);
    EXPECT_GE(huge, 0);
    EXPECT_LT(huge, 360);
    EXPECT_EQ(errorCode([] { normaliseHeading(std::numeric_limits<LReal>::infinity()); }), erReal);
    EXPECT_EQ(errorCode([] { normaliseHeading(std::numeric_limits<LReal>::quiet_NaN()); }), erReal);
}

TEST(SurfaceBackground, ColourPixelsAndClearing) {
    Surface page(40, 30);
    page.background().setPixel(5, 5, kBlack);
    EXPECT_EQ(page.pixelAt(5, 5), kBlack);
    // Outside the bitmap: the background colour.
    EXPECT_EQ(page.pixelAt(-1, 3), kWhite);
    EXPECT_EQ(page.dotColourAt({1000, 0}), kWhite);
    page.setBackgroundColour(rgb(0, 0, 255));
    EXPECT_EQ(page.pixelAt(5, 5), rgb(0, 0, 255));  // trails are lost
    EXPECT_EQ(page.pixelAt(100, 100), rgb(0, 0, 255));
    EXPECT_EQ(errorCode([&] { page.setLineWidth(-1); }), erMinMax);
    EXPECT_EQ(errorCode([&] { page.setLinePattern(7); }), erMinMax);
    page.setLineWidth(2147483647);
    EXPECT_EQ(errorCode([] { Surface bad(-1, 10); }), erBadValue);
}

TEST(SurfaceBackground, ClearScreenSendsEveryObjectHome) {
    Surface page(40, 30);
    Box a({0, 0, 4, 4}, kBlack), b({0, 0, 4, 4}, kBlack);
    page.addObject(&a);
    page.addObject(&b);
    page.background().setPixel(1, 1, kBlack);
    page.clearScreen();
    EXPECT_EQ(a.homes, 1);
    EXPECT_EQ(b.homes, 1);
    EXPECT_EQ(page.pixelAt(1, 1), kWhite);
    page.removeObject(&a);
    page.removeObject(&b);
}

// A page that nothing draws on never writes its pixels, yet reads, composes and resizes exactly as
// if it had: a program that only prints pays nothing for its page.
TEST(SurfaceBackground, PixelsAreMadeOnlyWhenDrawnOn) {
    Surface page(Surface::kPageWidth, Surface::kPageHeight, rgb(1, 2, 3));
    Surface pane(20, 10, rgb(255, 255, 0));
    page.addChild(&pane, {30, 5});
    Turtle t{page};
    auto unmade = [&] { return page.background().deferredFill().has_value(); };
    EXPECT_TRUE(unmade());
    EXPECT_EQ(page.pixelAt(10, 10), rgb(1, 2, 3));
    t.setPenMode(PenMode::Up);
    t.forward(100);
    t.right(45);
    t.forward(1000);
    EXPECT_EQ(t.dotColour(), rgb(1, 2, 3));
    page.setBackgroundColour(rgb(0, 0, 255));
    page.resize(900, 600);
    Bitmap f = page.frame();
    Bitmap off;
    page.paint(off, {0, 0, 50, 50});
    EXPECT_TRUE(unmade());
    EXPECT_TRUE(pane.background().deferredFill().has_value());
    EXPECT_EQ(f.pixel(899, 599), rgb(0, 0, 255));
    EXPECT_EQ(f.pixel(29, 5), rgb(0, 0, 255));
    EXPECT_EQ(f.pixel(30, 5), rgb(255, 255, 0));
    EXPECT_EQ(off.pixel(31, 14), rgb(255, 255, 0));
    EXPECT_EQ(off.pixel(31, 15), rgb(0, 0, 255));

    // The first line makes them, and the rest of the page keeps its colour.
    t.setPenMode(PenMode::Down);
    t.setHeading(90);
    t.forward(10);
    EXPECT_FALSE(unmade());
    const Point at = nearestPoint(t.absolutePosition());
    EXPECT_EQ(page.pixelAt(at.x, at.y), kBlack);
    EXPECT_EQ(page.pixelAt(899, 599), rgb(0, 0, 255));
    EXPECT_EQ(page.frame().pixel(at.x, at.y), kBlack);
    page.removeChild(&pane);
}

// Stacking: later objects are drawn on top and are the ones the mouse hits.
TEST(SurfaceStacking, LaterObjectsCoverAndWinHits) {
    Surface page(20, 20);
    Box red({2, 2, 10, 10}, rgb(255, 0, 0)), blue({6, 6, 14, 14}, rgb(0, 0, 255));
    page.addObject(&red);
    page.addObject(&blue);
    EXPECT_GT(blue.serial(), red.serial());
    Bitmap f = page.frame();
    EXPECT_EQ(f.pixel(7, 7), rgb(0, 0, 255));
    EXPECT_EQ(f.pixel(3, 3), rgb(255, 0, 0));
    EXPECT_EQ(f.pixel(15, 15), kWhite);
    auto hit = page.hitTest({7, 7});
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->object, &blue);
    EXPECT_EQ(hit->relative, (Point{1, 1}));

    page.sendToBack(&blue);
    EXPECT_EQ(page.frame().pixel(7, 7), rgb(255, 0, 0));
    EXPECT_EQ(page.hitTest({7, 7})->object, &red);
    page.bringToFront(&blue);
    EXPECT_EQ(page.hitTest({7, 7})->object, &blue);

    // Hidden objects are neither drawn nor hit.
    blue.m_shown = false;
    EXPECT_EQ(page.hitTest({7, 7})->object, &red);
    EXPECT_EQ(page.frame().pixel(12, 12), kWhite);
    EXPECT_FALSE(page.hitTest({12, 12}));
    page.removeObject(&red);
    page.removeObject(&blue);
}

TEST(SurfaceStacking, BringToFrontLeavesTheSelectionFrameOnTop) {
    Surface page(20, 20);
    Box a({0, 0, 5, 5}, kBlack), b({0, 0, 5, 5}, kBlack), frame({0, 0, 20, 20}, kBlack, 2);
    page.addObject(&a);
    page.addObject(&b);
    page.addObject(&frame);
    page.bringToFront(&a);
    EXPECT_EQ(page.objects(), (std::vector<SurfaceObject*>{&b, &a, &frame}));
    page.removeObject(&a);
    page.removeObject(&b);
    page.removeObject(&frame);
}

class Reorder : public ::testing::Test {
protected:
    void SetUp() override {
        for (Box* b : {&a, &b, &c, &d}) page.addObject(b);
        page.takeDirty();
    }
    void TearDown() override {
        for (Box* b : {&a, &b, &c, &d}) page.removeObject(b);
    }
    static ReorderItem one(SurfaceObject* o) { return {o, false, {}}; }
    static ReorderItem block(std::vector<SurfaceObject*> v) { return {nullptr, true, std::move(v)}; }
    std::vector<SurfaceObject*> order() { return page.objects(); }

    Surface page{20, 20};
    Box a{{0, 0, 1, 1}, kBlack}, b{{0, 0, 1, 1}, kBlack}, c{{0, 0, 1, 1}, kBlack}, d{{0, 0, 1, 1}, kBlack};
};

TEST_F(Reorder, AWordGoesToTheBottom) {
    EXPECT_TRUE(page.reorderToBottom(&c));
    EXPECT_EQ(order(), (std::vector<SurfaceObject*>{&c, &a, &b, &d}));
}

TEST_F(Reorder, EmptyBlockThenANamePutsItOnTop) {
    EXPECT_TRUE(page.reorder({block({}), one(&a)}));
    EXPECT_EQ(order(), (std::vector<SurfaceObject*>{&b, &c, &d, &a}));
}

TEST_F(Reorder, NamesFirstThenTheRestInOrder) {
    EXPECT_TRUE(page.reorder({one(&c), one(&a)}));
    EXPECT_EQ(order(), (std::vector<SurfaceObject*>{&c, &a, &b, &d}));
}

TEST_F(Reorder, BlockKeepsObjectsBelowItUnderneath) {
    // [d [b c]]: d first, then a (below the block) goes in front, then b c, nothing above.
    EXPECT_TRUE(page.reorder({one(&d), block({&c, &b})}));
    EXPECT_EQ(order(), (std::vector<SurfaceObject*>{&a, &d, &b, &c}));
}

TEST_F(Reorder, TheCurrentOrderChangesNothingAndRepaintsNothing) {
    EXPECT_FALSE(page.reorder({one(&a), one(&b)}));
    EXPECT_FALSE(page.reorderToBottom(&a));
    EXPECT_TRUE(page.takeDirty().empty());
}

TEST_F(Reorder, ErrorsChangeNothing) {
    Box stranger({0, 0, 1, 1}, kBlack);
    EXPECT_EQ(errorCode([&] { page.reorder({one(&b), one(&stranger)}); }), erTurtleUnknown);
    EXPECT_EQ(errorCode([&] { page.reorder({block({}), block({&a})}); }), erBadStructure);
    EXPECT_EQ(order(), (std::vector<SurfaceObject*>{&a, &b, &c, &d}));
}

TEST(SurfaceLifetime, ObjectsAreToldWhenTheSurfaceGoes) {
    Box a({0, 0, 1, 1}, kBlack);
    {
        Surface page(10, 10);
        page.addObject(&a);
    }
    EXPECT_TRUE(a.gone);
    // A turtle whose surface went draws and moves nothing visible, and does not crash.
    auto page = std::make_unique<Surface>(50, 50);
    Turtle t(*page);
    page.reset();
    EXPECT_EQ(t.surface(), nullptr);
    t.forward(10);
    t.dot();
    t.label("x");
    t.setShown(true);
}

TEST(SurfaceRepaint, InvalidateGrowsByHalfThePenAndThree) {
    Surface page(100, 100);
    page.takeDirty();
    page.invalidate({20, 20, 10, 10}, 8);
    EXPECT_EQ(page.takeDirty(), (Rect{3, 3, 27, 27}));
    EXPECT_TRUE(page.takeDirty().empty());
    page.invalidate({-50, -50, 5, 5}, 1);
    EXPECT_EQ(page.takeDirty(), (Rect{0, 0, 8, 8}));  // never beyond the surface
}

TEST(SurfaceResize, KeepsThePictureAndMovesTheDefaultRange) {
    Surface page(20, 20);
    page.background().setPixel(3, 3, kBlack);
    page.resize(30, 10);
    EXPECT_EQ(page.width(), 30);
    EXPECT_EQ(page.pixelAt(3, 3), kBlack);
    EXPECT_EQ(page.pixelAt(25, 5), kWhite);
    EXPECT_EQ(page.defaultRange(), (RangeBox{0, 29, 0, 9}));
}

// A pane is a surface placed on a page: its own picture and objects show at its place, over the
// page's objects, and what changes on it is repainted on the page too.
TEST(Panes, ComposedAtTheirPlaceOnThePage) {
    Surface page(60, 40);
    Surface pane(20, 10, rgb(255, 255, 0));
    Box pageBox({0, 0, 60, 40}, rgb(0, 255, 0));
    page.addObject(&pageBox);
    page.addChild(&pane, {30, 5});
    Box paneBox({2, 2, 4, 4}, rgb(255, 0, 0));
    pane.addObject(&paneBox);
    Bitmap f = page.frame();
    EXPECT_EQ(f.pixel(29, 5), rgb(0, 255, 0));
    EXPECT_EQ(f.pixel(30, 5), rgb(255, 255, 0));
    EXPECT_EQ(f.pixel(49, 14), rgb(255, 255, 0));
    EXPECT_EQ(f.pixel(50, 14), rgb(0, 255, 0));
    EXPECT_EQ(f.pixel(32, 7), rgb(255, 0, 0));
    EXPECT_EQ(f.pixel(34, 7), rgb(255, 255, 0));

    page.takeDirty();
    pane.invalidate({0, 0, 1, 1}, 0);
    const Rect d = page.takeDirty();
    EXPECT_TRUE(d.contains(30, 5));
    EXPECT_FALSE(d.contains(29, 5));

    // A paint of part of the page only composes that part, into an off-screen bitmap that grows.
    Bitmap off;
    page.paint(off, {25, 0, 35, 10});
    EXPECT_EQ(off.width(), 35);
    EXPECT_EQ(off.pixel(31, 6), rgb(255, 255, 0));
    EXPECT_EQ(off.pixel(20, 5), kBlack);  // outside the update: untouched

    pane.setVisible(false);
    EXPECT_EQ(page.frame().pixel(32, 7), rgb(0, 255, 0));
    pane.setVisible(true);
    pane.removeObject(&paneBox);
    page.removeChild(&pane);
    EXPECT_EQ(page.frame().pixel(32, 7), rgb(0, 255, 0));
    page.removeObject(&pageBox);
}

TEST(Words, PenModesAndRangeStylesByInternalWord) {
    EXPECT_EQ(penModeFromWord("PenReverse"), PenMode::Reverse);
    EXPECT_EQ(rangeStyleFromWord("bounce"), RangeStyle::Bounce);
    EXPECT_EQ(errorCode([] { penModeFromWord("sideways"); }), erBadValue);
    EXPECT_EQ(errorCode([] { rangeStyleFromWord("penup"); }), erBadValue);
}

} // namespace
} // namespace qm
