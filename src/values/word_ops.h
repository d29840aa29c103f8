// The data operations bound to the value types: arithmetic, comparison and the word
// and list operations. Each takes the selecting input (self) first.
#pragma once

#include "value.h"

namespace qm {

// The option "strict": 0 answers quietly, 1 and 2 turn silent results into errors.
extern int g_strictLevel;

// Arithmetic of numbers (self is an integer, real or a word that reads as a number).
tlogoobject* numAdd(tlogoobject* self, tlogoobject* x);
tlogoobject* numSub(tlogoobject* self, tlogoobject* x);
tlogoobject* numMul(tlogoobject* self, tlogoobject* x);
tlogoobject* numDiv(tlogoobject* self, tlogoobject* x);
tlogoobject* numNegate(tlogoobject* self);
tlogoobject* numIdentity(tlogoobject* self);

// Order of words: numerically when both are numbers, else by the language comparison.
int compareWords(tlogoobject* a, tlogoobject* b);
bool wordLess(tlogoobject* self, tlogoobject* x);
bool wordGreater(tlogoobject* self, tlogoobject* x);
bool wordLessEq(tlogoobject* self, tlogoobject* x);
bool wordGreaterEq(tlogoobject* self, tlogoobject* x);

// A real result; infinities and NaN are floating-point failures (error 44).
tlogoobject* realResult(LReal v);
// The number that a word stands for, as a fresh integer or real (error 12 otherwise).
LReal numberOf(tlogoobject* v);
bool isIntegerValue(tlogoobject* v);

} // namespace qm
