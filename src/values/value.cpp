// The value classes: pools, factories, conversions, equality and the print forms.
#include "value.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <mutex>
#include <vector>

#include <sys/mman.h>

#include "language.h"
#include "number_text.h"

namespace qm {

// ---------------------------------------------------------------------------
// Pools. Logo process threads take boxes and cells from free lists and give them
// back; every other thread uses the general allocator. All pool traffic happens
// under the global interpreter lock, so the lists need no lock of their own.

static thread_local bool tl_logoThread = false;
void setLogoThread(bool on) { tl_logoThread = on; }
bool isLogoThread() { return tl_logoThread; }

namespace {
struct FreeList {
    void* head = nullptr;
    int32_t count = 0;
    int32_t cap;
    size_t size;
    FreeList(size_t sz, int32_t capacity) : cap(capacity), size(sz) {}
    void* take() {
        if (tl_logoThread && head) {
            void* p = head;
            head = *static_cast<void**>(p);
            --count;
            return p;
        }
        return ::operator new(size);
    }
    void give(void* p) {
        if (tl_logoThread && count < cap) {
            *static_cast<void**>(p) = head;
            head = p;
            ++count;
        } else {
            ::operator delete(p);
        }
    }
    void fill(int32_t n) {
        while (count < n) {
            void* p = ::operator new(size);
            *static_cast<void**>(p) = head;
            head = p;
            ++count;
        }
    }
};
FreeList g_strings(sizeof(tLogoString), 100);
FreeList g_ints(sizeof(tLogoInt), 100);
FreeList g_reals(sizeof(tLogoReal), 100);
FreeList g_bools(sizeof(tLogoBool), 100);
int64_t g_cellsAllocated = 0, g_cellsReleased = 0, g_liveWords = 0;

// List cells. Programs make and drop cells by the million (lput copies, list walks),
// and the general allocator spends most of such a run merging and splitting its free
// chunks. Cells therefore come from slabs of this heap and go back to its free list, which
// keeps every cell it gets: cell memory is reused for cells, never returned. The first
// 10,000 cells are the start-up pool; they are carved from the first slab as needed, so
// start-up touches none of that memory.
// A program that holds many cells at once (a list copied by lput at every step of a
// recursion keeps every copy) has its slabs taken in 2 MiB pieces on 2 MiB boundaries and
// asks the kernel for huge pages there: writing fresh memory a 4 KiB page at a time cost more
// than the program's own work, one fault for each 100 cells.
// Logo threads (which hold the global interpreter lock) use the free list and the slabs
// without a lock. Other threads take and give through a small side list under its own
// mutex: a cell may be made on one kind of thread and dropped on the other.
class CellHeap {
public:
    static constexpr size_t kCell = sizeof(tLogoList);
    static constexpr int32_t kPool = 10000;
    static constexpr size_t kSlabCells = 4096;
    static constexpr size_t kLargeSlab = size_t{2} << 20;
    // Small slabs until the slabs taken hold this many cells; large ones from then on.
    static constexpr int64_t kSmallSlabsUpTo = 65536;

