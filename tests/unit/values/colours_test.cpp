// Colours given back as the project's "colourstyle" asks, and colour names following the
// language.
#include <gtest/gtest.h>

#include "colours.h"
#include "dictionary.h"
#include "language.h"
#include "name_codes.h"
#include "test_engine.h"

namespace qm {
namespace {

constexpr uint32_t hexColour(uint32_t rrggbb) {
    return ((rrggbb >> 16) & 0xFF) | (rrggbb & 0xFF00) | ((rrggbb & 0xFF) << 16);
}

struct GivenBack {
    int style;  // -1: the setting is absent
    uint32_t rrggbb;
    const char* shown;
};

class ColourValueTest : public testing::EngineFixture, public ::testing::WithParamInterface<GivenBack> {};

TEST_P(ColourValueTest, FollowsColourstyle) {
    const GivenBack& c = GetParam();
    if (c.style >= 0) engine.mainObject().variables.Set(nameCodes().intern("colourstyle"), makeInt(c.style));
    Ref<tlogoobject> v = colourValue(static_cast<int32_t>(hexColour(c.rrggbb)));
    EXPECT_EQ(v->ShowText(true), c.shown);
}

INSTANTIATE_TEST_SUITE_P(Styles, ColourValueTest,
                         ::testing::Values(GivenBack{-1, 0xFF0000, "12"}, GivenBack{0, 0xFF0000, "12"},
                                           GivenBack{0, 0x123456, "[18 52 86]"}, GivenBack{0, 0xC0C0C0, "7"},
                                           GivenBack{0, 0xFF4040, "[255 64 64]"}, GivenBack{1, 0xFF0000, "red"},
                                           GivenBack{1, 0xFF4040, "red7"}, GivenBack{1, 0x800000, "red3"},
                                           GivenBack{1, 0xFFFFFF, "white"}, GivenBack{1, 0xC0C0C0, "lightGrey"},
                                           GivenBack{1, 0x383838, "grey3"}, GivenBack{1, 0x000080, "blue3"},
                                           GivenBack{1, 0x123456, "[18 52 86]"}, GivenBack{1, 0x808000, "yellow3"},
                                           GivenBack{2, 0xFF0000, "[255 0 0]"}, GivenBack{7, 0x00FF00, "10"}));

using ColourTest = testing::EngineFixture;

TEST_F(ColourTest, SystemColoursStayNegative) {
    Ref<tlogoobject> v = colourValue(-5);
    EXPECT_EQ(v->ShowText(true), "-5");
    EXPECT_EQ(paletteColour(-5), -5);
    EXPECT_EQ(paletteColour(16), 0);
}

TEST_F(ColourTest, ANameThatIsNotANumberSettingReadsAsStyleZero) {
    engine.mainObject().variables.Set(nameCodes().intern("colorstyle"), makeWord("names"));
    Ref<tlogoobject> v = colourValue(static_cast<int32_t>(hexColour(0xFF0000)));
    EXPECT_EQ(v->ShowText(true), "12");
}

TEST_F(ColourTest, NamesFollowTheLanguage) {
    ASSERT_TRUE(setLanguage("czech"));
    reloadColourNames();
    EXPECT_EQ(colourOfName(utf8ToCp1250("červená"), nullptr), hexColour(0xFF0000));
    EXPECT_THROW(colourOfName("red", nullptr), eLogoException);
    // The setting's variable has a Czech name too.
    engine.mainObject().variables.Set(nameCodes().intern(firstWord("name", "colourstyle")), makeInt(1));
    Ref<tlogoobject> v = colourValue(static_cast<int32_t>(hexColour(0xFF4040)));
    EXPECT_EQ(cp1250ToUtf8(v->ShowText(true)), "červená7");

    ASSERT_TRUE(setLanguage("english"));
    reloadColourNames();
    EXPECT_EQ(colourOfName("red", nullptr), hexColour(0xFF0000));
}

TEST_F(ColourTest, EveryFamilyShadeNamesItselfBack) {
    engine.mainObject().variables.Set(nameCodes().intern("colourstyle"), makeInt(1));
    // The first family holding a colour names it, so a colour shared by two families
    // (grey 1 is black, grey 12 white) reads back as the earlier name.
    for (int32_t f = 0; f < kFamilyCount; ++f)
        for (int32_t s = 1; s <= kShadeCount; ++s) {
            const uint32_t rgb = familyColour(f, s);
            Ref<tlogoobject> v = colourValue(static_cast<int32_t>(rgb));
            EXPECT_EQ(colourOfValue(v.get()), rgb) << "family " << f << " shade " << s << " " << v->ShowText(true);
        }
}

} // namespace
} // namespace qm
