// Turtle drawings compared pixel for pixel with reference pictures: figures in every pen mode, width
// and pattern, fills, labels, ranges, shown turtles and panes on a page.
#include <gtest/gtest.h>

#include "graphics/surface/surface.h"
#include "graphics/surface/turtle.h"
#include "surface_test_util.h"

namespace qm {
namespace {

using test::expectReference;

constexpr Rgb kRed = rgb(220, 30, 30);
constexpr Rgb kBlue = rgb(30, 60, 220);
constexpr Rgb kGreen = rgb(20, 160, 60);
constexpr Rgb kYellow = rgb(250, 220, 40);

void repeat(int n, Turtle& t, LReal distance, LReal turn) {
    for (int i = 0; i < n; ++i) {
        t.forward(distance);
        t.right(turn);
    }
}

TEST(TurtlePictures, SquareStarCircle) {
    Surface page(240, 100);
    Turtle t(page);
    t.setPenMode(PenMode::Up);
    t.setPosition({-110, -40});
    t.setPenMode(PenMode::Down);
    repeat(4, t, 70, 90);                      // square
    t.setPenMode(PenMode::Up);
    t.setPosition({-5, -30});
    t.setHeading(18);
    t.setPenMode(PenMode::Down);
    t.setPenColour(kBlue);
    repeat(5, t, 75, 144);                     // star
    t.setPenMode(PenMode::Up);
    t.setPosition({70, -40});
    t.setHeading(90);
    t.setPenMode(PenMode::Down);
    t.setPenColour(kRed);
    repeat(36, t, 7, -10);                     // polygon circle
    t.setPenMode(PenMode::Up);
    t.setPosition({70, 0});
    t.setPenColour(kGreen);
    t.circle(40);                              // circle figure
    expectReference(page.frame(), "square_star_circle");
}

// Rows: paint, erase, reverse over a coloured band; columns: widths 1, 2, 3, 6, 11.
TEST(TurtlePictures, PenModesAndWidths) {
    Surface page(220, 130);
    Turtle band(page);
    band.setPenColour(kYellow);
    band.setPenWidth(30);
    band.setHeading(90);
    band.setPenMode(PenMode::Up);
    band.setAbsolutePosition({10, 65});
    band.setPenMode(PenMode::Down);
    band.forward(200);
    Turtle t(page);
    t.setPenColour(kBlue);
    const PenMode modes[] = {PenMode::Down, PenMode::Erase, PenMode::Reverse};
    const std::int64_t widths[] = {1, 2, 3, 6, 11};
    for (int m = 0; m < 3; ++m)
        for (int w = 0; w < 5; ++w) {
            t.setPenMode(PenMode::Up);
            t.setAbsolutePosition({static_cast<LReal>(15 + m * 70 + w * 11), 115});
            t.setHeading(10);
            t.setPenWidth(widths[w]);
            t.setPenMode(modes[m]);
            t.forward(40);
            t.right(30);
            t.forward(25);
            t.right(120);
            t.forward(15);
        }
    expectReference(page.frame(), "pen_modes_widths");
}

// Patterns 0..6 on lines and on a circle outline, over white and over a band.
TEST(TurtlePictures, PenPatterns) {
    Surface page(160, 90, rgb(240, 240, 240));
    Turtle t(page);
    for (int p = 0; p < 7; ++p) {
        t.setPenMode(PenMode::Up);
        t.setAbsolutePosition({10, static_cast<LReal>(8 + p * 11)});
        t.setHeading(90);
        t.setPenPattern(p);
        t.setPenMode(PenMode::Down);
        t.forward(70);
        t.right(15);
        t.forward(20);
        t.setPenMode(PenMode::Up);
        t.setAbsolutePosition({static_cast<LReal>(120 + (p % 2) * 15), static_cast<LReal>(12 + p * 11)});
        t.setPenColour(p % 2 ? kRed : kBlue);
        t.circle(14);
    }
    expectReference(page.frame(), "pen_patterns");
}

// Filled circles with every fill pattern, and flood fills of a star's points by colour and by border.
TEST(TurtlePictures, FilledShapes) {
    Surface page(230, 120);
    Turtle t(page);
    t.setPenMode(PenMode::Up);
    for (int p = 0; p < 8; ++p) {
        t.setAbsolutePosition({static_cast<LReal>(14 + p * 26), 16});
        t.setPenColour(kBlue);
        t.setFillColour(p % 2 ? kGreen : kRed);
        t.setFillPattern(p);
        t.filledCircle(22);
    }
    t.setFillPattern(0);
    t.setPenColour(kBlack);
    t.setAbsolutePosition({60, 110});
    t.setHeading(18);
    t.setPenMode(PenMode::Down);
    repeat(5, t, 85, 144);
    t.setPenMode(PenMode::Up);
    t.setAbsolutePosition({86, 85});  // the centre of the star
    t.setFillColour(kYellow);
    t.fill(0);
    t.setAbsolutePosition({86, 45});  // its top point
    t.setFillColour(kRed);
    t.setFillPattern(2);
    t.fill(1);
    // Border mode stops at the pen colour only: a blue ring with a black circle inside is filled
    // across the black.
    t.setPenColour(kBlue);
    t.setAbsolutePosition({180, 80});
    t.circle(60);
    t.setPenColour(kBlack);
    t.circle(30);
    t.setPenColour(kBlue);
    t.setFillColour(kGreen);
    t.setFillPattern(0);
    t.fill(1);
    expectReference(page.frame(), "filled_shapes");
}

TEST(TurtlePictures, LabelsAtSeveralHeadings) {
    Surface page(200, 200);
    Turtle t(page);
    t.setPenMode(PenMode::Up);
    FontRecord f;
    f.face = "DejaVu Sans";
    f.size = 10;
    t.setFont(f);
    const LReal headings[] = {0, 45, 90, 135, 180, 270, 300.04L};
    const Rgb colours[] = {kBlack, kRed, kBlue, kGreen, kBlack, kRed, kBlue};
    for (int i = 0; i < 7; ++i) {
        t.setHeading(headings[i]);
        t.setPenColour(colours[i]);
        t.label("Quelmar");
    }
    // Two lines, opaque cells, on the baseline, with label2 moving on.
    f.flags = FontRecord::kOpaque | FontRecord::kBaseline;
    t.setFont(f);
    t.setAbsolutePosition({10, 20});
    t.setHeading(0);
    t.setPenColour(kBlack);
    Turtle mark(page);
    mark.setPenColour(kRed);
    mark.setPenMode(PenMode::Up);
    mark.setAbsolutePosition({60, 60});
    mark.setPenMode(PenMode::Down);
    mark.setHeading(90);
    mark.forward(100);
    t.setAbsolutePosition({70, 66});
    t.label2("ab\r\ncd");
    t.setPenColour(kBlue);
    t.label("!");
    t.setAbsolutePosition({40, 120});
    t.setHeading(90);
    f.flags = 0;
    f.style = FontRecord::kBold | FontRecord::kUnderline;
    t.setFont(f);
    t.setPenColour(kGreen);
    t.label("down");
    expectReference(page.frame(), "labels");
}

// Each turtle has its own 60 x 60 range: wrap, bounce, fence and window from the same start.
TEST(TurtlePictures, WrapBounceFenceWindow) {
    Surface page(280, 80);
    const RangeStyle styles[] = {RangeStyle::Wrap, RangeStyle::Bounce, RangeStyle::Fence, RangeStyle::Window};
    const Rgb colours[] = {kBlue, kRed, kGreen, kBlack};
    for (int i = 0; i < 4; ++i) {
        Turtle t(page);
        const std::int64_t left = 10 + i * 68;
        t.setPenMode(PenMode::Up);
        t.setAbsolutePosition({static_cast<LReal>(left + 30), 40});
        t.setRange(Rect{left, 10, left + 60, 70});
        t.setRangeStyle(styles[i]);
        t.setHeading(35);
        t.setPenColour(colours[i]);
        t.setPenMode(PenMode::Down);
        t.forward(190);
        t.right(100);
        t.forward(40);
    }
    expectReference(page.frame(), "wrap_bounce_fence_window");
}

// A page with a shown turtle at several headings, stamps, and a pane with its own turtle and
// background, composed as a person sees it.
TEST(TurtlePictures, ShownTurtlesAndAPaneOnAPage) {
    Surface page(200, 120);
    Turtle painter(page);
    painter.setPenColour(kGreen);
    painter.setPenWidth(3);
    painter.setPenMode(PenMode::Up);
    painter.setAbsolutePosition({0, 110});
    painter.setPenMode(PenMode::Down);
    painter.setHeading(75);
    painter.forward(200);
    for (int i = 0; i < 4; ++i) {
        Turtle* t = new Turtle(page);
        t->setPenMode(PenMode::Up);
        t->setAbsolutePosition({static_cast<LReal>(20 + i * 30), 25});
        t->setHeading(i * 60);
        t->setPenColour(i % 2 ? kRed : kBlue);
        t->setShown(true);
        if (i == 3) {
            t->stamp();
            t->setAbsolutePosition({110, 55});
            t->setHeading(200);
            t->setShapeScale({1.5L, 1.5L});
        }
    }
    Surface pane(70, 60, kYellow);
    page.addChild(&pane, {120, 50});
    Turtle inPane(pane);
    inPane.setPenColour(kBlue);
    inPane.setHeading(30);
    repeat(5, inPane, 30, 144);
    inPane.setShown(true);
    expectReference(page.frame(), "shown_turtles_and_pane");
    // The page's turtles are owned by the page's objects list in this test; free them.
    for (SurfaceObject* o : page.objects())
        if (o != &painter) delete static_cast<Turtle*>(o);
}

} // namespace
} // namespace qm