    void* take() {
        if (tl_logoThread) {
            if (m_head) {
                void* p = m_head;
                m_head = *static_cast<void**>(p);
                --m_free;
                return p;
            }
            if (m_next == m_end) grow();
            void* p = m_next;
            m_next += kCell;
            --m_free;
            return p;
        }
        std::lock_guard<std::mutex> lock(m_sideMutex);
        if (m_side) {
            void* p = m_side;
            m_side = *static_cast<void**>(p);
            return p;
        }
        return ::operator new(kCell);
    }
    void give(void* p) {
        if (tl_logoThread) {
            *static_cast<void**>(p) = m_head;
            m_head = p;
            ++m_free;
            return;
        }
        std::lock_guard<std::mutex> lock(m_sideMutex);
        *static_cast<void**>(p) = m_side;
        m_side = p;
    }
    // The start-up pool: reserved address space, touched only when cells are taken.
    void reserve() {
        if (m_reserved) return;
        m_reserved = true;
        if (m_end - m_next < static_cast<ptrdiff_t>(kPool * kCell)) newSlab(kPool);
    }
    int64_t freeCount() const { return m_free; }

private:
    void grow() {
        if (m_slabCells >= kSmallSlabsUpTo)
            if (char* p = largeSlab()) return useSlab(p, kLargeSlab / kCell);
        newSlab(kSlabCells);
    }
    void newSlab(size_t cells) { useSlab(static_cast<char*>(::operator new(cells * kCell)), cells); }
    void useSlab(char* p, size_t cells) {
        // Every slab stays listed, in a list that is never freed: free cells link across slabs,
        // and a leak checker that does not look inside mapped slabs, run after the static
        // destructors, must still see the others held.
        m_slabs->push_back(p);
        // Cells still left in the current slab stay counted as free but are dropped from
        // the bump range; thread them onto the free list first.
        while (m_next != m_end) {
            *reinterpret_cast<void**>(m_next) = m_head;
            m_head = m_next;
            m_next += kCell;
        }
        m_next = p;
        m_end = m_next + cells * kCell;
        m_free += static_cast<int64_t>(cells);
        m_slabCells += static_cast<int64_t>(cells);
    }
    // 2 MiB on a 2 MiB boundary, advised for huge pages; nil when no memory is left for it.
    static char* largeSlab() {
        void* m = mmap(nullptr, 2 * kLargeSlab, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (m == MAP_FAILED) return nullptr;
        char* base = static_cast<char*>(m);
        char* p = reinterpret_cast<char*>((reinterpret_cast<uintptr_t>(base) + kLargeSlab - 1) & ~(kLargeSlab - 1));
        if (p > base) munmap(base, static_cast<size_t>(p - base));
        if (p + kLargeSlab < base + 2 * kLargeSlab)
            munmap(p + kLargeSlab, static_cast<size_t>(base + 2 * kLargeSlab - (p + kLargeSlab)));
        madvise(p, kLargeSlab, MADV_HUGEPAGE);  // only advice: ordinary pages when none are granted
        return p;
    }

    void* m_head = nullptr;
    char* m_next = nullptr;
    char* m_end = nullptr;
    int64_t m_free = 0;       // free-list cells plus the untouched rest of the current slab
    int64_t m_slabCells = 0;  // cells in every slab taken so far
    bool m_reserved = false;
    std::vector<void*>* m_slabs = new std::vector<void*>;
    std::mutex m_sideMutex;
    void* m_side = nullptr;
};
CellHeap g_cells;
} // namespace

void preallocatePools() {
    bool was = tl_logoThread;
    tl_logoThread = true;
    g_cells.reserve();
    g_strings.fill(100);
    g_ints.fill(100);
    g_reals.fill(100);
    g_bools.fill(100);
    tl_logoThread = was;
}

MemoryCounters memoryCounters() {
    return {g_cellsAllocated, g_cellsReleased, g_cellsAllocated - g_cellsReleased,
            g_ints.count, g_reals.count, g_strings.count, g_bools.count,
            static_cast<int32_t>(std::min<int64_t>(g_cells.freeCount(), INT32_MAX)), g_liveWords};
}

static_assert(sizeof(tLogoList) <= 40, "a list cell grew: every list of a program pays for it");

void* tLogoList::operator new(size_t) {
    ++g_cellsAllocated;
    return g_cells.take();
}
void tLogoList::operator delete(void* p) {
    ++g_cellsReleased;
    g_cells.give(p);
}
// Every word box comes from the free list of its class and counts as a live word.
#define QM_WORD_POOL(Class, list)              \
    void* Class::operator new(size_t) {        \
        ++g_liveWords;                         \
        return list.take();                    \
    }                                          \
    void Class::operator delete(void* p) {     \
        --g_liveWords;                         \
        list.give(p);                          \
    }
QM_WORD_POOL(tLogoString, g_strings)
QM_WORD_POOL(tLogoInt, g_ints)
QM_WORD_POOL(tLogoReal, g_reals)
QM_WORD_POOL(tLogoBool, g_bools)
#undef QM_WORD_POOL

void tLogoString::Dispose() { delete this; }
void tLogoInt::Dispose() { delete this; }
void tLogoReal::Dispose() { delete this; }
void tLogoBool::Dispose() { delete this; }

// ---------------------------------------------------------------------------
// Factories

tLogoInt* makeInt(int32_t v) { return new tLogoInt(v); }
tLogoReal* makeReal(LReal v) { return new tLogoReal(v); }
tLogoBool* makeBool(bool v) { return new tLogoBool(v); }

tlogoobject* makeNumber(int64_t v) {
    if (v >= INT32_MIN && v <= INT32_MAX) return makeInt(static_cast<int32_t>(v));
    return makeReal(static_cast<LReal>(v));
}

tLogoString* makeRawWord(std::string text) { return new tLogoString(std::move(text)); }

tLogoString* makeWord(std::string text) {
    // Internal names inside engine text are translated into the current language.
    if (text.size() > 1 && static_cast<unsigned char>(text[0]) == 0xB7 && language().translateInternal)
        return new tLogoString(language().translateInternal(text));
    return new tLogoString(std::move(text));
}

// ---------------------------------------------------------------------------
// Shared texts

namespace {

// Shorter texts are copied: a string of their own costs less than sharing.
constexpr size_t kShareFrom = 64;

void releaseShared(SharedText* t) {
    if (t && --t->refs < 1) delete t;
}

// A text that starts with the internal-name marker is translated, so it is made as a string.
bool translatedWord(std::string_view firstPart) {
    return !firstPart.empty() && static_cast<unsigned char>(firstPart[0]) == 0xB7 && language().translateInternal;
}

} // namespace

SharedText* SharedText::make(size_t capacity) {
    if (capacity > UINT32_MAX) throw std::bad_alloc();
    auto* t = new (::operator new(sizeof(SharedText) + capacity)) SharedText();
    t->capacity = static_cast<uint32_t>(capacity);
    return t;
}

tLogoString::tLogoString(SharedText* shared, uint32_t begin, uint32_t length)
    : tLogoWord(ValueKind::String), m_shared(shared), m_begin(begin), m_length(length) {
    ++shared->refs;
}

tLogoString::~tLogoString() { releaseShared(m_shared); }

const std::string& tLogoString::GetText() {
    if (m_shared) {
        m_text.assign(m_shared->chars() + m_begin, m_length);
        releaseShared(m_shared);
        m_shared = nullptr;
    }
    return m_text;
}

tlogoobject* joinWords(tlogoobject* const* parts, size_t count) {
    size_t total = 0;
    std::string_view firstPart;
    for (size_t i = 0; i < count; ++i) {
        const std::string_view v = parts[i]->TextView();
        if (firstPart.empty()) firstPart = v;
        total += v.size();
    }
    if (total < kShareFrom || translatedWord(firstPart)) {
        std::string s;
        s.reserve(total);
        for (size_t i = 0; i < count; ++i) s += parts[i]->TextView();
        return makeWord(std::move(s));
    }
    if (total > UINT32_MAX) throw std::bad_alloc();
    SharedText* t = nullptr;
    uint32_t begin = 0;
    size_t from = 0;  // the parts still to be written
    if (parts[0]->vkind == ValueKind::String) {
        auto* w = static_cast<tLogoString*>(parts[0]);
        SharedText* ws = w->sharedText();
        const std::string_view v = w->TextView();
        if (ws && w->sharedBegin() + v.size() == ws->used) {
            if (ws->capacity - ws->used >= total - v.size()) {
                // Written after the first part, in place: no word refers to what lies there.
                t = ws;
                begin = w->sharedBegin();
                from = 1;
            } else {
                // A word that grows at its end: room for as much again.
                t = SharedText::make(std::min<size_t>(2 * total, UINT32_MAX));
            }
        }
    }
    if (!t) t = SharedText::make(total);
    // Every part lies in what was written before (or in other texts), never where this writes.
    char* out = t->chars() + t->used;
    for (size_t i = from; i < count; ++i) {
        const std::string_view v = parts[i]->TextView();
        if (!v.empty()) std::memcpy(out, v.data(), v.size());
        out += v.size();
    }
    if (from == 0) begin = t->used;
    t->used = static_cast<uint32_t>(out - t->chars());
    return new tLogoString(t, begin, static_cast<uint32_t>(total));
}

tlogoobject* partOfWord(tlogoobject* word, size_t from, size_t length) {
    const std::string_view v = word->TextView().substr(from, length);
    if (v.size() < kShareFrom || translatedWord(v)) return makeWord(std::string(v));
    if (word->vkind == ValueKind::String) {
        auto* w = static_cast<tLogoString*>(word);
        // A part keeps the whole shared text alive: it shares only while it is a good part of it.
        if (SharedText* ws = w->sharedText(); ws && v.size() * 4 >= ws->used)
            return new tLogoString(ws, static_cast<uint32_t>(w->sharedBegin() + from), static_cast<uint32_t>(v.size()));
    }
    // The parts taken from this part will share its copy.
    SharedText* t = SharedText::make(v.size());
    std::memcpy(t->chars(), v.data(), v.size());
    t->used = static_cast<uint32_t>(v.size());
    return new tLogoString(t, 0, static_cast<uint32_t>(v.size()));
}

tLogoList* makeEmptyList() { return new tLogoList(); }

tLogoList* makeCell(tlogoobject* element, tLogoList* rest) {
    auto* c = new tLogoList();
    c->element = hold(element);
    if (rest && !rest->IsEmpty()) c->rest = hold(rest);
    return c;
}

ListBuilder::~ListBuilder() {
    if (m_head) {
        hold(m_head);
        release(m_head);
    }
}

void ListBuilder::append(tlogoobject* v) {
    auto* c = new tLogoList();
    c->element = hold(v);
    if (!m_head) {
        m_head = m_tail = c;
    } else {
        m_tail->rest = hold(c);
        m_tail = c;
    }
}

void ListBuilder::appendShared(tLogoList* tail) {
    if (!tail || tail->IsEmpty()) return;
    if (!m_head) {
        // The whole list is the shared tail; hand out one more hold through a fresh head.
        append(tail->element);
        tail = tail->rest;
        if (!tail) return;
    }
    m_tail->rest = hold(tail);
    while (m_tail->rest) m_tail = m_tail->rest;  // keep m_tail valid for further appends
}

tLogoList* ListBuilder::finish() {
    tLogoList* h = m_head ? m_head : makeEmptyList();
    m_head = m_tail = nullptr;
    return h;
}

// ---------------------------------------------------------------------------
// Base operations

tlogoobject* tlogoobject::Clone() { return this; }

int32_t tlogoobject::ToIntRange(int32_t lo, int32_t hi) { throw eLogoException(erMinMax, lo, hi, this); }
int32_t tlogoobject::ToInt() { throw eLogoException(erExpectNumber, this); }
LReal tlogoobject::ToReal() { throw eLogoException(erExpectNumber, this); }

uint32_t tlogoobject::ToColour() {
    if (language().colourOf) return language().colourOf(this);
    throw eLogoException(erExpectColors, this);
}

std::string tlogoobject::PrintText(bool) {
    std::string t = language().anInstanceOf;
    auto p = t.find("%s");
    if (p != std::string::npos) t.replace(p, 2, ClassName());
    return t;
}

const std::string& tlogoobject::GetText() { throw eLogoException(erExpectWord, this); }
int32_t tlogoobject::NameCode() { throw eLogoException(erExpectWord, this); }
ElementBlock* tlogoobject::Compile(int) { throw eLogoException(erExpectList, this); }
bool tlogoobject::ToBool() { throw eLogoException(erNotBool, this); }

// ---------------------------------------------------------------------------
// Lists

tLogoList::~tLogoList() = default;

void tLogoList::Dispose() {
    // Long chains are freed in a loop, not by recursion, so any length is safe.
    tLogoList* cell = this;
    while (cell) {
        tLogoList* next = cell->rest;
        cell->rest = nullptr;
        release(cell->element);
        cell->element = nullptr;
        if (cell->codeCache && language().freeBlock) language().freeBlock(cell->codeCache);
        cell->codeCache = nullptr;
        delete cell;
        cell = (next && --next->referenceCount < 1) ? next : nullptr;
    }
}

int32_t tLogoList::count() const {
    if (!element) return 0;
    int32_t n = 0;
    for (const tLogoList* c = this; c; c = c->rest) ++n;
    return n;
}

tlogoobject* tLogoList::Clone() {
    if (IsEmpty()) return makeEmptyList();
    ListBuilder b;
    for (tLogoList* c = this; c; c = c->rest) b.append(c->element);
    return b.finish();
}

std::string tLogoList::PrintText(bool brackets) {
    std::string s;
    if (brackets) s.push_back('[');
    if (element) {
        bool first = true;
        for (tLogoList* c = this; c; c = c->rest) {
            if (!first) s.push_back(' ');
            first = false;
            s += c->element->PrintText(true);
        }
    }
    if (brackets) s.push_back(']');
    return s;
}

std::string tLogoList::ShowText(bool brackets) {
    std::string s;
    if (brackets) s.push_back('[');
    if (element) {
        bool first = true;
        for (tLogoList* c = this; c; c = c->rest) {
            if (!first) s.push_back(' ');
            first = false;
            s += c->element->ShowText(true);
        }
    }
    if (brackets) s.push_back(']');
    return s;
}

ElementBlock* tLogoList::Compile(int kind) {
    if (codeCache && codeCacheKind == kind) return codeCache;  // compiled once, run many times
    return language().compile(this, kind);
}

static bool listsEqual(tLogoList* a, tlogoobject* other, bool exact) {
    if (other == a) return true;
    if (!other->IsList()) return false;
    auto* b = static_cast<tLogoList*>(other);
    if (a->IsEmpty() || b->IsEmpty()) return a->IsEmpty() && b->IsEmpty();
    while (a && b) {
        if (a == b) return true;  // shared tails are equal
        bool eq = exact ? a->element->EqualExact(b->element) : a->element->Equal(b->element);
        if (!eq) return false;
        a = a->rest;
        b = b->rest;
    }
    return a == nullptr && b == nullptr;
}

bool tLogoList::Equal(tlogoobject* other) { return listsEqual(this, other, false); }
bool tLogoList::EqualExact(tlogoobject* other) { return listsEqual(this, other, true); }

// ---------------------------------------------------------------------------
// Words

tLogoWord::~tLogoWord() {
    if (codeCache && language().freeBlock) language().freeBlock(codeCache);
}

void tLogoWord::clearCaches() {
    nameCodeCache = 0;
    if (codeCache && language().freeBlock) language().freeBlock(codeCache);
    codeCache = nullptr;
}

int32_t tLogoWord::NameCode() {
    if (!nameCodeCache) nameCodeCache = language().intern(GetText());
    return nameCodeCache;
}

ElementBlock* tLogoWord::Compile(int kind) {
    if (codeCache && codeCacheKind == kind) return codeCache;
    return language().compile(this, kind);
}

tlogoobject* tLogoString::Clone() {
    if (m_shared) return new tLogoString(m_shared, m_begin, m_length);
    return makeRawWord(m_text);
}

void tLogoString::resetCaches() {
    numberParsed = isNumber = isInteger = false;
    truthParsed = isTruth = truthValue = false;
    clearCaches();
}

void tLogoString::parseNumber() {
    if (numberParsed) return;
    numberParsed = true;
    NumberReading r = readNumberText(TextView());
    isNumber = r.kind != NumberReading::None;
    isInteger = r.kind == NumberReading::Integer;
    intValue = r.intValue;
    realValue = r.realValue;
}

bool tLogoString::IsAnyWord() { return isAnyWord(TextView()); }
bool tLogoString::IsNumber() {
    parseNumber();
    return isNumber;
}
bool tLogoString::IsBool() { return isTrueWord(TextView()) || isFalseWord(TextView()); }
bool tLogoString::IsInteger() {
    parseNumber();
    return isInteger;
}

int32_t tLogoString::ToInt() {
    parseNumber();
    if (isInteger) return intValue;
    if (isNumber) return roundRealToInt(realValue, this);
    if (isAnyWord(TextView())) return static_cast<int32_t>(randomBelow(100)) + 1;
    throw eLogoException(erExpectNumber, this);
}

int32_t tLogoString::ToIntRange(int32_t lo, int32_t hi) {
    parseNumber();
    if (!isNumber && isAnyWord(TextView()))
        return lo + static_cast<int32_t>(randomBelow(static_cast<uint32_t>(int64_t(hi) - lo + 1)));
    int32_t v = ToInt();
    if (v < lo || v > hi) throw eLogoException(erMinMax, lo, hi, this);
    return v;
}

LReal tLogoString::ToReal() {
    parseNumber();
    if (isInteger) return intValue;
    if (isNumber) return realValue;
    if (isAnyWord(TextView())) return static_cast<LReal>(randomBelow(100) + 1);
    throw eLogoException(erExpectNumber, this);
}

bool tLogoString::ToBool() {
    if (truthParsed) return truthValue;
    parseNumber();
    if (isNumber) {
        if (isInteger) {
            truthParsed = true;
            return truthValue = intValue > 0;
        }
        if (realValue <= 0 || realValue >= 1) {
            truthParsed = true;
            return truthValue = realValue >= 1;
        }
        return randomUnit() <= static_cast<double>(realValue);
    }
    if (isTrueWord(TextView())) {
        truthParsed = true;
        return truthValue = true;
    }
    if (isFalseWord(TextView())) {
        truthParsed = true;
        return truthValue = false;
    }
    if (isAnyWord(TextView())) return randomBelow(2) == 1;
    throw eLogoException(erNotBool, this);
}

std::string tLogoString::PrintText(bool) {
    // A line break stored as a lone CR prints as CR LF.
    const std::string_view text = TextView();
    std::string s;
    s.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        s.push_back(text[i]);
        if (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n')) s.push_back('\n');
    }
    return s;
}

std::string tLogoString::ShowText(bool) { return showWordText(GetText()); }

static bool wordsEqualAsNumbers(tlogoobject* a, tlogoobject* b, bool& decided) {
    decided = false;
    if (!a->IsNumber() || !b->IsNumber()) return false;
    decided = true;
    if (a->IsInteger() && b->IsInteger() && a->vkind != ValueKind::Real && b->vkind != ValueKind::Real)
        return a->ToInt() == b->ToInt();
    return a->ToReal() == b->ToReal();
}

bool tLogoString::Equal(tlogoobject* other) {
    if (other == this) return true;
    if (!other->IsWord()) return false;
    if (other->vkind == ValueKind::Bool) return other->Equal(this);
    bool decided;
    bool eq = wordsEqualAsNumbers(this, other, decided);
    if (decided) return eq;
    return sameName(TextView(), other->TextView());
}

bool tLogoString::EqualExact(tlogoobject* other) {
    if (other == this) return true;
    if (!other->IsWord()) return false;
    bool decided;
    bool eq = wordsEqualAsNumbers(this, other, decided);
    if (decided) return eq;
    return TextView() == other->TextView();
}

bool tLogoString::AssignInPlace(tlogoobject* other) {
    if (other == this) return true;
    if (referenceCount == 1 && other->vkind == ValueKind::String && other->pooled) {
        std::string copy(other->TextView());
        if (m_shared && --m_shared->refs < 1) delete m_shared;
        m_shared = nullptr;
        m_text = std::move(copy);
        resetCaches();
        return true;
    }
    return false;
}

// ---------------------------------------------------------------------------
// Numbers

int32_t tlogonumber::ToIntRange(int32_t lo, int32_t hi) {
    int32_t v = ToInt();
    if (v < lo || v > hi) throw eLogoException(erMinMax, lo, hi, this);
    return v;
}

bool tlogonumber::Equal(tlogoobject* other) {
    if (other == this) return true;
    if (!other->IsWord()) return false;
    if (other->vkind == ValueKind::Bool) return false;
    bool decided;
    bool eq = wordsEqualAsNumbers(this, other, decided);
    if (decided) return eq;
    return sameName(GetText(), other->GetText());
}

tlogoobject* tLogoInt::Clone() { return makeInt(value); }

const std::string& tLogoInt::GetText() {
    if (!textCached) {
        numberText = std::to_string(value);
        textCached = true;
    }
    return numberText;
}

tlogoobject* tLogoReal::Clone() { return makeReal(value); }
bool tLogoReal::IsInteger() { return std::isfinite(value) && value == std::trunc(value); }
int32_t tLogoReal::ToInt() { return roundRealToInt(value, this); }

bool tLogoReal::ToBool() {
    if (value <= 0) return false;
    if (value >= 1) return true;
    return randomUnit() <= static_cast<double>(value);
}

const std::string& tLogoReal::GetText() {
    if (!textCached) {
        numberText = formatReal(value);
        textCached = true;
    }
    return numberText;
}

tlogoobject* tLogoBool::Clone() {
    auto* b = makeBool(value);
    if (textCached) {
        b->numberText = numberText;
        b->textCached = true;
    }
    return b;
}

int32_t tLogoBool::ToInt() { throw eLogoException(erExpectNumber, this); }
LReal tLogoBool::ToReal() { throw eLogoException(erExpectNumber, this); }

const std::string& tLogoBool::GetText() {
    if (!textCached) {
        const auto& words = value ? language().trueWords : language().falseWords;
        numberText = words.empty() ? (value ? "true" : "false") : words.front();
        if (language().optionAnsi)
            for (char& c : numberText)
                if (static_cast<unsigned char>(c) >= 128) c = static_cast<char>(kUnaccent[static_cast<unsigned char>(c) - 128]);
        textCached = true;
    }
    return numberText;
}

bool tLogoBool::Equal(tlogoobject* other) {
    if (other == this) return true;
    if (other->vkind == ValueKind::Bool) return static_cast<tLogoBool*>(other)->value == value;
    if (other->vkind == ValueKind::String) {
        const std::string& t = other->GetText();
        if (isTrueWord(t)) return value;
        if (isFalseWord(t)) return !value;
    }
    return false;
}

// Method tables of the value types are installed by the interpreter at start-up.
tLogoTab* g_stringMethods = nullptr;
tLogoTab* g_intMethods = nullptr;
tLogoTab* g_realMethods = nullptr;
tLogoTab* g_boolMethods = nullptr;
tLogoTab* g_listMethods = nullptr;

tLogoTab* tLogoList::MethodTable() { return g_listMethods; }
tLogoTab* tLogoString::MethodTable() { return g_stringMethods; }
tLogoTab* tLogoInt::MethodTable() { return g_intMethods; }
tLogoTab* tLogoReal::MethodTable() { return g_realMethods; }
tLogoTab* tLogoBool::MethodTable() { return g_boolMethods; }

} // namespace qm
