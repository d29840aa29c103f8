// The method tables of the value types: which operations each type answers.
#include "value_methods.h"

#include "registry.h"
#include "word_ops.h"

namespace qm {

extern tLogoTab* g_stringMethods;
extern tLogoTab* g_intMethods;
extern tLogoTab* g_realMethods;
extern tLogoTab* g_boolMethods;
extern tLogoTab* g_listMethods;

namespace {

tlogoobject* mAdd(ProcessContext&, tlogoobject* self, tlogoobject** a, int32_t) { return numAdd(self, a[0]); }
tlogoobject* mSub(ProcessContext&, tlogoobject* self, tlogoobject** a, int32_t) { return numSub(self, a[0]); }
tlogoobject* mMul(ProcessContext&, tlogoobject* self, tlogoobject** a, int32_t) { return numMul(self, a[0]); }
tlogoobject* mDiv(ProcessContext&, tlogoobject* self, tlogoobject** a, int32_t) { return numDiv(self, a[0]); }
tlogoobject* mNeg(ProcessContext&, tlogoobject* self, tlogoobject**, int32_t) { return numNegate(self); }
tlogoobject* mPlus(ProcessContext&, tlogoobject* self, tlogoobject**, int32_t) { return numIdentity(self); }
tlogoobject* mLess(ProcessContext&, tlogoobject* self, tlogoobject** a, int32_t) { return makeBool(wordLess(self, a[0])); }
tlogoobject* mGreater(ProcessContext&, tlogoobject* self, tlogoobject** a, int32_t) {
    return makeBool(wordGreater(self, a[0]));
}
tlogoobject* mLessEq(ProcessContext&, tlogoobject* self, tlogoobject** a, int32_t) {
    return makeBool(wordLessEq(self, a[0]));
}
tlogoobject* mGreaterEq(ProcessContext&, tlogoobject* self, tlogoobject** a, int32_t) {
    return makeBool(wordGreaterEq(self, a[0]));
}
tlogoobject* mEqual(ProcessContext&, tlogoobject* self, tlogoobject** a, int32_t) { return makeBool(self->Equal(a[0])); }
tlogoobject* mNotEqual(ProcessContext&, tlogoobject* self, tlogoobject** a, int32_t) {
    return makeBool(self->NotEqual(a[0]));
}

// Operations of every word type.
const MethodRow kWordComparisons[] = {
    {"<", 1, etRelOp, mLess, true},
    {">", 1, etRelOp, mGreater, true},
    {"<=", 1, etRelOp, mLessEq, true},
    {">=", 1, etRelOp, mGreaterEq, true},
    {"=", 1, etRelOp, mEqual, true},
    {"<>", 1, etRelOp, mNotEqual, true},
    {"less?", 1, etFun, mLess},
    {"greater?", 1, etFun, mGreater},
};

// Arithmetic of strings, integers and reals (booleans have none).
const MethodRow kNumberArithmetic[] = {
    {"+", 1, etAddOp, mAdd, true},
    {"-", 1, etAddOp, mSub, true},
    {"*", 1, etMulOp, mMul, true},
    {"/", 1, etMulOp, mDiv, true},
    {"<unary ->", 0, etUnOp, mNeg, true},
    {"<unary +>", 0, etUnOp, mPlus, true},
    {"difference", 1, etFun, mSub},
    {"quotient", 1, etFun, mDiv},
};

const MethodRow kListComparisons[] = {
    {"=", 1, etRelOp, mEqual, true},
    {"<>", 1, etRelOp, mNotEqual, true},
};

struct Tables {
    tLogoTab strings, ints, reals, bools, lists;
};
Tables* g_tables = nullptr;

} // namespace

ValueTables valueTables() {
    return {&g_tables->strings, &g_tables->ints, &g_tables->reals, &g_tables->bools, &g_tables->lists};
}

void buildValueMethodTables() {
    if (g_tables) return;
    g_tables = new Tables();
    for (tLogoTab* t : {&g_tables->strings, &g_tables->ints, &g_tables->reals, &g_tables->bools, &g_tables->lists})
        t->shared = true;
    for (tLogoTab* t : {&g_tables->strings, &g_tables->ints, &g_tables->reals, &g_tables->bools})
        addMethods(*t, kWordComparisons);
    for (tLogoTab* t : {&g_tables->strings, &g_tables->ints, &g_tables->reals}) addMethods(*t, kNumberArithmetic);
    addMethods(g_tables->lists, kListComparisons);
    g_stringMethods = &g_tables->strings;
    g_intMethods = &g_tables->ints;
    g_realMethods = &g_tables->reals;
    g_boolMethods = &g_tables->bools;
    g_listMethods = &g_tables->lists;
}

void destroyValueMethodTables() {
    delete g_tables;
    g_tables = nullptr;
    g_stringMethods = g_intMethods = g_realMethods = g_boolMethods = g_listMethods = nullptr;
}

void registerValueOperations(tMainLogoObject& main) {
    static const PrimitiveRow rows[] = {
        {"+", DescKind::SendFirst, 2, false, etAddOp, nullptr, 0, true},
        {"-", DescKind::SendFirst, 2, false, etAddOp, nullptr, 0, true},
        {"<unary ->", DescKind::SendEnd, 1, false, etUnOp, nullptr, 0, true},
        {"<unary +>", DescKind::SendEnd, 1, false, etUnOp, nullptr, 0, true},
        {"*", DescKind::SendFirst, 2, false, etMulOp, nullptr, 0, true},
        {"/", DescKind::SendFirst, 2, false, etMulOp, nullptr, 0, true},
        {"quotient", DescKind::SendFirst, 2, false, etFun, nullptr},
        {"difference", DescKind::SendFirst, 2, false, etFun, nullptr},
        {"less?", DescKind::SendFirst, 2, false, etFun, nullptr},
        {"greater?", DescKind::SendFirst, 2, false, etFun, nullptr},
        {"<", DescKind::SendFirst, 2, false, etRelOp, nullptr, 0, true},
        {">", DescKind::SendFirst, 2, false, etRelOp, nullptr, 0, true},
        {"<=", DescKind::SendFirst, 2, false, etRelOp, nullptr, 0, true},
        {">=", DescKind::SendFirst, 2, false, etRelOp, nullptr, 0, true},
        {"=", DescKind::SendFirst, 2, false, etRelOp, nullptr, 0, true},
        {"<>", DescKind::SendFirst, 2, false, etRelOp, nullptr, 0, true},
    };
    addPrimitives(main.procedures, rows);
}

} // namespace qm
