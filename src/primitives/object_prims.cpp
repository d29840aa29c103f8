// Object primitives: creating objects and classes, state lists, object variables, ask,
// tell, each and who, behaviours, erasing, and the questions about objects.
#include <algorithm>

#include "control_support.h"
#include "critical_section.h"
#include "language.h"
#include "dictionary.h"
#include "evaluator.h"
#include "global_lock.h"
#include "multiobject.h"
#include "name_codes.h"
#include "object_text.h"
#include "primitives.h"
#include "procedures.h"
#include "process.h"
#include "registry.h"

namespace qm {

namespace {

constexpr size_t kMaxAskFrames = 1000;

std::vector<int32_t> codesOfName(std::string_view group, std::string_view key) {
    std::vector<int32_t> out;
    for (const std::string& w : synonyms(group, key)) out.push_back(nameCodes().intern(w));
    return out;
}

bool hasCode(const std::vector<int32_t>& codes, int32_t c) { return std::find(codes.begin(), codes.end(), c) != codes.end(); }

bool foldedIn(const std::vector<std::string>& words, const std::string& w) {
    for (const std::string& x : words)
        if (sameName(x, w)) return true;
    return false;
}

Ref<tlogoobject> nameWord(tmultiobject* o) { return makeRawWord(o->name); }

tLogoList* namesList(const std::vector<tmultiobject*>& objs) {
    ListBuilder b;
    for (tmultiobject* o : objs) b.append(nameWord(o).get());
    return b.finish();
}

// A word names one object, a list one object per element, the empty list none.
std::vector<Ref<tmultiobject>> objectsOf(ProcessContext& cx, tlogoobject* v) {
    std::vector<Ref<tmultiobject>> out;
    tmultiobject* from = currentObject(cx);
    if (v->IsList()) {
        auto* l = static_cast<tLogoList*>(v);
        for (tLogoList* c = l->IsEmpty() ? nullptr : l; c; c = c->rest) out.emplace_back(findObject(from, c->element));
        return out;
    }
    if (!v->IsWord() && !dynamic_cast<tmultiobject*>(v)) throw eLogoException(erExpectList, v);
    out.emplace_back(findObject(from, v));
    return out;
}

// ---- the frames of ask and its relatives ----

// Calls sent to a who list: each object that has a procedure of that name taking that
// many inputs runs it with itself as current object.
class tAskDispatchDesc : public tProcDesc {
public:
    using tProcDesc::tProcDesc;
    void Execute(ProcessContext& cx, int32_t n) override { send(cx, n, false); }
    void callReporter(ProcessContext& cx, int32_t n) override { send(cx, n, true); }
    void callTemplateReporter(ProcessContext& cx, int32_t n) override { send(cx, n, true); }

private:
    void send(ProcessContext& cx, int32_t n, bool wantValue) {
        std::vector<Ref<tlogoobject>> targets = cx.whoList;
        tlogoobject* main = globals().mainObject;
        for (auto& t : targets) {
            auto* obj = dynamic_cast<tmultiobject*>(t.get());
            if (!obj || obj->erased) continue;
            int32_t level = 0;
            tProcDesc* d = obj->FindProc(nameCode, -1, level);
            if (!d || (d->table && d->table->owner == main)) continue;
            if (!d->varpar && d->defpar != n) continue;
            for (int32_t i = n - 1; i >= 0; --i) cx.valueStack.push(cx.valueStack.at(n - 1));
            if (wantValue) {
                callAsReporter(cx, d, obj, level, n);
                tlogoobject* v = cx.valueStack.popTransfer();
                cx.valueStack.discard(n);
                cx.valueStack.pushHeld(v);
                return;
            }
            callAsCommand(cx, d, obj, level, n);
            if (cx.stopPending) break;
        }
        if (wantValue) throw eLogoException::withName(erNoActiveObj, NameText());
        cx.valueStack.discard(n);
        cx.valueStack.pushHeld(nullptr);
    }
};

// Whether `owner` is the object itself or one of its classes and behaviours, at any depth (not
// its place: what a turtle's page knows is not sent to the turtle).
bool ownTableOf(tmultiobject* o, tlogoobject* owner) {
    if (o == owner) return true;
    for (tmultiobject* a : o->ancestors)
        if (ownTableOf(a, owner)) return true;
    return false;
}

// The table searched before the current object's chains while a who list is active:
// the procedures of the addressed objects, their classes and behaviours (not the main
// object's primitives, which run once as usual).
std::shared_ptr<tLogoTab> dispatchTable(const std::vector<Ref<tmultiobject>>& objs) {
    auto table = std::make_shared<tLogoTab>();
    tlogoobject* main = globals().mainObject;
    const auto& skip = specialCodes().creationNames;
    for (auto& o : objs)
        for (const auto* chain : {&o->userChain, &o->primChain})
            for (tLogoTab* t : *chain) {
                if (t->owner == main || !ownTableOf(o.get(), t->owner)) continue;
                for (tTabDesc* e = t->chainHead(); e; e = e->chainNext) {
                    if (table->FindEntry(e->nameCode) || hasCode(skip, e->nameCode)) continue;
                    auto* d = static_cast<tProcDesc*>(e);
                    table->add(new tAskDispatchDesc(e->nameCode, d->defpar, d->varpar, d->funtype));
                }
            }
    return table;
}

void pushAskFrame(ProcessContext& cx) {
    if (cx.askFrames.size() >= kMaxAskFrames) throw eLogoException(erDeepAsk);
    AskFrame f;
    f.me = cx.me;
    f.askTable = cx.askTable;
    f.askTableOwner = cx.askTableOwner;
    f.whoList = cx.whoList;
    f.hasWhoList = cx.hasWhoList;
    cx.askFrames.push_back(std::move(f));
}

// Restores the state the frame saved. A current object erased meanwhile ends the
// process, unless an error is already on its way out.
void popAskFrame(ProcessContext& cx, bool mayEnd) {
    if (cx.askFrames.empty()) {
        if (mayEnd) throw eLogoException(erInternPopWho);
        return;
    }
    AskFrame f = std::move(cx.askFrames.back());
    cx.askFrames.pop_back();
    cx.me = f.me.get();
    cx.askTable = f.askTable;
    cx.askTableOwner = std::move(f.askTableOwner);
    cx.whoList = std::move(f.whoList);
    cx.hasWhoList = f.hasWhoList;
    auto* obj = asObject(cx.me);
    if (mayEnd && obj && obj->erased && cx.process) throw eTerminateException();
}

struct AskScope {
    ProcessContext& cx;
    bool open = false;
    explicit AskScope(ProcessContext& cx) : cx(cx) {
        pushAskFrame(cx);
        open = true;
    }
    void makeCurrent(tmultiobject* obj) {
        cx.askFrames.back().current = obj;
        cx.me = obj;
        cx.whoList.clear();
        cx.hasWhoList = false;
        cx.askTable = nullptr;
        cx.askTableOwner.reset();
    }
    void close() {
        open = false;
        popAskFrame(cx, true);
    }
    ~AskScope() {
        if (open) popAskFrame(cx, false);
    }
};

void setWhoList(ProcessContext& cx, const std::vector<Ref<tmultiobject>>& objs) {
    cx.whoList.assign(objs.begin(), objs.end());
    cx.hasWhoList = true;
    cx.askTableOwner = dispatchTable(objs);
    cx.askTable = cx.askTableOwner.get();
}

// ask: one object becomes the current object; several become the who list.
void primAsk(ProcessContext& cx, int32_t n, bool wantValue) {
    std::vector<Ref<tmultiobject>> objs = objectsOf(cx, input(cx, n, 0));
    tlogoobject* code = input(cx, n, 1);
    AskScope scope(cx);
    if (objs.size() == 1) scope.makeCurrent(objs[0].get());
    else setWhoList(cx, objs);
    Ref<tlogoobject> v;
    if (wantValue) v = evaluateInstructionList(cx, code);
    else runInstructionList(cx, code);
    scope.close();
    finish(cx, n, wantValue ? v.get() : nullptr);
}

void primTell(ProcessContext& cx, int32_t n) {
    if (!cx.askFrames.empty()) throw eLogoException(erWrongPlaceAsk);
    setWhoList(cx, objectsOf(cx, input(cx, n, 0)));
    finish(cx, n, nullptr);
}

void eachOf(ProcessContext& cx, const std::vector<Ref<tmultiobject>>& objs, tlogoobject* code) {
    for (auto& o : objs) {
        if (!o || o->erased) continue;
        AskScope scope(cx);
        scope.makeCurrent(o.get());
        runInstructionList(cx, code);
        const bool stop = cx.stopPending != 0;
        scope.close();
        if (stop) break;
    }
}

void primEach(ProcessContext& cx, int32_t n) {
    tlogoobject* code = input(cx, n, 0);
    if (!cx.hasWhoList) {
        runInstructionList(cx, code);
    } else {
        std::vector<Ref<tmultiobject>> objs;
        for (auto& w : cx.whoList)
            if (auto* o = dynamic_cast<tmultiobject*>(w.get())) objs.emplace_back(o);
        eachOf(cx, objs, code);
    }
    finish(cx, n, nullptr);
}

void primAskeach(ProcessContext& cx, int32_t n) {
    eachOf(cx, objectsOf(cx, input(cx, n, 0)), input(cx, n, 1));
    finish(cx, n, nullptr);
}

void primWho(ProcessContext& cx, int32_t n) {
    Ref<tlogoobject> result;
    if (cx.hasWhoList) {
        std::vector<tmultiobject*> objs;
        for (auto& w : cx.whoList)
            if (auto* o = dynamic_cast<tmultiobject*>(w.get())) objs.push_back(o);
        if (objs.size() == 1) result = nameWord(objs[0]);
        else result = namesList(objs);
    } else if (!cx.askFrames.empty()) {
        result = nameWord(currentObject(cx));
    } else {
        result = makeEmptyList();
    }
    finish(cx, n, result.get());
}

// ---- state lists ----

struct Pair {
    Ref<tlogoobject> name;
    Ref<tlogoobject> value;
};

std::string bareName(tlogoobject* v) {
    if (!v->IsWord()) throw eLogoException(erExpectWord, v);
    std::string t = v->GetText();
    if (!t.empty() && t[0] == '"') t.erase(0, 1);
    return t;
}

// Name/value pairs; with evaluate, the values are taken as let takes them: ":name" is
// the variable's value, "(" ... ")" is evaluated, anything else stands as it is. A
// trailing name without a value is ignored.
std::vector<Pair> readPairs(ProcessContext& cx, tlogoobject* list, bool evaluate, tlogoobject** trailing = nullptr) {
    if (!list->IsList()) throw eLogoException(erExpectList, list);
    std::vector<Pair> out;
    auto* l = static_cast<tLogoList*>(list);
    tLogoList* c = l->IsEmpty() ? nullptr : l;
    for (; c && c->rest;) {
        Pair p;
        p.name = c->element;
        tLogoList* valueCell = c->rest;
        if (evaluate) {
            p.value = pairValue(cx, valueCell, c);
        } else {
            p.value = valueCell->element;
            c = valueCell->rest;
        }
        out.push_back(std::move(p));
    }
    if (trailing) *trailing = c ? c->element : nullptr;
    return out;
}

tLogoList* pairsList(const std::vector<Pair>& pairs) {
    ListBuilder b;
    for (const Pair& p : pairs) {
        b.append(p.name.get());
        b.append(p.value.get());
    }
    return b.finish();
}

const Pair* findPair(const std::vector<Pair>& pairs, const std::vector<int32_t>& codes) {
    for (const Pair& p : pairs)
        if (p.name->IsWord() && hasCode(codes, nameCodes().intern(bareName(p.name.get())))) return &p;
    return nullptr;
}

std::vector<int32_t> dotNameCodes() { return codesOfName("dict", ".name"); }

void renameObject(tmultiobject* obj, tlogoobject* newName) {
    const std::string text = newName->PrintText(false);
    if (text.empty()) throw eLogoException(erEmptyObjName, newName);
    const int32_t code = nameCodes().intern(text);
    if (code == obj->nameCode) {
        obj->name = text;
        return;
    }
    tcontainerobject* c = obj->owner;
    if (c && !c->nameIsFree(code)) throw eLogoException(erInvalidObjName, newName);
    Ref<tmultiobject> keep = obj;
    if (c) c->children.removeIfPresent(obj->nameCode);
    obj->name = text;
    obj->nameCode = code;
    if (c) c->addChild(obj);
}

enum class PairKind { Setting, Common, Event, Procedure, Own };

PairKind kindOfPrefix(const std::string& prefix, tlogoobject* name) {
    auto is = [&](const char* key) { return foldedIn(synonyms("param", key), prefix); };
    if (is("common")) return PairKind::Common;
    if (is("event")) return PairKind::Event;
    if (is("procedure") || is("define")) return PairKind::Procedure;
    if (is("setting")) return PairKind::Setting;
    if (is("var") || is("variable") || is("own")) return PairKind::Own;
    throw eLogoException(erWrongPrefix, name);
}

void applyPair(ProcessContext& cx, tmultiobject* obj, const Pair& p) {
    std::string text = bareName(p.name.get());
    PairKind kind = PairKind::Setting;
    size_t q = text.find('\'');
    if (q != std::string::npos) {
        kind = kindOfPrefix(text.substr(0, q), p.name.get());
        text.erase(0, q + 1);
        if (text.find('\'') != std::string::npos) throw eLogoException(erWrongPrefix, p.name.get());
    }
    if (text.empty()) throw eLogoException(erEmptyWord, p.name.get());
    const int32_t code = nameCodes().intern(text);
    const auto& sc = specialCodes();
    const bool isName = hasCode(sc.nameNames, code);
    const bool isDotName = hasCode(dotNameCodes(), code);
    tlogoobject* value = p.value.get();
    switch (kind) {
    case PairKind::Procedure:
        if (value->IsList()) {
            Ref<tlogoobject> w = makeRawWord(text);
            defineProcedure(obj->procedures, w.get(), value);
        } else {
            defineFromText(obj->procedures, value->GetText());
        }
        return;
    case PairKind::Common:
        if (!isName && !isDotName) obj->declareCommon(code, value);
        return;
    case PairKind::Event:
        obj->setEvent(code, value);
        return;
    case PairKind::Own:
        obj->declareOwn(code, value);
        return;
    case PairKind::Setting:
        break;
    }
    if (code >= sc.lowRangeLimit && code < sc.eventLimit) obj->setEvent(code, value);
    else if (isName) renameObject(obj, value);
    else if (isDotName) return;
    else if (obj->findVariable(code)) obj->setVariable(code, value);
    else obj->declareOwn(code, value);
}

void applyState(ProcessContext& cx, tmultiobject* obj, const std::vector<Pair>& pairs) {
    for (const Pair& p : pairs) applyPair(cx, obj, p);
}

// The code of a pair's name without its kind prefix; 0 for a name that is not a word.
int32_t bareNameCode(tlogoobject* name) {
    if (!name || !name->IsWord()) return 0;
    std::string text = bareName(name);
    size_t q = text.find('\'');
    if (q != std::string::npos) text.erase(0, q + 1);
    return text.empty() ? 0 : nameCodes().intern(text);
}

// The first object that a reading (clone, load) creates takes the reading's settings:
// each replaces the value of the pair of the same name (kind prefixes aside), or is
// added after the others.
void takeOverrides(ProcessContext& cx, std::vector<Pair>& pairs) {
    NamedValues over;
    if (!takeCreationOverrides(cx, over)) return;
    for (auto& o : over) {
        const int32_t code = bareNameCode(o.first.get());
        auto same = std::find_if(pairs.begin(), pairs.end(), [&](const Pair& p) { return code && bareNameCode(p.name.get()) == code; });
        if (same != pairs.end()) same->value = o.second;
        else pairs.push_back(Pair{o.first, o.second});
    }
}

// A saved state list as the creating and state primitives use it: names that are
// property row numbers become property names; with `saved`, a last odd element is the
// image-reference table, which puts the loaded images back into the values.
Ref<tLogoList> savedList(tlogoobject* list, bool saved) {
    if (!list->IsList()) throw eLogoException(erExpectList, list);
    auto* l = static_cast<tLogoList*>(list);
    return saved ? stateListSavedForm(l) : stateListCodesForm(l);
}

// Runs code with obj as the current object and a fresh local scope.
template <class F>
void withObject(ProcessContext& cx, tmultiobject* obj, F&& f) {
    tLogoLocaltab scope;
    tLogoLocaltab* saved = cx.localScope;
    cx.localScope = &scope;
    AskScope ask(cx);
    ask.makeCurrent(obj);
    try {
        f();
    } catch (...) {
        cx.localScope = saved;
        throw;
    }
    cx.localScope = saved;
    ask.close();
}

void callNamed(ProcessContext& cx, tmultiobject* obj, const char* internalName) {
    const int32_t code = nameCodes().intern(firstWord("dict", internalName));
    int32_t level = 0;
    if (tProcDesc* d = obj->FindProc(code, -1, level)) callAsCommand(cx, d, obj, level, 0);
}

// The handlers of an event through the chain, root first, each with the object as the
// current object and a fresh local scope (onCreate).
void runChainEvents(ProcessContext& cx, tmultiobject* obj, int32_t code) {
    std::vector<Ref<tlogoobject>> handlers;
    for (auto it = obj->eventChain.rbegin(); it != obj->eventChain.rend(); ++it)
        if (tTabDesc* e = (*it)->FindEntry(code))
            if (tlogoobject* h = e->Value(); h && !h->IsEmpty()) handlers.emplace_back(h);
    for (auto& h : handlers) withObject(cx, obj, [&] { runInstructionList(cx, h.get()); });
}

std::string withoutTrailingDigits(const std::string& s, int64_t& number) {
    size_t k = s.size();
    while (k > 0 && s[k - 1] >= '0' && s[k - 1] <= '9') --k;
    number = 0;
    for (size_t i = k; i < s.size() && i < k + 9; ++i) number = number * 10 + (s[i] - '0');
    return s.substr(0, k);
}

std::string chooseName(tcontainerobject* container, tmultiobject* cls, const std::vector<Pair>& pairs) {
    if (const Pair* p = findPair(pairs, specialCodes().nameNames)) {
        const std::string text = p->value->PrintText(false);
        if (text.empty()) throw eLogoException(erEmptyObjName, p->value.get());
        if (!container->nameIsFree(nameCodes().intern(text))) throw eLogoException(erInvalidObjName, p->value.get());
        return text;
    }
    std::string prefix;
    int64_t number = 0;
    if (const Pair* p = findPair(pairs, dotNameCodes())) {
        const std::string text = p->value->PrintText(false);
        if (!text.empty() && container->nameIsFree(nameCodes().intern(text))) return text;
        prefix = withoutTrailingDigits(text, number);
    }
    if (prefix.empty()) {
        tLogoVarDesc* d = cls->findVariable(nameCodes().intern(firstWord("name", "namePrefix")));
        tlogoobject* v = d ? d->Value() : nullptr;
        prefix = v ? v->PrintText(false) : std::string();
        number = 0;
    }
    if (prefix.empty()) throw eLogoException(erEmptyObjName);
    for (int64_t i = number + 1;; ++i) {
        std::string candidate = prefix + std::to_string(i);
        if (container->nameIsFree(nameCodes().intern(candidate))) return candidate;
    }
}

tmultiobject* classOf(ProcessContext& cx, tlogoobject* v) {
    if (v->IsList() && v->IsEmpty()) return mainObjectRecord();
    return findObject(currentObject(cx), v);
}

tmultiobject* createInstance(ProcessContext& cx, tlogoobject* classInput, tlogoobject* init, bool evaluate,
                             bool onCreate, bool savedForm = false) {
    if (!init->IsList()) throw eLogoException(erExpectList, init);
    Ref<tlogoobject> list = init;
    if (savedForm) list = savedList(init, true);
    std::vector<Pair> pairs = readPairs(cx, list.get(), evaluate);
    takeOverrides(cx, pairs);
    tmultiobject* cls = classOf(cx, classInput);
    if (!cls->IsControlObject()) throw eLogoException(erIvalidPrototype, classInput);

    tmultiobject* me = currentObject(cx);
    tmultiobject* place = nullptr;
    if (const Pair* p = findPair(pairs, codesOfName("name", "myPlace"))) place = findObject(me, p->value.get());
    else {
        // The current object when it can hold objects (a page or a pane), else the nearest one
        // up its place chain, else its container.
        for (tmultiobject* o = me; o && !place; o = o->place)
            if (dynamic_cast<tcontainingcontrol*>(o)) place = o;
        if (!place) place = containerOf(me);
    }
    if (cls->nativeClass) place = cls->nativeClass->placeFor(place);
    tcontainerobject* container = place ? containerOf(place) : containerOf(mainObjectRecord());
    const std::string name = chooseName(container, cls, pairs);

    Ref<tmultiobject> obj = cls->nativeClass ? cls->nativeClass->newInstance() : new tControlObject(true);
    obj->name = name;
    obj->nameCode = nameCodes().intern(name);
    obj->needsPlace = cls->needsPlace;
    obj->addAncestor(cls, true);
    obj->setPlace(place);
    cx.lastCreated = obj.get();
    if (obj->needsPlace && !obj->place) throw eLogoException(erNoMyplace);

    const int32_t initList = nameCodes().intern(firstWord("name", "initList"));
    withObject(cx, obj.get(), [&] {
        Ref<tLogoList> list = pairsList(pairs);
        cx.localScope->declareLocal(initList, list.get());
        callNamed(cx, obj.get(), "create");
        // The object has its own copies of its class's own variables before the settings
        // are applied, so that a setting changes the copy and not the class.
        obj->copyOwnVariablesFrom(cls);
        Ref<tlogoobject> rest = readVariable(cx, initList);
        applyState(cx, obj.get(), readPairs(cx, rest.get(), false));
        obj->copyOwnVariablesFrom(cls);
    });
    if (!container->nameIsFree(obj->nameCode)) {
        // The create procedure or the state took the name meanwhile.
        throw eLogoException(erEraseDesc, nameWord(obj.get()).get());
    }
    container->addChild(obj.get());
    if (onCreate) runChainEvents(cx, obj.get(), specialCodes().events[0]);
    obj->finished = true;
    return obj.get();
}

void primNew(ProcessContext& cx, int32_t n) {
    createInstance(cx, input(cx, n, 0), input(cx, n, 1), true, true);
    finish(cx, n, nullptr);
}

// The saved form: values stand as written and no onCreate runs.
void primNewSaved(ProcessContext& cx, int32_t n) {
    createInstance(cx, input(cx, n, 0), input(cx, n, 1), false, false, true);
    finish(cx, n, nullptr);
}

void primNewobject(ProcessContext& cx, int32_t n) {
    ListBuilder b;
    for (int32_t i = 1; i < n; ++i) b.append(input(cx, n, i));
    Ref<tLogoList> init = b.finish();
    createInstance(cx, input(cx, n, 0), init.get(), false, true);
    finish(cx, n, nullptr);
}

void primNewclass(ProcessContext& cx, int32_t n) {
    tlogoobject* ancestorInput = input(cx, n, 0);
    tlogoobject* nameInput = input(cx, n, 1);
    tlogoobject* init = input(cx, n, 2);
    if (!init->IsList()) throw eLogoException(erExpectList, init);
    // The saved form after evaluating: a last odd element is the image-reference table.
    tlogoobject* table = nullptr;
    std::vector<Pair> pairs = readPairs(cx, init, true, &table);
    {
        NamedValues named;
        for (Pair& p : pairs) named.emplace_back(stateNameOfCode(p.name.get()), p.value);
        applyImageTable(named, table);
        for (size_t i = 0; i < pairs.size(); ++i) pairs[i] = Pair{named[i].first, named[i].second};
    }
    takeOverrides(cx, pairs);
    tmultiobject* ancestor = classOf(cx, ancestorInput);
    if (!ancestor->IsControlObject() || ancestor->isInstance) throw eLogoException(erIvalidPrototypeMain, ancestorInput);
    // A class read back by clone may be given its new name among the settings.
    Ref<tlogoobject> givenName = nameInput;
    auto named = std::find_if(pairs.begin(), pairs.end(), [](const Pair& p) {
        return p.name->IsWord() && hasCode(specialCodes().nameNames, nameCodes().intern(bareName(p.name.get())));
    });
    if (named != pairs.end()) {
        givenName = named->value;
        pairs.erase(named);
    }
    nameInput = givenName.get();
    const std::string name = nameInput->PrintText(false);
    if (name.empty()) throw eLogoException(erEmptyObjName, nameInput);
    tcontainerobject* container = containerOf(currentObject(cx));
    const int32_t code = nameCodes().intern(name);
    if (!container->nameIsFree(code)) throw eLogoException(erInvalidObjName, nameInput);

    Ref<tmultiobject> cls = ancestor->nativeClass ? ancestor->nativeClass->newClass() : new tControlObject(false);
    cls->nativeClass = ancestor->nativeClass;
    cls->name = name;
    cls->nameCode = code;
    cls->needsPlace = ancestor->needsPlace;
    cls->addAncestor(ancestor, true);
    cx.lastCreated = cls.get();
    // A class keeps its own copies of what its ancestor declared as own variables, so
    // that its instances do not share one variable through the chain.
    cls->copyOwnVariablesFrom(ancestor == mainObjectRecord() ? nullptr : ancestor);
    withObject(cx, cls.get(), [&] { applyState(cx, cls.get(), pairs); });
    if (!container->nameIsFree(cls->nameCode)) throw eLogoException(erEraseDesc, nameWord(cls.get()).get());
    container->addChild(cls.get());
    cls->finished = true;
    finish(cx, n, nullptr);
}

// clone obj init: each object is written as instructions and read back, under the
// saving section, so that the copy has the original's variables, procedures and events;
// the first copy takes the evaluated settings of init (a new name among them). Links
// are written afterwards and name the copies, so that a copy's behaviours go to the
// copy and not to its original.
void primClone(ProcessContext& cx, int32_t n) {
    tlogoobject* init = input(cx, n, 1);
    if (!init->IsList()) throw eLogoException(erExpectList, init);
    std::vector<Ref<tmultiobject>> originals = objectsOf(cx, input(cx, n, 0));
    NamedValues settings;
    for (Pair& p : readPairs(cx, init, true)) settings.emplace_back(p.name, p.value);

    CriticalScope saving(savingSection(), cx);
    // FIXME: mark the project as changed once projects keep that flag.
    ObjectTextWriter writer(ObjectTextMode::Names);
    ObjectTextReading reading(cx, settings);
    std::vector<std::pair<tmultiobject*, Ref<tmultiobject>>> copies;
    for (auto& o : originals) {
        const size_t from = writer.text().size();
        writer.writeDefinition(o.get());
        Ref<tmultiobject> copy = reading.run(writer.text().substr(from), writer.images());
        if (!copy) continue;
        writer.substitute(o.get(), copy.get());
        copies.emplace_back(o.get(), copy);
    }
    for (auto& c : copies) {
        const size_t from = writer.text().size();
        writer.writeLinks(c.first);
        reading.run(writer.text().substr(from), writer.images());
    }
    reading.finish();
    finish(cx, n, nullptr);
}

void primSetstate(ProcessContext& cx, int32_t n) {
    applyState(cx, currentObject(cx), readPairs(cx, input(cx, n, 0), true));
    finish(cx, n, nullptr);
}

// .setstate: a state list whose names may be property row numbers.
void primSetstateCodes(ProcessContext& cx, int32_t n) {
    Ref<tLogoList> list = savedList(input(cx, n, 0), false);
    applyState(cx, currentObject(cx), readPairs(cx, list.get(), false));
    finish(cx, n, nullptr);
}

// .setstate.: a state list as saved, with its image-reference table.
void primSetstateSaved(ProcessContext& cx, int32_t n) {
    Ref<tLogoList> list = savedList(input(cx, n, 0), true);
    applyState(cx, currentObject(cx), readPairs(cx, list.get(), false));
    finish(cx, n, nullptr);
}

void param(ProcessContext& cx, int32_t n, bool take) {
    const int32_t initList = nameCodes().intern(firstWord("name", "initList"));
    const int32_t wanted = nameCodes().intern(bareName(input(cx, n, 0)));
    tlogoobject** slot = cx.localScope->binding(initList);
    if (!slot || !*slot || !(*slot)->IsList()) {
        finish(cx, n, input(cx, n, 1));
        return;
    }
    std::vector<Pair> pairs = readPairs(cx, *slot, false);
    for (size_t i = 0; i < pairs.size(); ++i) {
        if (!pairs[i].name->IsWord() || nameCodes().intern(bareName(pairs[i].name.get())) != wanted) continue;
        Ref<tlogoobject> v = pairs[i].value;
        if (take) {
            pairs.erase(pairs.begin() + static_cast<std::ptrdiff_t>(i));
            Ref<tLogoList> rest = pairsList(pairs);
            cx.localScope->declareLocal(initList, rest.get());
        }
        finish(cx, n, v.get());
        return;
    }
    finish(cx, n, input(cx, n, 1));
}
void primGetparam(ProcessContext& cx, int32_t n) { param(cx, n, true); }
void primPeekparam(ProcessContext& cx, int32_t n) { param(cx, n, false); }

void primCreate(ProcessContext& cx, int32_t n) {
    currentObject(cx)->OnCreate(cx);
    finish(cx, n, nullptr);
}

void primNothing(ProcessContext& cx, int32_t n) { finish(cx, n, nullptr); }

// ---- erasing ----

void removeFromWhoLists(ProcessContext& other, tmultiobject* obj) {
    auto drop = [obj](std::vector<Ref<tlogoobject>>& l) {
        l.erase(std::remove_if(l.begin(), l.end(), [obj](const Ref<tlogoobject>& r) { return r.get() == obj; }), l.end());
    };
    drop(other.whoList);
    for (AskFrame& f : other.askFrames) drop(f.whoList);
}

// Stops the processes that run for the object or whose current object it is, one at a
// time, rescanning after each; the erasing process only notes that it must end.
void stopProcessesOf(ProcessContext& cx, tmultiobject* obj) {
    tLogoprocess* self = currentProcess(cx);
    for (;;) {
        ProcessPtr target;
        for (const ProcessPtr& p : processes().live()) {
            const bool belongs = p->setup.object.get() == obj || (p->cx && p->cx->me == obj);
            if (!belongs || p->isDone()) continue;
            if (p.get() == self) {
                self->endAfterErase = true;
                continue;
            }
            if (p->stopRequested() && !p->cx) continue;
            target = p;
            break;
        }
        if (!target) break;
        if (target->setup.callbackObject.get() == obj) target->setup.onFinished = nullptr;
        target->requestStop();
        processes().join(target, self);
    }
    for (const ProcessPtr& p : processes().live()) {
        if (p->setup.callbackObject.get() == obj) p->setup.onFinished = nullptr;
        auto& tl = p->setup.tellList;
        tl.erase(std::remove_if(tl.begin(), tl.end(), [obj](const Ref<tlogoobject>& r) { return r.get() == obj; }), tl.end());
        if (p->cx && p.get() != self) removeFromWhoLists(*p->cx, obj);
    }
}

void destroyObject(ProcessContext& cx, tmultiobject* obj) {
    Ref<tmultiobject> keep = obj;
    if (obj->isInstance && cx.process) withObject(cx, obj, [&] { callNamed(cx, obj, "destroy"); });
    obj->erased = true;
    stopProcessesOf(cx, obj);
    if (tcontainerobject* c = obj->AsContainer()) c->eraseChildren();
    for (tmultiobject* a : obj->ancestors) {
        auto& d = a->descendants;
        d.erase(std::remove(d.begin(), d.end(), obj), d.end());
    }
    obj->detach();
    if (obj->owner) obj->owner->children.removeIfPresent(obj->nameCode);
    obj->owner = nullptr;
    obj->OnErased();
}

void eraseNamed(ProcessContext& cx, tlogoobject* name) {
    if (name->IsList()) {
        auto* l = static_cast<tLogoList*>(name);
        for (tLogoList* c = l->IsEmpty() ? nullptr : l; c; c = c->rest) eraseNamed(cx, c->element);
        return;
    }
    tcontainerobject* container = containerOf(currentObject(cx));
    tmultiobject* obj = container->children.child(nameCodes().intern(name->PrintText(false)));
    if (!obj) throw eLogoException(erNoObject, name);
    destroyObject(cx, obj);
}

void endIfOwnObjectWent(ProcessContext& cx) {
    if (tLogoprocess* self = currentProcess(cx); self && self->endAfterErase) throw eTerminateException();
}

void primEraseobject(ProcessContext& cx, int32_t n) {
    for (int32_t i = 0; i < n; ++i) eraseNamed(cx, input(cx, n, i));
    finish(cx, n, nullptr);
    endIfOwnObjectWent(cx);
}

void primErasecomplete(ProcessContext& cx, int32_t n) {
    eraseNamed(cx, input(cx, n, 0));
    finish(cx, n, nullptr);
    endIfOwnObjectWent(cx);
}

// ---- behaviours ----

void runEventOf(ProcessContext& cx, tmultiobject* holder, const char* event, tmultiobject* asMe) {
    const int32_t code = nameCodes().intern(firstWord("dict", event));
    Ref<tlogoobject> h = holder->findHandler(code);
    if (!h || h->IsEmpty()) return;
    AskScope scope(cx);
    scope.makeCurrent(asMe);
    runInstructionList(cx, h.get());
    scope.close();
}

void addBehaviour(ProcessContext& cx, int32_t n, bool full) {
    tmultiobject* me = currentObject(cx);
    tmultiobject* b = findObject(me, input(cx, n, 0));
    if (!me->hasAncestor(b)) {
        me->addAncestor(b, false);
        if (full) {
            me->copyOwnVariablesFrom(b);
            runEventOf(cx, b, "onAddBehaviour", me);
        }
    }
    finish(cx, n, nullptr);
}
void primAddBehaviour(ProcessContext& cx, int32_t n) { addBehaviour(cx, n, true); }
void primAddBehaviourQuiet(ProcessContext& cx, int32_t n) { addBehaviour(cx, n, false); }

void primRemoveBehaviour(ProcessContext& cx, int32_t n) {
    tmultiobject* me = currentObject(cx);
    tmultiobject* b = findObject(me, input(cx, n, 0));
    auto it = std::find(me->ancestors.begin(), me->ancestors.end(), b);
    if (it == me->ancestors.end() || it - me->ancestors.begin() < me->classCount)
        throw eLogoException(erNotFoundObj, nameWord(b).get());
    Ref<tmultiobject> keep = b;
    if (cx.process) runEventOf(cx, b, "onDeleteBehaviour", me);
    me->removeAncestor(b);
    finish(cx, n, nullptr);
}

// ---- variables ----

void primHaveown(ProcessContext& cx, int32_t n) {
    currentObject(cx)->declareOwn(variableNameCode(input(cx, n, 0)), input(cx, n, 1));
    finish(cx, n, nullptr);
}

void primHavecommon(ProcessContext& cx, int32_t n) {
    currentObject(cx)->declareCommon(variableNameCode(input(cx, n, 0)), input(cx, n, 1));
    finish(cx, n, nullptr);
}

void primSet(ProcessContext& cx, int32_t n) {
    currentObject(cx)->setVariable(variableNameCode(input(cx, n, 0)), input(cx, n, 1));
    finish(cx, n, nullptr);
}

void primGet(ProcessContext& cx, int32_t n) {
    tlogoobject* v = currentObject(cx)->getVariable(variableNameCode(input(cx, n, 0)));
    finish(cx, n, v);
}

// ---- questions ----

void answer(ProcessContext& cx, int32_t n, bool b) { finish(cx, n, makeBool(b)); }

void primMyname(ProcessContext& cx, int32_t n) {
    auto* me = dynamic_cast<tmultiobject*>(cx.me);
    if (!me) throw eLogoException(erNamedObject);
    finish(cx, n, nameWord(me).get());
}

void primLastname(ProcessContext& cx, int32_t n) {
    auto* o = dynamic_cast<tmultiobject*>(cx.lastCreated.get());
    if (!o) throw eLogoException(erNoObjCreated);
    finish(cx, n, nameWord(o).get());
}

// The name preceded by the names of its owners, up to the main object.
void primLastpath(ProcessContext& cx, int32_t n) {
    auto* o = dynamic_cast<tmultiobject*>(cx.lastCreated.get());
    if (!o) throw eLogoException(erNoObjCreated);
    std::string path = o->name;
    for (tmultiobject* w = o->owner; w && w != mainObjectRecord() && w->IsControlObject(); w = w->owner)
        path = w->name + "'" + path;
    Ref<tlogoobject> word = makeRawWord(path);
    finish(cx, n, word.get());
}

bool isUserProc(tProcDesc* d) { return d && (d->userProcedure || d->userDefined); }

void primObjnameP(ProcessContext& cx, int32_t n) {
    answer(cx, n, currentObject(cx)->findVariable(variableNameCode(input(cx, n, 0))) != nullptr);
}
void primMyobjnameP(ProcessContext& cx, int32_t n) {
    answer(cx, n, currentObject(cx)->varTable.FindEntry(variableNameCode(input(cx, n, 0))) != nullptr);
}
tProcDesc* ownProc(ProcessContext& cx, int32_t n) {
    return static_cast<tProcDesc*>(currentObject(cx)->procedures.FindEntry(variableNameCode(input(cx, n, 0))));
}
tProcDesc* visibleProc(ProcessContext& cx, int32_t n) {
    int32_t level = 0;
    return lookupProcedure(cx, variableNameCode(input(cx, n, 0)), level);
}
void primMydefinedP(ProcessContext& cx, int32_t n) { answer(cx, n, isUserProc(ownProc(cx, n))); }
void primMyprimitiveP(ProcessContext& cx, int32_t n) {
    tProcDesc* d = ownProc(cx, n);
    answer(cx, n, d && !isUserProc(d));
}
void primDefinedP(ProcessContext& cx, int32_t n) { answer(cx, n, isUserProc(visibleProc(cx, n))); }
void primPrimitiveP(ProcessContext& cx, int32_t n) {
    tProcDesc* d = visibleProc(cx, n);
    answer(cx, n, d && !isUserProc(d));
}
void primNameP(ProcessContext& cx, int32_t n) {
    const int32_t code = variableNameCode(input(cx, n, 0));
    tlogoobject** slot = cx.localScope->binding(code);
    answer(cx, n, slot ? *slot != nullptr : globals().variables->GetOrNil(code) != nullptr);
}

tmultiobject* findOrNil(ProcessContext& cx, tlogoobject* v) {
    try {
        return findObject(currentObject(cx), v);
    } catch (eLogoException&) {
        return nullptr;
    }
}

void primIsP(ProcessContext& cx, int32_t n) {
    tmultiobject* a = findObject(currentObject(cx), input(cx, n, 0));
    answer(cx, n, currentObject(cx)->descendsThroughClasses(a));
}
void primObjectP(ProcessContext& cx, int32_t n) { answer(cx, n, findOrNil(cx, input(cx, n, 0)) != nullptr); }
void primClassP(ProcessContext& cx, int32_t n) {
    tmultiobject* o = findOrNil(cx, input(cx, n, 0));
    answer(cx, n, o && !o->isInstance);
}
void primParentP(ProcessContext& cx, int32_t n) { answer(cx, n, currentObject(cx)->firstClass() != nullptr); }

void primDescendants(ProcessContext& cx, int32_t n) {
    tmultiobject* me = currentObject(cx);
    std::vector<tmultiobject*> out;
    for (tmultiobject* d : me->descendants)
        if (d->firstClass() == me && !d->erased) out.push_back(d);
    Ref<tLogoList> l = namesList(out);
    finish(cx, n, l.get());
}

void primMybehaviours(ProcessContext& cx, int32_t n) {
    tmultiobject* me = currentObject(cx);
    std::vector<tmultiobject*> out;
    for (size_t i = 1; i < me->ancestors.size(); ++i) out.push_back(me->ancestors[i]);
    Ref<tLogoList> l = namesList(out);
    finish(cx, n, l.get());
}

void primBehaviourof(ProcessContext& cx, int32_t n) {
    tmultiobject* me = currentObject(cx);
    std::vector<tmultiobject*> out;
    for (tmultiobject* d : me->descendants)
        if (d->firstClass() != me && d->hasAncestor(me) && !d->erased) out.push_back(d);
    Ref<tLogoList> l = namesList(out);
    finish(cx, n, l.get());
}

void primAllObjects(ProcessContext& cx, int32_t n) {
    std::vector<tmultiobject*> out;
    for (tmultiobject* o = firstObject(); o; o = o->next)
        if (o != mainObjectRecord() && !o->erased && o->owner) out.push_back(o);
    Ref<tLogoList> l = namesList(out);
    finish(cx, n, l.get());
}

void primObjects(ProcessContext& cx, int32_t n) {
    std::vector<tmultiobject*> out;
    if (tcontainerobject* c = currentObject(cx)->AsContainer())
        for (tTabDesc* e = c->children.chainHead(); e; e = e->chainNext) out.push_back(static_cast<tlogoobjectdesc*>(e)->object);
    Ref<tLogoList> l = namesList(out);
    finish(cx, n, l.get());
}

const PrimitiveRow kObjectPrimitives[] = {
    {"new", DescKind::Main, 2, false, etFun, primNew},
    {".new.", DescKind::Main, 2, false, etFun, primNewSaved},
    {"newobject", DescKind::Main, 1, true, etFun, primNewobject},
    {"newclass", DescKind::Main, 3, false, etFun, primNewclass},
    {"clone", DescKind::Main, 2, false, etFun, primClone},
    {"create", DescKind::Main, 0, false, etFun, primCreate},
    {"destroy", DescKind::Main, 0, false, etFun, primNothing},
    {"eraseobject", DescKind::Main, 1, true, etFun, primEraseobject},
    {"erasecomplete", DescKind::Main, 1, false, etFun, primErasecomplete},
    {"askeach", DescKind::Main, 2, false, etFun, primAskeach},
    {"tell", DescKind::Main, 1, false, etFun, primTell},
    {"each", DescKind::Main, 1, false, etFun, primEach},
    {"who", DescKind::Main, 0, false, etFun, primWho},
    {"addBehaviour", DescKind::Main, 1, false, etFun, primAddBehaviour},
    {".addbehaviour", DescKind::Main, 1, false, etFun, primAddBehaviourQuiet},
    {"removeBehaviour", DescKind::Main, 1, false, etFun, primRemoveBehaviour},
    {"myname", DescKind::Main, 0, false, etFun, primMyname},
    {"lastname", DescKind::Main, 0, false, etFun, primLastname},
    {".lastname", DescKind::Main, 0, false, etFun, primLastpath},
    {"objname?", DescKind::Main, 1, false, etFun, primObjnameP},
    {"myobjname?", DescKind::Main, 1, false, etFun, primMyobjnameP},
    {"mydefined?", DescKind::Main, 1, false, etFun, primMydefinedP},
    {"myprimitive?", DescKind::Main, 1, false, etFun, primMyprimitiveP},
    {"defined?", DescKind::Main, 1, false, etFun, primDefinedP},
    {"primitive?", DescKind::Main, 1, false, etFun, primPrimitiveP},
    {"name?", DescKind::Main, 1, false, etFun, primNameP},
    {"is?", DescKind::Main, 1, false, etFun, primIsP},
    {"object?", DescKind::Main, 1, false, etFun, primObjectP},
    {"class?", DescKind::Main, 1, false, etFun, primClassP},
    {"parent?", DescKind::Main, 0, false, etFun, primParentP},
    {"descendants", DescKind::Main, 0, false, etFun, primDescendants},
    {"mybehaviours", DescKind::Main, 0, false, etFun, primMybehaviours},
    {"behaviourof", DescKind::Main, 0, false, etFun, primBehaviourof},
    {".objects", DescKind::Main, 0, false, etFun, primAllObjects},
    {"objects", DescKind::Main, 0, false, etFun, primObjects},
    {"setstate", DescKind::Main, 1, false, etFun, primSetstate},
    {".setstate", DescKind::Main, 1, false, etFun, primSetstateCodes},
    {".setstate.", DescKind::Main, 1, false, etFun, primSetstateSaved},
    {"getparam", DescKind::Main, 2, false, etFun, primGetparam},
    {"peekparam", DescKind::Main, 2, false, etFun, primPeekparam},
    {"haveown", DescKind::Main, 2, false, etIfFun, primHaveown},
    {"havecommon", DescKind::Main, 2, false, etIfFun, primHavecommon},
    {"set", DescKind::Main, 2, false, etIfFun, primSet},
    {"get", DescKind::Main, 1, false, etFun, primGet},
};

const FlagRow kObjectFlagPrimitives[] = {
    {"ask", 2, false, etFun, primAsk},
};

} // namespace

void tellObjects(ProcessContext& cx, const std::vector<Ref<tmultiobject>>& objects) { setWhoList(cx, objects); }

tmultiobject* createObject(ProcessContext& cx, tmultiobject* cls, tlogoobject* init) {
    return createInstance(cx, cls, init, false, true);
}

void registerObjectPrimitives(tMainLogoObject& main) {
    addPrimitives(main.procedures, kObjectPrimitives);
    addFlagPrimitives(main.procedures, kObjectFlagPrimitives);
}

} // namespace qm
