// User procedures seen from inside the process context: whatever a program does,
// frames, the value stack and the evaluator's counters come back to where they were.
#include <gtest/gtest.h>

#include "error_text.h"
#include "procedures.h"
#include "script.h"
#include "name_codes.h"
#include "platform/thread.h"
#include "test_engine.h"

namespace qm {
namespace {

struct Balance {
    const char* name;
    const char* program;
    int errors;  // errors the program reports
};

class ProcedureBalance : public ::testing::TestWithParam<Balance> {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(engine.start("english", error)) << error;
        engine.errorSink = [this](const eLogoException& e) { reports.push_back(errorReport(e)); };
    }
    Engine engine;
    std::vector<std::string> reports;
};

const char* const kDefinitions =
    "to down :n\rif :n = 0 [stop]\rdown :n - 1\rend\r"
    "to downout :n\rif :n = 0 [output 0]\routput downout :n - 1\rend\r"
    "to chain :n :acc\rif :n = 0 [output :acc]\rchain :n - 1 :acc + 1\rend\r"
    "to failsat :n\rif :n = 0 [print 1 / 0]\rfailsat :n - 1\rend\r"
    "to collect :a [2]\rif empty? :a [stop]\r(collect)\rend\r"
    "to localdeep :n\rlocal \"x\rmake \"x :n\rif :n = 0 [throw \"done]\rlocaldeep :n - 1\rend\r";

TEST_P(ProcedureBalance, LeavesTheContextAsItFoundIt) {
    ProcessContext& cx = engine.context();
    ASSERT_EQ(runScript(engine, kDefinitions), 0);
    const int32_t frames = cx.localScope->frameDepth();
    // Deep recursion needs the stack a Logo process gets.
    int errors = -1;
    platform::runOnLargeStack([&] {
        setLogoThread(true);
        errors = runScript(engine, GetParam().program);
    });
    EXPECT_EQ(errors, GetParam().errors) << (reports.empty() ? std::string() : reports.back());
    EXPECT_EQ(cx.localScope->frameDepth(), frames);
    EXPECT_EQ(cx.valueStack.count(), 0);
    EXPECT_EQ(cx.evalDepth, 0);
    EXPECT_EQ(cx.stopPending, 0);
    EXPECT_EQ(cx.pendingTail.desc, nullptr);
    EXPECT_EQ(cx.repCount, 0);
    EXPECT_TRUE(cx.catchTags.empty());
}

const Balance kBalanceCases[] = {
    {"TailChain", "down 1000", 0},
    {"TailChainEndingInError", "failsat 50", 1},
    {"TailChainCaught", "catch \"error [failsat 50]", 0},
    {"TailCallAsReporter", "print chain 10 0", 1},
    {"ReporterRecursion", "print downout 100", 0},
    {"TooDeep", "print downout 20000", 1},
    {"TooDeepCaught", "catch \"error [print downout 20000]", 0},
    {"CollectingTailCall", "collect 1 2", 0},
    {"ThrowThroughFrames", "catch \"done [localdeep 20]", 0},
    {"ThrowThroughLoops", "catch \"t [repeat 3 [for \"i [1 5] [foreach \"w [a b] [throw \"t]]]]", 0},
    {"StopInLoopInProcedure", "to s\rrepeat 5 [if repcount = 2 [stop]]\rend\rs", 0},
    {"OutputAtTopLevel", "output 5", 1},
    {"ApplyTemplateFails", "catch \"error [print map [1 / :%] [1 0]]", 0},
};

INSTANTIATE_TEST_SUITE_P(Programs, ProcedureBalance, ::testing::ValuesIn(kBalanceCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The source text is what text-defined procedures keep; without it the text is
// regenerated from the definition list, and error lines are counted on that text.
class DefinitionTextTest : public testing::EngineFixture {};

TEST_F(DefinitionTextTest, TextOfAListDefinition) {
    ASSERT_EQ(runScript(engine, "define \"p [[a b] [print :a] [print :b]]\r"
                                "define \"v [[rest [3]] [show :rest]]"),
              0);
    auto* p = static_cast<tLogoProcDesc*>(engine.mainObject().procedures.FindEntry(nameCodes().intern("p")));
    auto* v = static_cast<tLogoProcDesc*>(engine.mainObject().procedures.FindEntry(nameCodes().intern("v")));
    ASSERT_NE(p, nullptr);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(p->DefinitionText(), "to p :a :b\r\n print :a\r\n print :b\r\nend");
    EXPECT_EQ(v->DefinitionText(), "to v :rest [3]\r\n show :rest\r\nend");
    EXPECT_TRUE(v->varpar);
    EXPECT_EQ(v->defpar, 3);
}

TEST_F(DefinitionTextTest, SourceTextIsKept) {
    const std::string text = "to greet :who\r\n  ; say hello\r\n  print :who\r\nend";
    tLogoProcDesc* d = defineFromText(engine.mainObject().procedures, text);
    EXPECT_EQ(d->DefinitionText(), text);
    EXPECT_EQ(d->inputCount, 1);
    Ref<tlogoobject> list = d->DefinitionList();
    EXPECT_EQ(list->ShowText(true), "[[who] [print :who]]");
}

TEST_F(DefinitionTextTest, HeaderForms) {
    tLogoTab& t = engine.mainObject().procedures;
    EXPECT_TRUE(defineFromText(t, "to a :x [2]\rshow :x\rend")->varpar);
    EXPECT_TRUE(defineFromText(t, "to b [:x 2]\rshow :x\rend")->varpar);
    EXPECT_EQ(defineFromText(t, "to c x y\rend")->inputCount, 2);
    EXPECT_EQ(defineFromText(t, "TO d\r\rEND")->inputCount, 0);
    EXPECT_THROW(defineFromText(t, "to\rend"), eLogoException);
    EXPECT_THROW(defineFromText(t, "print 1"), eLogoException);
}

} // namespace
} // namespace qm
