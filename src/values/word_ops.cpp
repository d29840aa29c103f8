// Arithmetic and comparison of words and numbers.
#include "word_ops.h"

#include <cmath>

#include "language.h"

namespace qm {

int g_strictLevel = 0;

// A value whose number is an integer that needs no rounding.
bool isIntegerValue(tlogoobject* v) {
    switch (v->vkind) {
    case ValueKind::Int: return true;
    case ValueKind::String: return static_cast<tLogoString*>(v)->IsInteger();
    default: return false;
    }
}

static int32_t intOf(tlogoobject* v) {
    if (v->vkind == ValueKind::Int) return static_cast<tLogoInt*>(v)->value;
    return v->ToInt();
}

LReal numberOf(tlogoobject* v) {
    if (v->vkind == ValueKind::Int) return static_cast<tLogoInt*>(v)->value;
    if (v->vkind == ValueKind::Real) return static_cast<tLogoReal*>(v)->value;
    if (v->vkind == ValueKind::String) {
        auto* s = static_cast<tLogoString*>(v);
        s->parseNumber();
        if (!s->isNumber) throw eLogoException(erExpectNumber, v);
        return s->isInteger ? s->intValue : s->realValue;
    }
    throw eLogoException(erExpectNumber, v);
}

tlogoobject* realResult(LReal v) {
    if (!std::isfinite(v)) throw eLogoException(erReal);
    return makeReal(v);
}

// Self must read as a number; a list on the other side is no number either.
static void checkSelf(tlogoobject* self) {
    if (self->vkind == ValueKind::String && !self->IsNumber()) throw eLogoException(erExpectNumber, self);
}

static tlogoobject* intOrReal(tlogoobject* self, tlogoobject* x, int64_t (*iop)(int64_t, int64_t),
                              LReal (*rop)(LReal, LReal)) {
    checkSelf(self);
    if (x->IsList() || !x->IsWord()) throw eLogoException(erExpectNumber, x);
    if (isIntegerValue(self) && isIntegerValue(x)) {
        int64_t r = iop(intOf(self), intOf(x));
        // Integer results that leave 32 bits are done again in extended reals.
        if (r >= INT32_MIN && r <= INT32_MAX) return makeInt(static_cast<int32_t>(r));
        return realResult(rop(static_cast<LReal>(intOf(self)), static_cast<LReal>(intOf(x))));
    }
    return realResult(rop(numberOf(self), numberOf(x)));
}

tlogoobject* numAdd(tlogoobject* self, tlogoobject* x) {
    return intOrReal(self, x, [](int64_t a, int64_t b) { return a + b; }, [](LReal a, LReal b) { return a + b; });
}
tlogoobject* numSub(tlogoobject* self, tlogoobject* x) {
    return intOrReal(self, x, [](int64_t a, int64_t b) { return a - b; }, [](LReal a, LReal b) { return a - b; });
}
tlogoobject* numMul(tlogoobject* self, tlogoobject* x) {
    return intOrReal(self, x, [](int64_t a, int64_t b) { return a * b; }, [](LReal a, LReal b) { return a * b; });
}

tlogoobject* numDiv(tlogoobject* self, tlogoobject* x) {
    checkSelf(self);
    if (!x->IsWord()) throw eLogoException(erExpectNumber, x);
    LReal a = numberOf(self), b = numberOf(x);
    if (b == 0) throw eLogoException(erDiv0);
    return realResult(a / b);
}

tlogoobject* numNegate(tlogoobject* self) {
    checkSelf(self);
    if (isIntegerValue(self)) return makeNumber(-static_cast<int64_t>(intOf(self)));
    return realResult(-numberOf(self));
}

tlogoobject* numIdentity(tlogoobject* self) {
    checkSelf(self);
    if (isIntegerValue(self)) return makeInt(intOf(self));
    return realResult(numberOf(self));
}

int compareWords(tlogoobject* a, tlogoobject* b) {
    if (a->IsNumber() && b->IsNumber()) {
        if (isIntegerValue(a) && isIntegerValue(b)) {
            int32_t x = intOf(a), y = intOf(b);
            return x < y ? -1 : x > y ? 1 : 0;
        }
        LReal x = numberOf(a), y = numberOf(b);
        return x < y ? -1 : x > y ? 1 : 0;
    }
    return compareNames(a->GetText(), b->GetText());
}

bool wordLess(tlogoobject* self, tlogoobject* x) { return compareWords(self, x) < 0; }
bool wordGreater(tlogoobject* self, tlogoobject* x) { return compareWords(self, x) > 0; }
bool wordLessEq(tlogoobject* self, tlogoobject* x) { return compareWords(self, x) <= 0; }
bool wordGreaterEq(tlogoobject* self, tlogoobject* x) { return compareWords(self, x) >= 0; }

} // namespace qm
