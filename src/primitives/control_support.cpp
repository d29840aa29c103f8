// Shared pieces of the control primitives: flag descriptors, name checks, running
// lists and the waiting hook.
#include "control_support.h"

#include <thread>

#include "dictionary.h"
#include "evaluator.h"
#include "main_object.h"
#include "name_codes.h"

namespace qm {

namespace {

void sleepWait(ProcessContext&, std::chrono::milliseconds time) { std::this_thread::sleep_for(time); }

WaitFunction g_wait = sleepWait;
int32_t g_ellapseUnits = 1000;

} // namespace

void addFlagPrimitives(tLogoTab& table, const FlagRow* rows, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const FlagRow& r = rows[i];
        for (int32_t code : codesOf(r.name))
            table.add(new tMainPasProcDescBF(code, r.defpar, r.varpar, r.funtype, r.handler));
    }
}

int32_t variableNameCode(tlogoobject* name) {
    if (!name->IsWord()) throw eLogoException(erExpectWord, name);
    const std::string& t = name->GetText();
    if (t.empty()) throw eLogoException(erEmptyWord, name);
    return name->NameCode();
}

tLogoTab& ownProcedureTable(ProcessContext& cx) {
    if (auto* obj = dynamic_cast<tmultiobject*>(cx.me)) return obj->procedures;
    if (auto* main = dynamic_cast<tMainLogoObject*>(globals().mainObject)) return main->procedures;
    throw eLogoException(erNoObject);
}

void runInstructionList(ProcessContext& cx, tlogoobject* code) {
    runBlock(cx, code->Compile(kCompileInstructions));
}

tlogoobject* evaluateInstructionList(ProcessContext& cx, tlogoobject* code) {
    return evaluateBlock(cx, code->Compile(kCompileInstructions));
}

bool truthOf(tlogoobject* v) { return v->ToBool(); }

void setWaitFunction(WaitFunction fn) { g_wait = fn ? fn : sleepWait; }

void waitFor(ProcessContext& cx, std::chrono::milliseconds time) {
    if (time.count() > 0) g_wait(cx, time);
}

void setEllapseUnitsPerSecond(int32_t units) { g_ellapseUnits = units; }
int32_t ellapseUnitsPerSecond() { return g_ellapseUnits; }

Ref<tlogoobject> pairValue(ProcessContext& cx, tLogoList* valueCell, tLogoList*& next) {
    tlogoobject* item = valueCell->element;
    next = valueCell->rest;
    const std::string* text = item->IsWord() && !item->IsNumber() ? &item->GetText() : nullptr;
    if (text && text->size() > 1 && (*text)[0] == ':') return readVariable(cx, nameCodes().intern(text->substr(1)));
    if (!text || *text != "(") return item;
    ListBuilder expr;
    int depth = 0;
    tLogoList* k = valueCell;
    for (; k; k = k->rest) {
        expr.append(k->element);
        if (k->element->IsWord() && !k->element->IsNumber()) {
            const std::string& t = k->element->GetText();
            if (t == "(") ++depth;
            else if (t == ")" && --depth == 0) break;
        }
    }
    if (!k) throw eLogoException(erMissingRpar);
    next = k->rest;
    Ref<tLogoList> code = expr.finish();
    return evaluateInstructionList(cx, code.get());
}

} // namespace qm
