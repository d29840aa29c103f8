// The object text form: the exact lines an object is written as, images written as the
// empty list with their reference table and put back when read, the splitting of loaded
// text into instructions, and the saved forms of a state list.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "global_lock.h"
#include "name_codes.h"
#include "object_text.h"
#include "reader.h"
#include "test_engine.h"

namespace qm {
namespace {

class FakeImage : public tlogoobject {
public:
    FakeImage() : tlogoobject(ValueKind::Image) {}
};

class ObjectText : public testing::EngineFixture {
protected:
    tmultiobject* object(const std::string& name) {
        Ref<tlogoobject> w = makeRawWord(name);
        return findObject(mainObjectRecord(), w.get());
    }
    void run(const std::string& text) { ASSERT_TRUE(engine.runInstructions(text)) << text; }
};

TEST_F(ObjectText, AnInstanceIsWrittenAsItsCreatingLineAndItsEntries) {
    run("newclass [] \"dog [legs 4 common'kind canine]");
    run("new \"dog [name rex]");
    run("ask \"rex [setlegs 3 haveown \"speed 9 define \"bark [[] [print \"|a b|]]]");
    run("ask \"rex [setevent \"onClick [bark]]");
    engine.runInstructions("ask \"rex [haveown \"@hidden 1]");  // declared, then error 127
    LockedScope locked;
    ObjectTextWriter w;
    w.writeDefinition(object("dog"));
    w.writeDefinition(object("rex"));
    w.writeLinks(object("rex"));
    EXPECT_EQ(w.text(),
              "newclass \"main \"dog [\r\n"
              "\tlegs 4\r\n"
              "\tcommon'kind canine\r\n"
              "\r\n"
              ".new. \"dog [.name rex\r\n"
              "\tlegs 3\r\n"
              "\tspeed 9\r\n"
              "\tdefine'bark [[] [print \"|a b|]]\r\n"
              "\tevent'onClick [bark]\r\n"
              "\r\n");
}

TEST_F(ObjectText, BehavioursAreWrittenAsLinksAndReferencesMayNameACopy) {
    run("newclass [] \"swimmer [] newclass [] \"runner [] newclass [] \"dog []");
    run("new \"dog [name rex] ask \"rex [addBehaviour \"swimmer addBehaviour \"runner]");
    run("new \"dog [name rex2]");
    LockedScope locked;
    ObjectTextWriter w;
    w.substitute(object("rex"), object("rex2"));
    w.writeLinks(object("rex"));
    EXPECT_EQ(w.text(), "rex2'.addbehaviour \"swimmer\r\nrex2'.addbehaviour \"runner\r\n");
}

TEST_F(ObjectText, GlobalVariablesAreMakeLines) {
    LockedScope locked;
    ObjectTextWriter w;
    Ref<tlogoobject> word = makeRawWord("two words");
    Ref<tlogoobject> number = makeInt(7);
    Ref<tLogoList> list = parse("a [b c]");
    w.writeGlobalVariable(nameCodes().intern("w"), word.get());
    w.writeGlobalVariable(nameCodes().intern("n"), number.get());
    w.writeGlobalVariable(nameCodes().intern("l"), list.get());
    EXPECT_EQ(w.text(), "make \"w \"|two words|\r\nmake \"n 7\r\nmake \"l [a [b c]]\r\n");
}

// Images are written as [] and recorded as [N j p1 ...]; the reading gives the same
// image objects back in the same places.
TEST_F(ObjectText, ImagesGoOutAsEmptyListsAndComeBackInTheirPlaces) {
    run("newclass [] \"holder []");
    run("new \"holder [name h1]");
    Ref<FakeImage> image = new FakeImage();
    {
        LockedScope locked;
        tmultiobject* h1 = object("h1");
        // [a [IMAGE b]]
        ListBuilder in;
        in.append(image.get());
        Ref<tlogoobject> b = makeRawWord("b");
        in.append(b.get());
        Ref<tLogoList> inner = in.finish();
        ListBuilder out;
        Ref<tlogoobject> a = makeRawWord("a");
        out.append(a.get());
        out.append(inner.get());
        Ref<tLogoList> value = out.finish();
        h1->declareOwn(nameCodes().intern("apic"), image.get());
        h1->declareOwn(nameCodes().intern("bpics"), value.get());
    }
    std::string text;
    std::vector<Ref<tlogoobject>> images;
    {
        LockedScope locked;
        ObjectTextWriter w;
        w.writeDefinition(object("h1"));
        text = w.text();
        images = w.images();
    }
    EXPECT_EQ(text,
              ".new. \"holder [.name h1\r\n"
              "\tapic []\r\n"
              "\tbpics [a [[] b]]\r\n"
              "\t[[1 1] [1 2 2 1]]\r\n"
              "\r\n");
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].get(), image.get());

