// What call sites rely on: every change to a table moves the lookup generation on, and
// the local scope tells a bound name without a value from a name no frame binds.
#include <gtest/gtest.h>

#include "context.h"
#include "tables.h"

namespace qm {
namespace {

class Entry : public tTabDesc {
public:
    using tTabDesc::tTabDesc;
};

TEST(LookupGeneration, EveryTableChangeMovesItOn) {
    auto changes = [](auto&& step) {
        const uint64_t before = lookupGeneration();
        step();
        return lookupGeneration() != before;
    };
    auto* t = new tLogoTab();
    EXPECT_TRUE(changes([&] { t->add(new Entry(7)); }));
    EXPECT_TRUE(changes([&] { t->add(new Entry(7)); }));  // replacing
    EXPECT_TRUE(changes([&] { t->remove(7); }));
    EXPECT_FALSE(changes([&] { t->removeIfPresent(7); }));  // nothing was there
    EXPECT_FALSE(changes([&] { (void)t->FindEntry(7); }));
    t->add(new Entry(8));
    t->add(new Entry(9));
    EXPECT_TRUE(changes([&] { t->EraseAll(9); }));
    EXPECT_TRUE(changes([&] { delete t; }));
}

TEST(LocalScope, BindingsWithAndWithoutValues) {
    ProcessContext cx;
    tLogoLocaltab& scope = *cx.localScope;
    EXPECT_EQ(scope.binding(40), nullptr);
    EXPECT_EQ(scope.binding(100000), nullptr);  // beyond every slot yet made
    scope.declareLocal(40, nullptr);
    ASSERT_NE(scope.binding(40), nullptr);
    EXPECT_EQ(*scope.binding(40), nullptr);  // bound, no value

    Ref<tlogoobject> one = makeInt(1);
    cx.valueStack.push(one.get());
    const int32_t names[] = {40};
    scope.openFrame(cx, names, 1);
    EXPECT_EQ(*scope.binding(40), one.get());
    scope.closeFrame();
    ASSERT_NE(scope.binding(40), nullptr);
    EXPECT_EQ(*scope.binding(40), nullptr);  // the outer binding is back
    EXPECT_EQ(one->referenceCount, 1);       // only our hold is left

    cx.valueStack.push(one.get());
    const int32_t fresh[] = {41};
    scope.openFrame(cx, fresh, 1);
    scope.closeFrame();
    EXPECT_EQ(scope.binding(41), nullptr);  // a name the frame bound first is unbound again
    EXPECT_THROW(scope.declareLocal(-1, nullptr), eLogoException);
}

TEST(ValueStack, ReplacingTheTopTwoKeepsTheCounts) {
    tLogoStack stack;
    Ref<tlogoobject> a = makeInt(1), b = makeInt(2), r = makeInt(3);
    stack.push(a.get());
    stack.push(b.get());
    stack.replaceTopTwo(r.get());
    EXPECT_EQ(stack.count(), 1);
    EXPECT_EQ(stack.top(), r.get());
    EXPECT_EQ(a->referenceCount, 1);
    EXPECT_EQ(b->referenceCount, 1);
    EXPECT_EQ(r->referenceCount, 2);
    EXPECT_THROW(stack.replaceTopTwo(r.get()), eLogoException);
    stack.truncate(0);
}

} // namespace
} // namespace qm
