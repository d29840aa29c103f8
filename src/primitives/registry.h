// Registering primitives: one row per primitive, every spelling from the dictionary.
#pragma once

#include <cstddef>
#include <string_view>

#include "context.h"
#include "tables.h"

namespace qm {

// The descriptor classes a row can ask for.
enum class DescKind {
    Main,      // tMainPasProcDesc: the handler pops its own inputs (fixed or V/n)
    SendEnd,   // tObjectProcEndDesc: sent to the type of the last input
    SendFirst, // tObjectProc1Desc: sent to the type of the first input
    SendN,     // tObjectProcNDesc: sent to the type of the input at `depth`
    Output,
    Stop,
};

struct PrimitiveRow {
    const char* name;        // internal name; a literal name when `literal` is set
    DescKind kind;
    int32_t defpar;
    bool varpar;
    ElementTypes funtype;
    RawHandler handler;
    int32_t depth = 0;
    bool literal = false;
};

void addPrimitives(tLogoTab& table, const PrimitiveRow* rows, size_t count);
template <size_t N>
void addPrimitives(tLogoTab& table, const PrimitiveRow (&rows)[N]) {
    addPrimitives(table, rows, N);
}

// Value-type methods.
struct MethodRow {
    const char* name;        // internal name, or literal for operators
    int32_t defpar;          // inputs besides self
    ElementTypes funtype;
    MethodHandler handler;
    bool literal = false;
};
void addMethods(tLogoTab& table, const MethodRow* rows, size_t count);
template <size_t N>
void addMethods(tLogoTab& table, const MethodRow (&rows)[N]) {
    addMethods(table, rows, N);
}

// Reading inputs in handlers: input i of n (0 = the first), still held by the stack.
inline tlogoobject* input(ProcessContext& cx, int32_t n, int32_t i) { return cx.valueStack.at(n - 1 - i); }
// Replaces the n inputs by the result (which may be nil).
inline void finish(ProcessContext& cx, int32_t n, tlogoobject* result) {
    hold(result);
    cx.valueStack.discard(n);
    cx.valueStack.pushHeld(result);
}

} // namespace qm
