// The run-time options of setoption and option: one row per option, each with the
// check and store of a new value and the value that option gives back.
#include "dictionary.h"
#include "language.h"
#include "primitives.h"
#include "registry.h"
#include "word_ops.h"

namespace qm {

namespace {

// A whole number lo..hi; anything else is a bad option value (error 9).
int32_t optionInt(tlogoobject* v, int32_t lo, int32_t hi) {
    if (!v->IsWord() || !v->IsNumber() || !v->IsInteger()) throw eLogoException(erBadValue, v);
    int32_t i = v->ToInt();
    if (i < lo || i > hi) throw eLogoException(erBadValue, v);
    return i;
}

struct OptionRow {
    const char* name;                  // internal name, dictionary group "option"
    void (*set)(tlogoobject* value);   // nil: the option can only be read
    tlogoobject* (*get)();
};

const OptionRow kOptions[] = {
    // "error" is accepted for projects that set it; it changes nothing.
    {"error", [](tlogoobject* v) { optionInt(v, 0, 1); }, []() -> tlogoobject* { return makeInt(0); }},
    {"ansi", [](tlogoobject* v) { language().optionAnsi = optionInt(v, 0, 1) == 1; },
     []() -> tlogoobject* { return makeInt(language().optionAnsi ? 1 : 0); }},
    // 0: parts of empty lists and words are empty; 1: empty lists are errors; 2: empty words too.
    {"strict", [](tlogoobject* v) { g_strictLevel = optionInt(v, 0, 2); },
     []() -> tlogoobject* { return makeInt(g_strictLevel); }},
    {"params", nullptr, []() -> tlogoobject* { return makeEmptyList(); }},
};

const OptionRow* findOption(tlogoobject* name) {
    if (!name->IsWord()) throw eLogoException(erBadValue, name);
    const std::string& text = name->GetText();
    for (const OptionRow& row : kOptions)
        for (const std::string& w : synonyms("option", row.name))
            if (sameName(w, text)) return &row;
    throw eLogoException(erBadValue, name);
}

// setoption [name value name value ...]
void primSetoption(ProcessContext& cx, int32_t n) {
    tlogoobject* v = input(cx, n, 0);
    if (!v->IsList()) throw eLogoException(erExpectList, v);
    for (tLogoList* c = v->IsEmpty() ? nullptr : static_cast<tLogoList*>(v); c; c = c->rest->rest) {
        const OptionRow* row = findOption(c->element);
        if (!c->rest) throw eLogoException(erBadStructure, v);
        if (!row->set) throw eLogoException(erBadValue, c->element);
        row->set(c->rest->element);
    }
    finish(cx, n, nullptr);
}

void primOption(ProcessContext& cx, int32_t n) { finish(cx, n, findOption(input(cx, n, 0))->get()); }

const PrimitiveRow kOptionPrimitives[] = {
    {"setoption", DescKind::Main, 1, false, etFun, primSetoption},
    {"option", DescKind::Main, 1, false, etFun, primOption},
};

} // namespace

void registerOptionPrimitives(tMainLogoObject& main) { addPrimitives(main.procedures, kOptionPrimitives); }

} // namespace qm
