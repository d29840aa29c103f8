// Arithmetic, comparison and the text operations of words and numbers.
#include "word_ops.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "language.h"
#include "list_ops.h"

namespace qm {

int g_strictLevel = 0;

namespace {

constexpr LReal kPi = std::numbers::pi_v<LReal>;

int32_t intOf(tlogoobject* v) {
    if (v->vkind == ValueKind::Int) return static_cast<tLogoInt*>(v)->value;
    return v->ToInt();
}

// Self must read as a number: a string that does not is error 12 as self.
void checkSelf(tlogoobject* self) {
    if (self->vkind == ValueKind::String && !self->IsNumber()) throw eLogoException(erExpectNumber, self);
    if (self->vkind == ValueKind::Bool) throw eLogoException(erExpectNumber, self);
}

int64_t floorDiv(int64_t a, int64_t b) {
    int64_t q = a / b;
    if (a % b != 0 && ((a < 0) != (b < 0))) --q;
    return q;
}

tLogoString* charWord(char c) { return makeRawWord(std::string(1, c)); }

} // namespace

bool isIntegerValue(tlogoobject* v) {
    switch (v->vkind) {
    case ValueKind::Int: return true;
    case ValueKind::String: return static_cast<tLogoString*>(v)->IsInteger();
    default: return false;
    }
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

// ---------------------------------------------------------------------------
// Arithmetic. Integer results that leave 32 bits are given as reals; division by zero
// and results that are not finite are checked here, as no hardware trap reports them.

tlogoobject* wordArith(ArithOp op, tlogoobject* self, tlogoobject* x) {
    // Two integer boxes, the common case of loops and counters, skip the checks below.
    if (self->vkind == ValueKind::Int && x->vkind == ValueKind::Int && op <= ArithOp::Mul) {
        const int64_t a = static_cast<tLogoInt*>(self)->value, b = static_cast<tLogoInt*>(x)->value;
        return makeNumber(op == ArithOp::Add ? a + b : op == ArithOp::Sub ? a - b : a * b);
    }
    checkSelf(self);
    if (!x->IsWord()) throw eLogoException(erExpectNumber, x);
    if (op == ArithOp::IntDiv || op == ArithOp::Mod) {
        int64_t a = intOf(self), b = intOf(x);
        if (b == 0) throw eLogoException(erDiv0);
        int64_t q = floorDiv(a, b);
        return makeNumber(op == ArithOp::IntDiv ? q : a - q * b);
    }
    if (op != ArithOp::Div && isIntegerValue(self) && isIntegerValue(x)) {
        int64_t a = intOf(self), b = intOf(x);
        // 32-bit operands: the 64-bit result is exact, so it decides whether a real is needed.
        int64_t r = op == ArithOp::Add ? a + b : op == ArithOp::Sub ? a - b : a * b;
        return makeNumber(r);
    }
    LReal a = numberOf(self), b = numberOf(x);
    switch (op) {
    case ArithOp::Add: return realResult(a + b);
    case ArithOp::Sub: return realResult(a - b);
    case ArithOp::Mul: return realResult(a * b);
    default:
        if (b == 0) throw eLogoException(erDiv0);
        return realResult(a / b);
    }
}

// A number on the left of a list: * and / work on every element, + and - are no
// operations of a number with a list.
static tlogoobject* arithWithList(ArithOp op, tlogoobject* self, tlogoobject* x) {
    if (x->IsList() && (op == ArithOp::Mul || op == ArithOp::Div)) {
        checkSelf(self);
        return numberListArith(op, self, static_cast<tLogoList*>(x));
    }
    return wordArith(op, self, x);
}

tlogoobject* numAdd(tlogoobject* self, tlogoobject* x) { return wordArith(ArithOp::Add, self, x); }
tlogoobject* numSub(tlogoobject* self, tlogoobject* x) { return wordArith(ArithOp::Sub, self, x); }
tlogoobject* numMul(tlogoobject* self, tlogoobject* x) { return arithWithList(ArithOp::Mul, self, x); }
tlogoobject* numDiv(tlogoobject* self, tlogoobject* x) { return arithWithList(ArithOp::Div, self, x); }
tlogoobject* numIntDiv(tlogoobject* self, tlogoobject* x) { return wordArith(ArithOp::IntDiv, self, x); }
tlogoobject* numMod(tlogoobject* self, tlogoobject* x) { return wordArith(ArithOp::Mod, self, x); }

tlogoobject* boolNoArith(tlogoobject* self, tlogoobject*) { throw eLogoException(erExpectNumber, self); }

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

tlogoobject* numRandom(tlogoobject* self) {
    checkSelf(self);
    int64_t n = self->ToInt();  // a real is rounded; error 26 when it does not fit
    if (n >= 0) return makeInt(static_cast<int32_t>(randomBelow(static_cast<uint32_t>(n))));
    return makeNumber(-static_cast<int64_t>(randomBelow(static_cast<uint32_t>(-n))));
}

tlogoobject* numAbs(tlogoobject* self) {
    checkSelf(self);
    if (isIntegerValue(self)) {
        int64_t v = intOf(self);
        return makeNumber(v < 0 ? -v : v);
    }
    return realResult(std::fabs(numberOf(self)));
}

// An integer when the whole number lies within +-2147483647, else a real.
static tlogoobject* wholeResult(LReal v) {
    if (!std::isfinite(v)) throw eLogoException(erReal);
    if (v >= -2147483647.0L && v <= 2147483647.0L) return makeInt(static_cast<int32_t>(v));
    return makeReal(v);
}

tlogoobject* numInt(tlogoobject* self) {
    checkSelf(self);
    if (self->vkind == ValueKind::Int) return self;
    if (isIntegerValue(self)) return makeInt(intOf(self));
    return wholeResult(std::trunc(numberOf(self)));
}

tlogoobject* numRound(tlogoobject* self) {
    checkSelf(self);
    if (self->vkind == ValueKind::Int) return self;
    if (isIntegerValue(self)) return makeInt(intOf(self));
    return wholeResult(std::round(numberOf(self)));  // half away from zero
}

LReal sinDegrees(LReal deg) {
    LReal r = std::fmod(deg, 360.0L);
    if (r < 0) r += 360;
    if (r == 0 || r == 180) return 0;
    if (r == 90) return 1;
    if (r == 270) return -1;
    return std::sin(r * kPi / 180);
}

LReal cosDegrees(LReal deg) {
    LReal r = std::fmod(deg, 360.0L);
    if (r < 0) r += 360;
    if (r == 90 || r == 270) return 0;
    if (r == 0) return 1;
    if (r == 180) return -1;
    return std::cos(r * kPi / 180);
}

tlogoobject* numSin(tlogoobject* self) {
    checkSelf(self);
    LReal d = numberOf(self);
    if (!std::isfinite(d)) throw eLogoException(erReal);
    return realResult(sinDegrees(d));
}

tlogoobject* numCos(tlogoobject* self) {
    checkSelf(self);
    LReal d = numberOf(self);
    if (!std::isfinite(d)) throw eLogoException(erReal);
    return realResult(cosDegrees(d));
}

// tan 90 has no value: the cosine is exactly 0 there.
tlogoobject* numTan(tlogoobject* self) {
    checkSelf(self);
    LReal d = numberOf(self);
    if (!std::isfinite(d)) throw eLogoException(erReal);
    LReal c = cosDegrees(d);
    if (c == 0) throw eLogoException(erReal);
    return realResult(sinDegrees(d) / c);
}

tlogoobject* numArctan(tlogoobject* self) {
    checkSelf(self);
    return realResult(std::atan(numberOf(self)) * 180 / kPi);
}

tlogoobject* numExp(tlogoobject* self) {
    checkSelf(self);
    return realResult(std::exp(numberOf(self)));
}

tlogoobject* numLn(tlogoobject* self) {
    checkSelf(self);
    LReal v = numberOf(self);
    if (!(v > 0)) throw eLogoException(erReal);
    return realResult(std::log(v));
}

tlogoobject* numSqrt(tlogoobject* self) {
    checkSelf(self);
    LReal v = numberOf(self);
    if (v < 0) throw eLogoException(erReal);
    return realResult(std::sqrt(v));
}

// ---------------------------------------------------------------------------
// Comparison

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

// ---------------------------------------------------------------------------
// Slices

void sliceIndexOutside(tlogoobject* index) {
    if (g_strictLevel >= 1) throw eLogoException(erBadValue, index);
}

bool sliceRange(tlogoobject* slice, int32_t len, int32_t& begin, int32_t& end) {
    auto* l = static_cast<tLogoList*>(slice);
    if (!slice->IsList() || l->count() != 2) throw eLogoException(erExpectList2, slice);
    int64_t start = l->element->ToInt(), count = l->rest->element->ToInt();
    int64_t b, e;
    if (start > 0) {
        b = start - 1;
        e = b + count;
    } else {
        // A start of 0 or less counts the characters before the first one too.
        b = 0;
        e = count + start - 1;
    }
    b = std::clamp<int64_t>(b, 0, len);
    e = std::clamp<int64_t>(e, b, len);
    begin = static_cast<int32_t>(b);
    end = static_cast<int32_t>(e);
    return end > begin;
}

// ---------------------------------------------------------------------------
// Word operations

tlogoobject* wordCount(tlogoobject* self) { return makeInt(static_cast<int32_t>(self->TextView().size())); }

// The empty word has no parts; at strict 2 asking for one is an error.
static bool emptyWordAnswersItself(tlogoobject* self, std::string_view t) {
    if (!t.empty()) return false;
    if (g_strictLevel >= 2) throw eLogoException(erEmptyWord, self);
    return true;
}

tlogoobject* wordFirst(tlogoobject* self) {
    const std::string_view t = self->TextView();
    if (emptyWordAnswersItself(self, t)) return self;
    return charWord(t.front());
}

tlogoobject* wordLast(tlogoobject* self) {
    const std::string_view t = self->TextView();
    if (emptyWordAnswersItself(self, t)) return self;
    return charWord(t.back());
}

tlogoobject* wordButfirst(tlogoobject* self) {
    const std::string_view t = self->TextView();
    if (emptyWordAnswersItself(self, t)) return self;
    return partOfWord(self, 1, t.size() - 1);
}

tlogoobject* wordButlast(tlogoobject* self) {
    const std::string_view t = self->TextView();
    if (emptyWordAnswersItself(self, t)) return self;
    return partOfWord(self, 0, t.size() - 1);
}

tlogoobject* wordPick(tlogoobject* self) {
    const std::string& t = self->GetText();
    if (t.empty()) {
        if (g_strictLevel >= 1) throw eLogoException(erEmptyWord, self);
        return self;
    }
    return charWord(t[randomBelow(static_cast<uint32_t>(t.size()))]);
}

tlogoobject* wordShuffle(tlogoobject* self) {
    std::string t = self->GetText();
    for (size_t i = t.size(); i > 1; --i) std::swap(t[i - 1], t[randomBelow(static_cast<uint32_t>(i))]);
    return makeWord(std::move(t));
}

tlogoobject* wordReverse(tlogoobject* self) {
    std::string t = self->GetText();
    std::reverse(t.begin(), t.end());
    return makeWord(std::move(t));
}

tlogoobject* wordFput(tlogoobject* self, tlogoobject* x) {
    tlogoobject* const parts[] = {x, self};
    return joinWords(parts, 2);
}
tlogoobject* wordLput(tlogoobject* self, tlogoobject* x) {
    tlogoobject* const parts[] = {self, x};
    return joinWords(parts, 2);
}

tlogoobject* wordItem(tlogoobject* self, tlogoobject* x) {
    const std::string_view t = self->TextView();
    const int32_t len = static_cast<int32_t>(t.size());
    if (x->IsList()) {
        std::string r;
        walkSlices(static_cast<tLogoList*>(x), len, [&](int32_t b, int32_t e) { r.append(t, b, e - b); });
        return makeWord(std::move(r));
    }
    if (!x->IsNumber()) throw eLogoException(erMinMax, 1, len, x);
    if (g_strictLevel >= 1) {
        if (t.empty()) throw eLogoException(erEmptyWord, self);
        return charWord(t[x->ToIntRange(1, len) - 1]);
    }
    int32_t i = x->ToInt();
    if (i < 1 || i > len) return makeRawWord({});
    return charWord(t[i - 1]);
}

tlogoobject* wordButitem(tlogoobject* self, tlogoobject* x) {
    std::string t = self->GetText();
    if (x->IsList()) {
        int32_t b, e;
        if (sliceRange(x, static_cast<int32_t>(t.size()), b, e)) t.erase(b, e - b);
        return makeWord(std::move(t));
    }
    if (!x->IsWord()) throw eLogoException(erExpectNumber, x);
    int32_t i = x->ToIntRange(1, INT32_MAX);
    if (static_cast<size_t>(i) <= t.size()) t.erase(i - 1, 1);
    return makeWord(std::move(t));
}

tlogoobject* wordReplace(tlogoobject* self, tlogoobject* index, tlogoobject* y) {
    std::string t = self->GetText();
    const std::string& insert = y->GetText();
    const int32_t len = static_cast<int32_t>(t.size());
    if (index->IsList()) {
        int32_t b, e;
        sliceRange(index, len, b, e);
        t.replace(b, e - b, insert);
        return makeWord(std::move(t));
    }
    if (!index->IsWord()) throw eLogoException(erExpectNumber, index);
    int32_t i = index->ToIntRange(1, len);
    t.replace(i - 1, 1, insert);
    return makeWord(std::move(t));
}

// Occurrences ignore case, with the upper case of the code page.
static size_t findIgnoringCase(const std::string& upperText, tlogoobject* x, std::string& upperX, size_t from = 0) {
    upperX = upperCp1250(x->GetText());
    return upperText.find(upperX, from);
}

tlogoobject* wordMemberP(tlogoobject* self, tlogoobject* x) {
    std::string ux;
    return makeBool(findIgnoringCase(upperCp1250(self->GetText()), x, ux) != std::string::npos);
}

tlogoobject* wordMember(tlogoobject* self, tlogoobject* x) {
    std::string ux;
    size_t p = findIgnoringCase(upperCp1250(self->GetText()), x, ux);
    return makeInt(p == std::string::npos ? 0 : static_cast<int32_t>(p) + 1);
}

tlogoobject* wordButmember(tlogoobject* self, tlogoobject* x) {
    std::string t = self->GetText();
    std::string ut = upperCp1250(t), ux;
    size_t p = findIgnoringCase(ut, x, ux);
    if (ux.empty()) return makeWord(std::move(t));  // nothing to remove
    // After a removal the search goes on from where the removed text began.
    while (p != std::string::npos) {
        t.erase(p, ux.size());
        ut.erase(p, ux.size());
        p = ut.find(ux, p);
    }
    return makeWord(std::move(t));
}

tlogoobject* wordFrommember(tlogoobject* self, tlogoobject* x) {
    const std::string& t = self->GetText();
    std::string ux;
    size_t p = findIgnoringCase(upperCp1250(t), x, ux);
    return makeWord(p == std::string::npos ? std::string() : t.substr(p));
}

tlogoobject* wordAscii(tlogoobject* self) {
    const std::string_view t = self->TextView();
    if (t.empty()) {
        if (g_strictLevel >= 1) throw eLogoException(erEmptyWord, self);
        return makeInt(0);
    }
    return makeInt(static_cast<unsigned char>(t.front()));
}

tlogoobject* wordChar(tlogoobject* self) {
    return makeRawWord(std::string(1, static_cast<char>(self->ToIntRange(0, 255))));
}

tlogoobject* wordNot(tlogoobject* self) { return makeBool(!self->ToBool()); }
tlogoobject* numberNot(tlogoobject* self) { throw eLogoException(erNotBool, self); }

tlogoobject* wordBitnot(tlogoobject* self) {
    if (self->vkind == ValueKind::Bool) throw eLogoException(erMinMax, INT32_MIN, INT32_MAX, self);
    return makeInt(~self->ToInt());
}

} // namespace qm
