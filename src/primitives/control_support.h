// Shared pieces of the control, variable and definition primitives: descriptors whose
// handler knows whether a value is wanted, name checks, and the waiting hook.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

#include "context.h"
#include "main_object.h"
#include "tables.h"

namespace qm {

// A handler told whether its caller wants a value (entry 1, or entry 4 from apply,
// map, filter and generate) or not (every other entry). It pops its own n inputs and
// pushes exactly one item, like a RawHandler.
using FlagHandler = void (*)(ProcessContext& cx, int32_t n, bool wantValue);

class tMainPasProcDescBF : public tProcDesc {
public:
    tMainPasProcDescBF(int32_t code, int32_t defpar, bool varpar, ElementTypes ft, FlagHandler h)
        : tProcDesc(code, defpar, varpar, ft), handler(h) {}
    FlagHandler handler;
    void Execute(ProcessContext& cx, int32_t n) override { handler(cx, n, false); }
    void callReporter(ProcessContext& cx, int32_t n) override { handler(cx, n, true); }
    void callTemplateReporter(ProcessContext& cx, int32_t n) override { handler(cx, n, true); }
};

struct FlagRow {
    const char* name;  // internal name
    int32_t defpar;
    bool varpar;
    ElementTypes funtype;
    FlagHandler handler;
};
void addFlagPrimitives(tLogoTab& table, const FlagRow* rows, size_t count);
template <size_t N>
void addFlagPrimitives(tLogoTab& table, const FlagRow (&rows)[N]) {
    addFlagPrimitives(table, rows, N);
}

// The name code of a variable name input: a word (error 8) that is not empty (error 5).
int32_t variableNameCode(tlogoobject* name);

// The table that holds the procedures of the current object itself.
tLogoTab& ownProcedureTable(ProcessContext& cx);

// Runs a list or word as instructions, or evaluates it (the value comes back unheld;
// nil when a stop ended it).
void runInstructionList(ProcessContext& cx, tlogoobject* code);
tlogoobject* evaluateInstructionList(ProcessContext& cx, tlogoobject* code);

// The value written at valueCell of a name/value list: ":name" is the variable's value,
// "(" ... ")" is evaluated, anything else stands for itself. next becomes the cell after
// what was used.
Ref<tlogoobject> pairValue(ProcessContext& cx, tLogoList* valueCell, tLogoList*& next);
// The truth of a value (error 29 for anything but a truth value).
bool truthOf(tlogoobject* v);

// Ends a process on its own account (`throw "toplevel`); `catch "toplevel` takes it.
class eSelfTerminate : public eTerminateException {
public:
    eSelfTerminate() : eTerminateException(0) {}
};

// Waiting. The process system installs a wait that gives up the global lock and wakes
// early when the process is stopped; without it a wait is a plain sleep.
using WaitFunction = void (*)(ProcessContext& cx, std::chrono::milliseconds time);
void setWaitFunction(WaitFunction fn);
void waitFor(ProcessContext& cx, std::chrono::milliseconds time);

// The elapse unit of `wait` and `timer`: 1000, 100 or 10 units per second.
void setEllapseUnitsPerSecond(int32_t units);
int32_t ellapseUnitsPerSecond();

// The parts of the control family, registered by registerControlPrimitives.
void registerVariablePrimitives(tMainLogoObject& main);
void registerTemplatePrimitives(tMainLogoObject& main);
void registerCatchPrimitives(tMainLogoObject& main);

} // namespace qm
