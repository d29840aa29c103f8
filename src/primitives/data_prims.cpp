// Constructors, predicates, logic and bit operations of the main object: word, list,
// sentence, equal?, sum, product, and, or, xor, bitand, bitor, bitxor, empty?, word?,
// list?, number?, image?, parse and parselines.
#include <vector>

#include "evaluator.h"
#include "list_ops.h"
#include "primitives.h"
#include "reader.h"
#include "registry.h"
#include "word_ops.h"

namespace qm {

namespace {

void primWord(ProcessContext& cx, int32_t n) {
    tlogoobject* few[8];
    std::vector<tlogoobject*> many;
    tlogoobject** parts = few;
    if (n > 8) {
        many.resize(static_cast<size_t>(n));
        parts = many.data();
    }
    for (int32_t i = 0; i < n; ++i) parts[i] = input(cx, n, i);
    finish(cx, n, joinWords(parts, static_cast<size_t>(n)));
}

void primList(ProcessContext& cx, int32_t n) {
    ListBuilder b;
    for (int32_t i = 0; i < n; ++i) b.append(input(cx, n, i));
    finish(cx, n, b.finish());
}

// Lists give their elements, words themselves; the last list is shared, not copied.
void primSentence(ProcessContext& cx, int32_t n) {
    ListBuilder b;
    for (int32_t i = 0; i < n; ++i) {
        tlogoobject* v = input(cx, n, i);
        if (!v->IsList()) {
            b.append(v);
        } else if (i == n - 1) {
            b.appendShared(static_cast<tLogoList*>(v));
        } else if (!v->IsEmpty()) {
            for (tLogoList* c = static_cast<tLogoList*>(v); c; c = c->rest) b.append(c->element);
        }
    }
    finish(cx, n, b.finish());
}

void primEqualP(ProcessContext& cx, int32_t n) {
    bool same = true;
    for (int32_t i = 1; i < n && same; ++i) same = input(cx, n, 0)->Equal(input(cx, n, i));
    finish(cx, n, makeBool(same));
}

// sum and product: numbers add up, lists element by element; the type of the last
// input decides which.
void foldArith(ProcessContext& cx, int32_t n, ArithOp op, int32_t none) {
    if (n == 0) return finish(cx, n, makeInt(none));
    tlogoobject* last = input(cx, n, n - 1);
    if (!last->IsNumber() && !last->IsList()) throw eLogoException(erExpectNumber, last);
    Ref<tlogoobject> acc = input(cx, n, 0);
    if (!acc->IsNumber() && !acc->IsList()) throw eLogoException(erExpectNumber, acc.get());
    for (int32_t i = 1; i < n; ++i) {
        tlogoobject* x = input(cx, n, i);
        if (acc->IsList())
            acc = listArith(op, acc.get(), x);
        else
            acc = op == ArithOp::Mul ? numMul(acc.get(), x) : numAdd(acc.get(), x);
    }
    tlogoobject* r = acc.get();
    hold(r);
    acc = nullptr;
    cx.valueStack.discard(n);
    cx.valueStack.pushHeld(r);
}

void primSum(ProcessContext& cx, int32_t n) { foldArith(cx, n, ArithOp::Add, 0); }
void primProduct(ProcessContext& cx, int32_t n) { foldArith(cx, n, ArithOp::Mul, 1); }

// A truth input: a list is evaluated when it is reached.
bool truthOf(ProcessContext& cx, tlogoobject* v) {
    if (!v->IsList()) return v->ToBool();
    Ref<tlogoobject> r = evaluateList(cx, v);
    return r->ToBool();
}

void primAnd(ProcessContext& cx, int32_t n) {
    bool r = true;
    for (int32_t i = 0; i < n && r; ++i) r = truthOf(cx, input(cx, n, i));
    finish(cx, n, makeBool(r));
}

void primOr(ProcessContext& cx, int32_t n) {
    bool r = false;
    for (int32_t i = 0; i < n && !r; ++i) r = truthOf(cx, input(cx, n, i));
    finish(cx, n, makeBool(r));
}

void primXor(ProcessContext& cx, int32_t n) {
    bool r = false;
    for (int32_t i = 0; i < n; ++i) r = r != truthOf(cx, input(cx, n, i));
    finish(cx, n, makeBool(r));
}

template <int32_t Start, int32_t (*Op)(int32_t, int32_t)>
void bitFold(ProcessContext& cx, int32_t n) {
    int32_t r = n ? input(cx, n, 0)->ToInt() : Start;
    for (int32_t i = 1; i < n; ++i) r = Op(r, input(cx, n, i)->ToInt());
    finish(cx, n, makeInt(r));
}
int32_t bitAnd(int32_t a, int32_t b) { return a & b; }
int32_t bitOr(int32_t a, int32_t b) { return a | b; }
int32_t bitXor(int32_t a, int32_t b) { return a ^ b; }

void primEmptyP(ProcessContext& cx, int32_t n) { finish(cx, n, makeBool(input(cx, n, 0)->IsEmpty())); }
void primWordP(ProcessContext& cx, int32_t n) { finish(cx, n, makeBool(input(cx, n, 0)->IsWord())); }
void primListP(ProcessContext& cx, int32_t n) { finish(cx, n, makeBool(input(cx, n, 0)->IsList())); }
void primNumberP(ProcessContext& cx, int32_t n) { finish(cx, n, makeBool(input(cx, n, 0)->IsNumber())); }
void primImageP(ProcessContext& cx, int32_t n) { finish(cx, n, makeBool(input(cx, n, 0)->IsImage())); }

void primParse(ProcessContext& cx, int32_t n) { finish(cx, n, parse(input(cx, n, 0)->GetText())); }
void primParselines(ProcessContext& cx, int32_t n) { finish(cx, n, parseLines(input(cx, n, 0)->GetText())); }

constexpr DescKind M = DescKind::Main;
const PrimitiveRow kDataPrimitives[] = {
    {"word", M, 2, true, etFun, primWord},
    {"list", M, 2, true, etFun, primList},
    {"sentence", M, 2, true, etFun, primSentence},
    {"equal?", M, 2, true, etFun, primEqualP},
    {"sum", M, 2, true, etFun, primSum},
    {"product", M, 2, true, etFun, primProduct},
    {"bitand", M, 2, true, etFun, bitFold<-1, bitAnd>},
    {"bitor", M, 2, true, etFun, bitFold<0, bitOr>},
    {"bitxor", M, 2, true, etFun, bitFold<0, bitXor>},
    {"and", M, 2, true, etIfFun, primAnd},
    {"or", M, 2, true, etIfFun, primOr},
    {"xor", M, 2, true, etIfFun, primXor},
    {"empty?", M, 1, false, etFun, primEmptyP},
    {"word?", M, 1, false, etFun, primWordP},
    {"list?", M, 1, false, etFun, primListP},
    {"image?", M, 1, false, etFun, primImageP},
    {"number?", M, 1, false, etFun, primNumberP},
    {"parse", M, 1, false, etFun, primParse},
    {"parselines", M, 1, false, etFun, primParselines},
};

} // namespace

void registerDataPrimitives(tMainLogoObject& main) { addPrimitives(main.procedures, kDataPrimitives); }

} // namespace qm