    engine.runInMain([&](ProcessContext& cx) {
        NamedValues settings;
        settings.emplace_back(makeRawWord("name"), makeRawWord("h2"));
        ObjectTextReading reading(cx, settings);
        EXPECT_NE(reading.run(text, images), nullptr);
    }, true);
    LockedScope locked;
    tmultiobject* h2 = object("h2");
    EXPECT_EQ(h2->getVariable(nameCodes().intern("apic")), image.get());
    auto* pics = static_cast<tLogoList*>(h2->getVariable(nameCodes().intern("bpics")));
    auto* inner = static_cast<tLogoList*>(pics->rest->element);
    EXPECT_EQ(inner->element, image.get());
    EXPECT_EQ(inner->rest->element->PrintText(false), "b");
}

TEST_F(ObjectText, TheSavedFormTakesTheTableOffAndConvertsRowNumbers) {
    LockedScope locked;
    Ref<tLogoList> odd = parse("5 [1 2] 132 x speed 3 [[9 0]]");
    Ref<tLogoList> even = parse("5 [1 2] 500 x");
    // No loaded images: the table goes, the values stay.
    EXPECT_EQ(stateListSavedForm(odd.get())->ShowText(false), "size [1 2] .name x speed 3");
    EXPECT_EQ(stateListSavedForm(even.get())->ShowText(false), "size [1 2] 500 x");
    // The codes form keeps a last odd element as it is.
    EXPECT_EQ(stateListCodesForm(odd.get())->ShowText(false), "size [1 2] .name x speed 3 [[9 0]]");

    Ref<FakeImage> image = new FakeImage();
    LoadedImages loaded({Ref<tlogoobject>(image.get())});
    NamedValues pairs;
    pairs.emplace_back(makeRawWord("a"), parse("x [y z]"));
    pairs.emplace_back(makeRawWord("b"), makeRawWord("w"));
    pairs.emplace_back(makeRawWord("c"), makeRawWord("v"));
    // [1 0 2 2] inside a list; [1 1 3] inside a word (stays); [2 2] no such image;
    // [1 7] no such pair; [1 2] a whole value.
    Ref<tLogoList> table = parse("[1 0 2 2] [1 1 3] [2 2] [1 7] [1 2] x");
    applyImageTable(pairs, table.get());
    auto* a = static_cast<tLogoList*>(pairs[0].second.get());
    EXPECT_EQ(static_cast<tLogoList*>(a->rest->element)->rest->element, image.get());
    EXPECT_EQ(pairs[1].second->PrintText(false), "w");
    EXPECT_EQ(pairs[2].second.get(), image.get());
}

struct SplitCase {
    const char* what;
    std::string text;
    std::vector<std::string> instructions;  // a leading '!' marks a definition
};

class SplitLoadedText : public ObjectText, public ::testing::WithParamInterface<SplitCase> {};

TEST_P(SplitLoadedText, GivesTheInstructions) {
    const SplitCase& c = GetParam();
    std::vector<std::string> got;
    for (const LoadedInstruction& in : splitLoadedText(c.text)) got.push_back((in.definition ? "!" : "") + in.text);
    EXPECT_EQ(got, c.instructions) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SplitLoadedText,
    ::testing::Values(
        SplitCase{"lines join until an empty line", "\r\n\r\nprint 1\r\nprint 2\r\n\r\n\r\nprint 3\r\n",
                  {"print 1 print 2", "print 3"}},
        SplitCase{"lone CR and LF end lines too", "a\rb\n\nc", {"a b", "c"}},
        SplitCase{"a zero byte ends a line", std::string("a\0b\r\n\r\nc", 9), {"a b", "c"}},
        SplitCase{"tabs are blanks", "x [\r\n\tk\tv\r\n\r\n", {"x [  k v"}},
        SplitCase{";! puts one instruction on each line", ";!\r\nprint 1\r\nprint 2", {";!", "print 1", "print 2"}},
        SplitCase{"a first line ending in ~ does the same", "a~\r\nb\r\nc", {"a b", "c"}},
        SplitCase{"~ goes on across an empty line", "x\r\n\r\na~\r\n\r\nb\r\n\r\nc", {"x", "a  b", "c"}},
        SplitCase{"a definition keeps its lines", "to sq :x\r\noutput :x * :x\r\nend\r\nprint sq 3",
                  {"!to sq :x\xB6output :x * :x\xB6" "end", "print sq 3"}},
        SplitCase{"a definition of an object", "rex'to bark~\r\nprint 1\r\nend\r\n",
                  {"!rex'to bark\xB6print 1\xB6" "end"}},
        SplitCase{"an unfinished definition ends with the text", "to f\r\nprint 1", {"!to f\xB6print 1\xB6"}},
        SplitCase{"nothing but line ends", "\r\n\r\n", {}}));

// A control byte in the text is a damaged project, also the end-of-file byte: it does
// not silently cut the text short.
TEST_F(ObjectText, ControlBytesAreErrors) {
    for (const std::string& text : {std::string("print 1\x01"), std::string("print 1\r\n\x1A\r\nprint 2")}) {
        try {
            splitLoadedText(text);
            ADD_FAILURE() << "no error for a control byte";
        } catch (eLogoException& e) {
            EXPECT_EQ(e.code, erQuelmarProject);
        }
    }
}

} // namespace
} // namespace qm
