// The operations of lists: element access, slices, searching, sorting, and the vector
// and point arithmetic of number lists. Each takes the list (self) first.
#pragma once

#include "value.h"
#include "word_ops.h"

namespace qm {

tlogoobject* listCount(tlogoobject* self);
tlogoobject* listFirst(tlogoobject* self);
tlogoobject* listLast(tlogoobject* self);
tlogoobject* listButfirst(tlogoobject* self);
tlogoobject* listButlast(tlogoobject* self);
tlogoobject* listPick(tlogoobject* self);
tlogoobject* listShuffle(tlogoobject* self);
tlogoobject* listReverse(tlogoobject* self);
tlogoobject* listFput(tlogoobject* self, tlogoobject* x);
tlogoobject* listLput(tlogoobject* self, tlogoobject* x);
tlogoobject* listItem(tlogoobject* self, tlogoobject* x);
tlogoobject* listButitem(tlogoobject* self, tlogoobject* x);
tlogoobject* listReplace(tlogoobject* self, tlogoobject* index, tlogoobject* y);
tlogoobject* listDeepitem(tlogoobject* self, tlogoobject* path);
tlogoobject* listDeepreplace(tlogoobject* self, tlogoobject* path, tlogoobject* y);
tlogoobject* listMemberP(tlogoobject* self, tlogoobject* x);
tlogoobject* listMember(tlogoobject* self, tlogoobject* x);
tlogoobject* listButmember(tlogoobject* self, tlogoobject* x);
tlogoobject* listFrommember(tlogoobject* self, tlogoobject* x);
tlogoobject* listSort(tlogoobject* self);

// Vector arithmetic: self a list, x a list (or, for * / div mod, a number).
tlogoobject* listArith(ArithOp op, tlogoobject* self, tlogoobject* x);
// A number combined with every number of a list: num op element.
tlogoobject* numberListArith(ArithOp op, tlogoobject* num, tLogoList* list);
tlogoobject* listAdd(tlogoobject* self, tlogoobject* x);
tlogoobject* listSub(tlogoobject* self, tlogoobject* x);
tlogoobject* listMul(tlogoobject* self, tlogoobject* x);
tlogoobject* listDiv(tlogoobject* self, tlogoobject* x);
tlogoobject* listIntDiv(tlogoobject* self, tlogoobject* x);
tlogoobject* listMod(tlogoobject* self, tlogoobject* x);
// Unary operations on every number of a list, sublists included.
tlogoobject* listNegate(tlogoobject* self);
tlogoobject* listIdentity(tlogoobject* self);
tlogoobject* listRandom(tlogoobject* self);
tlogoobject* listAbs(tlogoobject* self);
tlogoobject* listInt(tlogoobject* self);
tlogoobject* listRound(tlogoobject* self);

// Points and point lists.
bool isPoint(tlogoobject* v);
bool isPointList(tlogoobject* v);
tlogoobject* listVectorangle(tlogoobject* self, tlogoobject* x);
tlogoobject* listRotate(tlogoobject* self, tlogoobject* angle);
tlogoobject* listRandompos(tlogoobject* self);
tlogoobject* listSpline(tlogoobject* self);

} // namespace qm
