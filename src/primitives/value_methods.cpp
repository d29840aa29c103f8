// The method tables of the value types: which operations each type answers, and the
// main object's primitives that send an operation to the type of one of their inputs.
#include "value_methods.h"

#include "evaluator.h"
#include "list_ops.h"
#include "name_codes.h"
#include "registry.h"
#include "word_ops.h"

namespace qm {

extern tLogoTab* g_stringMethods;
extern tLogoTab* g_intMethods;
extern tLogoTab* g_realMethods;
extern tLogoTab* g_boolMethods;
extern tLogoTab* g_listMethods;

namespace {

// Handlers are the value operations themselves, adapted to the method signature.
template <tlogoobject* (*F)(tlogoobject*)>
tlogoobject* m0(ProcessContext&, tlogoobject* self, tlogoobject**, int32_t) {
    return F(self);
}
template <tlogoobject* (*F)(tlogoobject*, tlogoobject*)>
tlogoobject* m1(ProcessContext&, tlogoobject* self, tlogoobject** a, int32_t) {
    return F(self, a[0]);
}
template <tlogoobject* (*F)(tlogoobject*, tlogoobject*, tlogoobject*)>
tlogoobject* m2(ProcessContext&, tlogoobject* self, tlogoobject** a, int32_t) {
    return F(self, a[0], a[1]);
}
template <bool (*F)(tlogoobject*, tlogoobject*)>
tlogoobject* mb1(ProcessContext&, tlogoobject* self, tlogoobject** a, int32_t) {
    return makeBool(F(self, a[0]));
}

bool valuesEqual(tlogoobject* a, tlogoobject* b) { return a->Equal(b); }
bool valuesNotEqual(tlogoobject* a, tlogoobject* b) { return a->NotEqual(b); }

// not of a list: the list is evaluated as an expression and its truth negated.
tlogoobject* mListNot(ProcessContext& cx, tlogoobject* self, tlogoobject**, int32_t) {
    Ref<tlogoobject> v = evaluateList(cx, self);
    return makeBool(!v->ToBool());
}

bool isWordText(tlogoobject* v, char c) {
    if (v->vkind != ValueKind::String) return false;
    const std::string_view t = v->TextView();
    return t.size() == 1 && t[0] == c;
}

// ! and !2: a copy of the list with every ":name" word replaced by the variable's value
// and every parenthesised group replaced by its value. !2 only looks at the values of a
// name/value list (the even positions) and leaves sublists alone.
tlogoobject* substitute(ProcessContext& cx, tLogoList* list, bool valuesOnly) {
    ListBuilder out;
    int32_t position = 0;
    tLogoList* c = list->IsEmpty() ? nullptr : list;
    while (c) {
        tlogoobject* e = c->element;
        const bool active = !valuesOnly || ++position % 2 == 0;
        if (active && isWordText(e, '(')) {
            ListBuilder group;
            int32_t depth = 0;
            tLogoList* d = c->rest;
            for (; d; d = d->rest) {
                if (isWordText(d->element, '(')) {
                    ++depth;
                } else if (isWordText(d->element, ')')) {
                    if (depth == 0) break;
                    --depth;
                }
                group.append(d->element);
            }
            if (!d) throw eLogoException(erMissingRpar);
            // The group is held until its value is stored: the value may live in its code.
            Ref<tLogoList> code = group.finish();
            Ref<tlogoobject> value = evaluateList(cx, code.get());
            out.append(value.get());
            c = d->rest;
            continue;
        }
        if (active && e->vkind == ValueKind::String) {
            const std::string_view t = e->TextView();
            if (t.size() > 1 && t[0] == ':') {
                out.append(readVariable(cx, nameCodes().intern(t.substr(1))));
                c = c->rest;
                continue;
            }
        }
        if (!valuesOnly && e->IsList() && !e->IsEmpty())
            out.append(substitute(cx, static_cast<tLogoList*>(e), false));
        else
            out.append(e);
        c = c->rest;
    }
    return out.finish();
}

tlogoobject* mBang(ProcessContext& cx, tlogoobject* self, tlogoobject**, int32_t) {
    return substitute(cx, static_cast<tLogoList*>(self), false);
}
tlogoobject* mBang2(ProcessContext& cx, tlogoobject* self, tlogoobject**, int32_t) {
    return substitute(cx, static_cast<tLogoList*>(self), true);
}

// Comparisons of every word type.
const MethodRow kWordComparisons[] = {
    {"<", 1, etRelOp, mb1<wordLess>, true},
    {">", 1, etRelOp, mb1<wordGreater>, true},
    {"<=", 1, etRelOp, mb1<wordLessEq>, true},
    {">=", 1, etRelOp, mb1<wordGreaterEq>, true},
    {"=", 1, etRelOp, mb1<valuesEqual>, true},
    {"<>", 1, etRelOp, mb1<valuesNotEqual>, true},
    {"less?", 1, etFun, mb1<wordLess>},
    {"greater?", 1, etFun, mb1<wordGreater>},
};

// Text operations of every word type (strings, integers, reals, booleans).
const MethodRow kWordOperations[] = {
    {"count", 0, etFun, m0<wordCount>},
    {"first", 0, etFun, m0<wordFirst>},
    {"butfirst", 0, etFun, m0<wordButfirst>},
    {"last", 0, etFun, m0<wordLast>},
    {"butlast", 0, etFun, m0<wordButlast>},
    {"shuffle", 0, etFun, m0<wordShuffle>},
    {"pick", 0, etFun, m0<wordPick>},
    {"reverse", 0, etFun, m0<wordReverse>},
    {"fput", 1, etFun, m1<wordFput>},
    {"lput", 1, etFun, m1<wordLput>},
    {"item", 1, etFun, m1<wordItem>},
    {"butmember", 1, etFun, m1<wordButmember>},
    {"frommember", 1, etFun, m1<wordFrommember>},
    {"butitem", 1, etFun, m1<wordButitem>},
    {"member?", 1, etFun, m1<wordMemberP>},
    {"member", 1, etFun, m1<wordMember>},
    {"replace", 2, etFun, m2<wordReplace>},
    {"ascii", 0, etFun, m0<wordAscii>},
    {"char", 0, etFun, m0<wordChar>},
};

const MethodRow kTruthNot[] = {{"not", 0, etFun, m0<wordNot>}};      // strings, booleans
const MethodRow kNumberNot[] = {{"not", 0, etFun, m0<numberNot>}};   // integers, reals
const MethodRow kBitnot[] = {{"bitnot", 0, etFun, m0<wordBitnot>}};  // strings, integers, booleans
const MethodRow kBoolDivMod[] = {
    {"div", 1, etFun, m1<boolNoArith>},
    {"mod", 1, etFun, m1<boolNoArith>},
};

// Arithmetic of strings, integers and reals (booleans have none).
const MethodRow kNumberArithmetic[] = {
    {"+", 1, etAddOp, m1<numAdd>, true},
    {"-", 1, etAddOp, m1<numSub>, true},
    {"*", 1, etMulOp, m1<numMul>, true},
    {"/", 1, etMulOp, m1<numDiv>, true},
    {"<unary ->", 0, etUnOp, m0<numNegate>, true},
    {"<unary +>", 0, etUnOp, m0<numIdentity>, true},
    {"difference", 1, etFun, m1<numSub>},
    {"quotient", 1, etFun, m1<numDiv>},
    {"div", 1, etFun, m1<numIntDiv>},
    {"mod", 1, etFun, m1<numMod>},
    {"random", 0, etFun, m0<numRandom>},
    {"abs", 0, etFun, m0<numAbs>},
    {"int", 0, etFun, m0<numInt>},
    {"round", 0, etFun, m0<numRound>},
    {"sin", 0, etFun, m0<numSin>},
    {"cos", 0, etFun, m0<numCos>},
    {"tan", 0, etFun, m0<numTan>},
    {"arctan", 0, etFun, m0<numArctan>},
    {"exp", 0, etFun, m0<numExp>},
    {"ln", 0, etFun, m0<numLn>},
    {"sqrt", 0, etFun, m0<numSqrt>},
};

const MethodRow kListOperations[] = {
    {"count", 0, etFun, m0<listCount>},
    {"first", 0, etFun, m0<listFirst>},
    {"butfirst", 0, etFun, m0<listButfirst>},
    {"last", 0, etFun, m0<listLast>},
    {"butlast", 0, etFun, m0<listButlast>},
    {"shuffle", 0, etFun, m0<listShuffle>},
    {"pick", 0, etFun, m0<listPick>},
    {"reverse", 0, etFun, m0<listReverse>},
    {"fput", 1, etFun, m1<listFput>},
    {"lput", 1, etFun, m1<listLput>},
    {"item", 1, etFun, m1<listItem>},
    {"butmember", 1, etFun, m1<listButmember>},
    {"frommember", 1, etFun, m1<listFrommember>},
    {"butitem", 1, etFun, m1<listButitem>},
    {"member?", 1, etFun, m1<listMemberP>},
    {"member", 1, etFun, m1<listMember>},
    {"replace", 2, etFun, m2<listReplace>},
    {"not", 0, etFun, mListNot},
    {"=", 1, etRelOp, mb1<valuesEqual>, true},
    {"<>", 1, etRelOp, mb1<valuesNotEqual>, true},
    {"div", 1, etFun, m1<listIntDiv>},
    {"mod", 1, etFun, m1<listMod>},
    {"+", 1, etAddOp, m1<listAdd>, true},
    {"-", 1, etAddOp, m1<listSub>, true},
    {"*", 1, etMulOp, m1<listMul>, true},
    {"/", 1, etMulOp, m1<listDiv>, true},
    {"difference", 1, etFun, m1<listSub>},
    {"<unary ->", 0, etUnOp, m0<listNegate>, true},
    {"<unary +>", 0, etUnOp, m0<listIdentity>, true},
    {"random", 0, etFun, m0<listRandom>},
    {"abs", 0, etFun, m0<listAbs>},
    {"int", 0, etFun, m0<listInt>},
    {"round", 0, etFun, m0<listRound>},
    {"sort", 0, etFun, m0<listSort>},
    {"randompos", 0, etFun, m0<listRandompos>},
    {"vectorangle", 1, etFun, m1<listVectorangle>},
    {"deepitem", 1, etFun, m1<listDeepitem>},
    {"deepreplace", 2, etFun, m2<listDeepreplace>},
    {"!", 0, etFun, mBang},
    {"!2", 0, etFun, mBang2},
    {"spline", 0, etFun, m0<listSpline>},
    {"rotate", 1, etFun, m1<listRotate>},
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
    Tables& t = *g_tables;
    for (tLogoTab* tab : {&t.strings, &t.ints, &t.reals, &t.bools, &t.lists}) tab->shared = true;
    for (tLogoTab* tab : {&t.strings, &t.ints, &t.reals, &t.bools}) {
        addMethods(*tab, kWordOperations);
        addMethods(*tab, kWordComparisons);
    }
    for (tLogoTab* tab : {&t.strings, &t.bools}) addMethods(*tab, kTruthNot);
    for (tLogoTab* tab : {&t.ints, &t.reals}) addMethods(*tab, kNumberNot);
    for (tLogoTab* tab : {&t.strings, &t.ints, &t.bools}) addMethods(*tab, kBitnot);
    for (tLogoTab* tab : {&t.strings, &t.ints, &t.reals}) addMethods(*tab, kNumberArithmetic);
    addMethods(t.bools, kBoolDivMod);
    addMethods(t.lists, kListOperations);
    g_stringMethods = &t.strings;
    g_intMethods = &t.ints;
    g_realMethods = &t.reals;
    g_boolMethods = &t.bools;
    g_listMethods = &t.lists;
}

void destroyValueMethodTables() {
    delete g_tables;
    g_tables = nullptr;
    g_stringMethods = g_intMethods = g_realMethods = g_boolMethods = g_listMethods = nullptr;
}

void registerValueOperations(tMainLogoObject& main) {
    // Selection: E1/E2 the last input, F2 the first, N3 the second of three.
    constexpr DescKind E = DescKind::SendEnd, F = DescKind::SendFirst, N = DescKind::SendN;
    static const PrimitiveRow rows[] = {
        {"count", E, 1, false, etFun, nullptr},
        {"first", E, 1, false, etFun, nullptr},
        {"!", E, 1, false, etFun, nullptr},
        {"!2", E, 1, false, etFun, nullptr},
        {"fput", E, 2, false, etFun, nullptr},
        {"lput", E, 2, false, etFun, nullptr},
        {"+", F, 2, false, etAddOp, nullptr, 0, true},
        {"-", F, 2, false, etAddOp, nullptr, 0, true},
        {"<unary ->", E, 1, false, etUnOp, nullptr, 0, true},
        {"<unary +>", E, 1, false, etUnOp, nullptr, 0, true},
        {"*", F, 2, false, etMulOp, nullptr, 0, true},
        {"/", F, 2, false, etMulOp, nullptr, 0, true},
        {"quotient", F, 2, false, etFun, nullptr},
        {"difference", F, 2, false, etFun, nullptr},
        {"random", E, 1, false, etFun, nullptr},
        {"randompos", E, 1, false, etFun, nullptr},
        {"abs", E, 1, false, etFun, nullptr},
        {"int", E, 1, false, etFun, nullptr},
        {"round", E, 1, false, etFun, nullptr},
        {"sin", E, 1, false, etFun, nullptr},
        {"cos", E, 1, false, etFun, nullptr},
        {"tan", E, 1, false, etFun, nullptr},
        {"arctan", E, 1, false, etFun, nullptr},
        {"exp", E, 1, false, etFun, nullptr},
        {"ln", E, 1, false, etFun, nullptr},
        {"sqrt", E, 1, false, etFun, nullptr},
        {"vectorangle", F, 2, false, etFun, nullptr},
        {"spline", E, 1, false, etFun, nullptr},
        {"rotate", E, 2, false, etFun, nullptr},
        {"butfirst", E, 1, false, etFun, nullptr},
        {"last", E, 1, false, etFun, nullptr},
        {"butlast", E, 1, false, etFun, nullptr},
        {"shuffle", E, 1, false, etFun, nullptr},
        {"sort", E, 1, false, etFun, nullptr},
        {"pick", E, 1, false, etFun, nullptr},
        {"reverse", E, 1, false, etFun, nullptr},
        {"ascii", E, 1, false, etFun, nullptr},
        {"char", E, 1, false, etFun, nullptr},
        {"bitnot", E, 1, false, etFun, nullptr},
        {"not", E, 1, false, etIfFun, nullptr},  // its input is a whole expression
        {"butmember", E, 2, false, etFun, nullptr},
        {"less?", F, 2, false, etFun, nullptr},
        {"greater?", F, 2, false, etFun, nullptr},
        {"<", F, 2, false, etRelOp, nullptr, 0, true},
        {">", F, 2, false, etRelOp, nullptr, 0, true},
        {"<=", F, 2, false, etRelOp, nullptr, 0, true},
        {">=", F, 2, false, etRelOp, nullptr, 0, true},
        {"=", F, 2, false, etRelOp, nullptr, 0, true},
        {"<>", F, 2, false, etRelOp, nullptr, 0, true},
        {"div", F, 2, false, etFun, nullptr},
        {"mod", F, 2, false, etFun, nullptr},
        {"item", E, 2, false, etFun, nullptr},
        {"frommember", E, 2, false, etFun, nullptr},
        {"member?", E, 2, false, etFun, nullptr},
        {"member", E, 2, false, etFun, nullptr},
        {"replace", N, 3, false, etFun, nullptr, 1},
        {"deepreplace", N, 3, false, etFun, nullptr, 1},
        {"deepitem", E, 2, false, etFun, nullptr},
        {"butitem", E, 2, false, etFun, nullptr},
    };
    addPrimitives(main.procedures, rows);
}

} // namespace qm
