// Text drawing: faces by family name, ink inside the measured cell, turned text, exact colours in
// aliased mode, opaque cells, clipping, code page 1250 letters.
#include <gtest/gtest.h>

#include <set>

#include "graphics/text/text.h"

namespace qm {
namespace {

constexpr Rgb kPaper = rgb(250, 251, 252);
constexpr Rgb kInk = rgb(200, 10, 30);

// The smallest rectangle holding every pixel that differs from `paper`; empty when there is none.
Rect inkBox(const Bitmap& b, Rgb paper = kPaper) {
    Rect r{};
    bool any = false;
    for (int y = 0; y < b.height(); ++y) {
        for (int x = 0; x < b.width(); ++x) {
            if (b.pixel(x, y) == paper) continue;
            if (!any) r = {x, y, x + 1, y + 1};
            r = {std::min<std::int64_t>(r.left, x), std::min<std::int64_t>(r.top, y),
                 std::max<std::int64_t>(r.right, x + 1), std::max<std::int64_t>(r.bottom, y + 1)};
            any = true;
        }
    }
    return r;
}

int inkCount(const Bitmap& b, Rgb paper = kPaper) {
    int n = 0;
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x) n += b.pixel(x, y) != paper;
    return n;
}

std::shared_ptr<const Font> font(const std::string& family, int height = -20, bool bold = false) {
    FontRequest r;
    r.family = family;
    r.height = height;
    r.bold = bold;
    auto f = Font::open(r);
    EXPECT_NE(f, nullptr) << family;
    return f;
}

Bitmap paper(int w = 300, int h = 200) { return *Bitmap::create(w, h, kPaper); }

TEST(Fonts, FamiliesProjectsNameAreFound) {
    struct Case {
        const char* asked;
        const char* used;
    };
    const Case cases[] = {
        {"Arial", "Liberation Sans"},        {"Times New Roman", "Liberation Serif"},
        {"Courier New", "Liberation Mono"},  {"Tahoma", "Tahoma"},
        {"MS Sans Serif", "MS Sans Serif"},  {"System", "System"},
        {"DejaVu Sans", "DejaVu Sans"},      {"No Such Family At All", "DejaVu Sans"},
        {"", "DejaVu Sans"},
    };
    for (const Case& c : cases) {
        auto f = font(c.asked);
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f->family(), c.used) << c.asked;
    }
    EXPECT_TRUE(font("Tahoma")->scalable());
    EXPECT_FALSE(font("System")->scalable());  // a bitmap face
    EXPECT_EQ(font("Arial"), font("Arial"));  // shared, not opened again
}

TEST(Fonts, HeightIsTheEmSizeWhenNegativeAndTheCellWhenPositive) {
    for (int cell : {10, 17, 30}) {
        const TextMetrics m = font("Arial", cell)->metrics();
        EXPECT_NEAR(m.height, cell, 1) << cell;
        EXPECT_EQ(m.height, m.ascent + m.descent);
    }
    // An em of 20 pixels gives a cell taller than 20 (accents and descenders lie outside the em).
    EXPECT_GT(font("Arial", -20)->metrics().height, 20);
    EXPECT_GT(font("Arial", -40)->metrics().height, font("Arial", -20)->metrics().height);
}

TEST(Text, InkLiesInsideTheMeasuredCell) {
    for (const char* family : {"DejaVu Sans", "Arial", "Times New Roman", "Tahoma"}) {
        auto f = font(family);
        const std::string text = "Hxgj";
        const TextMetrics m = f->measure(text);
        Bitmap b = paper();
        const Rect changed = f->draw(b, {10, 10}, text, {.colour = kInk});
        const Rect ink = inkBox(b);
        ASSERT_FALSE(ink.empty()) << family;
        EXPECT_GE(ink.left, 10) << family;
        EXPECT_GE(ink.top, 10) << family;
        EXPECT_LE(ink.right, 10 + m.width) << family;
        EXPECT_LE(ink.bottom, 10 + m.height) << family;
        // Descenders go below the baseline, capitals reach well above it.
        EXPECT_GT(ink.bottom, 10 + m.ascent) << family;
        EXPECT_LT(ink.top, 10 + m.ascent / 2) << family;
        EXPECT_EQ(changed.intersected(ink), ink) << family;
    }
}

TEST(Text, WidthsAddUpAndEmptyTextHasNone) {
    auto f = font("Arial");
    EXPECT_EQ(f->measure("ab").width, f->measure("a").width + f->measure("b").width);
    EXPECT_EQ(f->measure("").width, 0);
    Bitmap b = paper();
    EXPECT_TRUE(f->draw(b, {5, 5}, "", {}).empty());
    EXPECT_EQ(inkCount(b), 0);
}

