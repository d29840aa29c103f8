// Name codes, dictionaries, the coded stream and choosing a language.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "dictionary.h"
#include "language.h"
#include "name_codes.h"
#include "property_rows.h"
#include "test_engine.h"

#include <unistd.h>

namespace qm {
namespace {

using NamesTest = testing::EngineFixture;

TEST_F(NamesTest, CaseDoesNotMakeANewName) {
    int32_t a = nameCodes().intern("Forward");
    EXPECT_EQ(nameCodes().intern("FORWARD"), a);
    EXPECT_EQ(nameCodes().intern("forward"), a);
    EXPECT_EQ(nameCodes().codeOf("fOrWaRd"), a);
    EXPECT_NE(nameCodes().intern("forwards"), a);
    EXPECT_EQ(nameCodes().codeOf("never-interned-name"), 0);
    EXPECT_EQ(nameCodes().textOf(999999), "<Unknown name>");
}

TEST_F(NamesTest, DirectCodesStayOutOfTheTable) {
    int32_t before = nameCodes().size();
    int32_t five = nameCodes().intern("#5");
    EXPECT_EQ(nameCodes().size(), before);
    EXPECT_TRUE(isDirectCode(five));
    EXPECT_EQ(nameCodes().intern("#65541"), five);  // only the remainder by 65536 counts
    EXPECT_EQ(nameCodes().textOf(five), "#5");
    EXPECT_EQ(directCode("#x"), 0);
    EXPECT_EQ(directCode("#"), 0);
}

TEST_F(NamesTest, AccentsFoldOnlyWithAnsi) {
    ASSERT_TRUE(setLanguage("english"));
    EXPECT_FALSE(sameName("piš", "pis"));
    EXPECT_TRUE(sameName("\xE8\x61", "\xC8\x41"));  // č/Č keep their accent, case folds
    ASSERT_TRUE(setLanguage("czech"));
    EXPECT_TRUE(sameName("pi\x9A", "PIS"));  // piš
    EXPECT_EQ(nameCodes().intern("\xF8\x65\x6B\x6E\x69"), nameCodes().intern("REKNI"));  // řekni
    ASSERT_TRUE(setLanguage("english"));
}

TEST(CodedStream, RoundTripAndKnownBytes) {
    std::string plain = "\x01\x02\x03";
    std::string coded = encodeCoded(plain, 7);
    // The seed goes out as it is; each byte is added to the running sum.
    ASSERT_EQ(coded.size(), 4u);
    EXPECT_EQ(static_cast<unsigned char>(coded[0]), 7);
    EXPECT_EQ(static_cast<unsigned char>(coded[1]), 8);       // 1 + 7
    EXPECT_EQ(static_cast<unsigned char>(coded[2]), 2 + 15);  // sum 7 + 8
    EXPECT_EQ(decodeCoded(coded), plain);
    std::string all;
    for (int i = 0; i < 256; ++i) all.push_back(static_cast<char>(i));
    for (int seed : {0, 1, 200, 255}) EXPECT_EQ(decodeCoded(encodeCoded(all, static_cast<unsigned char>(seed))), all);
    EXPECT_EQ(decodeCoded(""), "");
}

TEST(DictionaryFormat, GroupsEntriesAndComments) {
    Dictionary d;
    d.parse(" ; comment\r\nbefore=ignored\r\n[ Dict ]\r\n Print = print  pr \nnoequals\n[other]\nkey=a=b\r[dict]\nx=y\n");
    // A repeated group replaces the first one.
    EXPECT_EQ(d.find("dict", "print"), nullptr);
    ASSERT_NE(d.find("DICT", "X"), nullptr);
    EXPECT_EQ(*d.find("dict", "x"), "y");
    ASSERT_NE(d.find("other", "key"), nullptr);
    EXPECT_EQ(*d.find("other", "key"), "a=b");
    EXPECT_EQ(d.find("none", "key"), nullptr);
    Dictionary empty;
    empty.parse("; nothing\n\n");
    EXPECT_TRUE(empty.empty());
    Dictionary firstEmpty;
    firstEmpty.parse("[a]\n[b]\nx=1\n");
    EXPECT_TRUE(firstEmpty.firstGroupEmpty());
}

// Lookups ignore the case of A-Z on both sides and nothing else; the last of a repeated key
// counts; a moved dictionary still answers (its values stay where they were).
TEST(DictionaryFormat, RepeatedKeysCaseAndMoves) {
    Dictionary d;
    d.parse("[Dict]\nFD=forward\nfd=fd forward\nZeta=z\n\xC8tverec=square\nalpha=a\n[Other]\nAlpha=b\n");
    struct Case {
        const char* group;
        const char* key;
        const char* value;  // nil: not found
    };
    const Case cases[] = {
        {"dict", "fd", "fd forward"},     {"DICT", "Fd", "fd forward"}, {"dict", "zeta", "z"},
        {"dict", "ZETA", "z"},            {"dict", "alpha", "a"},       {"other", "ALPHA", "b"},
        {"dict", "\xC8tverec", "square"}, {"dict", "\xE8tverec", nullptr},  // only A-Z fold
        {"dict", "alph", nullptr},        {"dict", "alphas", nullptr},  {"dict", "", nullptr},
        {"", "alpha", nullptr},
    };
    Dictionary moved = std::move(d);
    for (const Case& c : cases) {
        const std::string_view* v = moved.find(c.group, c.key);
        if (!c.value) {
            EXPECT_EQ(v, nullptr) << c.group << "/" << c.key;
        } else {
            ASSERT_NE(v, nullptr) << c.group << "/" << c.key;
            EXPECT_EQ(*v, c.value) << c.group << "/" << c.key;
        }
    }
}

TEST_F(NamesTest, DictionaryFileBesideTheStartFolderWins) {
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("qm_ldx_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    {
        std::ofstream f(dir / "pirate.ldx", std::ios::binary);
        f << encodeCoded("[other]\ntrue=aye\nfalse=nay\n[dict]\nprint=holler\n", 42);
    }
    {
        std::ofstream f(dir / "hollow.ldx", std::ios::binary);
        f << encodeCoded("; nothing here\n", 3);
    }
    setStartFolder(dir.string());
    EXPECT_TRUE(setLanguage("pirate", true));
    EXPECT_EQ(currentLanguage(), "english");  // only checked
    ASSERT_TRUE(setLanguage("pirate"));
    EXPECT_EQ(firstWord("dict", "print"), "holler");
    EXPECT_TRUE(isTrueWord("AYE"));
    // An empty file does not replace anything; without a built-in dictionary it fails.
    EXPECT_FALSE(setLanguage("hollow"));
    EXPECT_EQ(currentLanguage(), "pirate");
    EXPECT_FALSE(setLanguage("nosuchlanguage"));
    setStartFolder("");
    ASSERT_TRUE(setLanguage("*"));
    EXPECT_EQ(currentLanguage(), "english");
    fs::remove_all(dir);
}

TEST_F(NamesTest, InternalNamesTranslate) {
    ASSERT_TRUE(setLanguage("english"));
    EXPECT_EQ(translateInternalName("\xB7print"), "print");
    EXPECT_EQ(translateInternalName("\xB7setpenColour"), setterOf(firstWord("dict", "penColour")));
    EXPECT_EQ(translateInternalName("\xB7print'rest"), "print'rest");
    EXPECT_EQ(translateInternalName("\xB7other\xB7true"), "true");
    EXPECT_EQ(translateInternalName("\xB7nosuchname"), "\xB7nosuchname");
    ASSERT_TRUE(setLanguage("czech"));
    EXPECT_EQ(translateInternalName("\xB7print"), "pi\x9A");
    Ref<tLogoString> w = makeWord("\xB7print");
    EXPECT_EQ(w->GetText(), "pi\x9A");
    EXPECT_EQ(translateText("x \xB7print y"), "x pi\x9A y");
    ASSERT_TRUE(setLanguage("english"));
}

TEST_F(NamesTest, EverySpellingIsRegistered) {
    auto codes = codesOf("print");
    ASSERT_GE(codes.size(), 2u);
    for (int32_t c : codes) {
        int32_t level = -1;
        EXPECT_NE(engine.mainObject().FindProc(c, -1, level), nullptr) << nameCodes().textOf(c);
    }
}

TEST_F(NamesTest, PropertyRowsAndClassSynonyms) {
    const PropertyRow& pc = propertyRow(47);
    EXPECT_EQ(pc.code, nameCodes().intern("penColour"));
    EXPECT_EQ(pc.setter, nameCodes().intern("setpenColour"));
    EXPECT_EQ(propertyRowOf(nameCodes().intern("PENCOLOUR")), 47);
    EXPECT_EQ(propertyRow(29).code, 0);   // an empty row
    EXPECT_EQ(propertyRow(185).code, 0);
    EXPECT_EQ(propertyRow(119).code, nameCodes().intern(firstWord("dict", "button32")));
    EXPECT_EQ(classNameCode(nameCodes().intern("no-such-class")), nameCodes().intern("no-such-class"));
    // Codes are handed out in a fixed order: the low range ends before the events begin.
    EXPECT_LT(specialCodes().lowRangeLimit, specialCodes().events.front());
    EXPECT_EQ(specialCodes().events.size(), 46u);
    EXPECT_LE(specialCodes().events.back(), specialCodes().eventLimit);
}

} // namespace
} // namespace qm
