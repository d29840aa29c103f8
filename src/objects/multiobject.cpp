// The object record: chains, lookups, names and paths, variables, behaviours, erasing.
#include "multiobject.h"

#include <algorithm>

#include "dictionary.h"
#include "name_codes.h"
#include "property_rows.h"

namespace qm {

namespace {

int32_t g_dictionaryLimit = 0x7FFFFFFF;
thread_local ProcessContext* t_context = nullptr;
tmultiobject* g_firstObject = nullptr;
tmultiobject* g_lastObject = nullptr;
uint64_t g_nextSerial = 1;

// The dictionary words that object paths recognise, as name codes.
struct ObjectNames {
    std::vector<int32_t> receiver, main, myParent, activeToolbutton, myPlace, lastObject, myWindow, myPage;
};
ObjectNames g_names;

bool oneOf(const std::vector<int32_t>& codes, int32_t code) {
    return std::find(codes.begin(), codes.end(), code) != codes.end();
}

std::vector<int32_t> codesOfWords(std::string_view group, std::string_view key) {
    std::vector<int32_t> out;
    for (const std::string& w : synonyms(group, key)) out.push_back(nameCodes().intern(w));
    return out;
}

// Keeps the last occurrence of every entry, in order.
template <class T>
void keepLast(std::vector<T*>& v) {
    std::vector<T*> out;
    out.reserve(v.size());
    for (size_t i = 0; i < v.size(); ++i) {
        bool later = false;
        for (size_t j = i + 1; j < v.size() && !later; ++j) later = v[j] == v[i];
        if (!later) out.push_back(v[i]);
    }
    v.swap(out);
}

template <class T>
void appendAll(std::vector<T*>& to, const std::vector<T*>& from) {
    to.insert(to.end(), from.begin(), from.end());
}

struct GuardFlag {
    bool& flag;
    explicit GuardFlag(bool& f) : flag(f) { flag = true; }
    ~GuardFlag() { flag = false; }
};

// An accessor: the getter outputs the variable, the setter assigns it, both on the
// current object.
class tVarGetterDesc : public tProcDesc {
public:
    tVarGetterDesc(int32_t code, int32_t var) : tProcDesc(code, 0, false, etFun), variable(var) { userDefined = true; }
    int32_t variable;
    void Execute(ProcessContext& cx, int32_t n) override {
        ++activeCalls;
        struct Done { int32_t& c; ~Done() { --c; } } done{activeCalls};
        tlogoobject* v = currentObject(cx)->getVariable(variable);
        cx.valueStack.discard(n);
        cx.valueStack.push(v);
    }
    bool MayChange(bool running) override { return !running || activeCalls == 0; }
};

class tVarSetterDesc : public tProcDesc {
public:
    tVarSetterDesc(int32_t code, int32_t var) : tProcDesc(code, 1, false, etFun), variable(var) { userDefined = true; }
    int32_t variable;
    void Execute(ProcessContext& cx, int32_t n) override {
        ++activeCalls;
        struct Done { int32_t& c; ~Done() { --c; } } done{activeCalls};
        currentObject(cx)->setVariable(variable, cx.valueStack.at(0));
        cx.valueStack.discard(n);
        cx.valueStack.pushHeld(nullptr);
    }
    bool MayChange(bool running) override { return !running || activeCalls == 0; }
};

} // namespace

// ---- the world ----

void setDictionaryCodeLimit(int32_t limit) { g_dictionaryLimit = limit; }
int32_t dictionaryCodeLimit() { return g_dictionaryLimit; }
void setCurrentContext(ProcessContext* cx) { t_context = cx; }
ProcessContext* currentContext() { return t_context; }
tmultiobject* mainObjectRecord() { return static_cast<tmultiobject*>(globals().mainObject); }
tmultiobject* firstObject() { return g_firstObject; }
uint64_t nextObjectSerial() { return g_nextSerial; }

void initObjectNames() {
    g_names.receiver = codesOfWords("name", "receiver");
    g_names.main = codesOfWords("class", "main");
    g_names.main.push_back(specialCodes().mainClass);
    g_names.myParent = codesOfWords("name", "myParent");
    g_names.activeToolbutton = codesOfWords("name", "activeToolbutton");
    g_names.myPlace = codesOfWords("name", "myPlace");
    g_names.lastObject = codesOfWords("name", "lastObject");
    g_names.myWindow = codesOfWords("name", "myWindow");
    g_names.myPage = codesOfWords("name", "myPage");
}

tmultiobject* currentObject(ProcessContext& cx) {
    auto* obj = asObject(cx.me);
    return obj ? obj : mainObjectRecord();
}

tcontainerobject* containerOf(tmultiobject* from) {
    for (tmultiobject* o = from; o; o = o->place)
        if (tcontainerobject* c = o->AsContainer()) return c;
    return mainObjectRecord()->AsContainer();
}

// ---- tables ----

eLogoException tLogoEventTab::missing(int32_t code) const {
    auto e = eLogoException::withNameCode(erUnDefEvenet, code);
    e.name = nameCodes().textOf(code);
    return e;
}

tlogoobjectdesc::tlogoobjectdesc(int32_t code, tmultiobject* obj) : tTabDesc(code), object(hold(obj)) {}
tlogoobjectdesc::~tlogoobjectdesc() { release(object); }
tlogoobject* tlogoobjectdesc::Value() { return object; }

eLogoException tLogoObjectsTab::missing(int32_t code) const {
    auto e = eLogoException::withNameCode(erNoObject, code);
    e.name = nameCodes().textOf(code);
    return e;
}

tlogoobject* tPseudoVarDesc::Value() {
    m_lastRead = getter(owner);
    return m_lastRead.get();
}

std::string tPseudoVarDesc::DefinitionText() {
    tlogoobject* v = Value();
    return v ? v->ShowText(true) : std::string();
}

// A written setting is one to save.
void tPseudoVarDesc::assignValue(tlogoobject* v) {
    flags &= static_cast<uint8_t>(~tfDoNotSaveNow);
    setter(owner, v);
}

// ---- the record ----

tmultiobject::tmultiobject(bool instance)
    : tlogoobject(ValueKind::Object), procedures(this), varTable(this), events(this), serial(g_nextSerial++),
      isInstance(instance) {
    previous = g_lastObject;
    if (g_lastObject) g_lastObject->next = this;
    else g_firstObject = this;
    g_lastObject = this;
    varChain = {&varTable};
    eventChain = {&events};
    userChain = {&procedures};
    primChain = {&procedures};
}

tmultiobject::~tmultiobject() {
    detach();
    for (tmultiobject* a : ancestors) {
        auto& d = a->descendants;
        d.erase(std::remove(d.begin(), d.end(), this), d.end());
        release(a);
    }
    ancestors.clear();
}

void tmultiobject::detach() {
    if (place) {
        auto& d = place->descendants;
        d.erase(std::remove(d.begin(), d.end(), this), d.end());
        place = nullptr;
    }
    if (previous || next || g_firstObject == this) {
        if (previous) previous->next = next;
        else g_firstObject = next;
        if (next) next->previous = previous;
        else g_lastObject = previous;
        previous = next = nullptr;
    }
}

bool tmultiobject::hasAncestor(const tmultiobject* a) const {
    return std::find(ancestors.begin(), ancestors.end(), a) != ancestors.end();
}

bool tmultiobject::descendsThroughClasses(const tmultiobject* a) const {
    for (const tmultiobject* o = firstClass(); o; o = o->firstClass())
        if (o == a) return true;
    return false;
}

void tmultiobject::rebuildChains() {
    if (chainGuard) throw eLogoException(erLinkLoop, this);
    GuardFlag guard(chainGuard);
    std::vector<tLogoVarTab*> vars{&varTable}, evs{&events};
    std::vector<tLogoTab*> user{&procedures}, prim{&procedures};
    std::vector<tmultiobject*> all;
    for (size_t i = static_cast<size_t>(classCount); i < ancestors.size(); ++i) {
        tmultiobject* b = ancestors[i];
        appendAll(vars, b->varChain);
        appendAll(user, b->userChain);
        appendAll(evs, b->eventChain);
        all.push_back(b);
        appendAll(all, b->allAncestors);
    }
    for (int32_t i = 0; i < classCount; ++i) {
        tmultiobject* c = ancestors[static_cast<size_t>(i)];
        appendAll(vars, c->varChain);
        appendAll(user, c->userChain);
        appendAll(evs, c->eventChain);
        appendAll(prim, c->primChain);
        all.push_back(c);
        appendAll(all, c->allAncestors);
    }
    if (place) {
        appendAll(vars, place->varChain);
        appendAll(user, place->userChain);
        all.push_back(place);
        appendAll(all, place->allAncestors);
    }
    keepLast(vars);
    keepLast(evs);
    keepLast(user);
    keepLast(prim);
    keepLast(all);
    bumpLookupGeneration();  // call sites forget what they found through the old chains
    varChain.swap(vars);
    eventChain.swap(evs);
    userChain.swap(user);
    primChain.swap(prim);
    allAncestors.swap(all);
    // A copy: a rebuild may not change the list, but an error must not leave it half walked.
    std::vector<tmultiobject*> ds = descendants;
    for (tmultiobject* d : ds) d->rebuildChains();
}

void tmultiobject::addAncestor(tmultiobject* a, bool asClass) {
    if (hasAncestor(a)) return;
    hold(a);
    if (asClass) {
        ancestors.insert(ancestors.begin() + classCount, a);
        ++classCount;
    } else {
        ancestors.push_back(a);
    }
    a->descendants.push_back(this);
    try {
        rebuildChains();
    } catch (...) {
        removeAncestor(a);
        throw;
    }
}

void tmultiobject::removeAncestor(tmultiobject* a) {
    auto it = std::find(ancestors.begin(), ancestors.end(), a);
    if (it == ancestors.end()) return;
    if (it - ancestors.begin() < classCount) --classCount;
    ancestors.erase(it);
    auto& d = a->descendants;
    d.erase(std::remove(d.begin(), d.end(), this), d.end());
    try {
        rebuildChains();
    } catch (...) {
    }
    release(a);
}

void tmultiobject::setPlace(tmultiobject* p) {
    if (place == p) return;
    if (place) {
        auto& d = place->descendants;
        d.erase(std::remove(d.begin(), d.end(), this), d.end());
    }
    place = p;
    if (p) p->descendants.push_back(this);
    rebuildChains();
}

// ---- lookups ----

tProcDesc* tmultiobject::FindProc(int32_t code, int32_t afterLevel, int32_t& level) {
    const std::vector<tLogoTab*>& chain = code < g_dictionaryLimit ? primChain : userChain;
    for (size_t i = static_cast<size_t>(afterLevel + 1); i < chain.size(); ++i)
        if (tTabDesc* e = chain[i]->FindEntry(code)) {
            level = static_cast<int32_t>(i);
            return static_cast<tProcDesc*>(e);
        }
    return nullptr;
}

tlogoobject* tmultiobject::FindNamedObject(int32_t code) {
    if (tcontainerobject* c = AsContainer())
        if (tmultiobject* o = c->children.child(code)) return o;
    for (tmultiobject* a : allAncestors)
        if (tcontainerobject* c = a->AsContainer())
            if (tmultiobject* o = c->children.child(code)) return o;
    if (oneOf(g_names.receiver, code)) return this;
    if (oneOf(g_names.main, code)) return mainObjectRecord();
    if (oneOf(g_names.myParent, code)) {
        if (!firstClass()) throw eLogoException::withNameCode(erNoObject, code);
        return firstClass();
    }
    if (oneOf(g_names.activeToolbutton, code)) throw eLogoException::withNameCode(erNoActiveToolbutton, code);
    if (oneOf(g_names.myPlace, code)) {
        if (!place) throw eLogoException::withNameCode(erNoMyplace, code);
        return place;
    }
    if (oneOf(g_names.lastObject, code)) {
        ProcessContext* cx = currentContext();
        if (!cx || !cx->lastCreated) throw eLogoException::withNameCode(erNoObjCreated, code);
        return cx->lastCreated.get();
    }
    // Windows and pages come with the graphics; until then no object is inside one.
    if (oneOf(g_names.myWindow, code)) throw eLogoException::withNameCode(erNotInsideWin, code);
    if (oneOf(g_names.myPage, code)) throw eLogoException::withNameCode(erNotInsidePage, code);
    if (isDirectCode(code)) {
        int32_t id = code - kDirectCodeBase;
        for (tmultiobject* o = g_firstObject; o; o = o->next)
            if (o->saveId == id && !o->erased) return o;
        throw eLogoException::withNameCode(erMisspaced, code);
    }
    return nullptr;
}

tmultiobject* findObjectByCode(tmultiobject* from, int32_t code) {
    auto* o = static_cast<tmultiobject*>(from->FindNamedObject(code));
    if (!o) {
        auto e = eLogoException::withNameCode(erNoObject, code);
        e.name = nameCodes().textOf(code);
        throw e;
    }
    return o;
}

tmultiobject* findObject(tmultiobject* from, tlogoobject* name) {
    if (auto* obj = asObject(name)) return obj;
    if (!name->IsWord()) throw eLogoException(erExpectWord, name);
    const std::string& text = name->GetText();
    if (text.empty()) throw eLogoException(erNoObject, name);
    tmultiobject* o = from;
    size_t start = 0;
    for (;;) {
        size_t q = text.find('\'', start);
        std::string part = text.substr(start, q == std::string::npos ? std::string::npos : q - start);
        int32_t code = part.empty() ? specialCodes().mainClass : nameCodes().intern(part);
        auto* found = static_cast<tmultiobject*>(o->FindNamedObject(code));
        if (!found) throw eLogoException(erNoObject, name);
        o = found;
        if (q == std::string::npos) return o;
        start = q + 1;
    }
}

// ---- variables ----

tLogoVarDesc* tmultiobject::findVariable(int32_t code) const {
    for (tLogoVarTab* t : varChain)
        if (tTabDesc* e = t->FindEntry(code)) return static_cast<tLogoVarDesc*>(e);
    return nullptr;
}

tlogoobject* tmultiobject::getVariable(int32_t code) {
    tLogoVarDesc* d = findVariable(code);
    tlogoobject* v = d ? d->Value() : nullptr;
    if (!v) {
        auto e = eLogoException::withNameCode(erNoVal, code);
        e.name = nameCodes().textOf(code);
        throw e;
    }
    return v;
}

void tmultiobject::setVariable(int32_t code, tlogoobject* v) {
    tLogoVarDesc* d = findVariable(code);
    if (!d) {
        auto e = eLogoException::withNameCode(erUndefObjVar, code);
        e.name = nameCodes().textOf(code);
        throw e;
    }
    if (auto* p = dynamic_cast<tPseudoVarDesc*>(d)) {
        p->assignValue(v);
        return;
    }
    d->flags &= static_cast<uint8_t>(~tfDoNotSaveNow);
    d->setValue(v);
}

void tmultiobject::declareVariable(int32_t code, tlogoobject* v, uint8_t kind) {
    if (auto* d = static_cast<tLogoVarDesc*>(varTable.FindEntry(code))) {
        if (auto* p = dynamic_cast<tPseudoVarDesc*>(d)) p->assignValue(v);
        else d->setValue(v);
        return;
    }
    auto* d = new tLogoVarDesc(code);
    d->kind = kind;
    d->setValue(v);
    varTable.add(d);
}

void tmultiobject::addAccessors(int32_t code) {
    const std::string text = nameCodes().textOf(code);
    if (!text.empty() && text[0] == '@') {
        auto e = eLogoException::withNameCode(erWrongVarName, code);
        e.name = text;
        throw e;
    }
    Ref<tlogoobject> word = makeRawWord(text);
    if (word->IsNumber()) return;
    const int32_t setter = nameCodes().intern(setterOf(text));
    if (procedures.FindEntry(code) || procedures.FindEntry(setter)) return;
    procedures.add(new tVarGetterDesc(code, code));
    procedures.add(new tVarSetterDesc(setter, code));
}

void tmultiobject::declareOwn(int32_t code, tlogoobject* v) {
    const bool existed = varTable.FindEntry(code) != nullptr;
    declareVariable(code, v, kOwnVariable);
    if (existed || !autoAccessors) return;
    addAccessors(code);
    // Every instance gets its own copy; objects placed inside this one are not its kind.
    std::vector<tmultiobject*> ds = descendants;
    for (tmultiobject* d : ds)
        if (d->place != this && !d->varTable.FindEntry(code) && d->hasAncestor(this)) d->declareOwn(code, v);
}

void tmultiobject::declareCommon(int32_t code, tlogoobject* v) {
    const bool existed = varTable.FindEntry(code) != nullptr;
    declareVariable(code, v, kCommonVariable);
    if (existed || !autoAccessors) return;
    addAccessors(code);
}

void tmultiobject::declarePseudoVariable(int32_t row, PseudoGetter g, PseudoSetter s) {
    const int32_t code = propertyRow(row).code;
    if (!code) return;
    varTable.add(new tPseudoVarDesc(code, this, row, g, s));
}

void tmultiobject::copyOwnVariablesFrom(tmultiobject* from) {
    if (!from) return;
    for (tTabDesc* e = from->varTable.chainHead(); e; e = e->chainNext) {
        auto* d = static_cast<tLogoVarDesc*>(e);
        if (d->kind != kOwnVariable || varTable.FindEntry(d->nameCode)) continue;
        declareVariable(d->nameCode, d->Value(), kOwnVariable);
    }
}

// ---- events ----

tlogoobject* tmultiobject::findHandler(int32_t code) const {
    for (tLogoVarTab* t : eventChain)
        if (tTabDesc* e = t->FindEntry(code)) return e->Value();
    return nullptr;
}

void tmultiobject::setEvent(int32_t code, tlogoobject* handler) { events.Set(code, handler); }

// ---- containers ----

void tcontainerobject::addChild(tmultiobject* obj) {
    children.add(new tlogoobjectdesc(obj->nameCode, obj));
    obj->owner = this;
}

void tcontainerobject::eraseChildren() {
    std::vector<Ref<tmultiobject>> all;
    for (tTabDesc* e = children.chainHead(); e; e = e->chainNext) all.push_back(static_cast<tlogoobjectdesc*>(e)->object);
    for (auto& o : all) {
        o->erased = true;
        if (tcontainerobject* c = o->AsContainer()) c->eraseChildren();
        o->detach();
        o->OnErased();
    }
    std::vector<int32_t> codes;
    for (tTabDesc* e = children.chainHead(); e; e = e->chainNext) codes.push_back(e->nameCode);
    for (int32_t c : codes) children.removeIfPresent(c);
    // Break the links between the erased objects so that they can go.
    for (auto& o : all) {
        while (!o->ancestors.empty()) {
            tmultiobject* a = o->ancestors.back();
            o->ancestors.pop_back();
            auto& d = a->descendants;
            d.erase(std::remove(d.begin(), d.end(), o.get()), d.end());
            release(a);
        }
        o->classCount = 0;
    }
}

} // namespace qm
