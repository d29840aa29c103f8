// The data operations bound to the value types: arithmetic, comparison and the word
// operations. Each takes the selecting input (self) first and answers a fresh value.
#pragma once

#include "value.h"

namespace qm {

// The option "strict": 0 answers quietly, 1 and 2 turn silent results into errors.
extern int g_strictLevel;

// ---- arithmetic of numbers (self is an integer, real or a word that reads as one) ----
enum class ArithOp : uint8_t { Add, Sub, Mul, Div, IntDiv, Mod };

// Two numbers: integers stay integers while the result fits in 32 bits.
tlogoobject* wordArith(ArithOp op, tlogoobject* self, tlogoobject* x);
tlogoobject* numAdd(tlogoobject* self, tlogoobject* x);
tlogoobject* numSub(tlogoobject* self, tlogoobject* x);
tlogoobject* numMul(tlogoobject* self, tlogoobject* x);
tlogoobject* numDiv(tlogoobject* self, tlogoobject* x);
tlogoobject* numIntDiv(tlogoobject* self, tlogoobject* x);  // div: floored
tlogoobject* numMod(tlogoobject* self, tlogoobject* x);     // mod: the sign of x
tlogoobject* numNegate(tlogoobject* self);
tlogoobject* numIdentity(tlogoobject* self);
tlogoobject* numRandom(tlogoobject* self);
tlogoobject* numAbs(tlogoobject* self);
tlogoobject* numInt(tlogoobject* self);
tlogoobject* numRound(tlogoobject* self);
tlogoobject* numSin(tlogoobject* self);
tlogoobject* numCos(tlogoobject* self);
tlogoobject* numTan(tlogoobject* self);
tlogoobject* numArctan(tlogoobject* self);
tlogoobject* numExp(tlogoobject* self);
tlogoobject* numLn(tlogoobject* self);
tlogoobject* numSqrt(tlogoobject* self);
// div and mod of a boolean: booleans are no numbers.
tlogoobject* boolNoArith(tlogoobject* self, tlogoobject* x);

// Sine and cosine of degrees; whole multiples of 90 give exact values.
LReal sinDegrees(LReal deg);
LReal cosDegrees(LReal deg);

// ---- comparison ----
// Order of words: numerically when both are numbers, else by the language comparison.
int compareWords(tlogoobject* a, tlogoobject* b);
bool wordLess(tlogoobject* self, tlogoobject* x);
bool wordGreater(tlogoobject* self, tlogoobject* x);
bool wordLessEq(tlogoobject* self, tlogoobject* x);
bool wordGreaterEq(tlogoobject* self, tlogoobject* x);

// ---- word operations (T is self's text; positions count bytes from 1) ----
tlogoobject* wordCount(tlogoobject* self);
tlogoobject* wordFirst(tlogoobject* self);
tlogoobject* wordLast(tlogoobject* self);
tlogoobject* wordButfirst(tlogoobject* self);
tlogoobject* wordButlast(tlogoobject* self);
tlogoobject* wordPick(tlogoobject* self);
tlogoobject* wordShuffle(tlogoobject* self);
tlogoobject* wordReverse(tlogoobject* self);
tlogoobject* wordFput(tlogoobject* self, tlogoobject* x);
tlogoobject* wordLput(tlogoobject* self, tlogoobject* x);
tlogoobject* wordItem(tlogoobject* self, tlogoobject* x);
tlogoobject* wordButitem(tlogoobject* self, tlogoobject* x);
tlogoobject* wordReplace(tlogoobject* self, tlogoobject* index, tlogoobject* y);
tlogoobject* wordMemberP(tlogoobject* self, tlogoobject* x);
tlogoobject* wordMember(tlogoobject* self, tlogoobject* x);
tlogoobject* wordButmember(tlogoobject* self, tlogoobject* x);
tlogoobject* wordFrommember(tlogoobject* self, tlogoobject* x);
tlogoobject* wordAscii(tlogoobject* self);
tlogoobject* wordChar(tlogoobject* self);
tlogoobject* wordNot(tlogoobject* self);     // strings and booleans
tlogoobject* numberNot(tlogoobject* self);   // integers and reals: error 29
tlogoobject* wordBitnot(tlogoobject* self);

// ---- slices ----
// Calls add(begin, end) (0-based, end exclusive, never empty) for every run of positions
// that the slice list x picks from a sequence of length len: x is one [start count] when
// its first element is a word, else a list of slices (numbers or [start count] lists).
template <class Add>
void walkSlices(tLogoList* x, int32_t len, Add&& add);
// One [start count] slice as a range; false when it picks nothing.
bool sliceRange(tlogoobject* slice, int32_t len, int32_t& begin, int32_t& end);

// ---- helpers shared with the list operations ----
// A real result; infinities and NaN are floating-point failures (error 44).
tlogoobject* realResult(LReal v);
// The number that a word stands for (error 12 otherwise).
LReal numberOf(tlogoobject* v);
bool isIntegerValue(tlogoobject* v);

// ---- template definitions ----
void sliceIndexOutside(tlogoobject* index);  // error 9 when strict, else nothing

template <class Add>
void walkSlices(tLogoList* x, int32_t len, Add&& add) {
    if (x->IsEmpty()) return;
    if (x->element->IsWord()) {
        int32_t b, e;
        if (sliceRange(x, len, b, e)) add(b, e);
        return;
    }
    if (!x->element->IsList()) throw eLogoException(erBadStructure, x);
    for (tLogoList* c = x; c; c = c->rest) {
        tlogoobject* s = c->element;
        if (s->IsList()) {
            int32_t b, e;
            if (sliceRange(s, len, b, e)) add(b, e);
        } else {
            int32_t i = s->ToInt();
            if (i >= 1 && i <= len)
                add(i - 1, i);
            else
                sliceIndexOutside(s);
        }
    }
}

} // namespace qm
