// Name tables, variable entries and the dispatch of operations to a value's type.
#include "tables.h"

#include "context.h"
#include "dictionary.h"
#include "name_codes.h"

namespace qm {

bool g_systemDefinitions = false;
std::atomic<uint64_t> g_lookupGeneration{1};

std::string tTabDesc::NameText() const { return nameCodes().textOf(nameCode); }

tLogoTab::~tLogoTab() {
    bumpLookupGeneration();
    for (tTabDesc* e = m_head; e;) {
        tTabDesc* next = e->chainNext;
        delete e;
        e = next;
    }
}

eLogoException tLogoTab::missing(int32_t code) const {
    auto e = eLogoException::withNameCode(erDoNotKnowHowTo, code);
    e.name = nameCodes().textOf(code);
    return e;
}

tTabDesc* tLogoTab::GetEntry(int32_t code) const {
    if (tTabDesc* e = FindEntry(code)) return e;
    throw missing(code);
}

tTabDesc* tLogoTab::findHigh(int32_t code) const {
    auto it = m_highEntries.find(code);
    return it == m_highEntries.end() ? nullptr : it->second;
}

// Tables grow in steps of 512 codes so that names interned together share one array.
void tLogoTab::cover(int32_t c) {
    if (c < 1) throw eLogoException::withNameCode(erInternLogoTab, c);
    if (m_entries.empty()) {
        m_low = c - 256 > 1 ? c - 256 : 1;
        m_high = m_low + 512;
        m_entries.assign(static_cast<size_t>(m_high - m_low + 1), nullptr);
        return;
    }
    int32_t low = m_low, high = m_high;
    if (c < low) low = (low - c < 512) ? (low - 512 > 1 ? low - 512 : 1) : c;
    if (c > high) high = (c - high < 512) ? high + 512 : c;
    if (low == m_low && high == m_high) return;
    std::vector<tTabDesc*> grown(static_cast<size_t>(high - low + 1), nullptr);
    for (size_t i = 0; i < m_entries.size(); ++i) grown[i + static_cast<size_t>(m_low - low)] = m_entries[i];
    m_entries.swap(grown);
    m_low = low;
    m_high = high;
}

void tLogoTab::unlink(tTabDesc* e) {
    if (e->chainPrev) e->chainPrev->chainNext = e->chainNext;
    else m_head = e->chainNext;
    if (e->chainNext) e->chainNext->chainPrev = e->chainPrev;
    else m_tail = e->chainPrev;
    e->chainNext = e->chainPrev = nullptr;
}

void tLogoTab::add(tTabDesc* entry) {
    int32_t c = entry->nameCode;
    // The table owns what it is given, also when it refuses it.
    if (c < 1) {
        delete entry;
        throw eLogoException::withNameCode(erInternLogoTab, c);
    }
    if (g_systemDefinitions) entry->flags |= tfSystem;
    bumpLookupGeneration();
    if (c >= kHighCodes) {
        auto it = m_highEntries.find(c);
        if (it != m_highEntries.end()) {
            unlink(it->second);
            delete it->second;
        }
        m_highEntries[c] = entry;
    } else {
        cover(c);
        tTabDesc*& slot = m_entries[static_cast<size_t>(c - m_low)];
        if (slot) {
            unlink(slot);
            delete slot;
        }
        slot = entry;
    }
    entry->table = this;
    entry->chainPrev = m_tail;
    entry->chainNext = nullptr;
    if (m_tail) m_tail->chainNext = entry;
    else m_head = entry;
    m_tail = entry;
}

bool tLogoTab::removeIfPresent(int32_t c) {
    tTabDesc* e = FindEntry(c);
    if (!e) return false;
    bumpLookupGeneration();
    if (c >= kHighCodes) m_highEntries.erase(c);
    else m_entries[static_cast<size_t>(c - m_low)] = nullptr;
    unlink(e);
    delete e;
    return true;
}

void tLogoTab::remove(int32_t c) {
    if (!removeIfPresent(c)) throw missing(c);
}

void tLogoTab::EraseAll(int32_t exceptCode) {
    std::vector<int32_t> doomed;
    for (tTabDesc* e = m_head; e; e = e->chainNext)
        if (!(e->flags & tfSystem) && e->nameCode != exceptCode) doomed.push_back(e->nameCode);
    for (int32_t c : doomed) removeIfPresent(c);
}

// ---- variables ----

void tLogoVarDesc::setValue(tlogoobject* v) {
    // A pooled box is never kept in a variable; it goes back to its pool.
    if (v && v->pooled) v = v->Clone();
    if (value && v && value->AssignInPlace(v)) return;
    assign(value, v);
}

std::string tLogoVarDesc::DefinitionText() {
    if (!value) return uiString("strings", "novalue");
    return value->ShowText(true);
}

eLogoException tLogoVarTab::missing(int32_t code) const {
    auto e = eLogoException::withNameCode(erNoVal, code);
    e.name = nameCodes().textOf(code);
    return e;
}

void tLogoVarTab::SetWithFlags(int32_t code, tlogoobject* v, uint8_t flags) {
    auto* e = static_cast<tLogoVarDesc*>(FindEntry(code));
    if (e) {
        e->flags = static_cast<uint8_t>((e->flags & ~tfDoNotSaveNow) | (flags & tfDoNotSaveNow));
        e->setValue(v);
        return;
    }
    e = newEntry(code);
    e->flags = flags;
    e->kind = 0;
    e->setValue(v);
    add(e);
}

void tLogoVarTab::Set(int32_t code, tlogoobject* v) {
    auto* e = static_cast<tLogoVarDesc*>(FindEntry(code));
    if (e) {
        e->flags &= static_cast<uint8_t>(~tfDoNotSaveNow);
        e->setValue(v);
        return;
    }
    e = newEntry(code);
    e->kind = 1;
    e->setValue(v);
    add(e);
}

tlogoobject* tLogoVarTab::Get(int32_t code) const {
    tTabDesc* e = FindEntry(code);
    tlogoobject* v = e ? e->Value() : nullptr;
    if (!v) throw missing(code);
    return v;
}

tlogoobject* tLogoVarTab::GetOrNil(int32_t code) const {
    tTabDesc* e = FindEntry(code);
    return e ? e->Value() : nullptr;
}

// ---- descriptors ----

void tProcDesc::sendCommand(ProcessContext&, int32_t, tlogoobject*) {
    throw eLogoException::withName(erInternExecute, NameText());
}
void tProcDesc::sendReporter(ProcessContext&, int32_t, tlogoobject*) {
    throw eLogoException::withName(erInternExecute, NameText());
}

void tOutput::Execute(ProcessContext& cx, int32_t) {
    cx.valueStack.popInto(cx.outputValue);
    throw eOutputException();
}

void tStop::Execute(ProcessContext& cx, int32_t) {
    release(cx.outputValue);
    cx.outputValue = nullptr;
    throw eOutputException();
}

static tProcDesc* findMethodOf(ProcessContext& cx, tlogoobject* target, int32_t code) {
    tLogoTab* t = target->MethodTable();
    tTabDesc* e = t ? t->FindEntry(code) : nullptr;
    if (!e) {
        auto err = eLogoException::withNameCode(erDoNotKnowHowTo, code);
        err.name = nameCodes().textOf(code);
        throw err;
    }
    cx.foundLevel = 0;
    return static_cast<tProcDesc*>(e);
}

void tObjectProc1Desc::Execute(ProcessContext& cx, int32_t n) {
    tlogoobject* target = cx.valueStack.pick(n - 1);
    tProcDesc* m = findMethodOf(cx, target, nameCode);
    m->sendReporter(cx, n - 1, target);
    cx.valueStack.removeSecond();
}

void tObjectProcEndDesc::Execute(ProcessContext& cx, int32_t n) {
    Ref<tlogoobject> target;
    {
        tlogoobject* t = cx.valueStack.popTransfer();
        target = t;
        release(t);
    }
    tProcDesc* m = findMethodOf(cx, target.get(), nameCode);
    m->sendReporter(cx, n - 1, target.get());
}

void tObjectProcNDesc::Execute(ProcessContext& cx, int32_t n) {
    Ref<tlogoobject> target = cx.valueStack.pick(depth);
    cx.valueStack.removeAt(depth);
    tProcDesc* m = findMethodOf(cx, target.get(), nameCode);
    m->sendReporter(cx, n - 1, target.get());
}

void tPasProcRoot::Execute(ProcessContext&, int32_t) {
    throw eLogoException::withName(erInternExecuteF, NameText());
}

void tPasProcRoot::CallWithTarget(ProcessContext& cx, int32_t n, tlogoobject* target) {
    // The further inputs stay held by the stack while the handler runs.
    tlogoobject* args[4] = {nullptr, nullptr, nullptr, nullptr};
    int32_t k = n < 4 ? n : 4;
    for (int32_t i = 0; i < k; ++i) args[i] = cx.valueStack.pick(k - 1 - i);
    tlogoobject* r = handler(cx, target, args, k);
    hold(r);
    cx.valueStack.discard(n);
    cx.valueStack.pushHeld(r);
}

} // namespace qm