TEST(Text, BaselineAnchorPutsTheBaselineAtTheReferencePoint) {
    auto f = font("Arial");
    Bitmap top = paper(), base = paper();
    f->draw(top, {20, 50 - f->metrics().ascent}, "Base", {.colour = kInk});
    f->draw(base, {20, 50}, "Base", {.colour = kInk, .anchor = TextAnchor::Baseline});
    EXPECT_EQ(top, base);
    EXPECT_EQ(inkBox(base).bottom, 50);  // "Base" has no descenders: its ink ends on the baseline
}

TEST(Text, AliasedTextUsesOnlyItsColourAtEveryAngle) {
    auto f = font("Times New Roman");
    for (double angle : {0.0, 30.0, 90.0, 200.0}) {
        Bitmap b = paper();
        f->draw(b, {150, 100}, "Quelmar", {.colour = kInk, .angle = angle});
        std::set<Rgb> colours;
        for (int y = 0; y < b.height(); ++y)
            for (int x = 0; x < b.width(); ++x) colours.insert(b.pixel(x, y));
        EXPECT_EQ(colours, (std::set<Rgb>{kPaper, kInk})) << angle;
    }
}

TEST(Text, AntialiasedTextBlendsItsEdges) {
    auto f = font("DejaVu Sans");
    Bitmap b = paper();
    f->draw(b, {10, 10}, "Quelmar", {.colour = kInk, .antialiased = true});
    std::set<Rgb> colours;
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x) colours.insert(b.pixel(x, y));
    EXPECT_GT(colours.size(), 4u);
}

TEST(Text, QuarterTurnSwapsTheInkBoxAndRunsUpwards) {
    auto f = font("Arial");
    const std::string text = "Turtle";
    const Point at{100, 150};
    Bitmap flat = paper(), turned = paper();
    f->draw(flat, at, text, {.colour = kInk});
    f->draw(turned, at, text, {.colour = kInk, .angle = 90});
    const Rect a = inkBox(flat), b = inkBox(turned);
    // Hinting works on the unturned outline, so a turned glyph may differ from the transposed one
    // by a pixel at its edges.
    EXPECT_NEAR(b.width(), a.height(), 1);
    EXPECT_NEAR(b.height(), a.width(), 1);
    // Turned counter-clockwise about the cell's top-left corner: the text rises from there and its
    // letters' feet point right.
    const TextMetrics m = f->measure(text);
    EXPECT_GE(b.left, at.x);
    EXPECT_LE(b.right, at.x + m.height);
    EXPECT_LE(b.bottom, at.y + 1);
    EXPECT_GE(b.top, at.y - m.width);
}

TEST(Text, BitmapFacesDrawUnturned) {
    auto f = font("MS Sans Serif", -13);
    ASSERT_FALSE(f->scalable());
    Bitmap flat = paper(), turned = paper();
    f->draw(flat, {40, 40}, "Bitmap", {.colour = kInk});
    f->draw(turned, {40, 40}, "Bitmap", {.colour = kInk, .angle = 90});
    EXPECT_GT(inkCount(flat), 0);
    EXPECT_EQ(flat, turned);
    const Rect ink = inkBox(flat);
    EXPECT_LE(ink.right, 40 + f->measure("Bitmap").width);
    EXPECT_LE(ink.bottom, 40 + f->metrics().height);
}

TEST(Text, HalfTurnIsUpsideDownAroundTheReferencePoint) {
    auto f = font("Arial");
    Bitmap b = paper();
    f->draw(b, {150, 100}, "Logo", {.colour = kInk, .angle = 180});
    const Rect ink = inkBox(b);
    const TextMetrics m = f->measure("Logo");
    EXPECT_LE(ink.right, 151);
    EXPECT_GE(ink.left, 150 - m.width);
    EXPECT_LE(ink.bottom, 101);
    EXPECT_GE(ink.top, 100 - m.height);
}

TEST(Text, OpaqueTextFillsExactlyItsCell) {
    auto f = font("Arial");
    const Rgb background = rgb(0, 255, 0);
    const TextMetrics m = f->measure("Ab");
    Bitmap b = paper();
    const Rect changed = f->draw(b, {7, 9}, "Ab", {.colour = kInk, .opaque = true, .background = background});
    const Rect cell = Rect::fromSize(7, 9, m.width, m.height);
    EXPECT_EQ(inkBox(b), cell);
    EXPECT_EQ(changed, cell);
    for (std::int64_t y = cell.top; y < cell.bottom; ++y)
        for (std::int64_t x = cell.left; x < cell.right; ++x)
            EXPECT_TRUE(b.pixel(x, y) == background || b.pixel(x, y) == kInk) << x << "," << y;
}

