// The evaluator: runs element blocks as instruction sequences or evaluates them as
// expressions, on the running process's value stack.
#pragma once

#include <string_view>

#include "context.h"
#include "element.h"

namespace qm {

constexpr int32_t kMaxEvalDepth = 10000;

// Runs the block as an instruction sequence; returns when it ends or a stop is pending.
void runBlock(ProcessContext& cx, ElementBlock* block);
// Runs a list or word as instructions (compiled with kind 0).
void runList(ProcessContext& cx, tlogoobject* code);
// Evaluates the block as one expression; the caller receives the value unheld.
tlogoobject* evaluateBlock(ProcessContext& cx, ElementBlock* block);
tlogoobject* evaluateList(ProcessContext& cx, tlogoobject* code);
// Parses text as a list and runs it; the value stack is left as it was.
void runText(ProcessContext& cx, std::string_view text);

// Calls a descriptor with n inputs already on the stack, as the evaluator would.
void callAsCommand(ProcessContext& cx, tProcDesc* d, tlogoobject* target, int32_t level, int32_t n);
void callAsReporter(ProcessContext& cx, tProcDesc* d, tlogoobject* target, int32_t level, int32_t n);

// Finds a procedure from the current object (the ask table first when set).
tProcDesc* lookupProcedure(ProcessContext& cx, int32_t code, int32_t& level);

// Runs pending tail calls to their end (used by callers of user procedures).
void runTrampoline(ProcessContext& cx);

} // namespace qm
