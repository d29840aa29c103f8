// Variables and definitions: make, thing, local, let, inc, dec, the object-variable
// primitives as the main object answers them, define and text.
#include "control_support.h"
#include "dictionary.h"
#include "evaluator.h"
#include "name_codes.h"
#include "primitives.h"
#include "procedures.h"
#include "reader.h"
#include "registry.h"
#include "word_ops.h"

namespace qm {

namespace {

void primMake(ProcessContext& cx, int32_t n) {
    assignVariable(cx, variableNameCode(input(cx, n, 0)), input(cx, n, 1));
    finish(cx, n, nullptr);
}

void primNameCommand(ProcessContext& cx, int32_t n) {
    assignVariable(cx, variableNameCode(input(cx, n, 1)), input(cx, n, 0));
    finish(cx, n, nullptr);
}

void primThing(ProcessContext& cx, int32_t n) {
    tlogoobject* v = readVariable(cx, variableNameCode(input(cx, n, 0)));
    finish(cx, n, v);
}

// The main object's own variables are the global ones; objects answer these with
// their own tables.
void primSet(ProcessContext& cx, int32_t n) {
    globals().variables->Set(variableNameCode(input(cx, n, 0)), input(cx, n, 1));
    finish(cx, n, nullptr);
}

void primGet(ProcessContext& cx, int32_t n) {
    tlogoobject* v = globals().variables->Get(variableNameCode(input(cx, n, 0)));
    finish(cx, n, v);
}

void primHave(ProcessContext& cx, int32_t n) {
    globals().variables->SetWithFlags(variableNameCode(input(cx, n, 0)), input(cx, n, 1), 0);
    finish(cx, n, nullptr);
}

void declareNames(ProcessContext& cx, tlogoobject* v, bool nested) {
    if (v->IsWord()) {
        cx.localScope->declareLocal(variableNameCode(v), nullptr);
        return;
    }
    if (!v->IsList() || nested) throw eLogoException(erExpectWord, v);
    auto* l = static_cast<tLogoList*>(v);
    for (tLogoList* c = l->IsEmpty() ? nullptr : l; c; c = c->rest) declareNames(cx, c->element, true);
}

void primLocal(ProcessContext& cx, int32_t n) {
    for (int32_t i = 0; i < n; ++i) declareNames(cx, input(cx, n, i), false);
    finish(cx, n, nullptr);
}

// A name inside a let list may be written quoted.
int32_t letNameCode(tlogoobject* v) {
    if (v->IsWord() && !v->GetText().empty() && v->GetText()[0] == '"') {
        Ref<tlogoobject> bare = makeRawWord(v->GetText().substr(1));
        return variableNameCode(bare.get());
    }
    return variableNameCode(v);
}

// A let list: names and value expressions alternately. ":name" is the variable's value,
// "(" ... ")" is evaluated, anything else is taken as it stands.
void letList(ProcessContext& cx, tLogoList* l) {
    for (tLogoList* c = l->IsEmpty() ? nullptr : l; c;) {
        const int32_t code = letNameCode(c->element);
        tLogoList* valueCell = c->rest;
        if (!valueCell) throw eLogoException(erBadStructure, l);
        Ref<tlogoobject> value = pairValue(cx, valueCell, c);
        cx.localScope->declareLocal(code, value.get());
    }
}

void primLet(ProcessContext& cx, int32_t n) {
    for (int32_t i = 0; i < n;) {
        tlogoobject* v = input(cx, n, i);
        if (v->IsList()) {
            letList(cx, static_cast<tLogoList*>(v));
            ++i;
            continue;
        }
        if (i + 1 >= n) throw eLogoException::withName(erNotEnoughInputs, firstWord("dict", "let"));
        cx.localScope->declareLocal(letNameCode(v), input(cx, n, i + 1));
        i += 2;
    }
    finish(cx, n, nullptr);
}

// inc and dec: by 1 an integer stays an integer and anything else becomes a real; with
// an amount the value's own arithmetic is used.
void step(ProcessContext& cx, int32_t n, int sign, const char* internalName) {
    if (n < 1) throw eLogoException::withName(erNotEnoughInputs, firstWord("dict", internalName));
    if (n > 2) throw eLogoException::withName(erTooManyInputs, firstWord("dict", internalName));
    const int32_t code = variableNameCode(input(cx, n, 0));
    Ref<tlogoobject> old = readVariable(cx, code);
    Ref<tlogoobject> result;
    if (n == 1) {
        if (old->IsNumber() && old->IsInteger()) result = makeNumber(int64_t(old->ToInt()) + sign);
        else result = realResult(old->ToReal() + sign);
    } else {
        if (!old->IsNumber()) throw eLogoException(erExpectNumber, old.get());
        tlogoobject* amount = input(cx, n, 1);
        result = sign > 0 ? numAdd(old.get(), amount) : numSub(old.get(), amount);
    }
    assignVariable(cx, code, result.get());
    finish(cx, n, nullptr);
}
void primInc(ProcessContext& cx, int32_t n) { step(cx, n, 1, "inc"); }
void primDec(ProcessContext& cx, int32_t n) { step(cx, n, -1, "dec"); }

void primDefine(ProcessContext& cx, int32_t n) {
    defineProcedure(ownProcedureTable(cx), input(cx, n, 0), input(cx, n, 1));
    finish(cx, n, nullptr);
}

// text of a name: the definition list of the current object's own procedure; text of
// a list: each element's text read as one line.
void primText(ProcessContext& cx, int32_t n) {
    tlogoobject* v = input(cx, n, 0);
    if (v->IsList()) {
        ListBuilder lines;
        auto* l = static_cast<tLogoList*>(v);
        for (tLogoList* c = l->IsEmpty() ? nullptr : l; c; c = c->rest) {
            Ref<tLogoList> line = parse(c->element->PrintText(false));
            lines.append(line.get());
        }
        Ref<tLogoList> result = lines.finish();
        finish(cx, n, result.get());
        return;
    }
    if (!v->IsWord()) throw eLogoException(erExpectWord, v);
    auto* d = static_cast<tProcDesc*>(ownProcedureTable(cx).FindEntry(v->NameCode()));
    Ref<tlogoobject> result = d && d->userDefined ? d->DefinitionList() : nullptr;
    if (!result) result = makeEmptyList();
    finish(cx, n, result.get());
}

const PrimitiveRow kVariablePrimitives[] = {
    {"set", DescKind::Main, 2, false, etIfFun, primSet},
    {"make", DescKind::Main, 2, false, etIfFun, primMake},
    {"havecommon", DescKind::Main, 2, false, etIfFun, primHave},
    {"haveown", DescKind::Main, 2, false, etIfFun, primHave},
    {"name_command", DescKind::Main, 2, false, etIfFun, primNameCommand},
    {"thing", DescKind::Main, 1, false, etFun, primThing},
    {"get", DescKind::Main, 1, false, etFun, primGet},
    {"define", DescKind::Main, 2, false, etFun, primDefine},
    {"text", DescKind::Main, 1, false, etFun, primText},
    {"local", DescKind::Main, 1, true, etFun, primLocal},
    {"let", DescKind::Main, 2, true, etIfFun, primLet},
    {"inc", DescKind::Main, 1, true, etFun, primInc},
    {"dec", DescKind::Main, 1, true, etFun, primDec},
};

} // namespace

void registerVariablePrimitives(tMainLogoObject& main) { addPrimitives(main.procedures, kVariablePrimitives); }

} // namespace qm