TEST(Text, TurnedOpaqueCellIsTheTurnedRectangle) {
    auto f = font("Arial");
    const TextMetrics m = f->measure("Ab");
    Bitmap b = paper();
    f->draw(b, {100, 100}, "Ab", {.colour = kInk, .opaque = true, .background = rgb(0, 0, 255), .angle = 90});
    EXPECT_EQ(inkBox(b), (Rect{100, 100 - m.width, 100 + m.height, 100}));
}

TEST(Text, DrawingStaysInsideTheClip) {
    auto f = font("Arial", -40);
    const Rect clip{20, 20, 40, 35};
    Bitmap b = paper();
    const Rect changed = f->draw(b, {10, 10}, "WWWW", {.colour = kInk, .opaque = true, .clip = &clip});
    EXPECT_EQ(inkBox(b), clip);  // the opaque cell covers the whole clip
    EXPECT_EQ(changed, clip);
    // Off the bitmap: nothing, and no crash.
    Bitmap small = paper(8, 8);
    f->draw(small, {-1000, 5000}, "far away", {.colour = kInk, .angle = 45});
    EXPECT_EQ(inkCount(small), 0);
}

TEST(Text, CodePage1250LettersHaveTheirOwnGlyphs) {
    auto f = font("Arial");
    // 0xF8 is r with caron, 0x9E z with caron, 0xEC e with caron in code page 1250.
    for (unsigned char accented : {0xF8, 0x9E, 0xEC}) {
        const std::string text(1, static_cast<char>(accented));
        Bitmap b = paper();
        f->draw(b, {10, 10}, text, {.colour = kInk});
        EXPECT_GT(inkCount(b), 0) << int(accented);
        EXPECT_GT(f->measure(text).width, 0);
    }
    Bitmap r = paper(), rCaron = paper();
    f->draw(r, {10, 10}, "r", {.colour = kInk});
    f->draw(rCaron, {10, 10}, "\xF8", {.colour = kInk});
    EXPECT_LT(inkBox(rCaron).top, inkBox(r).top);  // the caron rises above the plain letter
}

TEST(Text, MissingStylesAreMadeUp) {
    // MS Sans Serif comes in one weight only; bold must still come out heavier.
    auto regular = font("MS Sans Serif", -16);
    auto bold = font("MS Sans Serif", -16, true);
    Bitmap a = paper(), b = paper();
    regular->draw(a, {5, 5}, "Hello", {.colour = kInk});
    bold->draw(b, {5, 5}, "Hello", {.colour = kInk});
    EXPECT_GT(inkCount(b), inkCount(a));

    // Tahoma has no italic: the upright face is slanted, so the tops of letters move right.
    auto upright = Font::open({.family = "Tahoma", .height = -30});
    auto slanted = Font::open({.family = "Tahoma", .height = -30, .italic = true});
    EXPECT_EQ(slanted->family(), "Tahoma");
    Bitmap c = paper(), d = paper();
    upright->draw(c, {5, 5}, "l", {.colour = kInk});
    slanted->draw(d, {5, 5}, "l", {.colour = kInk});
    auto leftmostInRow = [](const Bitmap& bm, int y) {
        for (int x = 0; x < bm.width(); ++x)
            if (bm.pixel(x, y) != kPaper) return x;
        return -1;
    };
    const Rect stem = inkBox(d);
    EXPECT_GT(leftmostInRow(d, stem.top + 1), leftmostInRow(d, stem.bottom - 2));
    EXPECT_EQ(leftmostInRow(c, inkBox(c).top + 1), leftmostInRow(c, inkBox(c).bottom - 2));

    FontRequest lined{.family = "Arial", .height = -20, .underline = true};
    auto underlined = Font::open(lined);
    Bitmap plain = paper(), under = paper();
    font("Arial")->draw(plain, {5, 5}, "ace", {.colour = kInk});
    underlined->draw(under, {5, 5}, "ace", {.colour = kInk});
    const int baseline = 5 + underlined->metrics().ascent;
    EXPECT_GT(inkBox(under).bottom, baseline);  // "ace" has no descenders; the line lies below
    EXPECT_EQ(inkBox(plain).bottom, baseline);
}

} // namespace
} // namespace qm
