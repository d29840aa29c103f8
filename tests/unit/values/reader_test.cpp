// The reader, the show form and number text: reading back what is shown, tokens at the
// edges of numbers and escapes, and equality rules.
#include <gtest/gtest.h>

#include "number_text.h"
#include "reader.h"
#include "test_engine.h"

namespace qm {
namespace {

using ReaderTest = testing::EngineFixture;

// The items of a text, each in its show form, separated by "|" marks.
std::string items(std::string_view text) {
    Ref<tLogoList> l = parse(text);
    std::string s;
    for (tLogoList* c = l->IsEmpty() ? nullptr : l.get(); c; c = c->rest) {
        if (!s.empty()) s += " ~ ";
        s += c->element->ShowText(true);
    }
    return s;
}

struct TokenCase {
    const char* text;
    const char* shown;
};

TEST_F(ReaderTest, TokensAreSplitAsTheStatesSay) {
    const TokenCase cases[] = {
        {"3-4", "3 ~ - ~ 4"},
        {"3 -4", "3 ~ -4"},
        {"-5", "-5"},
        {"a+b", "a ~ + ~ b"},
        {"ab\"c", "ab ~ \"c"},
        {"\\65.x", "Ax"},
        {"|a b|", "|a b|"},
        {"||", "||"},
        {"1e", "1e"},
        {"1e5x", "1e5x"},
        {"1.5", "1.5"},
        {"1.5 ", "1.5"},
        {"<= <> >= < >", "<= ~ <> ~ >= ~ < ~ >"},
        {"|abc", "abc"},
        {"abc\\", "abc"},
        {"\\65", "A"},
        {"x\\300y", "x\\30.y"},  // 300 is too big: the last digit is dropped
        {"[a [b c]] d", "[a [b c]] ~ d"},
        {"\"", "\""},
        {"\"[a]", "\" ~ [a]"},
        {"(a)", "( ~ a ~ )"},
        {"a;b", "a ~ ; ~ b"},
        {"007", "007"},
    };
    for (const auto& c : cases) EXPECT_EQ(items(c.text), c.shown) << "text: " << c.text;
}

TEST_F(ReaderTest, NumbersKeepTheirTextAndKind) {
    Ref<tLogoList> l = parse("007 1.50 3000000000 2147483647 -2147483648 1e7");
    ValueKind kinds[] = {ValueKind::Int, ValueKind::Real, ValueKind::Real, ValueKind::Int, ValueKind::Int,
                         ValueKind::Real};
    const char* texts[] = {"007", "1.50", "3000000000", "2147483647", "-2147483648", "1e7"};
    int i = 0;
    for (tLogoList* c = l.get(); c; c = c->rest, ++i) {
        EXPECT_EQ(c->element->vkind, kinds[i]) << texts[i];
        EXPECT_EQ(c->element->PrintText(false), texts[i]);
    }
}

TEST_F(ReaderTest, ShowFormReadsBackAsTheSameWord) {
    const std::string words[] = {"a b",   "\"a b",  "a|b", "x+1",  "\t",     "a\tb", "",     "<>",   "a]b",
                                 "a\\b",  "a\"b",   "+",   "-3x",  "a\rb",   "ab\t", "[",    "\"\"", "a;b",
                                 "\xb6z", "(a)",    "3",   "-",    "a\x01",  "\x7f", "\"",   "x\"",  "tab\tend"};
    for (const std::string& w : words) {
        Ref<tLogoString> word = makeRawWord(w);
        std::string shown = word->ShowText(true);
        Ref<tLogoList> back = parse(shown);
        ASSERT_FALSE(back->IsEmpty()) << "shown: " << shown;
        EXPECT_EQ(back->rest, nullptr) << "shown as several items: " << shown;
        const std::string& text = back->element->GetText();
        EXPECT_EQ(text, w) << "shown: " << shown;
    }
}

TEST_F(ReaderTest, ShowFormExamples) {
    const TokenCase cases[] = {
        {"a b", "|a b|"},
        {"\"a b", "\"|a b|"},
        {"a|b", "a\\|b"},
        {"x+1", "|x+1|"},
        {"\t", "\\9"},
        {"a\tb", "a\\9.b"},
        {"<>", "<>"},
        {"", "||"},
    };
    for (const auto& c : cases) {
        Ref<tLogoString> w = makeRawWord(c.text);
        EXPECT_EQ(w->ShowText(true), c.shown);
    }
}

TEST_F(ReaderTest, BracketErrors) {
    try {
        Ref<tLogoList> l = parse("[a [b");
        FAIL() << "an open list must not read";
    } catch (eLogoException& e) {
        EXPECT_EQ(e.code, erMissingRBracket);
    }
    try {
        Ref<tLogoList> l = parse("a ]");
        FAIL() << "a stray ] must not read";
    } catch (eLogoException& e) {
        EXPECT_EQ(e.code, erExtraRBracket);
    }
    ReadOptions loading;
    loading.loadingFile = true;
    Ref<tLogoList> closed = parse("[a [b", loading);
    EXPECT_EQ(closed->PrintText(true), "[[a [b]]]");
}

TEST_F(ReaderTest, LinesAndTokenLines) {
    Ref<tLogoList> lines = parseLines("  print 1\r\nprint [2]\r\n3\r\n  ");
    EXPECT_EQ(lines->PrintText(true), "[[print 1] [print [2]] [3]]");
    // Lists cannot span lines when a text is read line by line.
    EXPECT_THROW(parseLines("print [2\r\n3]"), eLogoException);
    // Line feeds vanish: only carriage returns break lines.
    EXPECT_EQ(lineOfToken("a\r\nb [c\r\nd]", 1), 1);
    EXPECT_EQ(lineOfToken("a\r\nb [c\r\nd]", 2), 2);
    EXPECT_EQ(lineOfToken("a\r\nb [c\r\nd]", 3), 2);
    EXPECT_EQ(lineOfToken("a\r\nb [c\r\nd]", 5), 3);
    EXPECT_EQ(lineOfToken("a\r\nb [c\r\nd]", 6), -1);
}

TEST(NumberText, RealsPrintWithSixSignificantDigits) {
    const std::pair<LReal, const char*> cases[] = {
        {2147483648.0L, "2.14748E9"}, {1e7L, "1E7"},          {1.0L / 3, "0.333333"}, {5.0L, "5"},
        {0.00001L, "0.00001"},        {0.000001L, "1E-6"},    {123456.0L, "123456"},  {1234567.0L, "1.23457E6"},
        {-2.5L, "-2.5"},              {0.0L, "0"},            {1e-300L, "1E-300"},    {999999.5L, "1E6"},
        {1.5e100L, "1.5E100"},        {-0.000012345678L, "-0.0000123457"},
        {500000500000.0L, "5.00001E11"}, {0.1234565L, "0.123457"}, {99999.95L, "100000"},
        {-1e-5L, "-0.00001"},          {0.0000099999999L, "0.00001"}, {123.0L, "123"},  {100.5L, "100.5"},
    };
    for (const auto& [v, text] : cases) EXPECT_EQ(formatReal(v), text) << static_cast<double>(v);
}

TEST(NumberText, ReadingWordsAsNumbers) {
    struct Case {
        const char* text;
        NumberReading::Kind kind;
        double value;
    };
    const Case cases[] = {
        {"12", NumberReading::Integer, 12},   {"-12", NumberReading::Integer, -12}, {"$FF", NumberReading::Integer, 255},
        {"1.5", NumberReading::Real, 1.5},     {".5", NumberReading::Real, 0.5},    {"5.", NumberReading::Real, 5},
        {"1e3", NumberReading::Real, 1000},    {"2147483648", NumberReading::Real, 2147483648.0},
        {"", NumberReading::None, 0},          {"abc", NumberReading::None, 0},     {"1e", NumberReading::None, 0},
        {"inf", NumberReading::None, 0},       {"nan", NumberReading::None, 0},     {"0x10", NumberReading::None, 0},
        {" 1", NumberReading::None, 0},        {"1 ", NumberReading::None, 0},      {"+", NumberReading::None, 0},
    };
    for (const auto& c : cases) {
        NumberReading r = readNumberText(c.text);
        EXPECT_EQ(r.kind, c.kind) << c.text;
        if (r.kind == NumberReading::Integer) EXPECT_EQ(r.intValue, c.value) << c.text;
        if (r.kind == NumberReading::Real) EXPECT_DOUBLE_EQ(static_cast<double>(r.realValue), c.value) << c.text;
    }
}

TEST_F(ReaderTest, ConversionsRoundHalfAwayFromZero) {
    Ref<tlogoobject> a = makeReal(2.5L), b = makeReal(-2.5L);
    EXPECT_EQ(a->ToInt(), 3);
    EXPECT_EQ(b->ToInt(), -3);
    Ref<tlogoobject> huge = makeReal(3e9L);
    EXPECT_THROW(huge->ToInt(), eLogoException);
    Ref<tlogoobject> zero = makeInt(0), one = makeReal(1.0L);
    EXPECT_FALSE(zero->ToBool());
    EXPECT_TRUE(one->ToBool());
    Ref<tlogoobject> quarter = makeReal(0.25L);
    int trues = 0;
    for (int i = 0; i < 4000; ++i) trues += quarter->ToBool();
    EXPECT_GT(trues, 700);
    EXPECT_LT(trues, 1300);
}

TEST_F(ReaderTest, EqualityRules) {
    Ref<tlogoobject> abc = makeRawWord("ABC"), low = makeRawWord("abc");
    EXPECT_TRUE(abc->Equal(low.get()));
    EXPECT_FALSE(abc->EqualExact(low.get()));
    Ref<tlogoobject> three = makeRawWord("3"), i3 = makeInt(3), r3 = makeReal(3.0L);
    EXPECT_TRUE(three->Equal(i3.get()));
    EXPECT_TRUE(r3->Equal(i3.get()));
    EXPECT_TRUE(i3->Equal(r3.get()));
    Ref<tLogoList> l1 = parse("[a [b 3]]"), l2 = parse("[a [b 3.0]]");
    EXPECT_TRUE(l1->element->Equal(l2->element));
    EXPECT_FALSE(l1->element->Equal(abc.get()));
    EXPECT_FALSE(abc->Equal(l1->element));
    Ref<tlogoobject> t = makeBool(true), tw = makeRawWord("TRUE");
    EXPECT_TRUE(t->Equal(tw.get()));
    EXPECT_TRUE(tw->Equal(t.get()));
}

TEST_F(ReaderTest, LongListsAreFreedWithoutDeepRecursion) {
    ListBuilder b;
    for (int i = 0; i < 2000000; ++i) {
        Ref<tlogoobject> v = makeInt(i);
        b.append(v.get());
    }
    Ref<tLogoList> l = b.finish();
    EXPECT_EQ(l->count(), 2000000);
    l = nullptr;  // must not overflow the stack
}

} // namespace
} // namespace qm
