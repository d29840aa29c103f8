// Property lists: the table, and pprop, gprop, remprop, plist, setplist, props, pps,
// loadtable and savetable.
#include "control_support.h"
#include "dictionary.h"
#include "language.h"
#include "plist.h"
#include "primitives.h"
#include "registry.h"

namespace qm {

namespace {

// Names are kept as given after trimming spaces at both ends, and compared the way the
// language compares names.
std::string trimSpaces(const std::string& s) {
    size_t b = s.find_first_not_of(' ');
    if (b == std::string::npos) return {};
    size_t e = s.find_last_not_of(' ');
    return s.substr(b, e - b + 1);
}

std::string keyOf(const std::string& name) { return foldName(trimSpaces(name)); }

} // namespace

PropertyTable& propertyTable() {
    static PropertyTable table;
    return table;
}

PropertyTable::List* PropertyTable::find(const std::string& list) {
    const std::string key = keyOf(list);
    for (List& l : m_lists)
        if (l.used && l.key == key) return &l;
    return nullptr;
}

const PropertyTable::List* PropertyTable::find(const std::string& list) const {
    return const_cast<PropertyTable*>(this)->find(list);
}

// New lists go to the end; the slots of removed ones are not reused.
PropertyTable::List& PropertyTable::findOrCreate(const std::string& list) {
    if (List* l = find(list)) return *l;
    List l;
    l.name = trimSpaces(list);
    l.key = keyOf(list);
    l.used = true;
    m_lists.push_back(std::move(l));
    return m_lists.back();
}

void PropertyTable::setInList(List& l, const std::string& prop, tlogoobject* value) {
    const std::string key = keyOf(prop);
    for (Pair& p : l.pairs)
        if (p.value && p.key == key) {
            p.value = value;
            return;
        }
    l.pairs.push_back({trimSpaces(prop), key, value});
}

// A removed pair leaves its slot empty, except at the end, where empty slots go.
void PropertyTable::removeInList(List& l, const std::string& prop) {
    const std::string key = keyOf(prop);
    for (Pair& p : l.pairs)
        if (p.value && p.key == key) {
            p.value = nullptr;
            break;
        }
    while (!l.pairs.empty() && !l.pairs.back().value) l.pairs.pop_back();
}

void PropertyTable::dropIfEmpty(List& l) {
    for (const Pair& p : l.pairs)
        if (p.value) return;
    l.used = false;
    l.pairs.clear();
    while (!m_lists.empty() && !m_lists.back().used) m_lists.pop_back();
}

void PropertyTable::put(const std::string& list, const std::string& prop, tlogoobject* value) {
    if (value->IsList() && value->IsEmpty()) {
        remove(list, prop);
        return;
    }
    setInList(findOrCreate(list), prop, value);
}

tlogoobject* PropertyTable::get(const std::string& list, const std::string& prop) const {
    const List* l = find(list);
    if (!l) return nullptr;
    const std::string key = keyOf(prop);
    for (const Pair& p : l->pairs)
        if (p.value && p.key == key) return p.value.get();
    return nullptr;
}

void PropertyTable::remove(const std::string& list, const std::string& prop) {
    List* l = find(list);
    if (!l) return;
    removeInList(*l, prop);
    dropIfEmpty(*l);
}

tLogoList* PropertyTable::pairsOf(const std::string& list) const {
    ListBuilder b;
    if (const List* l = find(list)) {
        for (const Pair& p : l->pairs) {
            if (!p.value) continue;
            Ref<tlogoobject> name = makeRawWord(p.name);
            b.append(name.get());
            b.append(p.value.get());
        }
    }
    return b.finish();
}

void PropertyTable::setPairs(const std::string& list, tLogoList* pairs) {
    List& l = findOrCreate(list);
    l.pairs.clear();
    if (!pairs->IsEmpty() && pairs->rest) {
        for (tLogoList* c = pairs; c && c->rest; c = c->rest->rest) {
            tlogoobject* value = c->rest->element;
            if (value->IsList() && value->IsEmpty()) continue;
            setInList(l, c->element->PrintText(false), value);
        }
    }
    dropIfEmpty(l);
}

bool PropertyTable::exists(const std::string& list) const { return find(list) != nullptr; }

void PropertyTable::erase(const std::string& list) {
    if (List* l = find(list)) {
        l->pairs.clear();
        dropIfEmpty(*l);
    }
}

std::vector<std::string> PropertyTable::names(bool showBuried) const {
    std::vector<std::string> out;
    for (const List& l : m_lists) {
        if (!l.used || (l.flags & tfHidden) || ((l.flags & tfBuried) && !showBuried)) continue;
        out.push_back(l.name);
    }
    return out;
}

void PropertyTable::setFlag(const std::string& list, uint8_t flag, bool on) {
    List* l = find(list);
    if (!l) throw eLogoException(erNoProperty, makeRawWord(trimSpaces(list)));
    if (on) l->flags |= flag;
    else l->flags &= static_cast<uint8_t>(~flag);
}

bool PropertyTable::hasFlag(const std::string& list, uint8_t flag) const {
    const List* l = find(list);
    if (!l) throw eLogoException(erNoProperty, makeRawWord(trimSpaces(list)));
    return (l->flags & flag) != 0;
}

std::string PropertyTable::listing(const std::string& list) const {
    const std::string is = uiString("strings", "is");
    std::string out;
    for (const List& l : m_lists) {
        if (!l.used || (!list.empty() && l.key != keyOf(list))) continue;
        for (const Pair& p : l.pairs)
            if (p.value) out += l.name + " " + p.name + " " + is + " " + p.value->PrintText(false) + "\r\n";
    }
    return out;
}

std::string PropertyTable::saveText() const {
    const std::string setplist = firstWord("dict", "setplist");
    std::string out;
    for (const List& l : m_lists) {
        if (!l.used) continue;
        Ref<tLogoList> pairs = pairsOf(l.name);
        if (pairs->IsEmpty()) continue;
        Ref<tlogoobject> name = makeRawWord(l.name);
        out += "\r\n" + setplist + " \"" + name->ShowText(false) + " " + pairs->ShowText(true) + "\r\n";
    }
    return out;
}

namespace {

std::string nameText(tlogoobject* v) {
    if (v->IsList()) throw eLogoException(erExpectWord, v);
    return v->PrintText(false);
}

void primPprop(ProcessContext& cx, int32_t n) {
    propertyTable().put(nameText(input(cx, n, 0)), nameText(input(cx, n, 1)), input(cx, n, 2));
    finish(cx, n, nullptr);
}

void primGprop(ProcessContext& cx, int32_t n) {
    tlogoobject* v = propertyTable().get(nameText(input(cx, n, 0)), nameText(input(cx, n, 1)));
    Ref<tlogoobject> result = v ? v : static_cast<tlogoobject*>(makeEmptyList());
    finish(cx, n, result.get());
}

void primRemprop(ProcessContext& cx, int32_t n) {
    propertyTable().remove(nameText(input(cx, n, 0)), nameText(input(cx, n, 1)));
    finish(cx, n, nullptr);
}

void primPlist(ProcessContext& cx, int32_t n) {
    Ref<tLogoList> pairs = propertyTable().pairsOf(nameText(input(cx, n, 0)));
    finish(cx, n, pairs.get());
}

void primSetplist(ProcessContext& cx, int32_t n) {
    tlogoobject* pairs = input(cx, n, 1);
    if (!pairs->IsList()) throw eLogoException(erExpectList, pairs);
    propertyTable().setPairs(nameText(input(cx, n, 0)), static_cast<tLogoList*>(pairs));
    finish(cx, n, nullptr);
}

void primProps(ProcessContext& cx, int32_t n) {
    ListBuilder b;
    for (const std::string& name : propertyTable().names(false)) {
        Ref<tlogoobject> w = makeRawWord("\"" + name);
        b.append(w.get());
    }
    Ref<tLogoList> result = b.finish();
    finish(cx, n, result.get());
}

void primPps(ProcessContext& cx, int32_t n) {
    if (cx.output) cx.output->write(propertyTable().listing({}));
    finish(cx, n, nullptr);
}

// The engine keeps no table files.
void primLoadtable(ProcessContext& cx, int32_t n) { finish(cx, n, nullptr); }

void primSavetable(ProcessContext& cx, int32_t n) {
    tlogoobject* target = input(cx, n, 0);
    if (!target->IsWord() || !isClipboardWord(target->GetText())) throw eLogoException(erNoSave, target);
    finish(cx, n, nullptr);
}

const PrimitiveRow kPlistPrimitives[] = {
    {"loadtable", DescKind::Main, 1, false, etFun, primLoadtable},
    {"savetable", DescKind::Main, 1, false, etFun, primSavetable},
    {"pprop", DescKind::Main, 3, false, etFun, primPprop},
    {"gprop", DescKind::Main, 2, false, etFun, primGprop},
    {"remprop", DescKind::Main, 2, false, etFun, primRemprop},
    {"plist", DescKind::Main, 1, false, etFun, primPlist},
    {"setplist", DescKind::Main, 2, false, etFun, primSetplist},
    {"props", DescKind::Main, 0, false, etFun, primProps},
    {"pps", DescKind::Main, 0, false, etFun, primPps},
};

} // namespace

void registerPlistPrimitives(tMainLogoObject& main) {
    propertyTable().clear();
    addPrimitives(main.procedures, kPlistPrimitives);
}

} // namespace qm
