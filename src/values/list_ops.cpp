// List operations. Lists never change once handed out: every operation builds new cells
// and shares the unchanged tail of its input where it can.
#include "list_ops.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "language.h"
#include "spline.h"

namespace qm {

namespace {

tLogoList* asList(tlogoobject* v) { return static_cast<tLogoList*>(v); }
tLogoList* firstCell(tlogoobject* v) {
    auto* l = asList(v);
    return l->IsEmpty() ? nullptr : l;
}

void elementsOf(tLogoList* l, std::vector<tlogoobject*>& out) {
    for (tLogoList* c = firstCell(l); c; c = c->rest) out.push_back(c->element);
}

// Parts of the empty list: an error from strict 1 on, else a new empty list.
tlogoobject* emptyListPart(tlogoobject* self) {
    if (g_strictLevel >= 1) throw eLogoException(erEmptyList, self);
    return makeEmptyList();
}

// A copy of the cells before `stop` (not included), then the shared rest from `from`.
tLogoList* copyAround(tLogoList* l, tLogoList* stop, tlogoobject* insert, bool withInsert, tLogoList* from) {
    ListBuilder b;
    for (tLogoList* c = firstCell(l); c && c != stop; c = c->rest) b.append(c->element);
    if (withInsert) b.append(insert);
    b.appendShared(from);
    return b.finish();
}

tLogoList* cellAt(tLogoList* l, int64_t index) {  // 0-based; nil past the end
    tLogoList* c = firstCell(l);
    while (c && index-- > 0) c = c->rest;
    return c;
}

} // namespace

tlogoobject* listCount(tlogoobject* self) { return makeInt(asList(self)->count()); }

tlogoobject* listFirst(tlogoobject* self) {
    if (self->IsEmpty()) return emptyListPart(self);
    return asList(self)->element;
}

tlogoobject* listLast(tlogoobject* self) {
    if (self->IsEmpty()) return emptyListPart(self);
    tLogoList* c = asList(self);
    while (c->rest) c = c->rest;
    return c->element;
}

tlogoobject* listButfirst(tlogoobject* self) {
    if (self->IsEmpty()) return emptyListPart(self);
    tLogoList* r = asList(self)->rest;
    return r ? r : makeEmptyList();
}

tlogoobject* listButlast(tlogoobject* self) {
    if (self->IsEmpty()) return emptyListPart(self);
    ListBuilder b;
    for (tLogoList* c = asList(self); c->rest; c = c->rest) b.append(c->element);
    return b.finish();
}

tlogoobject* listPick(tlogoobject* self) {
    if (self->IsEmpty()) return emptyListPart(self);
    tLogoList* l = asList(self);
    return cellAt(l, randomBelow(static_cast<uint32_t>(l->count())))->element;
}

tlogoobject* listShuffle(tlogoobject* self) {
    std::vector<tlogoobject*> e;
    elementsOf(asList(self), e);
    for (size_t i = e.size(); i > 1; --i) std::swap(e[i - 1], e[randomBelow(static_cast<uint32_t>(i))]);
    ListBuilder b;
    for (tlogoobject* v : e) b.append(v);
    return b.finish();
}

tlogoobject* listReverse(tlogoobject* self) {
    // Built back to front: each element goes in front of the ones seen before it.
    Ref<tLogoList> r = makeEmptyList();
    for (tLogoList* c = firstCell(self); c; c = c->rest) r = makeCell(c->element, r.get());
    return r.leakUnheld();
}

tlogoobject* listFput(tlogoobject* self, tlogoobject* x) { return makeCell(x, asList(self)); }

tlogoobject* listLput(tlogoobject* self, tlogoobject* x) { return copyAround(asList(self), nullptr, x, true, nullptr); }

tlogoobject* listItem(tlogoobject* self, tlogoobject* x) {
    tLogoList* l = asList(self);
    if (x->IsList()) {
        std::vector<tlogoobject*> e;
        elementsOf(l, e);
        ListBuilder b;
        walkSlices(asList(x), static_cast<int32_t>(e.size()), [&](int32_t from, int32_t to) {
            for (int32_t i = from; i < to; ++i) b.append(e[i]);
        });
        return b.finish();
    }
    if (!x->IsNumber()) throw eLogoException(erMinMax, 1, l->count(), x);
    if (g_strictLevel >= 1 && l->IsEmpty()) throw eLogoException(erEmptyList, self);
    int32_t i = x->ToInt();
    tLogoList* c = i >= 1 ? cellAt(l, i - 1) : nullptr;
    if (c) return c->element;
    if (g_strictLevel >= 1) throw eLogoException(erMinMax, 1, l->count(), x);
    return makeEmptyList();
}

tlogoobject* listButitem(tlogoobject* self, tlogoobject* x) {
    tLogoList* l = asList(self);
    if (x->IsList()) {
        int32_t b, e;
        if (!sliceRange(x, l->count(), b, e)) return self;
        return copyAround(l, cellAt(l, b), nullptr, false, cellAt(l, e));
    }
    if (!x->IsWord()) throw eLogoException(erExpectNumber, x);
    int32_t i = x->ToIntRange(1, INT32_MAX);
    tLogoList* c = cellAt(l, i - 1);
    if (!c) return self;
    return copyAround(l, c, nullptr, false, c->rest);
}

tlogoobject* listReplace(tlogoobject* self, tlogoobject* index, tlogoobject* y) {
    tLogoList* l = asList(self);
    if (index->IsList()) {
        int32_t b, e;
        sliceRange(index, l->count(), b, e);
        return copyAround(l, cellAt(l, b), y, true, cellAt(l, e));
    }
    if (!index->IsWord()) throw eLogoException(erExpectNumber, index);
    int32_t i = index->ToIntRange(1, l->count());
    tLogoList* c = cellAt(l, i - 1);
    return copyAround(l, c, y, true, c->rest);
}

static tlogoobject* itemOf(tlogoobject* v, tlogoobject* index) {
    if (v->IsList()) return listItem(v, index);
    if (v->IsWord()) return wordItem(v, index);
    throw eLogoException(erExpectList, v);
}

static tlogoobject* replaceOf(tlogoobject* v, tlogoobject* index, tlogoobject* y) {
    if (v->IsList()) return listReplace(v, index, y);
    if (v->IsWord()) return wordReplace(v, index, y);
    throw eLogoException(erExpectList, v);
}

tlogoobject* listDeepitem(tlogoobject* self, tlogoobject* path) {
    if (!path->IsList()) return listItem(self, path);
    Ref<tlogoobject> cur = self;
    for (tLogoList* c = firstCell(path); c; c = c->rest) cur = itemOf(cur.get(), c->element);
    return cur.leakUnheld();
}

static tlogoobject* deepReplaceAt(tlogoobject* v, tLogoList* path, tlogoobject* y) {
    if (!path->rest) return replaceOf(v, path->element, y);
    if (!v->IsList()) throw eLogoException(erExpectList, v);
    Ref<tlogoobject> inner = listItem(v, path->element);
    Ref<tlogoobject> changed = deepReplaceAt(inner.get(), path->rest, y);
    return listReplace(v, path->element, changed.get());
}

tlogoobject* listDeepreplace(tlogoobject* self, tlogoobject* path, tlogoobject* y) {
    if (!path->IsList()) return listReplace(self, path, y);
    if (path->IsEmpty()) throw eLogoException(erBadStructure, path);
    return deepReplaceAt(self, asList(path), y);
}

tlogoobject* listMemberP(tlogoobject* self, tlogoobject* x) {
    for (tLogoList* c = firstCell(self); c; c = c->rest)
        if (c->element->Equal(x)) return makeBool(true);
    return makeBool(false);
}

tlogoobject* listMember(tlogoobject* self, tlogoobject* x) {
    int32_t i = 1;
    for (tLogoList* c = firstCell(self); c; c = c->rest, ++i)
        if (c->element->Equal(x)) return makeInt(i);
    return makeInt(0);
}

tlogoobject* listButmember(tlogoobject* self, tlogoobject* x) {
    ListBuilder b;
    for (tLogoList* c = firstCell(self); c; c = c->rest)
        if (!c->element->Equal(x)) b.append(c->element);
    return b.finish();
}

tlogoobject* listFrommember(tlogoobject* self, tlogoobject* x) {
    for (tLogoList* c = firstCell(self); c; c = c->rest)
        if (c->element->Equal(x)) return c;
    return makeEmptyList();
}

// ---------------------------------------------------------------------------
// Sorting. Every element gets a text key (its bracketed print form, upper-cased by ASCII
// rules) and, when it is a number or a list of numbers only, a numeric key. Numeric keys
// decide as far as both have numbers; two complete numeric keys then order by length;
// anything else is ordered by the text keys, byte by byte.

namespace {

struct SortKey {
    tlogoobject* value;
    std::string text;
    uint32_t numStart = 0, numCount = 0;
    bool numeric = false;
};

bool keyLess(const SortKey& a, const SortKey& b, const std::vector<LReal>& nums) {
    uint32_t i = 0;
    if (a.numeric && b.numeric) {
        const uint32_t n = std::min(a.numCount, b.numCount);
        while (i < n && nums[a.numStart + i] == nums[b.numStart + i]) ++i;
        if (i < n) return nums[a.numStart + i] < nums[b.numStart + i];
        return a.numCount < b.numCount;
    }
    return std::lexicographical_compare(a.text.begin(), a.text.end(), b.text.begin(), b.text.end(),
                                        [](char x, char y) { return static_cast<unsigned char>(x) < static_cast<unsigned char>(y); });
}

// Quicksort with three-way partitions. The order of numbers and texts is not transitive
// (9 < 10 by value, 10 < 5x and 5x < 9 by text), so the sort must stay within bounds
// whatever the comparisons answer; equal runs are partitioned away in one pass.
template <class Less>
void quickSort(std::vector<uint32_t>& a, int64_t lo, int64_t hi, Less&& less) {
    while (lo < hi) {
        const uint32_t pivot = a[lo + (hi - lo) / 2];
        int64_t lt = lo, i = lo, gt = hi;
        while (i <= gt) {
            if (less(a[i], pivot))
                std::swap(a[lt++], a[i++]);
            else if (less(pivot, a[i]))
                std::swap(a[i], a[gt--]);
            else
                ++i;
        }
        // The smaller side recursively, the larger one in the loop: the stack stays shallow.
        if (lt - lo < hi - gt) {
            quickSort(a, lo, lt - 1, less);
            lo = gt + 1;
        } else {
            quickSort(a, gt + 1, hi, less);
            hi = lt - 1;
        }
    }
}

} // namespace

tlogoobject* listSort(tlogoobject* self) {
    std::vector<SortKey> keys;
    std::vector<LReal> nums;
    for (tLogoList* c = firstCell(self); c; c = c->rest) {
        SortKey k{c->element, c->element->PrintText(true)};
        for (char& ch : k.text)
            if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
        k.numStart = static_cast<uint32_t>(nums.size());
        if (c->element->IsNumber()) {
            nums.push_back(numberOf(c->element));
            k.numeric = true;
        } else if (c->element->IsList()) {
            k.numeric = true;
            for (tLogoList* e = firstCell(c->element); e; e = e->rest) {
                if (!e->element->IsNumber()) {
                    k.numeric = false;
                    break;
                }
                nums.push_back(numberOf(e->element));
            }
            if (!k.numeric) nums.resize(k.numStart);
        }
        k.numCount = static_cast<uint32_t>(nums.size()) - k.numStart;
        keys.push_back(std::move(k));
    }
    std::vector<uint32_t> order(keys.size());
    for (uint32_t i = 0; i < order.size(); ++i) order[i] = i;
    if (!order.empty()) quickSort(order, 0, static_cast<int64_t>(order.size()) - 1, [&](uint32_t a, uint32_t b) {
        return keyLess(keys[a], keys[b], nums);
    });
    ListBuilder b;
    for (uint32_t i : order) b.append(keys[i].value);
    return b.finish();
}

// ---------------------------------------------------------------------------
// Vector arithmetic

bool isPoint(tlogoobject* v) {
    if (!v->IsList() || v->IsEmpty()) return false;
    tLogoList* l = asList(v);
    return l->rest && !l->rest->rest && l->element->IsNumber() && l->rest->element->IsNumber();
}

// A non-empty list of points, with empty lists allowed between them.
bool isPointList(tlogoobject* v) {
    if (!v->IsList() || v->IsEmpty()) return false;
    for (tLogoList* c = asList(v); c; c = c->rest)
        if (!(c->element->IsList() && c->element->IsEmpty()) && !isPoint(c->element)) return false;
    return true;
}

namespace {

// Applies f to every number of the list and its sublists; other words are error 10.
template <class F>
tlogoobject* mapNumbers(tLogoList* l, F&& f) {
    ListBuilder b;
    for (tLogoList* c = firstCell(l); c; c = c->rest) {
        tlogoobject* e = c->element;
        if (e->IsList())
            b.append(mapNumbers(asList(e), f));
        else if (e->IsNumber())
            b.append(f(e));
        else
            throw eLogoException(erBadStructure, e);
    }
    return b.finish();
}

// Two lists of numbers of the same length, element by element.
tlogoobject* combineVectors(ArithOp op, tLogoList* a, tLogoList* b) {
    if (a->IsEmpty()) throw eLogoException(erEmptyList, a);
    if (b->IsEmpty()) throw eLogoException(erEmptyList, b);
    ListBuilder r;
    tLogoList *x = a, *y = b;
    for (; x && y; x = x->rest, y = y->rest) {
        if (!x->element->IsNumber()) throw eLogoException(erBadStructure, x->element);
        if (!y->element->IsNumber()) throw eLogoException(erBadStructure, y->element);
        r.append(wordArith(op, x->element, y->element));
    }
    if (x || y) throw eLogoException(erBadStructure, x ? a : b);
    return r.finish();
}

} // namespace

tlogoobject* listArith(ArithOp op, tlogoobject* selfv, tlogoobject* x) {
    tLogoList* self = asList(selfv);
    if (x->IsList()) {
        tLogoList* xl = asList(x);
        if (isPointList(self)) {
            // A point list moved (or scaled) by one point; separators stay empty.
            if (!isPoint(xl)) throw eLogoException(erBadStructure, x);
            ListBuilder b;
            for (tLogoList* c = self; c; c = c->rest)
                b.append(c->element->IsEmpty() ? makeEmptyList() : combineVectors(op, asList(c->element), xl));
            return b.finish();
        }
        if (isPointList(xl)) {
            if (!isPoint(self)) throw eLogoException(erBadStructure, self);
            ListBuilder b;
            for (tLogoList* c = xl; c; c = c->rest)
                b.append(c->element->IsEmpty() ? makeEmptyList() : combineVectors(op, self, asList(c->element)));
            return b.finish();
        }
        return combineVectors(op, self, xl);
    }
    // A number works on every element; + and - need a list on both sides.
    if (op == ArithOp::Add || op == ArithOp::Sub || !x->IsWord()) throw eLogoException(erBadStructure, x);
    if (!x->IsNumber()) throw eLogoException(erExpectNumber, x);
    return mapNumbers(self, [&](tlogoobject* e) { return wordArith(op, e, x); });
}

tlogoobject* numberListArith(ArithOp op, tlogoobject* num, tLogoList* list) {
    return mapNumbers(list, [&](tlogoobject* e) { return wordArith(op, num, e); });
}

tlogoobject* listAdd(tlogoobject* self, tlogoobject* x) { return listArith(ArithOp::Add, self, x); }
tlogoobject* listSub(tlogoobject* self, tlogoobject* x) { return listArith(ArithOp::Sub, self, x); }
tlogoobject* listMul(tlogoobject* self, tlogoobject* x) { return listArith(ArithOp::Mul, self, x); }
tlogoobject* listDiv(tlogoobject* self, tlogoobject* x) { return listArith(ArithOp::Div, self, x); }
tlogoobject* listIntDiv(tlogoobject* self, tlogoobject* x) { return listArith(ArithOp::IntDiv, self, x); }
tlogoobject* listMod(tlogoobject* self, tlogoobject* x) { return listArith(ArithOp::Mod, self, x); }

tlogoobject* listNegate(tlogoobject* self) { return mapNumbers(asList(self), numNegate); }
tlogoobject* listIdentity(tlogoobject* self) { return mapNumbers(asList(self), numIdentity); }
tlogoobject* listRandom(tlogoobject* self) { return mapNumbers(asList(self), numRandom); }
tlogoobject* listAbs(tlogoobject* self) { return mapNumbers(asList(self), numAbs); }
tlogoobject* listInt(tlogoobject* self) { return mapNumbers(asList(self), numInt); }
tlogoobject* listRound(tlogoobject* self) { return mapNumbers(asList(self), numRound); }

// ---------------------------------------------------------------------------
// Points

namespace {

void pointOf(tlogoobject* v, LReal& x, LReal& y) {
    tLogoList* l = asList(v);
    x = numberOf(l->element);
    y = numberOf(l->rest->element);
}

tLogoList* makePoint(LReal x, LReal y) {
    ListBuilder b;
    b.append(realResult(x));
    b.append(realResult(y));
    return b.finish();
}

} // namespace

// The direction from self to x as a heading: 0 up, growing clockwise, in [0, 360).
tlogoobject* listVectorangle(tlogoobject* self, tlogoobject* x) {
    if (!isPoint(self)) throw eLogoException(erBadStructure, self);
    if (!isPoint(x)) throw eLogoException(erBadStructure, x);
    LReal x1, y1, x2, y2;
    pointOf(self, x1, y1);
    pointOf(x, x2, y2);
    const LReal dx = x2 - x1, dy = y2 - y1;
    LReal a;
    if (dx == 0)
        a = dy < 0 ? 180 : 0;
    else if (dy == 0)
        a = dx > 0 ? 90 : 270;
    else
        a = std::atan2(dx, dy) * 180 / std::numbers::pi_v<LReal>;
    if (a < 0) a += 360;
    return realResult(a);
}

// A clockwise turn in cartesian coordinates.
tlogoobject* listRotate(tlogoobject* self, tlogoobject* angle) {
    if (!angle->IsNumber()) throw eLogoException(erBadStructure, angle);
    const LReal deg = numberOf(angle);
    if (!std::isfinite(deg)) throw eLogoException(erReal);
    LReal c = cosDegrees(deg), s = sinDegrees(deg);
    if (std::fabs(c) == 1) s = 0;
    if (std::fabs(s) == 1) c = 0;
    auto turn = [&](tlogoobject* p) {
        LReal x, y;
        pointOf(p, x, y);
        return makePoint(x * c + y * s, y * c - x * s);
    };
    if (isPoint(self)) return turn(self);
    if (!isPointList(self)) throw eLogoException(erBadStructure, self);
    ListBuilder b;
    for (tLogoList* c2 = asList(self); c2; c2 = c2->rest)
        b.append(c2->element->IsEmpty() ? makeEmptyList() : turn(c2->element));
    return b.finish();
}

// r(k): a random whole number from 0 to |k| - 1 with the sign of k.
static LReal randomToward(LReal k) {
    LReal m = std::round(std::fabs(k));
    if (m < 1) return 0;
    if (m > 4294967295.0L) m = 4294967295.0L;
    LReal r = randomBelow(static_cast<uint32_t>(m));
    return k < 0 ? -r : r;
}

static tlogoobject* positionNumber(LReal v) {
    if (v == std::trunc(v) && v >= INT32_MIN && v <= INT32_MAX) return makeInt(static_cast<int32_t>(v));
    return realResult(v);
}

tlogoobject* listRandompos(tlogoobject* self) {
    if (self->IsEmpty()) throw eLogoException(erEmptyList, self);
    tLogoList* l = asList(self);
    LReal x1, y1, w, h;
    const int32_t n = l->count();
    if (n == 2 && isPoint(l->element) && isPoint(l->rest->element)) {
        LReal x2, y2;
        pointOf(l->element, x1, y1);
        pointOf(l->rest->element, x2, y2);
        w = x2 - x1;
        h = y2 - y1;
    } else if (n == 4) {
        LReal v[4];
        int i = 0;
        for (tLogoList* c = l; c; c = c->rest) {
            if (!c->element->IsNumber()) throw eLogoException(erBadStructure, self);
            v[i++] = numberOf(c->element);
        }
        x1 = v[0], y1 = v[1], w = v[2], h = v[3];
    } else {
        throw eLogoException(erBadStructure, self);
    }
    if (w == 0 || h == 0) w = h = 0;  // a flat rectangle has no inside
    ListBuilder b;
    b.append(positionNumber(x1 + randomToward(w)));
    b.append(positionNumber(y1 - randomToward(h)));
    return b.finish();
}

tlogoobject* listSpline(tlogoobject* self) {
    if (self->IsEmpty()) return makeEmptyList();
    std::vector<SplinePoint> curve, sampled;
    ListBuilder b;
    bool firstCurve = true;
    auto flush = [&] {
        if (curve.empty()) return;
        sampled.clear();
        sampleSpline(curve.data(), curve.size(), sampled);
        if (!firstCurve) b.append(makeEmptyList());
        firstCurve = false;
        for (const SplinePoint& p : sampled) b.append(makePoint(p.x, p.y));
        curve.clear();
    };
    for (tLogoList* c = asList(self); c; c = c->rest) {
        tlogoobject* e = c->element;
        if (e->IsList() && e->IsEmpty()) {
            flush();
        } else if (isPoint(e)) {
            LReal x, y;
            pointOf(e, x, y);
            curve.push_back({x, y});
        } else {
            throw eLogoException(erWrongPoints, self);
        }
    }
    flush();
    return b.finish();
}

} // namespace qm
