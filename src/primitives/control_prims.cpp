// Control and evaluation primitives: loops, conditionals, running lists, and the logic
// and arithmetic of several inputs.
#include "control_support.h"
#include "critical_section.h"
#include "dictionary.h"
#include "evaluator.h"
#include "language.h"
#include "name_codes.h"
#include "primitives.h"
#include "registry.h"

namespace qm {

namespace {

// Every loop keeps its caller's repCount and gives it back however it ends.
struct RepCountScope {
    ProcessContext& cx;
    int32_t saved;
    explicit RepCountScope(ProcessContext& c) : cx(c), saved(c.repCount) {}
    ~RepCountScope() { cx.repCount = saved; }
};

// The variable of for and foreach: bound in a frame of its own for the duration of
// the loop, so that an earlier binding of the name comes back when the loop ends.
class LoopVariable {
public:
    LoopVariable(ProcessContext& cx, int32_t code) : m_cx(cx), m_code(code) {
        cx.valueStack.push(nullptr);
        cx.localScope->openFrame(cx, &m_code, 1);
    }
    ~LoopVariable() { m_cx.localScope->closeFrame(); }
    void set(tlogoobject* v) {
        tlogoobject** slot = m_cx.localScope->binding(m_code);
        if (slot) assign(*slot, v);
    }

private:
    ProcessContext& m_cx;
    int32_t m_code;
};

void primRepeat(ProcessContext& cx, int32_t n) {
    const int32_t count = input(cx, n, 0)->ToInt();
    tlogoobject* body = input(cx, n, 1);
    RepCountScope scope(cx);
    for (int32_t i = 1; i <= count; ++i) {
        cx.repCount = i;
        runInstructionList(cx, body);
        if (cx.stopPending) break;
    }
    finish(cx, n, nullptr);
}

void primRepcount(ProcessContext& cx, int32_t n) {
    if (cx.repCount == 0) throw eLogoException(erWrongPlaceRepc);
    finish(cx, n, makeInt(cx.repCount));
}

void primLoop(ProcessContext& cx, int32_t n) {
    tlogoobject* body = input(cx, n, 0);
    RepCountScope scope(cx);
    cx.repCount = 0;
    do {
        ++cx.repCount;
        runInstructionList(cx, body);
    } while (!cx.stopPending);
    finish(cx, n, nullptr);
}

// The truth of a condition list evaluated anew; false also when a stop came up.
bool conditionHolds(ProcessContext& cx, tlogoobject* condition) {
    Ref<tlogoobject> v = evaluateInstructionList(cx, condition);
    if (cx.stopPending || !v) return false;
    return truthOf(v.get());
}

void primWhile(ProcessContext& cx, int32_t n) {
    tlogoobject* condition = input(cx, n, 0);
    tlogoobject* body = input(cx, n, 1);
    RepCountScope scope(cx);
    cx.repCount = 0;
    for (;;) {
        ++cx.repCount;
        if (!conditionHolds(cx, condition)) break;
        runInstructionList(cx, body);
        if (cx.stopPending) break;
    }
    finish(cx, n, nullptr);
}

// No sleep between rounds: every evaluation passes the yield point.
void primWaituntil(ProcessContext& cx, int32_t n) {
    tlogoobject* condition = input(cx, n, 0);
    while (!conditionHolds(cx, condition) && !cx.stopPending) {
    }
    finish(cx, n, nullptr);
}

void primFor(ProcessContext& cx, int32_t n) {
    const int32_t code = variableNameCode(input(cx, n, 0));
    tlogoobject* control = input(cx, n, 1);
    tlogoobject* body = input(cx, n, 2);
    // The control list is not evaluated: [start end] or [start end step], numbers only.
    if (!control->IsList()) throw eLogoException(erBadStructure, control);
    auto* l = static_cast<tLogoList*>(control);
    const int32_t len = l->count();
    if (len != 2 && len != 3) throw eLogoException(erBadStructure, control);
    LReal parts[3] = {0, 0, 0};
    int32_t i = 0;
    for (tLogoList* c = l; c; c = c->rest, ++i) {
        if (!c->element->IsNumber()) throw eLogoException(erBadStructure, control);
        parts[i] = c->element->ToReal();
    }
    const LReal start = parts[0], end = parts[1];
    const LReal step = len == 3 ? parts[2] : (end > start ? 1 : -1);
    if (step == 0) throw eLogoException(erBadStructure, control);

    LoopVariable var(cx, code);
    RepCountScope scope(cx);
    cx.repCount = 0;
    for (LReal counter = start; step > 0 ? counter <= end : counter >= end; counter += step) {
        ++cx.repCount;
        Ref<tlogoobject> v = makeReal(counter);
        var.set(v.get());
        runInstructionList(cx, body);
        if (cx.stopPending) break;
    }
    finish(cx, n, nullptr);
}

void primForeach(ProcessContext& cx, int32_t n) {
    const int32_t code = variableNameCode(input(cx, n, 0));
    tlogoobject* values = input(cx, n, 1);
    tlogoobject* body = input(cx, n, 2);
    if (!values->IsList() && !values->IsWord()) throw eLogoException(erExpectList, values);
    LoopVariable var(cx, code);
    RepCountScope scope(cx);
    cx.repCount = 0;
    if (values->IsList()) {
        auto* l = static_cast<tLogoList*>(values);
        for (tLogoList* c = l->IsEmpty() ? nullptr : l; c; c = c->rest) {
            ++cx.repCount;
            var.set(c->element);
            runInstructionList(cx, body);
            if (cx.stopPending) break;
        }
    } else {
        const std::string text = values->GetText();
        for (char ch : text) {
            ++cx.repCount;
            Ref<tlogoobject> v = makeRawWord(std::string(1, ch));
            var.set(v.get());
            runInstructionList(cx, body);
            if (cx.stopPending) break;
        }
    }
    finish(cx, n, nullptr);
}

void primIf(ProcessContext& cx, int32_t n) {
    if (truthOf(input(cx, n, 0))) runInstructionList(cx, input(cx, n, 1));
    finish(cx, n, nullptr);
}

// Runs the chosen list, or evaluates it when a value is wanted.
void runOrEvaluate(ProcessContext& cx, int32_t n, tlogoobject* code, bool wantValue) {
    if (!code) {
        finish(cx, n, nullptr);
        return;
    }
    if (wantValue) {
        Ref<tlogoobject> v = evaluateInstructionList(cx, code);
        finish(cx, n, v.get());
        return;
    }
    runInstructionList(cx, code);
    finish(cx, n, nullptr);
}

void primIfelse(ProcessContext& cx, int32_t n, bool wantValue) {
    tlogoobject* chosen = truthOf(input(cx, n, 0)) ? input(cx, n, 1) : input(cx, n, 2);
    runOrEvaluate(cx, n, chosen, wantValue);
}

void primTest(ProcessContext& cx, int32_t n) {
    cx.testResult = truthOf(input(cx, n, 0));
    cx.testSet = true;
    finish(cx, n, nullptr);
}

void ifTest(ProcessContext& cx, int32_t n, bool when) {
    if (!cx.testSet) throw eLogoException::withName(erNotExecuted, firstWord("dict", "test"));
    if (cx.testResult == when) runInstructionList(cx, input(cx, n, 0));
    finish(cx, n, nullptr);
}
void primIftrue(ProcessContext& cx, int32_t n) { ifTest(cx, n, true); }
void primIffalse(ProcessContext& cx, int32_t n) { ifTest(cx, n, false); }

// The clause list is regrouped once (and cached on it): values that share an
// instruction list form one clause with it, a list alone at the end is the default.
void primCase(ProcessContext& cx, int32_t n, bool wantValue) {
    tlogoobject* value = input(cx, n, 0);
    tlogoobject* clauseInput = input(cx, n, 1);
    if (!clauseInput->IsList()) throw eLogoException(erExpectList, clauseInput);
    ElementBlock* block = clauseInput->Compile(kCompileCase);
    Ref<tlogoobject> clauses = block->elements.front().value;
    tlogoobject* action = nullptr;
    auto* all = static_cast<tLogoList*>(clauses.get());
    for (tLogoList* c = all->IsEmpty() ? nullptr : all; c && !action; c = c->rest) {
        auto* clause = static_cast<tLogoList*>(c->element);
        if (!clause->rest) {
            action = clause->element;
            break;
        }
        for (tLogoList* k = clause; k->rest; k = k->rest)
            if (value->Equal(k->element)) {
                tLogoList* last = k;
                while (last->rest) last = last->rest;
                action = last->element;
                break;
            }
    }
    Ref<tlogoobject> keep = action;
    runOrEvaluate(cx, n, action, wantValue);
}

void primRun(ProcessContext& cx, int32_t n, bool wantValue) { runOrEvaluate(cx, n, input(cx, n, 0), wantValue); }

// With one process there is nobody to wait for: the section is always free.
// The list runs while the process holds the section of that name; other processes that
// ask for it meanwhile wait, without the global lock, until it is given back, which
// happens however the list ends (error, throw, stop).
void primRuncritical(ProcessContext& cx, int32_t n, bool wantValue) {
    tlogoobject* name = input(cx, n, 0);
    if (!name->IsWord()) throw eLogoException(erExpectWord, name);
    CriticalScope held(namedCriticalSection(name->PrintText(false)), cx);
    runOrEvaluate(cx, n, input(cx, n, 1), wantValue);
}

void primIgnore(ProcessContext& cx, int32_t n) { finish(cx, n, nullptr); }

// and, or, xor: a list input is evaluated only when it is reached.
int truthOfInput(ProcessContext& cx, tlogoobject* v) {
    if (!v->IsList()) return truthOf(v) ? 1 : 0;
    Ref<tlogoobject> r = evaluateInstructionList(cx, v);
    if (cx.stopPending || !r) return -1;
    return truthOf(r.get()) ? 1 : 0;
}

void logicOf(ProcessContext& cx, int32_t n, int kind) {  // 0 and, 1 or, 2 xor
    bool result = kind == 0;
    for (int32_t i = 0; i < n; ++i) {
        int t = truthOfInput(cx, input(cx, n, i));
        if (t < 0) {
            finish(cx, n, nullptr);
            return;
        }
        if (kind == 0 && !t) {
            result = false;
            break;
        }
        if (kind == 1 && t) {
            result = true;
            break;
        }
        if (kind == 2) result = result != (t != 0);
    }
    finish(cx, n, makeBool(result));
}
void primAnd(ProcessContext& cx, int32_t n) { logicOf(cx, n, 0); }
void primOr(ProcessContext& cx, int32_t n) { logicOf(cx, n, 1); }
void primXor(ProcessContext& cx, int32_t n) { logicOf(cx, n, 2); }

void primEqual(ProcessContext& cx, int32_t n) {
    bool same = true;
    for (int32_t i = 1; i < n && same; ++i) same = input(cx, n, 0)->Equal(input(cx, n, i));
    finish(cx, n, makeBool(same));
}

// sum and product fold the inputs with the + or * of each partial result's type, so
// numbers add numerically and lists element by element.
void foldArithmetic(ProcessContext& cx, int32_t n, const char* op, int32_t empty) {
    if (n == 0) {
        finish(cx, n, makeInt(empty));
        return;
    }
    tlogoobject* last = input(cx, n, n - 1);
    if (!last->IsNumber() && !last->IsList()) throw eLogoException(erExpectNumber, last);
    const int32_t code = nameCodes().intern(op);
    Ref<tlogoobject> acc = input(cx, n, 0);
    if (n == 1 && !acc->IsNumber() && !acc->IsList()) throw eLogoException(erExpectNumber, acc.get());
    for (int32_t i = 1; i < n; ++i) {
        tLogoTab* methods = acc->MethodTable();
        auto* m = methods ? dynamic_cast<tPasProcRoot*>(methods->FindEntry(code)) : nullptr;
        if (!m) throw eLogoException(erExpectNumber, acc.get());
        tlogoobject* arg = input(cx, n, i);
        acc = m->handler(cx, acc.get(), &arg, 1);
    }
    finish(cx, n, acc.get());
}
void primSum(ProcessContext& cx, int32_t n) { foldArithmetic(cx, n, "+", 0); }
void primProduct(ProcessContext& cx, int32_t n) { foldArithmetic(cx, n, "*", 1); }

// wait counts in the elapse unit: milliseconds unless setoption chose 100 or 10 a second.
void primWait(ProcessContext& cx, int32_t n) {
    const int64_t units = input(cx, n, 0)->ToInt();
    const int64_t ms = units * 1000 / ellapseUnitsPerSecond();
    waitFor(cx, std::chrono::milliseconds(ms));
    finish(cx, n, nullptr);
}

void primMem(ProcessContext& cx, int32_t n) {
    const MemoryCounters m = memoryCounters();
    auto line = [](const char* label, int64_t v) { return std::string(label) + std::to_string(v) + "\r\n"; };
    std::string s;
    s += line("used listboxes=  ", m.cellsInUse);
    s += line("allocated listboxes=  ", m.cellsAllocated);
    s += line("deallocated listboxes=  ", m.cellsReleased);
    s += line("total listboxes=  ", m.cellsInUse + m.freeCells);
    s += line("free intboxes=      ", m.freeInts);
    s += line("free realboxes=     ", m.freeReals);
    s += line("free stringboxes=   ", m.freeStrings);
    s += line("free boolboxes=     ", m.freeBools);
    s += line("active wordboxes =  ", m.liveWords);
    s += line("stack=           ", cx.valueStack.count() - n);
    s += line("used bitmaps=    ", 0);
    if (cx.output) cx.output->write(s);
    finish(cx, n, nullptr);
}

const PrimitiveRow kControlPrimitives[] = {
    {"repeat", DescKind::Main, 2, false, etFun, primRepeat},
    {"repcount", DescKind::Main, 0, false, etFun, primRepcount},
    {"ignore", DescKind::Main, 1, true, etFun, primIgnore},
    {"and", DescKind::Main, 2, true, etIfFun, primAnd},
    {"or", DescKind::Main, 2, true, etIfFun, primOr},
    {"xor", DescKind::Main, 2, true, etIfFun, primXor},
    {"equal?", DescKind::Main, 2, true, etFun, primEqual},
    {"sum", DescKind::Main, 2, true, etFun, primSum},
    {"product", DescKind::Main, 2, true, etFun, primProduct},
    {".mem", DescKind::Main, 0, false, etFun, primMem},
    {"if", DescKind::Main, 2, false, etIfFun, primIf},
    {"for", DescKind::Main, 3, false, etFun, primFor},
    {"foreach", DescKind::Main, 3, false, etFun, primForeach},
    {"while", DescKind::Main, 2, false, etFun, primWhile},
    {"loop", DescKind::Main, 1, false, etFun, primLoop},
    {"waituntil", DescKind::Main, 1, false, etFun, primWaituntil},
    {"test", DescKind::Main, 1, false, etIfFun, primTest},
    {"iftrue", DescKind::Main, 1, false, etIfFun, primIftrue},
    {"iffalse", DescKind::Main, 1, false, etIfFun, primIffalse},
    {"wait", DescKind::Main, 1, false, etFun, primWait},
};

const FlagRow kControlFlagPrimitives[] = {
    {"ifelse", 3, false, etIfFun, primIfelse},
    {"run", 1, false, etFun, primRun},
    {"case", 2, false, etFun, primCase},
    {"runcritical", 2, false, etFun, primRuncritical},
};

} // namespace

void registerControlPrimitives(tMainLogoObject& main) {
    registerVariablePrimitives(main);
    addPrimitives(main.procedures, kControlPrimitives);
    addFlagPrimitives(main.procedures, kControlFlagPrimitives);
    registerTemplatePrimitives(main);
    registerCatchPrimitives(main);
}

} // namespace qm
